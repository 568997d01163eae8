// The forward search for a DMK data mark, many stored bytes at a time.
#pragma once

#include <cstdint>

namespace vornik {

// The offset of the first data mark in d[from..to] (both in the buffer),
// or -1. A data mark is FB, FA or F8, and F9 as well when `with_f9`.
int64_t FindDataMarkIn(const uint8_t* d, int64_t from, int64_t to, bool with_f9);

}  // namespace vornik
