// The number grammar and the conversion of a number token to a JsonNumber,
// shared by the strict reader and the tolerant parser's number runs.
#pragma once

#include <cstdint>  // uint8_t

#include "tarnwick/value.h"

namespace tarnwick::detail {

enum class NumberScanError : std::uint8_t {
  None,     // a complete token
  Eof,      // the text ended where a digit was due
  Invalid,  // a byte broke the grammar; `stop` points at it
};

// A number token split into its parts.
struct NumberScan {
  const char* begin;      // first byte of the token ('-' or a digit)
  const char* stop;       // one past the token, or the offending byte
  const char* int_begin;  // integer digits
  const char* int_end;
  const char* frac_begin;  // fraction digits; empty when there is no point
  const char* frac_end;
  const char* exp_begin;  // exponent digits; empty when there is no exponent
  const char* exp_end;
  bool negative;
  bool exp_negative;
  bool has_frac;
  bool has_exp;
  NumberScanError error;
};

// Scans the longest number token at `p` (which points at '-' or a digit).
NumberScan scan_number(const char* p, const char* end) noexcept;

// Converts a complete token: integers keep their kind while they fit, all
// else becomes the nearest double (ties to even). False when the magnitude
// overflows the double range; too small a magnitude gives a signed zero.
bool convert_number(const NumberScan& scan, JsonNumber& out) noexcept;

}  // namespace tarnwick::detail
