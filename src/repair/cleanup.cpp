// The text cleanup passes.
//
// The passes work on UTF-8 bytes rather than decoded code points: every
// character they act on (quote, backslash, comma, brackets, controls,
// backticks) is ASCII, and no byte of a multi-byte sequence is ASCII, so a
// byte scan gives the code-point result. Only White_Space needs its multi-byte
// forms, which white_space_length matches in place.

#include "repair/cleanup.h"

#include <bit>      // countr_zero
#include <cstddef>  // size_t
#include <cstdint>  // uint32_t
#include <cstring>  // memchr
#include <utility>  // move

#include "text/chars.h"
#include "text/swar.h"
#include "text/utf8.h"

namespace tarnwick::detail {

namespace {

// MARK: - Scanning (Private)

// The passes look at a few byte values only. They scan a block at a time
// for a bit mask of those bytes (bit k set when byte k matches) and visit the
// set bits in order, so a block without any costs a handful of instructions.

// Calls visit(i) for each i in [0, size) whose byte is selected by
// block_mask (for a whole block) and byte_match (for the tail), in order.
template <class BlockMask, class ByteMatch, class Visit>
void for_each_match(const char* p, std::size_t size, BlockMask block_mask,
                    ByteMatch byte_match, Visit visit) {
  std::size_t i = 0;
  for (; size - i >= kBlockBytes; i += kBlockBytes) {
    std::uint32_t m = block_mask(Block(p + i)).bits();
    while (m != 0) {
      visit(i + static_cast<std::size_t>(std::countr_zero(m)));
      m &= m - 1;
    }
  }
  for (; i < size; ++i) {
    if (byte_match(static_cast<unsigned char>(p[i]))) visit(i);
  }
}

// The string tracking the passes share: walks the quotation marks and
// backslashes of `text` together with the bytes that `block_extra` and
// `byte_extra` select, and calls inside(i, c) or outside(i, c) for each
// selected byte other than a quotation mark or a backslash, as it stands in
// a string or not. A backslash in a string escapes the next byte, which is
// taken without interpretation.
template <class BlockExtra, class ByteExtra, class Inside, class Outside>
void for_each_in_strings(const char* p, std::size_t size,
                         BlockExtra block_extra, ByteExtra byte_extra,
                         Inside inside, Outside outside) {
  bool in_string = false;
  std::size_t resume = 0;  // the first position after an escaped byte
  for_each_match(
      p, size,
      [&](const Block& b) { return b.eq('"') | b.eq('\\') | block_extra(b); },
      [&](unsigned char c) { return c == '"' || c == '\\' || byte_extra(c); },
      [&](std::size_t i) {
        if (i < resume) return;
        const auto c = static_cast<unsigned char>(p[i]);
        if (in_string) {
          if (c == '\\') {
            resume = i + 2;
          } else if (c == '"') {
            in_string = false;
          } else {
            inside(i, c);
          }
        } else if (c == '"') {
          in_string = true;
        } else if (c != '\\') {  // a backslash outside strings is nothing
          outside(i, c);
        }
      });
}

// True when the comma before `after` stands before '}', ']' or the end of
// the text, White_Space in between ignored. Each byte of that run is looked
// at by this comma only, so a pass stays linear.
inline bool comma_is_trailing(const char* after, const char* end) noexcept {
  while (after != end) {
    const std::size_t n = white_space_length(after, end);
    if (n == 0) break;
    after += n;
  }
  return after == end || *after == '}' || *after == ']';
}

// True when some byte of [p, end) is below 0x20.
bool has_control(const char* p, const char* end) noexcept {
  const auto size = static_cast<std::size_t>(end - p);
  std::size_t i = 0;
  for (; size - i >= 4 * kBlockBytes; i += 4 * kBlockBytes) {
    const ByteMask m = Block(p + i).control() |
                       Block(p + i + kBlockBytes).control() |
                       Block(p + i + 2 * kBlockBytes).control() |
                       Block(p + i + 3 * kBlockBytes).control();
    if (m.any()) return true;
  }
  for (; i < size; ++i) {
    if (static_cast<unsigned char>(p[i]) < 0x20) return true;
  }
  return false;
}

}  // namespace

// MARK: - Passes (Public)

std::string_view trim_whitespace(std::string_view text) noexcept {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    const std::size_t n = white_space_length(p, end);
    if (n == 0) break;
    p += n;
  }
  while (end != p) {
    // Step back to the first byte of the last code point (at most 3
    // continuation bytes), then test that code point.
    const char* q = end - 1;
    for (int k = 0;
         k < 3 && q != p && (static_cast<unsigned char>(*q) & 0xC0) == 0x80;
         ++k) {
      --q;
    }
    if (white_space_length(q, end) != static_cast<std::size_t>(end - q)) {
      break;
    }
    end = q;
  }
  return {p, static_cast<std::size_t>(end - p)};
}

