// Extraction: find the JSON inside a reply written in prose (the whole text,
// a Markdown code fence anywhere, or a bracketed span), optionally rewrite
// its defects with the lenient pass, and repair it. Pure and linear.
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/lenient.h"
#include "tarnwick/repair.h"

namespace tarnwick {

struct ExtractOptions {
  RepairOptions repair;  // passed to every repair of a candidate
  bool lenient = true;   // rewrite candidates with lenient_rewrite first
};

struct Extraction {
  // The ladder's answer for the final text, except `changed`: false only
  // when the text was read as strict JSON as it stood (read_as_it_stood).
  RepairOutcome outcome;
  FixSet fixes = 0;  // what the lenient pass rewrote (0 without it)
  // The part of the input that held the JSON, in bytes: [span_begin,
  // span_end). The whole text when nothing narrower was chosen.
  std::size_t span_begin = 0;
  std::size_t span_end = 0;
  // The value rests on a choice between two readings that were both
  // plausible: where a string that lost its closing quote ends, whether a
  // quote closes a string, which container a stray closer closes, a missing
  // comma against a missing colon, a word dropped, which of two candidates
  // answers, or a reading only the tolerant rung could make. Fences, prose,
  // trailing commas, comments, quote styles, literals and truncation alone
  // never set it.
  bool guessed = false;
};

// Whether `text` was read as strict JSON as it stood: by the "parse" rung,
// with no fix, from a span [begin, end) with only JSON whitespace around it.
// A fence or prose around the value, a rung that rewrote it, or any fix
// makes it false; an extraction is `changed` exactly when it is false.
bool read_as_it_stood(std::string_view text, Strategy strategy, FixSet fixes,
                      std::size_t begin, std::size_t end) noexcept;

// A fence or span found after other text never holds less (in words, see
// ValueShape in lenient/extraction.h) than run_ladder(text, options.repair):
// such a candidate gives way to it; the lenient reading of the whole text is
// not held to that. `max_len` limits the input, not its rewrites; a longer
// input is not searched and gives the fallback. The text is UTF-8.
Extraction run_extract(std::string_view text, const ExtractOptions& options);

// Every top-level candidate that the search finds, in text order, each with
// its span: the value that starts the text, each fence, each bracketed span.
// run_extract's answer is always among them; values that the lenient pass
// joins into one (JSON Lines, "a" + "b") are one candidate; a fallback is
// none, so a text without JSON gives an empty list.
std::vector<Extraction> run_extract_all(std::string_view text,
                                        const ExtractOptions& options);

}  // namespace tarnwick
