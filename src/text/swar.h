// Word-at-a-time scans shared by every parser and the writer. (Private)
#pragma once

#include <cstdint>  // uint64_t
#include <cstring>  // memcpy

#if defined(__SSE2__)
#include <emmintrin.h>  // _mm_cmpeq_epi8, _mm_movemask_epi8
#endif

namespace tarnwick::detail {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// High bit set in each byte of `v` that is below `n` (n <= 128); exact for
// the lowest flagged byte, which is all the scans below use.
constexpr std::uint64_t bytes_below(std::uint64_t v, unsigned char n) noexcept {
  return (v - kOnes * n) & ~v & kHighs;
}

constexpr std::uint64_t bytes_equal(std::uint64_t v, unsigned char c) noexcept {
  return bytes_below(v ^ (kOnes * c), 1);
}

inline std::uint64_t load_u64(const char* p) noexcept {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// First byte in [p, end) that is a quotation mark, a backslash, below 0x20
// or `extra`; `end` when there is none. These end a plain string run: for
// the reader and the writer `extra` is the quotation mark itself; strings of
// other delimiters pass theirs (or the lead byte of a typographic one).
inline const char* find_string_special_or(const char* p, const char* end,
                                          unsigned char extra) noexcept {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i other = _mm_set1_epi8(static_cast<char>(extra));
  const __m128i top3 = _mm_set1_epi8(static_cast<char>(0xE0));
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
        _mm_or_si128(_mm_cmpeq_epi8(v, other),
                     _mm_cmpeq_epi8(_mm_and_si128(v, top3), zero)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (end - p >= 8) {
    const std::uint64_t v = load_u64(p);
    const std::uint64_t hit = bytes_equal(v, '"') | bytes_equal(v, '\\') |
                              bytes_below(v, 0x20) | bytes_equal(v, extra);
    if (hit != 0) {
      // Little-endian: the lowest set bit belongs to the first such byte.
      return p + (__builtin_ctzll(hit) >> 3);
    }
    p += 8;
  }
  while (p != end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\' || c < 0x20 || c == extra) return p;
    ++p;
  }
  return end;
}

inline const char* find_string_special(const char* p,
                                       const char* end) noexcept {
  return find_string_special_or(p, end, '"');
}

}  // namespace tarnwick::detail
