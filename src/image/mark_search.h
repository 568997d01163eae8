// The forward search for a DMK data mark, and the count of a record's ID
// mark pointers, many stored bytes at a time.
#pragma once

#include <bit>
#include <cstdint>

#include "image/layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vornik {

// F8, F9, FA and FB share their top six bits.
constexpr uint8_t kMarkFamilyMask = 0xFC;
constexpr uint8_t kMarkFamilyBase = 0xF8;

// The offset of the first data mark in d[from..to] (both in the buffer),
// or -1. A data mark is FB, FA or F8, and F9 as well when `with_f9`.
int64_t FindDataMarkIn(const uint8_t* d, int64_t from, int64_t to, bool with_f9);

// The bytes from the end of a DMK ID field up to kDmkMarkHorizon past its mark.
constexpr int kDmkHorizonBytes = kDmkMarkHorizon - kDmkIdFieldEnd + 1;
// FindDataMarkIn(w, 0, kDmkHorizonBytes - 1, true) for a window that lies
// wholly in the buffer: the offset of its first F8-FB byte, or
// kDmkHorizonBytes when there is none. Inline: the scan asks once for
// every sector.
inline int FindMarkFamilyInHorizon(const uint8_t* w) {
#if defined(__SSE2__)
  // Three loads cover the window, the last overlapping the second.
  static_assert(kDmkHorizonBytes > 32 && kDmkHorizonBytes <= 48);
  const __m128i mask = _mm_set1_epi8(static_cast<char>(kMarkFamilyMask));
  const __m128i base = _mm_set1_epi8(static_cast<char>(kMarkFamilyBase));
  const auto hits = [&](int at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + at));
    return uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(x, mask), base)))};
  };
  constexpr int kLast = kDmkHorizonBytes - 16;
  return std::countr_zero(hits(0) | hits(16) << 16 | hits(kLast) << kLast | uint64_t{1} << kDmkHorizonBytes);
#else
  const int64_t at = FindDataMarkIn(w, 0, kDmkHorizonBytes - 1, true);
  return at < 0 ? kDmkHorizonBytes : static_cast<int>(at);
#endif
}

// The bytes of a DMK pointer table read at once: 32 two-byte entries.
constexpr int kDmkPointerWindowBytes = 64;
// The number of entries of a DMK pointer table (little-endian, two bytes
// each) before the first whose offset bits (kDmkPointerOffset) are zero,
// at most `limit` (0..31). `table` holds kDmkPointerWindowBytes bytes.
int CountDmkPointers(const uint8_t* table, int limit);

}  // namespace vornik
