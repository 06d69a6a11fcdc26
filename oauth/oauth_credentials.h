#pragma once

#include <string>

struct OAuthCredentials {
    std::string consumerKey;
    std::string consumerSecret;
    std::string token;
    std::string tokenSecret;
};

// The process-wide credentials, filled once at start-up. Publishing stores a copy;
// processCredentials() is safe to call from any thread, and a reference it returned stays
// valid for the life of the process. Before any publication it returns empty texts.
void publishCredentials(OAuthCredentials credentials);
const OAuthCredentials& processCredentials();