std::optional<std::string> strip_fences(std::string_view text) {
  constexpr std::string_view kFence = "```";
  const std::string_view trimmed = trim_whitespace(text);
  if (!trimmed.starts_with(kFence)) return std::nullopt;
  std::string_view rest = trimmed.substr(kFence.size());
  std::size_t tag = 0;
  while (tag < rest.size()) {
    const char c = rest[tag];
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9');
    if (!alnum) break;
    ++tag;
  }
  rest.remove_prefix(tag);
  if (rest.ends_with(kFence)) rest.remove_suffix(kFence.size());
  const std::string_view inner = trim_whitespace(rest);
  if (inner.empty()) return std::nullopt;
  return std::string(inner);
}

CleanupNeeds cleanup_needs(std::string_view text) noexcept {
  const char* const p = text.data();
  const char* const end = p + text.size();
  CleanupNeeds needs;
  for_each_in_strings(
      p, text.size(), [](const Block& b) { return b.eq(',') | b.control(); },
      [](unsigned char c) { return c == ',' || c < 0x20; },
      [&](std::size_t, unsigned char c) {
        if (c < 0x20) needs.controls = true;
      },
      [&](std::size_t i, unsigned char c) {
        if (c == ',' && !needs.trailing_commas) {
          needs.trailing_commas = comma_is_trailing(p + i + 1, end);
        }
      });
  return needs;
}

std::optional<std::string> strip_controls_if_changed(std::string_view text) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  // Only a byte below 0x20 can be changed; many texts have none at all.
  if (!has_control(p, p + size)) return std::nullopt;

  std::string out;
  bool building = false;
  std::size_t copied = 0;  // p[0, copied) is already in `out`
  for_each_in_strings(
      p, size, [](const Block& b) { return b.control(); },
      [](unsigned char c) { return c < 0x20; },
      [&](std::size_t i, unsigned char c) {
        if (!building) {
          out.reserve(size);
          building = true;
        }
        out.append(p + copied, i - copied);
        if (c == '\t') {
          out.append("\\t");
        } else if (c == '\n') {
          out.append("\\n");
        } else if (c == '\r') {
          out.append("\\r");
        }
        copied = i + 1;
      },
      [](std::size_t, unsigned char) {});  // controls outside strings stay
  if (!building) return std::nullopt;
  out.append(p + copied, size - copied);
  return out;
}

std::string strip_controls(std::string_view text) {
  std::optional<std::string> changed = strip_controls_if_changed(text);
  return changed ? std::move(*changed) : std::string(text);
}

std::optional<std::string> strip_trailing_commas_if_changed(
    std::string_view text) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  // memchr needs a non-null pointer even for size 0; a default view has none.
  if (size == 0 || std::memchr(p, ',', size) == nullptr) return std::nullopt;

  std::string out;
  bool building = false;
  std::size_t copied = 0;
  for_each_in_strings(
      p, size, [](const Block& b) { return b.eq(','); },
      [](unsigned char c) { return c == ','; },
      [](std::size_t, unsigned char) {},  // commas in strings stay
      [&](std::size_t i, unsigned char) {
        if (!comma_is_trailing(p + i + 1, p + size)) return;
        if (!building) {
          out.reserve(size);
          building = true;
        }
        out.append(p + copied, i - copied);
        copied = i + 1;
      });
  if (!building) return std::nullopt;
  out.append(p + copied, size - copied);
  return out;
}

std::string strip_trailing_commas(std::string_view text) {
  std::optional<std::string> changed = strip_trailing_commas_if_changed(text);
  return changed ? std::move(*changed) : std::string(text);
}

}  // namespace tarnwick::detail
