// The reply scan against one memmem pass over the same body, on a 1 MiB reply with 100
// links and on a hostile 1 MiB of media markers without any ".jpg".

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>

#include "mosaic/search/designed_search.h"
#include "mosaic/search/search_cycle.h"

namespace {

constexpr std::size_t kBodyBytes = 1u << 20;
constexpr std::string_view kMediaMarker = R"("media_url":")";

std::string replyWithLinks() {
    const std::string filler =
        R"({"created_at":"Tue Dec 08 08:00:00 +0000 2026","id":1400000000000000000,"text":"photo of the day","user":{"id":1001,"name":"Fake fan","screen_name":"fake_1001"},"retweet_count":3},)";
    std::string body = R"({"statuses":[)";
    int link = 0;
    while (body.size() < kBodyBytes) {
        if (body.size() >= static_cast<std::size_t>(link) * (kBodyBytes / 100)) {
            const std::string path = R"(pbs.example\/media\/A)" + std::to_string(link++) + ".jpg";
            body += R"({"media_url":"http:\/\/)" + path + R"(","media_url_https":"https:\/\/)" +
                    path + R"("},)";
        } else {
            body += filler;
        }
    }
    return body;
}

std::string hostileReply() {
    std::string body;
    while (body.size() < kBodyBytes) {
        body += R"("media_url":"x",)";
    }
    return body;
}

const std::string& bodyOf(std::int64_t kind) {
    static const std::string links = replyWithLinks();
    static const std::string hostile = hostileReply();
    return kind == 0 ? links : hostile;
}

void bodyKinds(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(1);
}

void BM_ExtractImageLinks(benchmark::State& state) {
    const std::string& body = bodyOf(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(extractImageLinks(body));
    }
    state.SetLabel(state.range(0) == 0 ? "100 links" : "markers, no .jpg");
}
BENCHMARK(BM_ExtractImageLinks)->Apply(bodyKinds)->Unit(benchmark::kMicrosecond);

// Every media marker of the body found by memmem, in one pass.
void BM_MemmemBaseline(benchmark::State& state) {
    const std::string& body = bodyOf(state.range(0));
    for (auto _ : state) {
        std::size_t found = 0;
        const char* at = body.data();
        const char* end = body.data() + body.size();
        while (const void* hit = memmem(at, static_cast<std::size_t>(end - at), kMediaMarker.data(),
                                        kMediaMarker.size())) {
            ++found;
            at = static_cast<const char*>(hit) + kMediaMarker.size();
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_MemmemBaseline)->Apply(bodyKinds)->Unit(benchmark::kMicrosecond);

}  // namespace
