// The push parser's state: where in the grammar the text so far left off,
// with an explicit stack of open containers and the pieces of a token that
// a chunk cut (a string's escape or UTF-8 sequence, a number, a literal).
// (Private)
#pragma once

#include <cstddef>        // size_t
#include <cstdint>        // uint8_t, uint32_t, uint64_t
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_set>  // unordered_set
#include <vector>         // vector

#include "tarnwick/stream.h"

namespace tarnwick::detail {

// The keys of one open object, to tell a repeated key: a repeated key would
// replace a value already shown, which the prefix rule forbids.
class KeySet {
 public:
  // False when `key` was there already.
  bool insert(std::string_view key);
  void clear() noexcept {
    few_.clear();
    many_.clear();
  }

 private:
  // Objects in replies hold a handful of keys: a scan beats hashing there.
  static constexpr std::size_t kFew = 16;
  std::vector<std::string> few_;
  std::unordered_set<std::string> many_;
};

// Where the text so far stands, at the top level.
enum class Phase : std::uint8_t {
  Before,    // prose or an opening fence before the value
  Value,     // inside the first value
  After,     // the value is complete: the rest only matters to close()
  Fallback,  // left the strict grammar: the lenient path re-reads the text
};

// What the next byte of the value may be.
enum class Expect : std::uint8_t {
  Value,       // a value (after ':', a ',' in an array, or at the top)
  ValueOrEnd,  // after '[': a value or ']'
  KeyOrEnd,    // after '{': a key or '}'
  Key,         // after ',' in an object
  Colon,       // after a key
  CommaOrEnd,  // after a member or element
  String,      // inside a string (a key's or a value's)
  Number,      // inside a number
  Literal,     // inside true, false or null
};

// Where a string stands inside an escape.
enum class Escape : std::uint8_t {
  None,
  Backslash,     // after '\'
  Hex,           // reading the four digits of \u
  LowBackslash,  // after a high surrogate: a '\' must follow
  LowU,          // and then 'u'
};

struct OpenContainer {
  bool object = false;
  std::size_t count = 0;  // members or elements completed
  std::string key;        // the current member's key
  KeySet keys;
};

// An event whose texts are still offsets into the chunk's arena, which may
// move while the chunk is read.
struct PendingEvent {
  StreamEvent event;
  std::size_t key_at = 0, key_size = 0;
  std::size_t text_at = 0, text_size = 0;
};

class StreamState {
 public:
  explicit StreamState(const ExtractOptions& options) : options_(options) {}

  std::span<const StreamEvent> feed(std::string_view chunk);

  bool done() const noexcept { return done_; }
  bool incremental() const noexcept { return phase_ != Phase::Fallback; }
  const JsonValue& fallback_value() const noexcept { return shown_; }
  std::uint64_t generation() const noexcept { return generation_; }
  std::string_view text() const noexcept { return text_; }
  std::uint64_t fed() const noexcept { return fed_; }
  Extraction close() const;

 private:
  // Reading: each takes the chunk and the position of its next byte, and
  // returns the position after what it took.
  void read(std::string_view chunk);
  std::size_t read_prose(std::string_view chunk, std::size_t i);
  std::size_t read_value(std::string_view chunk, std::size_t i);
  std::size_t read_punctuation(unsigned char c, std::size_t i);
  std::size_t read_string(std::string_view chunk, std::size_t i);
  std::size_t read_escape(unsigned char c, std::size_t i);
  std::size_t read_utf8(std::string_view chunk, std::size_t i);
  std::size_t read_number(std::string_view chunk, std::size_t i);
  std::size_t read_literal(std::string_view chunk, std::size_t i);

  // The grammar's steps; `i` is where a failure departs.
  void begin_value(unsigned char c, std::size_t i);
  void begin_string(bool key);
  void open_container(bool object, std::size_t i);
  void close_container(unsigned char c, std::size_t i);
  void end_string();
  void end_key(std::size_t i);
  void add_code_point(std::size_t i);
  void value_completed();
  bool follows_scalar(unsigned char c) const noexcept;
  void fail_scalar(std::size_t i);
  void revert_to_prose();

  // Events: the step of the next one, queued with texts in the arena.
  StreamEvent stepped(StreamEventKind kind, ValueKind value_kind);
  void emit(const StreamEvent& event, std::size_t text_at = 0,
            std::size_t text_size = 0);
  void flush_string();
  std::span<const StreamEvent> publish();

  // Leaving the strict grammar at byte `i` of the chunk, or at byte `at` of
  // the text.
  void depart(std::size_t i);
  void depart_at(std::uint64_t at);
  void reread();
  // Whether the chunk completes a run of three backticks.
  bool watch_closing_fence(std::string_view chunk);

  ExtractOptions options_;
  std::string text_;  // what was fed, up to max_len + 1 bytes
  std::uint64_t fed_ = 0;
  std::uint64_t chunk_start_ = 0;  // offset of the chunk being read

  Phase phase_ = Phase::Before;
  bool done_ = false;
  // Before the value.
  bool at_start_ = true;    // nothing but whitespace so far
  bool tentative_ = false;  // a scalar at the start, maybe prose
  std::uint32_t backticks_ = 0;
  std::uint8_t fence_ = 0;  // 1: in the opening fence's tag, 2: after it
  bool in_fence_ = false;   // an opening fence was seen

  // Inside the value.
  Expect expect_ = Expect::Value;
  std::vector<OpenContainer> stack_;  // reused: depth_ of them are open
  std::size_t depth_ = 0;
  std::string str_;  // the open string (or key), decoded
  bool key_string_ = false;
  std::size_t appended_ = 0;   // bytes of str_ already in Append events
  bool shown_string_ = false;  // an Append event already showed it
  Escape escape_ = Escape::None;
  std::uint32_t hex_count_ = 0;
  char32_t hex_ = 0;
  char32_t high_ = 0;  // a high surrogate waiting for its low half
  unsigned char utf8_[4] = {};
  std::uint32_t utf8_have_ = 0, utf8_need_ = 0;
  std::uint64_t utf8_start_ = 0;  // where the sequence began in the text
  std::string number_;
  std::string_view literal_;
  std::size_t literal_at_ = 0;

  // Off the incremental path.
  JsonValue shown_;
  bool shown_started_ = false;
  std::uint64_t generation_ = 0;
  std::size_t reread_at_ = 0;  // text size at the last reading
  std::size_t departed_in_chunk_ = 0;

  // The chunk's events.
  std::vector<PendingEvent> pending_;
  std::string arena_;
  std::vector<StreamEvent> events_;
};

}  // namespace tarnwick::detail
