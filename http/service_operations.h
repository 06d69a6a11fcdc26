#pragma once

#include <string>
#include <vector>

// The three requests to the service's API host (see service_config.h), each signed
// under OAuth 1.0a and fetched over TLS.

// Searches for keyword (ANSI code page) with count results. body becomes the reply body
// followed by one NUL byte (the NUL alone when the exchange failed). True for status 200.
bool SearchTweets(std::vector<char>& body, std::string keyword, std::string count);

// Asks for a request token with the consumer registration alone; body gets the reply.
void FetchRequestToken(std::vector<char>& body);

// Exchanges requestToken and the verifier in pinText for an access token; body gets the reply.
void FetchAccessToken(std::vector<char>& body, const std::string& requestToken);
