// Streaming replies: a push parser that takes a reply in chunks of any size
// (a chunk may end inside a UTF-8 sequence, an escape, a number, a literal
// or a key) and tells after each chunk what the value so far holds, in time
// proportional to the chunk. Pure: no global state, no exceptions.
//
// The prefix rule: the value after a chunk only ever extends the value after
// the one before. Containers appear when they open and only gain members;
// a string appears at its opening quote and only grows (an escape or UTF-8
// sequence not yet complete is held back); a number or literal appears once
// the delimiter after it arrives; a key appears with the beginning of its
// value. Only close() may differ: it is run_extract of the whole text.
//
// Text before the value (prose, an opening code fence) is skipped. Text that
// departs from strict JSON sends the stream to the lenient path: events
// stop, and the value is re-read from the buffered text whenever the buffer
// has grown by half since the last reading, kept only when it extends the
// value shown so far.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t, uint32_t, uint64_t
#include <memory>       // unique_ptr
#include <span>         // span
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/extract.h"
#include "tarnwick/value.h"

namespace tarnwick {

enum class StreamEventKind : std::uint8_t {
  Open,      // a container opened: `value_kind` is Array or Object
  Complete,  // a value completed: a scalar, a string or a closed container
  Append,    // text appended to the open string (the first may be empty)
};

// One event. Its path is the path of the enclosing open container (the
// containers opened and not yet completed, `depth` of them), then one step:
// `key` in an object, `index` in an array. The top value has depth 0 and no
// step. Views stay valid until the next feed.
struct StreamEvent {
  StreamEventKind kind = StreamEventKind::Open;
  ValueKind value_kind = ValueKind::Null;
  std::uint32_t depth = 0;
  bool in_object = false;  // the step is `key`; else `index` (if depth > 0)
  std::size_t index = 0;   // the member's or element's position in its parent
  std::string_view key;
  // Append: the text appended; Complete of a string: the whole string.
  std::string_view text;
  JsonNumber number;     // Complete of a number
  bool boolean = false;  // Complete of a Bool
};

namespace detail {
class StreamState;

// An open container of a StreamValue and its key in its parent (if that
// is an object).
struct StreamFrame {
  JsonValue container;
  std::string key;
};
}  // namespace detail

// The push parser. Events describe how the value changes; a consumer that
// applies them (see StreamValue) rebuilds the value after every chunk.
class StreamParser {
 public:
  explicit StreamParser(const ExtractOptions& options = {});
  StreamParser(StreamParser&&) noexcept;
  StreamParser& operator=(StreamParser&&) noexcept;
  ~StreamParser();

  // Takes the next chunk of UTF-8 text; returns its events, valid until the
  // next call.
  std::span<const StreamEvent> feed(std::string_view chunk);

  // The first value is complete, or the closing fence arrived (or the text
  // passed max_len); later text only matters to close().
  bool done() const noexcept;
  // False once the text departed from strict JSON or passed max_len: then
  // no more events come, and fallback_value() holds the value.
  bool incremental() const noexcept;
  // Off the incremental path: the value so far (null before it starts).
  // Its generation changes whenever the value does.
  const JsonValue& fallback_value() const noexcept;
  std::uint64_t fallback_generation() const noexcept;
  // Every byte fed so far, up to max_len + 1 of them.
  std::string_view text() const noexcept;
  // Bytes fed so far.
  std::uint64_t fed() const noexcept;

  // run_extract of the whole text. The parser stays as it was.
  Extraction close() const;

 private:
  std::unique_ptr<detail::StreamState> state_;
};

// Applies events to a JsonValue: after each chunk's events, value() is the
// value so far (null before anything appeared).
class StreamValue {
 public:
  void apply(const StreamEvent& event);
  void apply(std::span<const StreamEvent> events) {
    for (const StreamEvent& e : events) apply(e);
  }
  // Whether anything appeared yet.
  bool started() const noexcept;
  // A deep copy of the value so far.
  JsonValue value() const;

 private:
  // Puts a completed value where the event's step says.
  void place(const StreamEvent& event, JsonValue value);

  JsonValue root_;
  bool started_ = false;
  std::vector<detail::StreamFrame> open_;  // the open containers
  std::string string_;                     // the open string, if any
  std::string string_key_;
  bool in_string_ = false;
};

// The stream for C++ callers: the parser and the value together.
class Stream {
 public:
  explicit Stream(const ExtractOptions& options = {}) : parser_(options) {}

  std::span<const StreamEvent> feed(std::string_view chunk) {
    const auto events = parser_.feed(chunk);
    value_.apply(events);
    return events;
  }
  // The value so far: a copy, which later chunks leave as it is.
  JsonValue value() const {
    return parser_.incremental() ? value_.value()
                                 : parser_.fallback_value().clone();
  }
  bool done() const noexcept { return parser_.done(); }
  bool incremental() const noexcept { return parser_.incremental(); }
  Extraction close() const { return parser_.close(); }

 private:
  StreamParser parser_;
  StreamValue value_;
};

// The prefix rule as a relation: `later` equals `earlier` but that the last
// element or member (recursively) may have grown: a string by a suffix, a
// container by members; and containers may have gained members at the end.
bool extends(const JsonValue& earlier, const JsonValue& later) noexcept;

}  // namespace tarnwick
