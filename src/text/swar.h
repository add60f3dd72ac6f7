// Word-at-a-time and block scans shared by every parser, the writer and the
// cleanup passes. (Private)
//
// A Block is 16 bytes tested for a few byte values at once, giving a
// ByteMask: SSE2 registers where the compiler targets them, two 64-bit words
// everywhere else (aarch64, or x86 built with TARNWICK_PORTABLE_SCANS, which
// the test command does so that both paths run on every change).
#pragma once

#include <bit>      // countr_zero, endian
#include <cstddef>  // size_t
#include <cstdint>  // uint32_t, uint64_t
#include <cstring>  // memcpy

#if defined(__SSE2__) && !defined(TARNWICK_PORTABLE_SCANS)
#define TARNWICK_SSE2_BLOCKS 1
#include <emmintrin.h>  // _mm_cmpeq_epi8, _mm_movemask_epi8
#else
#define TARNWICK_SSE2_BLOCKS 0
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

// Eight bytes with the first in the lowest byte, on any byte order, so that
// the lowest flagged byte is the first in memory.
inline std::uint64_t load_le(const char* p) noexcept {
  std::uint64_t v = load_u64(p);
  if constexpr (std::endian::native == std::endian::big) {
    v = __builtin_bswap64(v);
  }
  return v;
}

// MARK: - Blocks

inline constexpr std::size_t kBlockBytes = 16;

#if TARNWICK_SSE2_BLOCKS
// A flag per byte of a block: 0xFF in each flagged byte.
class ByteMask {
 public:
  explicit ByteMask(__m128i v) noexcept : v_(v) {}
  friend ByteMask operator|(ByteMask a, ByteMask b) noexcept {
    return ByteMask(_mm_or_si128(a.v_, b.v_));
  }
  // Bit k set when byte k is flagged.
  std::uint32_t bits() const noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(v_));
  }
  bool any() const noexcept { return bits() != 0; }

 private:
  __m128i v_;
};

class Block {
 public:
  explicit Block(const char* p) noexcept
      : v_(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) {}
  ByteMask eq(char c) const noexcept {
    return ByteMask(_mm_cmpeq_epi8(v_, _mm_set1_epi8(c)));
  }
  // Bytes below 0x20: those that saturating subtraction of 0x1F zeroes.
  ByteMask control() const noexcept {
    const __m128i low = _mm_subs_epu8(v_, _mm_set1_epi8(0x1F));
    return ByteMask(_mm_cmpeq_epi8(low, _mm_setzero_si128()));
  }

 private:
  __m128i v_;
};
#else
// A flag per byte of a block: 0x80 in each flagged byte of two words, the
// block's first byte lowest.
class ByteMask {
 public:
  ByteMask(std::uint64_t lo, std::uint64_t hi) noexcept : lo_(lo), hi_(hi) {}
  friend ByteMask operator|(ByteMask a, ByteMask b) noexcept {
    return {a.lo_ | b.lo_, a.hi_ | b.hi_};
  }
  // Bit k set when byte k is flagged.
  std::uint32_t bits() const noexcept { return gather(lo_) | gather(hi_) << 8; }
  bool any() const noexcept { return (lo_ | hi_) != 0; }

 private:
  // Bit k of the result is the high bit of byte k: the multiplication moves
  // each byte's bit into the top byte without carries.
  static std::uint32_t gather(std::uint64_t highs) noexcept {
    return static_cast<std::uint32_t>(((highs >> 7) * 0x0102040810204080ULL) >>
                                      56);
  }
  std::uint64_t lo_;
  std::uint64_t hi_;
};

class Block {
 public:
  explicit Block(const char* p) noexcept
      : lo_(load_le(p)), hi_(load_le(p + 8)) {}
  ByteMask eq(char c) const noexcept {
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    return {zero_bytes(lo_ ^ pattern), zero_bytes(hi_ ^ pattern)};
  }
  ByteMask control() const noexcept {
    constexpr std::uint64_t kTop3 = kOnes * 0xE0;
    return {zero_bytes(lo_ & kTop3), zero_bytes(hi_ & kTop3)};
  }

 private:
  // 0x80 in each byte of x that is zero, 0 elsewhere: exact per byte, as
  // no carry crosses a byte (unlike bytes_below).
  static constexpr std::uint64_t zero_bytes(std::uint64_t x) noexcept {
    constexpr std::uint64_t kLow7 = kOnes * 0x7F;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
  }
  std::uint64_t lo_;
  std::uint64_t hi_;
};
#endif

// MARK: - String runs

// First byte in [p, end) that is a quotation mark, a backslash, below 0x20
// or `extra`; `end` when there is none. These end a plain string run: for
// the reader and the writer `extra` is the quotation mark itself; strings of
// other delimiters pass theirs (or the lead byte of a typographic one).
inline const char* find_string_special_or(const char* p, const char* end,
                                          unsigned char extra) noexcept {
#if TARNWICK_SSE2_BLOCKS
  // Without SSE2 the word loop below is cheaper than word blocks: it needs
  // the first flagged byte only, not a mask of them all.
  while (end - p >= static_cast<std::ptrdiff_t>(kBlockBytes)) {
    const Block b(p);
    const std::uint32_t hit =
        (b.eq('"') | b.eq('\\') | b.eq(static_cast<char>(extra)) | b.control())
            .bits();
    if (hit != 0) return p + std::countr_zero(hit);
    p += kBlockBytes;
  }
#endif
  while (end - p >= 8) {
    const std::uint64_t v = load_le(p);
    const std::uint64_t hit = bytes_equal(v, '"') | bytes_equal(v, '\\') |
                              bytes_below(v, 0x20) | bytes_equal(v, extra);
    if (hit != 0) return p + (std::countr_zero(hit) >> 3);
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

// First byte in [p, end) that is a quotation mark or a bracket of either
// kind ('[', ']', '{', '}'); `end` when there is none. Setting bit 0x20 maps
// '[' to '{' and ']' to '}', and no other byte to either.
inline const char* find_quote_or_bracket(const char* p,
                                         const char* end) noexcept {
#if TARNWICK_SSE2_BLOCKS
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i open = _mm_set1_epi8('{');
  const __m128i close = _mm_set1_epi8('}');
  const __m128i fold = _mm_set1_epi8(0x20);
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i folded = _mm_or_si128(v, fold);
    const __m128i hit = _mm_or_si128(
        _mm_cmpeq_epi8(v, quote), _mm_or_si128(_mm_cmpeq_epi8(folded, open),
                                               _mm_cmpeq_epi8(folded, close)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (end - p >= 8) {
    const std::uint64_t v = load_u64(p);
    const std::uint64_t folded = v | (kOnes * 0x20);
    const std::uint64_t hit = bytes_equal(v, '"') | bytes_equal(folded, '{') |
                              bytes_equal(folded, '}');
    if (hit != 0) return p + (__builtin_ctzll(hit) >> 3);
    p += 8;
  }
  while (p != end) {
    const unsigned char c = static_cast<unsigned char>(*p) | 0x20;
    if (*p == '"' || c == '{' || c == '}') return p;
    ++p;
  }
  return end;
}

}  // namespace tarnwick::detail
