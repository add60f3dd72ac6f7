// The strict look of the lenient pass (see strict_span.h).

#include "lenient/strict_span.h"

#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <optional>     // optional, nullopt
#include <string_view>  // string_view
#include <utility>      // pair

#include "json/number.h"
#include "lenient/lexer.h"  // number_overflows
#include "text/chars.h"
#include "text/hex.h"
#include "text/swar.h"

namespace tarnwick::detail::lenient {
namespace {

// One pass over the text with a stack of the open containers ('{' or '[',
// innermost last); every step false at the first departure from strict
// JSON.
class StrictScan {
 public:
  explicit StrictScan(std::string_view t) noexcept
      : begin_(t.data()), end_(t.data() + t.size()), p_(begin_) {}

  std::optional<std::pair<std::size_t, std::size_t>> span() noexcept {
    skip_ws();
    first_ = p_;
    while (true) {
      skip_ws();  // a value is due
      if (p_ == end_) return std::nullopt;
      const Read read = value();
      if (read == Read::Fail) return std::nullopt;
      if (read == Read::Opened) continue;
      // The value was read: close what ends here, then a comma or the end.
      const Next next = after_value();
      if (next == Next::Fail) return std::nullopt;
      if (next == Next::End) return whole();
    }
  }

 private:
  enum class Read { Value, Opened, Fail };
  enum class Next { Value, End, Fail };

  void skip_ws() noexcept {
    while (p_ != end_ && is_json_ws(static_cast<unsigned char>(*p_))) ++p_;
  }

  // Four hex digits at q into `code`.
  bool hex4(const char* q, std::uint32_t& code) const noexcept {
    return read_hex_digits(q, end_, code) == 4;
  }

  // A \u escape at p_ (surrogates paired); false when it is not strict.
  bool unicode_escape() noexcept {
    std::uint32_t code;
    if (!hex4(p_ + 2, code)) return false;
    p_ += 6;
    if (is_low_surrogate(code)) return false;
    if (!is_high_surrogate(code)) return true;
    std::uint32_t low;
    if (end_ - p_ < 6 || p_[0] != '\\' || p_[1] != 'u' || !hex4(p_ + 2, low) ||
        !is_low_surrogate(low)) {
      return false;
    }
    p_ += 6;
    return true;
  }

  // One string at p_ (a quotation mark); false when it is not strict.
  bool string() noexcept {
    ++p_;
    while (true) {
      p_ = find_string_special(p_, end_);
      if (p_ == end_) return false;
      if (*p_ == '"') {
        ++p_;
        return true;
      }
      if (*p_ != '\\' || end_ - p_ < 2) return false;  // a raw control
      const char e = p_[1];
      if (e == 'u') {
        if (!unicode_escape()) return false;
      } else if (simple_escape(static_cast<unsigned char>(e)) != 0) {
        p_ += 2;
      } else {
        return false;
      }
    }
  }

  // A key and its colon at p_.
  bool key() noexcept {
    if (p_ == end_ || *p_ != '"' || !string()) return false;
    skip_ws();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    return true;
  }

  // The value at p_; a container that is not empty is only opened (with
  // its first key), and its first value is due next.
  Read value() noexcept {
    const char c = *p_;
    if (c == '{' || c == '[') {
      if (depth_ == kMaxDepth) return Read::Fail;
      stack_[depth_++] = c;
      ++p_;
      skip_ws();
      if (p_ != end_ && *p_ == (c == '{' ? '}' : ']')) {
        --depth_;
        ++p_;
        return Read::Value;
      }
      if (c == '{' && !key()) return Read::Fail;
      return Read::Opened;
    }
    return scalar() ? Read::Value : Read::Fail;
  }

  bool scalar() noexcept {
    const char c = *p_;
    if (c == '"') return string();
    if (c == '-' || is_digit(static_cast<unsigned char>(c))) {
      const NumberScan scan = scan_number(p_, end_);
      if (scan.error != NumberScanError::None || number_overflows(scan)) {
        return false;
      }
      p_ = scan.stop;
      return true;
    }
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    const std::size_t len = c == 'f' ? 5 : 4;
    if (rest.substr(0, len) != (c == 't'   ? "true"
                                : c == 'f' ? "false"
                                           : "null")) {
      return false;
    }
    p_ += len;
    return true;
  }

  Next after_value() noexcept {
    while (true) {
      skip_ws();
      if (depth_ == 0) return p_ == end_ ? Next::End : Next::Fail;
      if (p_ == end_) return Next::Fail;
      const char open = stack_[depth_ - 1];
      if (*p_ == (open == '{' ? '}' : ']')) {
        --depth_;
        ++p_;
        continue;
      }
      if (*p_ != ',') return Next::Fail;
      ++p_;
      if (open == '{') {
        skip_ws();
        if (!key()) return Next::Fail;
      }
      return Next::Value;
    }
  }

  std::pair<std::size_t, std::size_t> whole() const noexcept {
    const char* last = end_;
    while (last != first_ && is_json_ws(static_cast<unsigned char>(last[-1]))) {
      --last;
    }
    return {static_cast<std::size_t>(first_ - begin_),
            static_cast<std::size_t>(last - begin_)};
  }

  const char* const begin_;
  const char* const end_;
  const char* p_;
  const char* first_ = nullptr;
  char stack_[kMaxDepth] = {};
  std::size_t depth_ = 0;
};

}  // namespace

std::optional<std::pair<std::size_t, std::size_t>> strict_document_span(
    std::string_view text) noexcept {
  return StrictScan(text).span();
}

}  // namespace tarnwick::detail::lenient
