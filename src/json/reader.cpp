// The strict reader. One pass over the bytes, recursion bounded by the nesting
// budget, one scratch buffer for every string that holds escapes.
#include "tarnwick/reader.h"

#include <cstddef>   // ptrdiff_t
#include <cstring>   // memcmp
#include <iterator>  // make_move_iterator
#include <optional>  // optional
#include <string>    // string
#include <vector>    // vector

#include "json/canonical.h"
#include "json/number.h"
#include "json/swar.h"
#include "json/utf8.h"

namespace tarnwick {
namespace {

// MARK: - Character utilities (Private)

constexpr bool is_ws(unsigned char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr bool is_digit(unsigned char c) noexcept {
  return c >= '0' && c <= '9';
}

// Maps a byte to its hex digit value, or -1.
constexpr int hex_value(unsigned char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whether a Float token with a point and no exponent is the writer's
// spelling of its value, from the digits alone; empty when that takes
// formatting the value. With at most 15 digits the value is the correctly
// rounded one (one exact division) and its shortest round-trip digits are
// the token's own, so only the layout is left to check: no trailing zero
// after the point except in "X.0", at most four zeros after "0.".
std::optional<bool> plain_float_is_canonical(
    const detail::NumberScan& s) noexcept {
  if (s.has_exp || !s.has_frac) return std::nullopt;
  if ((s.int_end - s.int_begin) + (s.frac_end - s.frac_begin) > 15) {
    return std::nullopt;
  }
  const char* last = s.frac_end;
  while (last != s.frac_begin && last[-1] == '0') --last;
  if (last == s.frac_begin) return s.frac_end - s.frac_begin == 1;
  if (last != s.frac_end) return false;
  if (s.int_end - s.int_begin == 1 && *s.int_begin == '0') {
    const char* first = s.frac_begin;
    while (*first == '0') ++first;
    return first - s.frac_begin <= 4;
  }
  return true;
}

// MARK: - Reader (Private)

class Reader {
 public:
  explicit Reader(std::string_view text, bool note_canonical = false) noexcept
      : begin_(text.data()),
        p_(text.data()),
        end_(text.data() + text.size()),
        canonical_(note_canonical),
        edit_budget_(text.size() / 128 + 8) {}

  const ReadError& error() const noexcept { return error_; }
  // After a successful read_document of a Reader made with note_canonical:
  // the value's canonical text, when the edits noted while reading make it.
  std::optional<std::string> canonical_text() const {
    if (!canonical_) return std::nullopt;
    std::size_t size = static_cast<std::size_t>(end_ - begin_);
    for (const Edit& e : edits_) {
      size = size - static_cast<std::size_t>(e.end - e.begin) + e.length;
    }
    std::string out(size, '\0');
    char* w = out.data();
    const char* from = begin_;
    for (const Edit& e : edits_) {
      std::memcpy(w, from, static_cast<std::size_t>(e.begin - from));
      w += e.begin - from;
      std::memcpy(w, e.text, e.length);
      w += e.length;
      from = e.end;
    }
    std::memcpy(w, from, static_cast<std::size_t>(end_ - from));
    return out;
  }

  // Document steps around one value; false with error() set on failure.
  bool read_document(JsonValue& out) {
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInValue);
    if (!read_value(out)) return false;
    return finish_document();
  }

  bool read_number_document(JsonNumber& out) {
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInValue);
    const unsigned char c = static_cast<unsigned char>(*p_);
    if (c == '-' || is_digit(c)) {
      if (!read_number(out)) return false;
      return finish_document();
    }
    if (c == '[' || c == '{') return fail(ReadErrorKind::NotANumber);
    // A literal or string is read first so a malformed one reports its own
    // kind; a well-formed one is still not a number.
    if (c == 'n' || c == 't' || c == 'f' || c == '"') {
      JsonValue ignored;
      if (!read_value(ignored)) return false;
      return fail_before(ReadErrorKind::NotANumber);
    }
    return fail(ReadErrorKind::ExpectedValue);
  }

 private:
  // Records an error at the byte under p_ (the error point is just past it).
  bool fail(ReadErrorKind kind) noexcept {
    set_error(kind, p_ == end_ ? p_ : p_ + 1);
    return false;
  }

  // Records an error at the last byte consumed.
  bool fail_before(ReadErrorKind kind) noexcept {
    set_error(kind, p_);
    return false;
  }

  void set_error(ReadErrorKind kind, const char* point) noexcept {
    std::uint32_t line = 1;
    const char* line_start = begin_;
    for (const char* q = begin_; q < point; ++q) {
      if (*q == '\n') {
        ++line;
        line_start = q + 1;
      }
    }
    error_ =
        ReadError{kind, line, static_cast<std::uint32_t>(point - line_start)};
  }

  bool finish_document() {
    skip_ws();
    if (p_ != end_) return fail(ReadErrorKind::TrailingCharacters);
    return true;
  }

  void skip_ws() noexcept {
    if (p_ == end_ || !is_ws(static_cast<unsigned char>(*p_))) return;
    const char* start = p_;
    do {
      ++p_;
    } while (p_ != end_ && is_ws(static_cast<unsigned char>(*p_)));
    if (canonical_) note_edit(start, nullptr, 0);  // the writer writes none
  }

  void note_edit(const char* start, const char* text, std::size_t length) {
    // Past one edit per 128 bytes (indented text) the writer is about as
    // quick, and the edits would hold more memory than the text.
    if (edits_.size() == edit_budget_) {
      canonical_ = false;
      edits_ = std::vector<Edit>();
      return;
    }
    Edit& e = edits_.emplace_back();
    e.begin = start;
    e.end = p_;
    e.length = static_cast<std::uint8_t>(length);
    if (length != 0) std::memcpy(e.text, text, length);
  }

  bool read_value(JsonValue& out) {
    switch (*p_) {
      case 'n':
        if (!read_literal("null", 4)) return false;
        out = JsonValue();
        return true;
      case 't':
        if (!read_literal("true", 4)) return false;
        out = JsonValue(true);
        return true;
      case 'f':
        if (!read_literal("false", 5)) return false;
        out = JsonValue(false);
        return true;
      case '"': {
        std::string s;
        if (!read_string(s)) return false;
        out = JsonValue(std::move(s));
        return true;
      }
      case '[':
        return read_array(out);
      case '{':
        return read_object(out);
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': {
        JsonNumber n;
        if (!read_number(n)) return false;
        out = JsonValue(n);
        return true;
      }
      default:
        return fail(ReadErrorKind::ExpectedValue);
    }
  }

