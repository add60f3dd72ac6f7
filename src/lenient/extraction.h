// Extraction over any form of value: the search that run_extract makes with
// the engine's tree, and the binding with interpreter objects. (Private)
#pragma once

#include <concepts>     // same_as
#include <cstddef>      // size_t
#include <cstdint>      // UINT64_MAX
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move

#include "repair/cleanup.h"  // trim_whitespace
#include "tarnwick/extract.h"
#include "tarnwick/lenient.h"
#include "tarnwick/repair.h"
#include "text/brackets.h"  // bracket_span_end
#include "text/chars.h"     // is_json_ws

namespace tarnwick::detail {

// What the search needs to know of a repaired candidate's value.
struct ValueShape {
  // How much the value holds: the words in its strings, keys included,
  // and one per number or boolean. Members are not counted: a string split
  // in two by a stray quote, or a document read as one odd key, has more of
  // them than the right reading, but never more words.
  std::size_t weight = 0;
  bool holds_nothing = false;   // an empty container or one of nulls only
  bool reference_like = false;  // [] or {} or an array of integers only
};

// The shape of a value from its canonical text, so that every form of value
// is judged alike.
ValueShape shape_of_json(std::string_view canonical) noexcept;

// The options a runner repairs candidates with: the caller's, but for the
// size limit, which extract_with applies to the input itself.
inline RepairOptions candidate_options(RepairOptions options) noexcept {
  options.max_len = UINT64_MAX;
  return options;
}

// A Runner repairs one candidate text with candidate_options:
//   typename Runner::Result           movable
//   Result run(std::string_view text) the ladder on `text`
//   Result run_as_it_stands(text)     only its rungs up to "strip-fences"
//   Strategy strategy(const Result&)
//   ValueShape shape(const Result&)    shape_of_json of its canonical text
template <class Runner>
concept ExtractionRunner = requires(Runner& runner, std::string_view text,
                                    const typename Runner::Result& result) {
  { runner.run(text) } -> std::same_as<typename Runner::Result>;
  { runner.run_as_it_stands(text) } -> std::same_as<typename Runner::Result>;
  { runner.strategy(result) } -> std::same_as<Strategy>;
  { runner.shape(result) } -> std::same_as<ValueShape>;
};

// The chosen candidate: its repair, the lenient fixes and its span (bytes).
template <class Result>
struct Found {
  Result result;
  FixSet fixes = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Markdown code fences: the content of each, in order. A fence opens at three
// or more backticks (or tildes, when asked) and an optional language tag (up
// to whitespace or a bracket); its content runs to the next three of the same
// marks or the end.
class FenceScanner {
 public:
  explicit FenceScanner(std::string_view text, bool tildes = false) noexcept
      : text_(text),
        tildes_(tildes),
        next_backticks_(text.find("```")),
        next_tildes_(tildes ? text.find("~~~") : std::string_view::npos) {}
  // The next fence's content as [begin, end) of the text; false when none.
  bool next(std::size_t& begin, std::size_t& end) noexcept;

 private:
  std::string_view text_;
  bool tildes_;
  std::size_t pos_ = 0;
  // The first run of each mark at or after where it was last looked for
  // (npos: none), so that each is looked for again only once the scan has
  // passed it, and a text of one kind costs one scan for the other.
  std::size_t next_backticks_;
  std::size_t next_tildes_;
};

// Byte length of a leading U+FEFF, or 0.
std::size_t byte_order_mark_length(std::string_view text) noexcept;

// A span that the lenient pass could read only as one unquoted word or
// phrase, with no quote, colon or comma in it: "[the docs]", "[x]". In
// prose that is markup (link text, a placeholder), not data; "[red, green]"
// is a list.
inline bool is_bracketed_phrase(std::string_view span, FixSet fixes) noexcept {
  if ((fixes & fix_bit(Fix::BareWords)) == 0) return false;
  return span.find_first_of("\"':,") == std::string_view::npos;
}

// Whether nothing but JSON whitespace lies outside the value the lenient
// pass took: then a text it took without a rewrite is a strict document.
inline bool is_blank_outside(std::string_view text,
                             const LenientText& read) noexcept {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == read.begin) i = read.end;
    if (i < text.size() && !is_json_ws(static_cast<unsigned char>(text[i]))) {
      return false;
    }
  }
  return true;
}

// Whether the whole repair of the text answers as it stands: these rungs
// give the value that the lenient pass would, so extraction stops there.
constexpr bool answers_as_it_stands(Strategy s) noexcept {
  return s == Strategy::Parse || s == Strategy::UnwrapDouble ||
         s == Strategy::StripFences;
}

