// string: the lenient pass reads a string whose opening mark is at i_. Its
// delimiters become double quotes; what JSON does not allow inside is
// escaped; a string cut by the end of the text is closed there. Whether a
// mark closes the string or stands inside it is decided in decisions.cpp.

#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <string>       // string
#include <string_view>  // string_view

#include "lenient/pass.h"
#include "tarnwick/writer.h"  // escape_string
#include "text/chars.h"
#include "text/hex.h"
#include "text/swar.h"  // find_string_special

namespace tarnwick::detail::lenient {

void Pass::read_string(QuoteMark open, Place where) {
  if (open.kind != Quote::Double) {
    edits_.replace(i_, open.length, "\"", Fix::Quotes);
  }
  i_ += open.length;
  // "C:\temp\file.txt": a Windows path, whose backslashes are its own.
  const bool drive_path = i_ + 3 < n_ && is_ascii_letter(t_[i_]) &&
                          t_[i_ + 1] == ':' && t_[i_ + 2] == '\\' &&
                          t_[i_ + 3] != '\\';
  StringRead s{open.kind, where, i_, drive_path, npos, edits_.checkpoint()};
  letter_escapes_.clear();
  while (true) {
    // The plain run: nothing to look at in it.
    const char* const from = t_.data() + i_;
    const char* const end = t_.data() + n_;
    const char* const stop =
        s.kind == Quote::Double
            ? find_string_special(from, end)
            : find_string_special_or(from, end,
                                     s.kind == Quote::Single     ? '\''
                                     : s.kind == Quote::Backtick ? '`'
                                                                 : 0xE2);
    i_ = static_cast<std::size_t>(stop - t_.data());
    if (i_ >= n_) {
      // Cut by the end, unless the text ends with the closers of the open
      // containers ({"dir": "src/app}): then the string lost its closing
      // quote before them.
      if (const std::size_t at = closers_before(s, n_); at != npos) {
        end_string_at(s, at, Fix::Quotes);
        guessed_ = true;
        return;
      }
      // A line break at the very end was the reply's, not the string's.
      std::size_t last = n_;
      while (last > s.start &&
             is_json_ws(static_cast<unsigned char>(t_[last - 1]))) {
        --last;
      }
      if (t_.substr(last, n_ - last).find('\n') != npos) {
        end_string_at(s, last, Fix::Truncated);
      } else {
        edits_.insert(n_, "\"", Fix::Truncated);
      }
      truncated_ = true;
      return;
    }
    const auto c = static_cast<unsigned char>(t_[i_]);
    if (c == '\\') {
      read_escape(s);
    } else if ((c == '\n' || c == '\r') && line_closes_container(s)) {
      // The string lost its closing quote before a line that closes the
      // container it stands in ("東京都\n  },").
      std::size_t last = i_;
      while (last > s.start && (t_[last - 1] == ' ' || t_[last - 1] == '\t')) {
        --last;
      }
      end_string_at(s, last, Fix::Quotes);
      guessed_ = true;
      return;
    } else if (c < 0x20) {
      std::string escaped;
      escape_string(t_.substr(i_, 1), escaped);  // with quotes around
      edits_.replace(i_, 1,
                     std::string_view(escaped).substr(1, escaped.size() - 2),
                     Fix::ControlCharacters);
      ++i_;
    } else if (const std::size_t close = closer_at(t_, i_, s.kind)) {
      if (read_mark(s, close)) return;
    } else if (c == '"') {  // inside a string of other quotes
      edits_.insert(i_, "\\", Fix::Quotes);
      ++i_;
    } else {
      ++i_;  // a quote of another kind, or another character starting 0xE2
    }
  }
}

// A backslash at i_ in a string.
void Pass::read_escape(StringRead& s) {
  if (i_ + 1 >= n_) {
    edits_.erase(i_, 1, Fix::Truncated);  // an escape cut by the end
    ++i_;
    return;
  }
  switch (t_[i_ + 1]) {
    case '"':
    case '\\':
      i_ += 2;
      return;
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
      // A letter escape: literal in a string that has shown it does not
      // escape its backslashes (C:\Users\new), an escape otherwise.
      if (s.literal_backslashes) {
        edits_.insert(i_, "\\", Fix::Escapes);
      } else {
        letter_escapes_.push_back(i_);
      }
      i_ += 2;
      return;
    case '\'':
      edits_.erase(i_, 1, Fix::Escapes);
      i_ += 2;
      return;
    case 'u':
      read_unicode_escape();
      return;
    case 'x':
      // \xe9, as Python and JavaScript write a code point below 256.
      if (i_ + 3 < n_ &&
          hex_value(static_cast<unsigned char>(t_[i_ + 2])) >= 0 &&
          hex_value(static_cast<unsigned char>(t_[i_ + 3])) >= 0) {
        std::string escape = "\\u00";
        escape.append(t_.substr(i_ + 2, 2));
        edits_.replace(i_, 4, escape, Fix::Escapes);
        i_ += 4;
        return;
      }
      [[fallthrough]];
    default:
      // An escape JSON lacks: the backslash stays, as a character, and so
      // do the others of this string, which was written unescaped.
      edits_.replace(i_, 1, "\\\\", Fix::Escapes);
      ++i_;
      if (!s.literal_backslashes) {
        s.literal_backslashes = true;
        for (const std::size_t at : letter_escapes_) {
          edits_.insert(at, "\\", Fix::Escapes);
        }
      }
      return;
  }
}

// A \u escape at i_: one with fewer than four digits keeps its backslash as
// a character (or goes, when the end cut it); a lone surrogate becomes
// U+FFFD.
void Pass::read_unicode_escape() {
  const char* const end = t_.data() + n_;
  std::uint32_t code = 0;
  const std::size_t h = i_ + 2 + read_hex_digits(t_.data() + i_ + 2, end, code);
  if (h < i_ + 6) {
    if (h >= n_) {  // cut by the end: dropped, never a character
      edits_.erase(i_, n_ - i_, Fix::Truncated);
      i_ = n_;
    } else {
      edits_.replace(i_, 1, "\\\\", Fix::Escapes);
      ++i_;
    }
    return;
  }
  if (is_high_surrogate(code)) {
    // A high surrogate counts only with its low half next.
    std::uint32_t low = 0;
    if (h + 6 <= n_ && t_[h] == '\\' && t_[h + 1] == 'u' &&
        read_hex_digits(t_.data() + h + 2, end, low) == 4 &&
        is_low_surrogate(low)) {
      i_ = h + 6;
      return;
    }
    if (h + 6 > n_ && is_cut_escape(t_.substr(h))) {
      // Its low half cut by the end: both dropped.
      edits_.erase(i_, n_ - i_, Fix::Truncated);
      i_ = n_;
      return;
    }
  }
  if (is_high_surrogate(code) || is_low_surrogate(code)) {
    edits_.replace(i_, 6, "\\ufffd", Fix::Escapes);
  }
  i_ = h;
}

// A mark at i_ (`close` bytes) that can close the string. True when the
// string ended: at this mark, or earlier, at a comma where the value lost
// its closing quote. False when the string goes on.
bool Pass::read_mark(StringRead& s, std::size_t close) {
  const std::size_t after = i_ + close;
  if (s.lost_close != npos && lost_close_before_key(s, after)) {
    // "value, "key": the value lost its closing quote before a comma (or
    // a line break) that the next key or element follows: it ends there.
    edits_.drop_from(s.edits, s.lost_close);
    edits_.insert(s.lost_close, "\"", Fix::Quotes);
    i_ = s.lost_close;
    guessed_ = true;
    return true;
  }
  // What strict text has after a string decides at once; otherwise the
  // decision below.
  const bool plain = plain_end(after, s.where);
  if (plain || quote_closes(after, s.kind, s.where)) {
    if (!plain && join_concatenated(s, after)) return false;
    if (s.kind != Quote::Double) edits_.replace(i_, close, "\"", Fix::Quotes);
    i_ = after;
    return true;
  }
  // An inner quote right after a comma or a line break may open the next
  // key or element (see above).
  s.lost_close = lost_close_at(s);
  if (t_[i_] == '"') edits_.insert(i_, "\\", Fix::InnerQuotes);
  i_ = after;
  return false;
}

// Ends the string being read at `at`, before text it took as content: the
// edits made in that text go, a closing quote goes in, and the reading
// resumes there.
void Pass::end_string_at(const StringRead& s, std::size_t at, Fix fix) {
  edits_.drop_from(s.edits, at);
  edits_.insert(at, "\"", fix);
  i_ = at;
}

// "a" + "b": a string that closed at i_ joins the next one; the string
// reads on in that one's quotes. False when no such join follows.
bool Pass::join_concatenated(StringRead& s, std::size_t after) {
  if (s.where == Place::Key) return false;
  std::size_t q = after;
  while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
  if (q >= n_ || t_[q] != '+') return false;
  ++q;
  while (q < n_ && is_json_ws(static_cast<unsigned char>(t_[q]))) ++q;
  const QuoteMark next = q < n_ ? quote_at(t_, q) : QuoteMark{};
  if (next.kind == Quote::None) return false;
  edits_.erase(i_, q + next.length - i_, Fix::Concatenation);
  i_ = q + next.length;
  s.kind = next.kind;
  return true;
}

}  // namespace tarnwick::detail::lenient
