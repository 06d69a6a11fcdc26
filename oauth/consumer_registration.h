#pragma once

#include <string>

// The application's registration with the service. Built-in defaults of 22 and 41
// characters; a user's own registration may replace them at run time. Returned
// references stay valid for the life of the process; safe from any thread.
const std::string& consumerKey();
const std::string& consumerSecret();
void setConsumerRegistration(std::string key, std::string secret);
