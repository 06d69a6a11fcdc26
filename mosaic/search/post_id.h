#pragma once

// Post ids as the sources hand them out: decimal numbers too large for any integer type
// (Mastodon) or fixed-alphabet texts that sort like numbers (Misskey's lower-case base 36).

#include <string_view>

// A usable id: 1 to 30 characters, each a digit or a lower-case ASCII letter.
bool isPostId(std::string_view id);
// A usable id of decimal digits only.
bool isDecimalPostId(std::string_view id);

// Whether id names a later post than than: leading zeros aside, the longer number is the
// larger, and numbers of one length compare digit by digit ("1000" is newer than "999").
// Every id is newer than an empty one.
bool isNewerPostId(std::string_view id, std::string_view than);
