#include "oauth/sha1.h"

#include <algorithm>

namespace {

constexpr std::uint32_t rotateLeft(std::uint32_t word, int bits) {
    return (word << bits) | (word >> (32 - bits));
}

void processBlock(Sha1Context& context) {
    std::uint32_t schedule[80];
    for (int t = 0; t < 16; ++t) {
        schedule[t] = (std::uint32_t{context.block[t * 4]} << 24) |
                      (std::uint32_t{context.block[t * 4 + 1]} << 16) |
                      (std::uint32_t{context.block[t * 4 + 2]} << 8) |
                      std::uint32_t{context.block[t * 4 + 3]};
    }
    for (int t = 16; t < 80; ++t) {
        schedule[t] =
            rotateLeft(schedule[t - 3] ^ schedule[t - 8] ^ schedule[t - 14] ^ schedule[t - 16], 1);
    }
    std::uint32_t a = context.hashState[0];
    std::uint32_t b = context.hashState[1];
    std::uint32_t c = context.hashState[2];
    std::uint32_t d = context.hashState[3];
    std::uint32_t e = context.hashState[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f;
        std::uint32_t k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t next = rotateLeft(a, 5) + f + e + k + schedule[t];
        e = d;
        d = c;
        c = rotateLeft(b, 30);
        b = a;
        a = next;
    }
    context.hashState[0] += a;
    context.hashState[1] += b;
    context.hashState[2] += c;
    context.hashState[3] += d;
    context.hashState[4] += e;
    context.blockFill = 0;
}

void padMessage(Sha1Context& context) {
    context.block[context.blockFill++] = 0x80;
    if (context.blockFill > 56) {
        std::fill(context.block + context.blockFill, context.block + 64, std::uint8_t{0});
        processBlock(context);
    }
    std::fill(context.block + context.blockFill, context.block + 56, std::uint8_t{0});
    const std::uint32_t counts[2] = {context.bitCountHigh, context.bitCountLow};
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < 4; ++i) {
            context.block[56 + half * 4 + i] =
                static_cast<std::uint8_t>(counts[half] >> (24 - 8 * i));
        }
    }
    processBlock(context);
}

}  // namespace

void Sha1Reset(Sha1Context* context) {
    if (context == nullptr) {
        return;
    }
    *context = Sha1Context{};
    context->hashState[0] = 0x67452301;
    context->hashState[1] = 0xEFCDAB89;
    context->hashState[2] = 0x98BADCFE;
    context->hashState[3] = 0x10325476;
    context->hashState[4] = 0xC3D2E1F0;
}

int Sha1Input(Sha1Context* context, const std::uint8_t* bytes, std::size_t length) {
    if (length == 0) {
        return kSha1Success;
    }
    if (context == nullptr || bytes == nullptr) {
        return kSha1MissingArgument;
    }
    if (context->finished) {
        context->error = kSha1InputAfterResult;
        return kSha1InputAfterResult;
    }
    if (context->error != 0) {
        return context->error;
    }
    for (std::size_t i = 0; i < length && context->error == 0; ++i) {
        context->block[context->blockFill++] = bytes[i];
        context->bitCountLow += 8;
        if (context->bitCountLow == 0) {
            ++context->bitCountHigh;
            if (context->bitCountHigh == 0) {
                context->error = kSha1InputTooLong;
            }
        }
        if (context->blockFill == 64) {
            processBlock(*context);
        }
    }
    // An over-long message is reported here too, not only by the later result.
    return context->error;
}

int Sha1Result(Sha1Context* context, Sha1Digest* digest) {
    if (context == nullptr || digest == nullptr) {
        return kSha1MissingArgument;
    }
    if (context->error != 0) {
        return context->error;
    }
    if (!context->finished) {
        padMessage(*context);
        std::fill(std::begin(context->block), std::end(context->block), std::uint8_t{0});
        context->bitCountLow = 0;
        context->bitCountHigh = 0;
        context->finished = 1;
    }
    for (int word = 0; word < 5; ++word) {
        for (int i = 0; i < 4; ++i) {
            (*digest)[word * 4 + i] =
                static_cast<std::uint8_t>(context->hashState[word] >> (24 - 8 * i));
        }
    }
    return kSha1Success;
}
