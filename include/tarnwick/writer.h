// The canonical compact writer behind RepairResult.json.
#pragma once

#include <cstdint>      // uint8_t
#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/value.h"

namespace tarnwick {

enum class WriteStatus : std::uint8_t {
  Success = 0,  // the whole text was appended
  SinkFailed,   // the output could not grow
};

// Appends the compact text of `value` to `out`.
[[nodiscard]] WriteStatus write_compact(const JsonValue& value,
                                        std::string& out);

// The compact text of `value`; "null" should the writer ever fail.
std::string to_canonical_text(const JsonValue& value);

// Appends `text` as a quoted JSON string with the canonical escapes.
void escape_string(std::string_view text, std::string& out);

// Appends a finite double in its shortest round-trip form ("1.0", "1e+16").
void format_double(double value, std::string& out);

}  // namespace tarnwick
