#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "oauth/parameter_list.h"

// Signs url under OAuth 1.0a HMAC-SHA1 with the protocol parameters in the request itself.
// Without formBody (GET): returns the full URL with every parameter and the signature in
// its query. With formBody (POST): *formBody becomes the encoded parameter string (the
// URL's query parameters included) and the result is the base URL without a query.
// No token (nullopt) sends no oauth_token; an empty token sends an empty one. A missing
// token secret counts as empty.
std::string SignRequest(std::string_view url, std::string* formBody, std::string_view consumerKey,
                        std::string_view consumerSecret, std::optional<std::string_view> token,
                        std::optional<std::string_view> tokenSecret);

// The part of SignRequest after the URL has been split into list.
std::string SignAndSerialize(ParameterList& list, std::string* formBody,
                             std::string_view consumerKey, std::string_view consumerSecret,
                             std::optional<std::string_view> token,
                             std::optional<std::string_view> tokenSecret);

// Adds the protocol parameters, sorts, and appends "oauth_signature=..." last.
void SignParameters(ParameterList& list, bool hasFormBody, std::string_view consumerKey,
                    std::string_view consumerSecret, std::optional<std::string_view> token,
                    std::optional<std::string_view> tokenSecret);

// Appends oauth_nonce, oauth_timestamp and oauth_version unless the list already names
// them, oauth_token when a token is given, and always oauth_consumer_key and
// oauth_signature_method. An entry longer than 1023 characters is cut there.
void AddProtocolParameters(ParameterList& list, std::string_view consumerKey,
                           std::optional<std::string_view> token);