  bool read_literal(const char* word, std::size_t len) noexcept {
    ++p_;
    for (std::size_t i = 1; i < len; ++i) {
      if (p_ == end_) return fail(ReadErrorKind::EofInValue);
      if (*p_ != word[i]) return fail(ReadErrorKind::ExpectedLiteral);
      ++p_;
    }
    return true;
  }

  bool take_budget() noexcept {
    if (--budget_ == 0) {
      ++budget_;
      return fail(ReadErrorKind::RecursionLimitExceeded);
    }
    return true;
  }

  bool read_array(JsonValue& out) {
    if (!take_budget()) return false;
    const bool ok = read_array_body(out);
    ++budget_;
    return ok;
  }

  // Elements wait on values_ until the array closes, so each array is
  // allocated once at its final length instead of growing element by element.
  bool read_array_body(JsonValue& out) {
    ++p_;
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInArray);
    const std::size_t base = values_.size();
    if (*p_ != ']') {
      for (;;) {
        JsonValue item;
        if (!read_value(item)) return false;
        values_.push_back(std::move(item));
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInArray);
        if (*p_ == ']') break;
        if (*p_ != ',') return fail(ReadErrorKind::ExpectedArrayCommaOrEnd);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        if (*p_ == ']') return fail(ReadErrorKind::TrailingComma);
      }
    }
    ++p_;
    if (base == 0) {
      // The outermost array owns the whole stack: hand it over without a
      // copy, which halves the peak for a text that is one long array.
      out = JsonValue(std::move(values_));
      values_ = JsonArray();
      return true;
    }
    const auto first = values_.begin() + static_cast<std::ptrdiff_t>(base);
    out = JsonValue(JsonArray(std::make_move_iterator(first),
                              std::make_move_iterator(values_.end())));
    values_.erase(first, values_.end());
    return true;
  }

  bool read_object(JsonValue& out) {
    if (!take_budget()) return false;
    const bool ok = read_object_body(out);
    ++budget_;
    return ok;
  }

  // Members wait on members_ until the object closes, for the same reason.
  bool read_object_body(JsonValue& out) {
    ++p_;
    skip_ws();
    if (p_ == end_) return fail(ReadErrorKind::EofInObject);
    const std::size_t base = members_.size();
    if (*p_ != '}') {
      if (*p_ != '"') return fail(ReadErrorKind::KeyMustBeString);
      for (;;) {
        std::string key;
        if (!read_string(key)) return false;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInObject);
        if (*p_ != ':') return fail(ReadErrorKind::ExpectedColon);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        JsonValue value;
        if (!read_value(value)) return false;
        members_.emplace_back(std::move(key), std::move(value));
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInObject);
        if (*p_ == '}') break;
        if (*p_ != ',') return fail(ReadErrorKind::ExpectedObjectCommaOrEnd);
        ++p_;
        skip_ws();
        if (p_ == end_) return fail(ReadErrorKind::EofInValue);
        if (*p_ == '}') return fail(ReadErrorKind::TrailingComma);
        if (*p_ != '"') return fail(ReadErrorKind::KeyMustBeString);
      }
    }
    ++p_;
    JsonObject obj;
    obj.reserve(members_.size() - base);
    for (std::size_t i = base; i < members_.size(); ++i) {
      // A repeated key drops a member from the text.
      if (obj.insert(std::move(members_[i].key),
                     std::move(members_[i].value))) {
        canonical_ = false;
      }
    }
    members_.resize(base);
    out = JsonValue(std::move(obj));
    return true;
  }

  // Entered on the opening quotation mark. Escape-free strings are copied
  // once, straight from the text; others are assembled in scratch_.
  bool read_string(std::string& out) {
    ++p_;
    const char* run = p_;
    bool escaped = false;
    for (;;) {
      p_ = detail::find_string_special(p_, end_);
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        if (!escaped) {
          out.assign(run, static_cast<std::size_t>(p_ - run));
        } else {
          scratch_.append(run, static_cast<std::size_t>(p_ - run));
          out = scratch_;
        }
        ++p_;
        return true;
      }
      if (c < 0x20) return fail(ReadErrorKind::ControlCharacterInString);
      // A backslash.
      if (!escaped) {
        escaped = true;
        scratch_.clear();
      }
      scratch_.append(run, static_cast<std::size_t>(p_ - run));
      ++p_;
      if (!read_escape()) return false;
      run = p_;
    }
  }

  // Entered just past a backslash; appends the escape's bytes to scratch_.
  bool read_escape() {
    if (p_ == end_) return fail(ReadErrorKind::EofInString);
    char c;
    switch (*p_) {
      case '"':
        c = '"';
        break;
      case '\\':
        c = '\\';
        break;
      case '/':
        c = '/';
        canonical_ = false;  // written back as a plain slash
        break;
      case 'b':
        c = '\b';
        break;
      case 'f':
        c = '\f';
        break;
      case 'n':
        c = '\n';
        break;
      case 'r':
        c = '\r';
        break;
      case 't':
        c = '\t';
        break;
      case 'u':
        // The writer spells only a few control characters this way; take
        // none as canonical rather than tell them apart.
        canonical_ = false;
        ++p_;
        return read_unicode_escape();
      default:
        return fail(ReadErrorKind::InvalidEscape);
    }
    scratch_.push_back(c);
    ++p_;
    return true;
  }

  // Four hex digits at p_ into `out`.
  bool read_hex4(std::uint32_t& out) noexcept {
    if (end_ - p_ < 4) {
      p_ = end_;
      return fail(ReadErrorKind::EofInString);
    }
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const int d = hex_value(static_cast<unsigned char>(*p_));
      if (d < 0) return fail(ReadErrorKind::InvalidEscape);
      v = (v << 4) | static_cast<std::uint32_t>(d);
      ++p_;
    }
    out = v;
    return true;
  }

  // Entered just past "\u".
  bool read_unicode_escape() {
    std::uint32_t n;
    if (!read_hex4(n)) return false;
    if (n >= 0xDC00 && n <= 0xDFFF)
      return fail_before(ReadErrorKind::LoneSurrogate);
    if (n >= 0xD800 && n <= 0xDBFF) {
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      if (*p_ != '\\') return fail(ReadErrorKind::UnexpectedEndOfHexEscape);
      ++p_;
      if (p_ == end_) return fail(ReadErrorKind::EofInString);
      if (*p_ != 'u') return fail(ReadErrorKind::UnexpectedEndOfHexEscape);
      ++p_;
      std::uint32_t m;
      if (!read_hex4(m)) return false;
      if (m < 0xDC00 || m > 0xDFFF)
        return fail_before(ReadErrorKind::LoneSurrogate);
      n = 0x10000 + ((n - 0xD800) << 10) + (m - 0xDC00);
    }
    detail::append_utf8(n, scratch_);
    return true;
  }

  // Entered on '-' or a digit.
  bool read_number(JsonNumber& out) {
    detail::NumberScan scan = detail::scan_number(p_, end_);
    p_ = scan.stop;
    if (scan.error != detail::NumberScanError::None) {
      return fail(scan.error == detail::NumberScanError::Eof
                      ? ReadErrorKind::EofInValue
                      : ReadErrorKind::InvalidNumber);
    }
    if (!detail::convert_number(scan, out)) {
      return fail_before(ReadErrorKind::NumberOutOfRange);
    }
    // Integers come back as written (the grammar rules out leading zeros
    // and "-0" is a Float); a Float keeps its token only if that is the
    // writer's form ("1e-08" is not).
    if (canonical_ && out.kind() == NumberKind::Float &&
        plain_float_is_canonical(scan) != true) {
      char buf[detail::kMaxDoubleText];
      const char* w = detail::write_double(out.as_double(), buf);
      const auto n = static_cast<std::size_t>(w - buf);
      if (n != static_cast<std::size_t>(p_ - scan.begin) ||
          std::memcmp(buf, scan.begin, n) != 0) {
        note_edit(scan.begin, buf, n);
      }
    }
    return true;
  }

  struct Member {
    Member() noexcept = default;
    Member(std::string k, JsonValue v) noexcept
        : key(std::move(k)), value(std::move(v)) {}
    std::string key;
    JsonValue value;
  };

  // The bytes [begin, end) of the text read as `text` in the canonical text.
  struct Edit {
    const char* begin;
    const char* end;
    std::uint8_t length;
    char text[detail::kMaxDoubleText];
  };

  const char* begin_;
  const char* p_;
  const char* end_;
  bool canonical_;           // the edits so far give the canonical text
  std::vector<Edit> edits_;  // in text order
  std::size_t edit_budget_;
  std::uint8_t budget_ = 128;
  std::string scratch_;
  std::vector<JsonValue>
      values_;                   // elements of the open arrays, innermost last
  std::vector<Member> members_;  // members of the open objects, likewise
  ReadError error_{ReadErrorKind::EofInValue, 1, 0};
};

}  // namespace

