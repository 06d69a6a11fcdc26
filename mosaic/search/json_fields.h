#pragma once

// Typed lookups in a reply's JSON objects; each gives null when the key is missing, holds
// another type, or the value looked in is no object.

#include <nlohmann/json.hpp>
#include <string>

// The string at key in a JSON object, or null when it is missing or not a string.
const std::string* jsonString(const nlohmann::json& object, const char* key);

// The object at key in a JSON object, or null when it is missing or not an object.
const nlohmann::json* jsonObject(const nlohmann::json& object, const char* key);

// The array at key in a JSON object, or null when it is missing or not an array.
const nlohmann::json* jsonArray(const nlohmann::json& object, const char* key);
