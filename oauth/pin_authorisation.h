#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "oauth/credential_file.h"

// The value of key in a token reply ("oauth_token=T&oauth_token_secret=S&..."): the bytes
// after the first occurrence of key, up to the next "&" or, for the last value, to the end
// of the reply with its line ends removed. The reply ends at its first NUL; "" when key is
// absent.
std::string ExtractResponseValue(std::string_view reply, std::string_view key);

// The service's authorisation page for a request token: page, then "?oauth_token=", the
// token, "&oauth_token_secret=" and the secret. The values go in as the service gave them;
// only bytes that never stand raw in an address (controls, space, quotes, angle brackets
// and the like, non-ASCII) are percent-encoded, so a reply cannot smuggle a second argument
// into the browser's command line.
std::string authorisationAddress(std::string_view page, std::string_view requestToken,
                                 std::string_view requestSecret);

// What the PIN authorisation talks to: the two token requests of the service, the user's
// browser and the PIN dialog. Tests put scripted ones in their place.
struct PinAuthorisationServices {
    // The authorisation page of the service, e.g. "https://api.twitter.com/oauth/authorize".
    std::string authorisationPage;
    // The reply body of the request-token request ("" when the exchange failed).
    std::function<std::string()> fetchRequestToken;
    // The reply body of the access-token request for a request token and the PIN.
    std::function<std::string(const std::string& requestToken, const std::string& pin)>
        fetchAccessToken;
    // Opens an address in the user's browser.
    std::function<void(const std::string& address)> openBrowser;
    // Asks the user for the PIN the authorisation page shows; returns once it was entered.
    std::function<std::string()> askForPin;
    // Tells the user that no token was obtained and the next start tries again.
    std::function<void()> reportFailure;
};

enum class PinAuthorisationOutcome {
    Stored,              // the access pair is in the credential file
    RequestTokenFailed,  // no usable request token: neither browser nor dialog was shown
    AccessTokenFailed,   // the exchange gave no usable access pair (wrong PIN, refusal...)
    NotStored,           // a pair was granted, but the credential file could not take it
};

// The first-start flow: obtains a request token, has the user authorise it in the browser
// and type the PIN, exchanges it for an access pair and stores that in the credential file.
// Every outcome but Stored writes nothing and calls reportFailure.
PinAuthorisationOutcome RunPinAuthorisation(
    const PinAuthorisationServices& services,
    const std::string& credentialPath = kCredentialFilePath);
