// Our own SHA-1 and HMAC-SHA1 against OpenSSL's, on a signature base string of the size a
// search request has and on a 1 MiB block.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>
#include <vector>

#include "oauth/hmac_sha1.h"
#include "oauth/sha1.h"

namespace {

std::vector<std::uint8_t> patternBytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 131u) ^ (i >> 7));
    }
    return bytes;
}

constexpr std::size_t kBaseStringBytes = 400;
constexpr std::size_t kBlockBytes = 1 << 20;

void BM_Sha1Ours(benchmark::State& state) {
    const auto bytes = patternBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Sha1Context context;
        Sha1Reset(&context);
        Sha1Input(&context, bytes.data(), bytes.size());
        Sha1Digest digest;
        Sha1Result(&context, &digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha1Ours)->Arg(kBaseStringBytes)->Arg(kBlockBytes);

void BM_Sha1OpenSslBaseline(benchmark::State& state) {
    const auto bytes = patternBytes(static_cast<std::size_t>(state.range(0)));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha1OpenSslBaseline)->Arg(kBaseStringBytes)->Arg(kBlockBytes);

void BM_HmacSha1Ours(benchmark::State& state) {
    const auto key = patternBytes(84);
    const auto message = patternBytes(kBaseStringBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HmacSha1(key, message));
    }
}
BENCHMARK(BM_HmacSha1Ours);

void BM_HmacSha1OpenSslBaseline(benchmark::State& state) {
    const auto key = patternBytes(84);
    const auto message = patternBytes(kBaseStringBytes);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
             digest, &length);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_HmacSha1OpenSslBaseline);

}  // namespace
