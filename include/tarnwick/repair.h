// The repair ladder: any text in, a valid JSON value and the rung that
// produced it out. Pure: no global state, no exceptions, reentrant.
//
// The text is meant to be UTF-8; the ladder does not check that it is. Bytes
// that form no well-formed UTF-8 sequence, inside a string literal, are kept
// as they are by every rung that reads strictly ("parse", "unwrap-double",
// "strip-fences", "strip-controls", "strip-trailing-commas"): they reach the
// value and `json` unchanged, so `json` is then not valid UTF-8 either, and
// "parse" reports `changed` false because nothing was changed. The tolerant
// rung decodes the text and reads each such byte as one U+FFFD: inside a
// string it becomes that character, elsewhere it is a character that starts
// no value. No rung makes ill-formed UTF-8 of its own (an escaped lone
// surrogate such as \ud800 fails the strict reader and becomes U+FFFD in the
// tolerant rung). A caller that needs valid UTF-8 out checks the text first;
// the Python binding only ever passes valid UTF-8.
#pragma once

#include <cstdint>      // uint64_t, uint8_t
#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/value.h"

namespace tarnwick {

inline constexpr std::uint64_t DEFAULT_MAX_LEN = 5'000'000;

enum class FallbackKind : std::uint8_t {
  Null,         // "null"
  EmptyObject,  // "empty-object"
};

struct RepairOptions {
  std::uint64_t max_len = DEFAULT_MAX_LEN;  // UTF-8 bytes; longer falls back
  FallbackKind fallback = FallbackKind::Null;
  bool strip_code_fences = true;  // rung "strip-fences" on
  bool unwrap_double_encoded =
      true;  // unwrap a JSON string holding a container
};

// The enumeration's own order; "unwrap-double" is fifth though rung 1 makes it.
enum class Strategy : std::uint8_t {
  Parse,
  StripFences,
  StripControls,
  StripTrailingCommas,
  UnwrapDouble,
  Tolerant,
  Fallback,
};

// The kebab-case name: "parse", "strip-fences", ..., "fallback".
std::string_view strategy_name(Strategy strategy) noexcept;

struct RepairOutcome {
  std::string json;  // canonical compact text of `value`
  JsonValue value;
  bool ok;       // false only for Strategy::Fallback
  bool changed;  // false only for Strategy::Parse
  Strategy strategy;
};

// Climbs the ladder on a UTF-8 text. Never fails on content.
RepairOutcome run_ladder(std::string_view input, const RepairOptions& options);

}  // namespace tarnwick
