// The search helpers of extraction and run_extract over the engine's tree.

#include <cstddef>      // size_t
#include <string_view>  // string_view

#include "lenient/extraction.h"
#include "tarnwick/extract.h"
#include "tarnwick/value.h"

namespace tarnwick {
namespace detail {

bool FenceScanner::next(std::size_t& begin, std::size_t& end) noexcept {
  const std::size_t start = text_.find("```", pos_);
  if (start == std::string_view::npos) {
    pos_ = text_.size();
    return false;
  }
  // The tag: further backticks, then anything up to whitespace or a
  // bracket, so that "```json{"a": 1}```" keeps its object.
  std::size_t i = start + 3;
  while (i < text_.size() && text_[i] == '`') ++i;
  while (i < text_.size()) {
    const char c = text_[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
        c == '\v' || c == '{' || c == '[' || c == '`') {
      break;
    }
    ++i;
  }
  begin = i;
  const std::size_t close = text_.find("```", i);
  if (close == std::string_view::npos) {
    end = text_.size();
    pos_ = text_.size();
    return true;
  }
  end = close;
  pos_ = close + 3;
  while (pos_ < text_.size() && text_[pos_] == '`') ++pos_;
  return true;
}

std::size_t bracket_span_end(std::string_view text, std::size_t start) noexcept {
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if ((c == ']' || c == '}') && --depth == 0) {
      return i + 1;
    }
  }
  return text.size();
}

std::size_t byte_order_mark_length(std::string_view text) noexcept {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

namespace {

std::size_t count_leaves(const JsonValue& value) {
  // Depth is bounded by the readers' nesting limits.
  switch (value.kind()) {
    case ValueKind::Null:
      return 0;
    case ValueKind::Array: {
      std::size_t n = 0;
      for (const JsonValue& item : value.as_array()) n += count_leaves(item);
      return n;
    }
    case ValueKind::Object: {
      std::size_t n = 0;
      for (const auto& entry : value.as_object()) n += count_leaves(entry.value);
      return n;
    }
    default:
      return 1;
  }
}

// Repairs candidates into the engine's tree.
struct TreeRunner {
  using Result = RepairOutcome;
  const RepairOptions& options;

  Result run(std::string_view text) { return run_ladder(text, options); }
  Strategy strategy(const Result& result) { return result.strategy; }
  ValueShape shape(const Result& result) {
    ValueShape shape;
    const JsonValue& value = result.value;
    shape.leaves = count_leaves(value);
    if (value.kind() == ValueKind::Array) {
      shape.holds_nothing = true;
      shape.reference_like = true;
      for (const JsonValue& item : value.as_array()) {
        if (!item.is_null()) shape.holds_nothing = false;
        if (item.kind() != ValueKind::Number ||
            item.as_number().kind() == NumberKind::Float) {
          shape.reference_like = false;
        }
      }
    } else if (value.kind() == ValueKind::Object) {
      shape.reference_like = value.as_object().empty();
      shape.holds_nothing = true;
      for (const auto& entry : value.as_object()) {
        if (!entry.value.is_null()) shape.holds_nothing = false;
      }
    }
    return shape;
  }
};

}  // namespace
}  // namespace detail

Extraction run_extract(std::string_view text, const ExtractOptions& options) {
  detail::TreeRunner runner{options.repair};
  auto found = detail::extract_with(text, options, runner);
  return Extraction{std::move(found.result), found.fixes, found.begin,
                    found.end};
}

}  // namespace tarnwick
