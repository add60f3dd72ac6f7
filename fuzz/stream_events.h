// What the stream's fuzz target and its tests compare: events as text, and
// where a strict text may be read as a prefix.
#pragma once

#include <cstddef>      // size_t
#include <string>       // string, to_string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/stream.h"
#include "tarnwick/writer.h"  // to_canonical_text

namespace tarnwick::fuzz {

// An event as text, appended to `out`; adjacent appends to one string are
// merged, so that every chunking of a text gives the same list.
inline void describe(const StreamEvent& e, std::vector<std::string>& out) {
  static constexpr const char* kKinds[] = {"open", "complete", "append"};
  const std::string where =
      std::to_string(e.depth) + "/" + (e.in_object ? std::string(e.key) : "") +
      "#" + std::to_string(e.index) + " " +
      std::to_string(static_cast<int>(e.value_kind)) + " ";
  if (e.kind == StreamEventKind::Append && !out.empty() &&
      out.back().starts_with(std::string("append ") + where)) {
    out.back() += e.text;
    return;
  }
  std::string line = kKinds[static_cast<int>(e.kind)] + (" " + where);
  if (e.kind == StreamEventKind::Complete) {
    if (e.value_kind == ValueKind::Number) {
      line += to_canonical_text(JsonValue(e.number));
    } else if (e.value_kind == ValueKind::Bool) {
      line += e.boolean ? "true" : "false";
    }
  }
  out.push_back(line + std::string(e.text));
}

// Whether text[0, end) ends on a comma outside strings.
inline bool ends_on_comma(std::string_view text, std::size_t end) {
  if (end == 0 || text[end - 1] != ',') return false;
  bool in_string = false;
  for (std::size_t i = 0; i + 1 < end; ++i) {
    if (in_string && text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      in_string = !in_string;
    }
  }
  return !in_string;
}

}  // namespace tarnwick::fuzz
