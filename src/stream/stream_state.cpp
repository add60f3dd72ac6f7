#include "stream/stream_state.h"

#include <algorithm>  // min
#include <cstdint>    // UINT64_MAX

#include "tarnwick/reader.h"  // parse_number_document
#include "text/chars.h"       // is_json_ws, is_digit, hex_value, simple_escape
#include "text/utf8.h"        // append_utf8, combine_surrogates, decode_utf8

namespace tarnwick::detail {
namespace {

// Open containers the strict reader allows: it refuses the 128th.
constexpr std::size_t kMaxDepth = 127;

constexpr bool is_number_byte(unsigned char c) noexcept {
  return is_digit(c) || c == '-' || c == '+' || c == '.' || c == 'e' ||
         c == 'E';
}

constexpr bool starts_value(unsigned char c) noexcept {
  return c == '{' || c == '[' || c == '"' || c == '-' || is_digit(c) ||
         c == 't' || c == 'f' || c == 'n';
}

// Bytes after which a prefix read by the lenient path holds no piece of a
// number, literal or word that more text could still change.
constexpr bool ends_token(unsigned char c) noexcept {
  return is_json_ws(c) || c == ',' || c == ':' || c == '[' || c == ']' ||
         c == '{' || c == '}' || c == '"';
}

// Drops a null that ends the value's last member (recursively): the lenient
// path fills a key with no value yet, or a cut word, with null, which the
// prefix rule does not show until the value arrives.
void drop_dangling_null(JsonValue& value) {
  JsonValue* at = &value;
  for (;;) {
    if (at->kind() == ValueKind::Array) {
      JsonArray& items = at->as_array();
      if (items.empty()) return;
      if (items.back().is_null()) {
        items.pop_back();
        return;
      }
      at = &items.back();
    } else if (at->kind() == ValueKind::Object) {
      const JsonObject& members = at->as_object();
      if (members.empty()) return;
      const JsonObject::Entry& last = *(members.end() - 1);
      if (last.value.is_null()) {
        JsonObject kept;
        for (auto e = members.begin(); e + 1 != members.end(); ++e) {
          kept.insert(e->key, e->value.clone());
        }
        *at = JsonValue(std::move(kept));
        return;
      }
      // The object is this function's to change; only its interface is
      // read-only.
      at = const_cast<JsonValue*>(&last.value);
    } else {
      return;
    }
  }
}

// The byte order mark, skipped at the start of the text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool KeySet::insert(std::string_view key) {
  if (many_.empty()) {
    for (const std::string& k : few_) {
      if (k == key) return false;
    }
    if (few_.size() < kFew) {
      few_.emplace_back(key);
      return true;
    }
    for (std::string& k : few_) many_.insert(std::move(k));
    few_.clear();
  }
  return many_.emplace(key).second;
}

// MARK: feeding

std::span<const StreamEvent> StreamState::feed(std::string_view chunk) {
  pending_.clear();
  arena_.clear();
  const std::uint64_t limit = options_.repair.max_len;
  chunk_start_ = fed_;
  fed_ += chunk.size();
  // The text is kept to one byte past the limit: enough for close() to
  // answer as run_extract does for the whole of a longer text.
  if (text_.size() <= limit) {
    const std::uint64_t room = limit - text_.size();
    text_.append(chunk.substr(0, chunk.size() <= room
                                     ? chunk.size()
                                     : static_cast<std::size_t>(room) + 1));
  }
  const bool over = fed_ > limit;
  std::string_view readable = chunk;
  if (over) {
    readable =
        chunk.substr(0, static_cast<std::size_t>(
                            chunk_start_ <= limit ? limit - chunk_start_ : 0));
  }
  std::size_t watch_from = 0;
  if (phase_ == Phase::Before || phase_ == Phase::Value) {
    read(readable);
    watch_from = phase_ == Phase::Fallback ? departed_in_chunk_ : 0;
  }
  if (phase_ == Phase::Fallback && !done_ && !over) {
    const bool closed =
        in_fence_ && watch_closing_fence(readable.substr(watch_from));
    // Growth by half between readings keeps their total linear.
    if (closed || 2 * text_.size() >= 3 * reread_at_ + 2) reread();
    if (closed) done_ = true;
  }
  if (over && !done_) {
    if (phase_ != Phase::Fallback) depart(readable.size());
    done_ = true;
  }
  return publish();
}

void StreamState::read(std::string_view chunk) {
  std::size_t i = 0;
  while (i < chunk.size()) {
    if (phase_ == Phase::Before) {
      i = read_prose(chunk, i);
    } else if (phase_ == Phase::Value) {
      i = read_value(chunk, i);
    } else {
      break;
    }
  }
  // A value string cut by the chunk shows what it holds so far.
  if (phase_ == Phase::Value && expect_ == Expect::String && !key_string_) {
    flush_string();
  }
}

// MARK: before the value

std::size_t StreamState::read_prose(std::string_view chunk, std::size_t i) {
  for (; i < chunk.size(); ++i) {
    const auto c = static_cast<unsigned char>(chunk[i]);
    if (c == '`') {
      if (++backticks_ == 3 && fence_ == 0) {
        fence_ = 1;
        in_fence_ = true;
      }
      continue;
    }
    backticks_ = 0;
    if (fence_ == 1) {  // the fence's language tag, up to the line's end
      if (c == '\n') fence_ = 2;
      if (c != '{' && c != '[') continue;
    }
    if (is_json_ws(c)) continue;
    const std::uint64_t at = chunk_start_ + i;
    if (at_start_ && at < kByteOrderMark.size() &&
        c == static_cast<unsigned char>(kByteOrderMark[at])) {
      continue;
    }
    const bool start = at_start_ && fence_ == 0;
    at_start_ = false;
    if (fence_ != 0 || start) {
      if (!starts_value(c)) {
        if (fence_ == 0) continue;
        depart(i);
        return i;
      }
      tentative_ = start && c != '{' && c != '[' && c != '"';
    } else if (c != '{' && c != '[') {
      continue;
    }
    phase_ = Phase::Value;
    expect_ = Expect::Value;
    return i;
  }
  return i;
}

void StreamState::revert_to_prose() {
  phase_ = Phase::Before;
  expect_ = Expect::Value;
  tentative_ = false;
  number_.clear();
}

// MARK: the value

std::size_t StreamState::read_value(std::string_view chunk, std::size_t i) {
  switch (expect_) {
    case Expect::String:
      return read_string(chunk, i);
    case Expect::Number:
      return read_number(chunk, i);
    case Expect::Literal:
      return read_literal(chunk, i);
    default:
      break;
  }
  while (i < chunk.size() && is_json_ws(static_cast<unsigned char>(chunk[i]))) {
    ++i;
  }
  if (i == chunk.size()) return i;
  return read_punctuation(static_cast<unsigned char>(chunk[i]), i);
}

std::size_t StreamState::read_punctuation(unsigned char c, std::size_t i) {
  switch (expect_) {
    case Expect::ValueOrEnd:
      if (c == ']') {
        close_container(c, i);
        return i + 1;
      }
      [[fallthrough]];
    case Expect::Value:
      begin_value(c, i);
      return i + 1;
    case Expect::KeyOrEnd:
      if (c == '}') {
        close_container(c, i);
        return i + 1;
      }
      [[fallthrough]];
    case Expect::Key:
      if (c != '"') break;
      begin_string(true);
      return i + 1;
    case Expect::Colon:
      if (c != ':') break;
      expect_ = Expect::Value;
      return i + 1;
    case Expect::CommaOrEnd:
      if (c == ']' || c == '}') {
        close_container(c, i);
        return i + 1;
      }
      if (c != ',') break;
      expect_ = stack_[depth_ - 1].object ? Expect::Key : Expect::Value;
      return i + 1;
    default:
      break;
  }
  depart(i);
  return i;
}

void StreamState::begin_value(unsigned char c, std::size_t i) {
  switch (c) {
    case '{':
    case '[':
      open_container(c == '{', i);
      return;
    case '"':
      begin_string(false);
      return;
    case 't':
      literal_ = "true";
      break;
    case 'f':
      literal_ = "false";
      break;
    case 'n':
      literal_ = "null";
      break;
    default:
      if (c != '-' && !is_digit(c)) {
        depart(i);
        return;
      }
      number_.assign(1, static_cast<char>(c));
      expect_ = Expect::Number;
      return;
  }
  literal_at_ = 1;
  expect_ = Expect::Literal;
}

void StreamState::open_container(bool object, std::size_t i) {
  if (depth_ == kMaxDepth) {
    depart(i);
    return;
  }
  emit(stepped(StreamEventKind::Open,
               object ? ValueKind::Object : ValueKind::Array));
  if (depth_ == stack_.size()) stack_.emplace_back();
  OpenContainer& top = stack_[depth_++];
  top.object = object;
  top.count = 0;
  top.key.clear();
  if (object) top.keys.clear();
  expect_ = object ? Expect::KeyOrEnd : Expect::ValueOrEnd;
}

void StreamState::close_container(unsigned char c, std::size_t i) {
  if ((c == '}') != stack_[depth_ - 1].object) {
    depart(i);
    return;
  }
  --depth_;
  emit(stepped(StreamEventKind::Complete,
               c == '}' ? ValueKind::Object : ValueKind::Array));
  value_completed();
}

void StreamState::value_completed() {
  if (depth_ == 0) {
    phase_ = Phase::After;
    done_ = true;
    return;
  }
  ++stack_[depth_ - 1].count;
  expect_ = Expect::CommaOrEnd;
}

// What may follow a number or literal: it is complete only then.
bool StreamState::follows_scalar(unsigned char c) const noexcept {
  return is_json_ws(c) || c == ',' || c == ']' || c == '}' ||
         (depth_ == 0 && c == '`');
}

void StreamState::fail_scalar(std::size_t i) {
  if (tentative_) {
    revert_to_prose();
  } else {
    depart(i);
  }
}

std::size_t StreamState::read_number(std::string_view chunk, std::size_t i) {
  std::size_t j = i;
  while (j < chunk.size() &&
         is_number_byte(static_cast<unsigned char>(chunk[j]))) {
    ++j;
  }
  number_.append(chunk.data() + i, j - i);
  if (j == chunk.size()) return j;
  if (!follows_scalar(static_cast<unsigned char>(chunk[j]))) {
    fail_scalar(j);
    return j;
  }
  const ReadResult<JsonNumber> number = parse_number_document(number_);
  if (!number.ok()) {
    fail_scalar(j);
    return j;
  }
  StreamEvent complete = stepped(StreamEventKind::Complete, ValueKind::Number);
  complete.number = number.value();
  emit(complete);
  value_completed();
  return j;
}

std::size_t StreamState::read_literal(std::string_view chunk, std::size_t i) {
  for (; i < chunk.size() && literal_at_ < literal_.size(); ++i) {
    if (chunk[i] != literal_[literal_at_]) {
      fail_scalar(i);
      return i;
    }
    ++literal_at_;
  }
  if (i == chunk.size()) return i;
  if (!follows_scalar(static_cast<unsigned char>(chunk[i]))) {
    fail_scalar(i);
    return i;
  }
  StreamEvent complete =
      stepped(StreamEventKind::Complete,
              literal_[0] == 'n' ? ValueKind::Null : ValueKind::Bool);
  complete.boolean = literal_[0] == 't';
  emit(complete);
  value_completed();
  return i;
}

// MARK: strings

void StreamState::begin_string(bool key) {
  expect_ = Expect::String;
  key_string_ = key;
  str_.clear();
  appended_ = 0;
  shown_string_ = false;
}

std::size_t StreamState::read_string(std::string_view chunk, std::size_t i) {
  const std::size_t n = chunk.size();
  while (i < n && phase_ == Phase::Value) {
    if (escape_ != Escape::None) {
      i = read_escape(static_cast<unsigned char>(chunk[i]), i);
      continue;
    }
    if (utf8_need_ != 0) {
      i = read_utf8(chunk, i);
      continue;
    }
    std::size_t j = i;
    while (j < n) {
      const auto c = static_cast<unsigned char>(chunk[j]);
      if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
      ++j;
    }
    str_.append(chunk.data() + i, j - i);
    if (j == n) return j;
    const auto c = static_cast<unsigned char>(chunk[j]);
    if (c == '"') {
      if (key_string_) {
        end_key(j);
      } else {
        end_string();
      }
      return j + 1;
    }
    if (c == '\\') {
      escape_ = Escape::Backslash;
      i = j + 1;
      continue;
    }
    // A lead byte: 2, 3 or 4 bytes long; anything else is no UTF-8.
    utf8_need_ = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (c < 0x20 || utf8_need_ == 0) {
      utf8_need_ = 0;
      depart(j);
      return j;
    }
    utf8_[0] = c;
    utf8_have_ = 1;
    utf8_start_ = chunk_start_ + j;
    i = j + 1;
  }
  return i;
}

std::size_t StreamState::read_utf8(std::string_view chunk, std::size_t i) {
  for (; i < chunk.size() && utf8_have_ < utf8_need_; ++i) {
    const auto c = static_cast<unsigned char>(chunk[i]);
    if ((c & 0xC0) != 0x80) {
      depart(i);
      return i;
    }
    utf8_[utf8_have_++] = c;
  }
  if (utf8_have_ < utf8_need_) return i;
  const std::string_view sequence(reinterpret_cast<const char*>(utf8_),
                                  utf8_need_);
  std::size_t end = 0;
  (void)decode_utf8(sequence, end);
  utf8_need_ = 0;
  // Overlong forms, encoded surrogates and values past U+10FFFF decode one
  // byte at a time.
  if (end != sequence.size()) {
    depart_at(utf8_start_);
    return i;
  }
  str_.append(sequence);
  return i;
}

std::size_t StreamState::read_escape(unsigned char c, std::size_t i) {
  switch (escape_) {
    case Escape::Backslash:
      if (c == 'u') {
        escape_ = Escape::Hex;
        hex_count_ = 0;
        hex_ = 0;
        return i + 1;
      }
      if (const char simple = simple_escape(c); simple != 0 && high_ == 0) {
        str_.push_back(simple);
        escape_ = Escape::None;
        return i + 1;
      }
      break;
    case Escape::Hex:
      if (hex_value(c) < 0) break;
      hex_ = hex_ * 16 + static_cast<char32_t>(hex_value(c));
      if (++hex_count_ == 4) add_code_point(i);
      return i + 1;
    case Escape::LowBackslash:
      if (c != '\\') break;
      escape_ = Escape::LowU;
      return i + 1;
    case Escape::LowU:
      if (c != 'u') break;
      escape_ = Escape::Hex;
      hex_count_ = 0;
      hex_ = 0;
      return i + 1;
    case Escape::None:
      break;
  }
  depart(i);
  return i;
}

// The \u escape just read, at byte i of the chunk (its last digit). A high
// surrogate waits for its low half; a lone one leaves the strict grammar.
void StreamState::add_code_point(std::size_t i) {
  const char32_t c = hex_;
  escape_ = Escape::None;
  const bool low = c >= 0xDC00 && c <= 0xDFFF;
  if (high_ != 0) {
    if (!low) {
      depart(i);
      return;
    }
    append_utf8(combine_surrogates(high_, c), str_);
    high_ = 0;
  } else if (c >= 0xD800 && c <= 0xDBFF) {
    high_ = c;
    escape_ = Escape::LowBackslash;
  } else if (low) {
    depart(i);
  } else {
    append_utf8(c, str_);
  }
}

void StreamState::end_string() {
  expect_ = Expect::CommaOrEnd;  // value_completed sets the real one
  const std::size_t whole = arena_.size();
  arena_.append(str_);
  if (!shown_string_ || appended_ < str_.size()) {
    emit(stepped(StreamEventKind::Append, ValueKind::String), whole + appended_,
         str_.size() - appended_);
  }
  emit(stepped(StreamEventKind::Complete, ValueKind::String), whole,
       str_.size());
  value_completed();
}

void StreamState::end_key(std::size_t i) {
  OpenContainer& top = stack_[depth_ - 1];
  if (!top.keys.insert(str_)) {
    depart(i);
    return;
  }
  top.key = str_;
  expect_ = Expect::Colon;
}

// MARK: events

StreamEvent StreamState::stepped(StreamEventKind kind, ValueKind value_kind) {
  StreamEvent event;
  event.kind = kind;
  event.value_kind = value_kind;
  event.depth = static_cast<std::uint32_t>(depth_);
  if (depth_ > 0) {
    event.in_object = stack_[depth_ - 1].object;
    event.index = stack_[depth_ - 1].count;
  }
  return event;
}

void StreamState::emit(const StreamEvent& event, std::size_t text_at,
                       std::size_t text_size) {
  PendingEvent pending{event, 0, 0, text_at, text_size};
  if (event.in_object) {
    const std::string& key = stack_[depth_ - 1].key;
    pending.key_at = arena_.size();
    pending.key_size = key.size();
    arena_.append(key);
  }
  pending_.push_back(pending);
}

void StreamState::flush_string() {
  if (shown_string_ && appended_ == str_.size()) return;
  const std::size_t at = arena_.size();
  arena_.append(str_, appended_);
  emit(stepped(StreamEventKind::Append, ValueKind::String), at,
       str_.size() - appended_);
  appended_ = str_.size();
  shown_string_ = true;
}

std::span<const StreamEvent> StreamState::publish() {
  events_.clear();
  for (const PendingEvent& p : pending_) {
    StreamEvent event = p.event;
    event.key = std::string_view(arena_).substr(p.key_at, p.key_size);
    event.text = std::string_view(arena_).substr(p.text_at, p.text_size);
    events_.push_back(event);
  }
  return events_;
}

// MARK: off the incremental path

void StreamState::depart(std::size_t i) { depart_at(chunk_start_ + i); }

void StreamState::depart_at(std::uint64_t at) {
  if (phase_ == Phase::Value && expect_ == Expect::String && !key_string_) {
    flush_string();
  }
  phase_ = Phase::Fallback;
  departed_in_chunk_ = static_cast<std::size_t>(at - chunk_start_);
  reread_at_ = 0;
  // The value the events showed: the strict reading of the text before the
  // departure, which never departs itself.
  ExtractOptions unlimited = options_;
  unlimited.repair.max_len = UINT64_MAX;
  StreamState replay(unlimited);
  StreamValue value;
  value.apply(replay.feed(
      std::string_view(text_).substr(0, static_cast<std::size_t>(at))));
  shown_started_ = value.started();
  shown_ = value.value();
  ++generation_;
}

void StreamState::reread() {
  reread_at_ = text_.size();
  std::size_t cut = text_.size();
  while (cut > 0 && !ends_token(static_cast<unsigned char>(text_[cut - 1]))) {
    --cut;
  }
  Extraction read =
      run_extract(std::string_view(text_).substr(0, cut), options_);
  drop_dangling_null(read.outcome.value);
  // A null at the top shows nothing yet: what comes later may be anything.
  if (read.outcome.strategy == Strategy::Fallback ||
      read.outcome.value.is_null()) {
    return;
  }
  if (shown_started_ &&
      (read.outcome.value == shown_ || !extends(shown_, read.outcome.value))) {
    return;
  }
  shown_ = std::move(read.outcome.value);
  shown_started_ = true;
  ++generation_;
}

bool StreamState::watch_closing_fence(std::string_view chunk) {
  for (const char c : chunk) {
    if (c != '`') {
      backticks_ = 0;
    } else if (++backticks_ == 3) {
      return true;
    }
  }
  return false;
}

Extraction StreamState::close() const {
  Extraction read = run_extract(text_, options_);
  // A text past the limit was kept to one byte past it, which answers the
  // same; only the span's end is the whole text's.
  if (fed_ > options_.repair.max_len) {
    read.span_end = static_cast<std::size_t>(fed_);
  }
  return read;
}

}  // namespace tarnwick::detail
