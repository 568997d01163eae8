#include "image/mark_search.h"

#include "image/layout.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vornik {

namespace {

// The first byte of d[from..to] whose top six bits are those of F8, or -1:
// (b & FC) ^ F8 is zero exactly there, and a zero byte of a word is found
// with the usual borrow trick.
int64_t FindMarkFamily(const uint8_t* d, int64_t from, int64_t to) {
  int64_t i = from;
#if defined(__SSE2__)
  // Sixteen bytes at a time where the processor has the instructions (every
  // x86-64 one): a byte-wise AND and compare, then the first set bit.
  const __m128i mask = _mm_set1_epi8(static_cast<char>(kMarkFamilyMask));
  const __m128i base = _mm_set1_epi8(static_cast<char>(kMarkFamilyBase));
  const auto first_hit = [&](int64_t at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(x, mask), base)));
  };
  if (to + 1 - from >= 16) {
    for (; i + 16 <= to + 1; i += 16) {
      if (const unsigned hits = first_hit(i)) return i + std::countr_zero(hits);
    }
    if (i > to) return -1;
    // The rest as the last sixteen bytes of the window: those before i hold
    // no mark, so the first one found lies at i or after it.
    const unsigned hits = first_hit(to - 15);
    return hits != 0 ? to - 15 + std::countr_zero(hits) : -1;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    for (; i + 8 <= to + 1; i += 8) {
      uint64_t x;
      std::memcpy(&x, d + i, sizeof x);
      const uint64_t y = (x & (kOnes * kMarkFamilyMask)) ^ (kOnes * kMarkFamilyBase);
      const uint64_t zero = (y - kOnes) & ~y & (kOnes * 0x80);
      if (zero != 0) return i + std::countr_zero(zero) / 8;
    }
  }
  for (; i <= to; ++i) {
    if ((d[i] & kMarkFamilyMask) == kMarkFamilyBase) return i;
  }
  return -1;
}

}  // namespace

int64_t FindDataMarkIn(const uint8_t* d, int64_t from, int64_t to, bool with_f9) {
  for (int64_t at = FindMarkFamily(d, from, to); at >= 0; at = FindMarkFamily(d, at + 1, to)) {
    if (with_f9 || d[at] != kDataMarkF9) return at;
  }
  return -1;
}

int CountDmkPointers(const uint8_t* table, int limit) {
  static_assert(kDmkPointers < kDmkPointerWindowBytes / 2);
#if defined(__SSE2__)
  // Eight entries a load, as the little-endian 16-bit lanes they are; each
  // zero entry sets two bits of the mask, and bit 2 * limit ends the count.
  const __m128i offset = _mm_set1_epi16(static_cast<short>(kDmkPointerOffset));
  uint64_t zero = uint64_t{1} << (2 * limit);
  for (int part = 0; part < 4; ++part) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * part));
    const __m128i z = _mm_cmpeq_epi16(_mm_and_si128(x, offset), _mm_setzero_si128());
    zero |= uint64_t{static_cast<unsigned>(_mm_movemask_epi8(z))} << (16 * part);
  }
  return std::countr_zero(zero) / 2;
#else
  int count = 0;
  while (count < limit && ((table[2 * count] | (table[2 * count + 1] << 8)) & kDmkPointerOffset) != 0) ++count;
  return count;
#endif
}

}  // namespace vornik
