#pragma once

// What every source asks of the addresses its replies name.

#include <string_view>

// A printable http(s) address that fits a tile name and the download service can open.
bool isUsableAddress(std::string_view address);
