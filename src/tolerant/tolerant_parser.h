// The tolerant parser behind the ladder's "tolerant" rung:
// reads one JSON-like value from the start of a text and never fails. Each
// defect is resolved by a fixed local rule; what follows the value is ignored.
// (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <memory>       // allocator
#include <new>          // placement new
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // forward
#include <vector>       // vector

#include "repair/unicode.h"
#include "tarnwick/value.h"

namespace tarnwick::detail {

// One entry of the parser's stack per container being parsed.
enum class ContainerKind : std::uint8_t {
  Object = 0,
  Array = 1,
};

class TolerantParser {
 public:
  // A '[' or '{' opens a container only while fewer than this many are open;
  // a deeper one is skipped whole by skip_balanced and becomes null. This
  // bounds the recursion of parse_value whatever the text holds.
  static constexpr std::size_t MAX_DEPTH = 120;

  // Decodes `text` (UTF-8) into code points once; pos 0, empty stack. Bytes
  // that form no well-formed UTF-8 sequence decode as U+FFFD, one per byte.
  explicit TolerantParser(std::string_view text);

  // Advances pos past White_Space code points.
  void skip_whitespace() noexcept;

  // Reads one value starting at pos; null when no value can start there (pos
  // does not move then). Never fails.
  JsonValue parse_value();

  std::size_t pos() const noexcept { return pos_; }
  std::size_t length() const noexcept { return chars_.size(); }
  // The number of containers open now (0 outside parse_value).
  std::size_t depth() const noexcept { return stack_.size(); }
  // The largest number of containers that were ever open at once.
  std::size_t peak_depth() const noexcept { return peak_depth_; }

 private:
  std::string parse_string();
  JsonValue parse_word();
  JsonValue parse_number_run();
  JsonValue parse_array();
  JsonValue parse_object();
  void skip_balanced(char32_t open, char32_t close) noexcept;
  // skip_whitespace, inlined into the loops.
  void skip_ws() noexcept {
    const std::size_t n = chars_.size();
    while (pos_ < n && is_white_space(chars_[pos_])) ++pos_;
  }
  // After an outermost closer at pos: when the next code point that is not
  // White_Space is ',', moves pos past it and returns true; otherwise leaves
  // pos alone.
  bool continue_top_level() noexcept;
  void push(ContainerKind kind);
  void pop() noexcept;
  std::uint32_t read_hex4() noexcept;

  // Leaves new elements uninitialised: the constructor overwrites every code
  // point it keeps, and zero-filling four bytes per input byte first cost a
  // sixth of a parse.
  template <class T>
  struct UninitialisedAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
      using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() noexcept = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  };

  std::vector<char32_t, UninitialisedAllocator<char32_t>> chars_;
  std::vector<ContainerKind> stack_;
  std::size_t pos_ = 0;
  // Counts of each kind on the stack, so that "is any enclosing container an
  // object (array)?" is answered in constant time.
  std::size_t open_objects_ = 0;
  std::size_t open_arrays_ = 0;
  std::size_t peak_depth_ = 0;
  std::string run_;  // scratch for number runs, reused

  struct Member {
    std::string key;
    JsonValue value;
  };
  std::vector<JsonValue>
      values_;                   // elements of the open arrays, innermost last
  std::vector<Member> members_;  // members of the open objects, likewise
};

// Runs a parser over `text` from its first non-White_Space code point and
// returns parse_value's result.
JsonValue parse_tolerant(std::string_view text);

}  // namespace tarnwick::detail
