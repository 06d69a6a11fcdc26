#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Entry 0 is the decoded base URL (scheme, "://", host[:port], path); entries 1..n are
// raw "name=value" parameters (or bare words without "=").
using ParameterList = std::vector<std::string>;

// Appends the URL's base and its query tokens, decoded, to the list. Tokens are cut at
// every "&" and "?"; empty tokens are skipped; "oauth_signature=" tokens (any case) are
// dropped; a byte 0x01 inside a token stands for a literal "&". With plusIsSpace every
// "+" becomes a space first.
void SplitUrlParameters(std::string_view url, ParameterList& list, bool plusIsSpace);

// True when some entry (entry 0 included) is exactly name followed by "=".
bool HasParameter(const ParameterList& list, std::string_view name);

// Orders by name (bytes before the first "=") when both have "=", otherwise by the
// encoded whole texts. Negative, zero or positive.
int CompareParameters(std::string_view a, std::string_view b);
bool ParameterLess(std::string_view a, std::string_view b);

// Stable sort of entries 1..n by ParameterLess; entry 0 never moves.
void SortParameters(ParameterList& list);

// From start 0 (with entry 0 a URL): "base?name=value&...". From start 1: the bare
// encoded pair string used both as the normalised parameter string and as a form body.
std::string SerializeParameters(const ParameterList& list, std::size_t start);
