#include "http/pin_authorisation_operations.h"

#include <vector>

#include "http/pin_text.h"
#include "http/service_config.h"
#include "http/service_operations.h"

namespace {

std::string replyText(const std::vector<char>& body) {
    return std::string(body.begin(), body.end());
}

}  // namespace

PinAuthorisationServices serviceOperationsForPinAuthorisation() {
    PinAuthorisationServices services;
    services.authorisationPage = serviceUrl("/oauth/authorize");
    services.fetchRequestToken = [] {
        std::vector<char> body;
        FetchRequestToken(body);
        return replyText(body);
    };
    services.fetchAccessToken = [](const std::string& requestToken, const std::string& pin) {
        // The access-token request sends the verifier from here.
        pinText = pin;
        std::vector<char> body;
        FetchAccessToken(body, requestToken);
        return replyText(body);
    };
    return services;
}
