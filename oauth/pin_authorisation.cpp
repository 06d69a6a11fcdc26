#include "oauth/pin_authorisation.h"

#include "oauth/browser_address.h"

namespace {

constexpr std::string_view kTokenKey = "oauth_token=";
constexpr std::string_view kSecretKey = "oauth_token_secret=";

std::string_view upToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// A value that can serve as a token: present, not empty, and one the credential file can
// hold and give back unchanged. An error text, a refusal or a failed exchange has none.
bool usableValue(std::string_view reply, std::string_view key, std::string& value) {
    value = ExtractResponseValue(reply, key);
    return !value.empty() && IsStorableCredential(value);
}

PinAuthorisationOutcome failed(const PinAuthorisationServices& services,
                               PinAuthorisationOutcome outcome) {
    if (services.reportFailure) {
        services.reportFailure();
    }
    return outcome;
}

}  // namespace

std::string ExtractResponseValue(std::string_view reply, std::string_view key) {
    reply = upToNul(reply);
    const std::size_t at = reply.find(key);
    if (at == std::string_view::npos) {
        return "";
    }
    std::string_view value = reply.substr(at + key.size());
    const std::size_t ampersand = value.find('&');
    if (ampersand != std::string_view::npos) {
        return std::string(value.substr(0, ampersand));
    }
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
        value.remove_suffix(1);
    }
    return std::string(value);
}

std::string authorisationAddress(std::string_view page, std::string_view requestToken,
                                 std::string_view requestSecret) {
    std::string address(page);
    address += "?oauth_token=";
    appendAddressSafe(address, requestToken);
    address += "&oauth_token_secret=";
    appendAddressSafe(address, requestSecret);
    return address;
}

PinAuthorisationOutcome RunPinAuthorisation(const PinAuthorisationServices& services,
                                            const std::string& credentialPath) {
    const std::string requestReply = services.fetchRequestToken();
    std::string requestToken;
    std::string requestSecret;
    if (!usableValue(requestReply, kTokenKey, requestToken) ||
        !usableValue(requestReply, kSecretKey, requestSecret)) {
        return failed(services, PinAuthorisationOutcome::RequestTokenFailed);
    }

    services.openBrowser(
        authorisationAddress(services.authorisationPage, requestToken, requestSecret));
    const std::string pin = services.askForPin();

    const std::string accessReply = services.fetchAccessToken(requestToken, pin);
    std::string accessToken;
    std::string accessSecret;
    if (!usableValue(accessReply, kTokenKey, accessToken) ||
        !usableValue(accessReply, kSecretKey, accessSecret)) {
        return failed(services, PinAuthorisationOutcome::AccessTokenFailed);
    }
    if (!StoreCredentialFile(accessToken, accessSecret, credentialPath)) {
        return failed(services, PinAuthorisationOutcome::NotStored);
    }
    return PinAuthorisationOutcome::Stored;
}
