#pragma once

// What every source asks of the addresses and post ids its replies name.

#include <string_view>

// A printable http(s) address that fits a tile name and the download service can open.
bool isUsableAddress(std::string_view address);

// Ids that sort by age: the longer is newer, and of equal length the greater text.
bool isNewerId(std::string_view id, std::string_view than);