ReadResult<JsonValue> parse_document(std::string_view text) {
  Reader reader(text);
  JsonValue value;
  if (!reader.read_document(value)) return reader.error();
  return value;
}

std::optional<JsonValue> parse_container(std::string_view text) {
  ReadResult<JsonValue> r = parse_document(text);
  if (!r.ok()) return std::nullopt;
  const ValueKind k = r.value().kind();
  if (k != ValueKind::Array && k != ValueKind::Object) return std::nullopt;
  return std::move(r.value());
}

bool may_be_document(std::string_view text) noexcept {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && is_ws(static_cast<unsigned char>(text[first]))) {
    ++first;
  }
  while (last > first && is_ws(static_cast<unsigned char>(text[last - 1]))) {
    --last;
  }
  if (first == last) return false;
  const unsigned char head = static_cast<unsigned char>(text[first]);
  const unsigned char tail = static_cast<unsigned char>(text[last - 1]);
  // A value starts with one of { [ " - t f n or a digit, and ends with one
  // of } ] " e (true, false) l (null) or a digit.
  const bool head_ok = head == '{' || head == '[' || head == '"' ||
                       head == '-' || head == 't' || head == 'f' ||
                       head == 'n' || is_digit(head);
  const bool tail_ok = tail == '}' || tail == ']' || tail == '"' ||
                       tail == 'e' || tail == 'l' || is_digit(tail);
  return head_ok && tail_ok;
}

namespace detail {

ReadResult<JsonValue> parse_document_noting_canonical(
    std::string_view text, std::optional<std::string>& canonical) {
  Reader reader(text, /*note_canonical=*/true);
  JsonValue value;
  canonical.reset();
  if (!reader.read_document(value)) return reader.error();
  canonical = reader.canonical_text();
  return value;
}

}  // namespace detail

ReadResult<JsonNumber> parse_number_document(std::string_view text) {
  Reader reader(text);
  JsonNumber n;
  if (!reader.read_number_document(n)) return reader.error();
  return n;
}

}  // namespace tarnwick
