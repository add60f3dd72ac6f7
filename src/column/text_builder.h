// A builder for the engine's readers that builds no value at all: the
// readers write the canonical text as they go, which is all that a column
// of results keeps. It tells only whether a value is null and whether an
// object repeated a key, so that the readers know when their text is exact.
// The ladder climbed with it answers as it does with the tree or with
// interpreter objects, at the cost of the reading alone. (Private)
#pragma once

#include <algorithm>    // sort, adjacent_find
#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "json/reader_impl.h"
#include "tarnwick/value.h"

namespace tarnwick::detail {

class TextOnlyBuilder {
 public:
  struct Value {
    bool null = true;
  };
  using Key = std::string;  // kept to find a repeated key
  using MemberStack = std::vector<Member<Key, Value>>;

  bool failed() const noexcept { return false; }
  static bool is_null(const Value& value) noexcept { return value.null; }

  bool null_value(Value& out) noexcept {
    out.null = true;
    return true;
  }
  bool bool_value(bool, Value& out) noexcept { return set(out); }
  bool number_value(const JsonNumber&, Value& out) noexcept { return set(out); }
  bool string_value(std::string_view, Value& out) noexcept { return set(out); }
  bool key(std::string_view utf8, Key& out) {
    out.assign(utf8);
    return true;
  }
  void adopt_string(std::string&&, Value& out) noexcept { set(out); }
  void adopt_key(std::string&& text, Key& out) noexcept {
    out = std::move(text);
  }

  bool array_value(std::vector<Value>& stack, std::size_t base, Value& out) {
    stack.resize(base);
    return set(out);
  }

  bool object_value(MemberStack& stack, std::size_t base, Value& out,
                    bool& repeated) {
    repeated = has_repeated_key(stack, base);
    stack.resize(base);
    return set(out);
  }

 private:
  static bool set(Value& out) noexcept {
    out.null = false;
    return true;
  }

  // Whether two of the members stack[base, end) share a key.
  bool has_repeated_key(const MemberStack& stack, std::size_t base) {
    const std::size_t n = stack.size() - base;
    // Pairs are cheapest for the small objects replies are made of.
    if (n <= 16) {
      for (std::size_t i = base; i < stack.size(); ++i) {
        for (std::size_t j = i + 1; j < stack.size(); ++j) {
          if (stack[i].key == stack[j].key) return true;
        }
      }
      return false;
    }
    keys_.clear();
    for (std::size_t i = base; i < stack.size(); ++i) {
      keys_.push_back(stack[i].key);
    }
    std::sort(keys_.begin(), keys_.end());
    return std::adjacent_find(keys_.begin(), keys_.end()) != keys_.end();
  }

  std::vector<std::string_view> keys_;  // scratch of has_repeated_key
};

}  // namespace tarnwick::detail
