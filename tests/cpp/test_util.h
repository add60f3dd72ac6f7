// Helpers shared by the engine tests, with the standard headers they all use.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>      // size_t
#include <filesystem>   // path
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/writer.h"

namespace tarnwick::test {

// A row of a table: an input text and the text expected from it.
struct Case {
  std::string input;
  std::string expected;
};

inline std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

// `n` copies of `open`, then `inner`, then `n` copies of `close`.
inline std::string nest(std::size_t n, std::string_view inner,
                        std::string_view open = "[",
                        std::string_view close = "]") {
  return repeat(open, n) + std::string(inner) + repeat(close, n);
}

// The canonical text of `text` read strictly, or "<error>".
inline std::string canon(std::string_view text) {
  ReadResult<JsonValue> r = parse_document(text);
  return r.ok() ? to_canonical_text(r.value()) : std::string("<error>");
}

inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What every outcome promises: json is the value's canonical text and reads
// back strictly to itself; ok and changed follow the strategy.
inline void check_outcome(const RepairOutcome& out) {
  EXPECT_EQ(out.json, to_canonical_text(out.value));
  EXPECT_EQ(canon(out.json), out.json);
  EXPECT_EQ(out.ok, out.strategy != Strategy::Fallback);
  EXPECT_EQ(out.changed, out.strategy != Strategy::Parse);
}

}  // namespace tarnwick::test
