// The canonical compact writer behind RepairResult.json.
#pragma once

#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/value.h"

namespace tarnwick {

// Appends the compact text of `value` to `out`. A std::string has no error
// of its own to report; running out of memory is left to the caller.
void write_compact(const JsonValue& value, std::string& out);

// The compact text of `value`.
std::string to_canonical_text(const JsonValue& value);

// Appends `text` as a quoted JSON string with the canonical escapes.
void escape_string(std::string_view text, std::string& out);

// Appends a finite double in its shortest round-trip form ("1.0", "1e+16").
void format_double(double value, std::string& out);

}  // namespace tarnwick
