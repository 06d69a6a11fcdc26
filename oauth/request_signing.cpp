#include "oauth/request_signing.h"

#include "oauth/hmac_sha1.h"
#include "oauth/percent_encoding.h"
#include "oauth/signing_clock.h"

namespace {

// Protocol entries are bounded like the rest of the request texts.
constexpr std::size_t kMaxEntryLength = 1023;

void appendEntry(ParameterList& list, std::string_view name, std::string_view value) {
    std::string entry;
    entry.reserve(name.size() + 1 + value.size());
    entry.append(name).append("=").append(value);
    if (entry.size() > kMaxEntryLength) {
        entry.resize(kMaxEntryLength);
    }
    list.push_back(std::move(entry));
}

}  // namespace

void AddProtocolParameters(ParameterList& list, std::string_view consumerKey,
                           std::optional<std::string_view> token) {
    if (!HasParameter(list, "oauth_nonce")) {
        appendEntry(list, "oauth_nonce", signingNonce());
    }
    if (!HasParameter(list, "oauth_timestamp")) {
        appendEntry(list, "oauth_timestamp", std::to_string(signingTimeNow()));
    }
    if (token) {
        appendEntry(list, "oauth_token", *token);
    }
    appendEntry(list, "oauth_consumer_key", consumerKey);
    appendEntry(list, "oauth_signature_method", "HMAC-SHA1");
    if (!HasParameter(list, "oauth_version")) {
        appendEntry(list, "oauth_version", "1.0");
    }
}

void SignParameters(ParameterList& list, bool hasFormBody, std::string_view consumerKey,
                    std::string_view consumerSecret, std::optional<std::string_view> token,
                    std::optional<std::string_view> tokenSecret) {
    if (list.empty()) {
        // Entry 0 must exist so that no protocol parameter is taken for the base URL.
        list.emplace_back();
    }
    const std::string_view method = hasFormBody ? "POST" : "GET";
    AddProtocolParameters(list, consumerKey, token);
    SortParameters(list);
    const std::string normalised = SerializeParameters(list, 1);
    const std::string signingKey = JoinEncoded({consumerSecret, tokenSecret.value_or("")});
    const std::string baseString = JoinEncoded({method, list.front(), normalised});
    appendEntry(list, "oauth_signature", HmacSha1Base64(baseString, signingKey));
}

std::string SignAndSerialize(ParameterList& list, std::string* formBody,
                             std::string_view consumerKey, std::string_view consumerSecret,
                             std::optional<std::string_view> token,
                             std::optional<std::string_view> tokenSecret) {
    SignParameters(list, formBody != nullptr, consumerKey, consumerSecret, token, tokenSecret);
    if (formBody != nullptr) {
        *formBody = SerializeParameters(list, 1);
        return list.front();
    }
    return SerializeParameters(list, 0);
}

std::string SignRequest(std::string_view url, std::string* formBody, std::string_view consumerKey,
                        std::string_view consumerSecret, std::optional<std::string_view> token,
                        std::optional<std::string_view> tokenSecret) {
    ParameterList list;
    SplitUrlParameters(url, list, formBody == nullptr);
    return SignAndSerialize(list, formBody, consumerKey, consumerSecret, token, tokenSecret);
}
