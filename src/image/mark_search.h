// The forward search for a DMK data mark, many stored bytes at a time.
#pragma once

#include <cstdint>

#include "image/layout.h"

namespace vornik {

// The offset of the first data mark in d[from..to] (both in the buffer),
// or -1. A data mark is FB, FA or F8, and F9 as well when `with_f9`.
int64_t FindDataMarkIn(const uint8_t* d, int64_t from, int64_t to, bool with_f9);

// The bytes from the end of a DMK ID field up to kDmkMarkHorizon past its mark.
constexpr int kDmkHorizonBytes = kDmkMarkHorizon - kDmkIdFieldEnd + 1;
// FindDataMarkIn(w, 0, kDmkHorizonBytes - 1, true) for a window that lies
// wholly in the buffer: the offset of its first F8-FB byte, or -1.
int64_t FindMarkFamilyInHorizon(const uint8_t* w);

}  // namespace vornik
