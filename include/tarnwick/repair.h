// The repair ladder: any text in, a valid JSON value and the rung that
// produced it out. Pure: no global state, no exceptions, reentrant.
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

// Moves `value` in and writes its canonical text.
RepairOutcome make_outcome(JsonValue value, bool changed, Strategy strategy,
                           bool ok);

// Climbs the ladder on a UTF-8 text. Never fails on content.
RepairOutcome run_ladder(std::string_view input, const RepairOptions& options);

}  // namespace tarnwick