template <ExtractionRunner Runner>
Found<typename Runner::Result> extract_with(std::string_view text,
                                            const ExtractOptions& options,
                                            Runner& runner) {
  using Result = typename Runner::Result;
  using Candidate = Found<Result>;

  // A valid text answers as the ladder reads it. With the lenient pass on,
  // the pass itself says whether the text is valid (it takes all of it and
  // rewrites nothing), and only a text that opens with a fence climbs the
  // rungs that take a text as it stands before the pass reads it: a text the
  // pass reads whole never needs the other rungs, nor a strict read that
  // builds most of a value before it fails.
  // The size guard is the input's: a text longer than max_len is not
  // searched. (The runner has no limit of its own, so that a rewrite longer
  // than the text it came from is still read.)
  if (text.size() > options.repair.max_len) {
    return Candidate{runner.run(std::string_view()), 0, 0, text.size()};
  }
  const std::size_t lead = byte_order_mark_length(text);
  LenientText all;
  if (options.lenient) {
    all = lenient_rewrite(text.substr(lead), LenientScope::Document);
    const bool valid = lead == 0 && all.found && all.to_end && !all.changed &&
                       all.fixes == 0 && is_blank_outside(text, all);
    if (valid) return Candidate{runner.run(text), 0, 0, text.size()};
    if (options.repair.strip_code_fences &&
        trim_whitespace(text).substr(0, 3) == "```") {
      Candidate first{runner.run_as_it_stands(text), 0, 0, text.size()};
      if (answers_as_it_stands(runner.strategy(first.result))) return first;
    }
  }
  std::optional<Candidate> whole_read;
  auto whole = [&]() -> Candidate& {
    if (!whole_read)
      whole_read = Candidate{runner.run(text), 0, 0, text.size()};
    return *whole_read;
  };
  if (!options.lenient &&
      answers_as_it_stands(runner.strategy(whole().result))) {
    return std::move(whole());
  }

  // Repairs text[begin, end), through the lenient pass first when it is on.
  // The lenient rewrite, when it recognised a value, replaces the slice; its
  // span shrinks to what the value took.
  // The repair of what the lenient pass found in the text from `offset`
  // on: its rewrite, or the value as it stands.
  auto read_found = [&](const LenientText& found, std::size_t offset,
                        FixSet fixes) -> Candidate {
    const std::size_t from = offset + found.begin;
    const std::size_t to = offset + found.end;
    return Candidate{found.changed ? runner.run(found.text)
                                   : runner.run(text.substr(from, to - from)),
                     fixes, from, to};
  };
  auto attempt = [&](std::size_t begin, std::size_t end,
                     LenientScope scope) -> Candidate {
    const std::string_view slice = text.substr(begin, end - begin);
    if (options.lenient) {
      const LenientText rewritten = lenient_rewrite(slice, scope);
      if (rewritten.found) {
        return read_found(rewritten, begin,
                          rewritten.changed ? rewritten.fixes : 0);
      }
    }
    return Candidate{runner.run(slice), 0, begin, end};
  };

  // A narrower part of the text never answers with less than the whole
  // text's own repair: a candidate that holds less gives way to it. (The
  // lenient reading of the whole text is not held to this: it reads the
  // same text, and a comment or a stray quote that the ladder turned into
  // extra strings would outweigh it.)
  auto at_least_whole = [&](Candidate& found) -> Candidate& {
    return runner.shape(found.result).weight <
                   runner.shape(whole().result).weight
               ? whole()
               : found;
  };

  // 1. The whole text, when a value starts it and the lenient pass takes
  // all of it.
  std::optional<Candidate> partial;
  if (options.lenient) {
    if (all.found) {
      Candidate full = read_found(all, lead, all.fixes);
      if (lead != 0) full.fixes |= fix_bit(Fix::ByteOrderMark);
      if (all.to_end && runner.strategy(full.result) != Strategy::Fallback) {
        return full;
      }
      partial = std::move(full);
    }
  }

  // 2. A code fence anywhere whose content gives a value.
  if (options.repair.strip_code_fences) {
    FenceScanner fences(text, /*tildes=*/options.lenient);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (fences.next(begin, end)) {
      Candidate fenced = attempt(begin, end, LenientScope::Document);
      if (runner.strategy(fenced.result) != Strategy::Fallback) {
        return std::move(at_least_whole(fenced));
      }
    }
  }

  // 3. Bracketed spans in order, never nested. One that holds nothing and
  // that only the tolerant rung could read is passed over; a reference-like
  // one ("see [1]") is kept back in case nothing else answers.
  std::optional<Candidate> kept_back;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t open = text.find_first_of("[{", pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = bracket_span_end(text, open);
    Candidate span = attempt(open, close, LenientScope::OneValue);
    // The lenient reading may end before or after the counted brackets;
    // the search goes on after whichever is further, so spans never overlap.
    pos = span.end > close ? span.end : close;
    const Strategy s = runner.strategy(span.result);
    if (s == Strategy::Fallback) continue;
    const ValueShape shape = runner.shape(span.result);
    if (shape.holds_nothing && (s == Strategy::Tolerant || span.fixes != 0)) {
      continue;
    }
    if (is_bracketed_phrase(text.substr(open, span.end - open), span.fixes)) {
      continue;
    }
    if (!shape.reference_like) return std::move(at_least_whole(span));
    if (!kept_back) kept_back = std::move(span);
  }
  if (kept_back) return std::move(at_least_whole(*kept_back));

  // 4. The whole text as the lenient pass read its start, else as it is.
  if (partial && runner.strategy(partial->result) != Strategy::Fallback) {
    return std::move(at_least_whole(*partial));
  }
  return std::move(whole());
}

}  // namespace tarnwick::detail
