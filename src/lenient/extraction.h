// Extraction over any form of value: the search that run_extract makes with
// the engine's tree, and the binding with interpreter objects. (Private)
#pragma once

#include <algorithm>    // any_of, find_if, stable_sort
#include <concepts>     // same_as
#include <cstddef>      // size_t
#include <cstdint>      // UINT64_MAX
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move, pair
#include <vector>       // vector

#include "lenient/lead_in.h"
#include "lenient/lexer.h"   // list_marker_length
#include "repair/cleanup.h"  // trim_whitespace
#include "tarnwick/extract.h"
#include "tarnwick/lenient.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/value.h"
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
//   Result run_strict(text, answer)   only the strict read of an array or
//                                     object document; as the answer, its
//                                     json may be empty (the caller's choice)
//   Strategy strategy(const Result&)
//   ValueShape shape(const Result&)    shape_of_json of its canonical text
//   std::string_view json(const Result&) its canonical text
template <class Runner>
concept ExtractionRunner = requires(Runner& runner, std::string_view text,
                                    const typename Runner::Result& result) {
  { runner.run(text) } -> std::same_as<typename Runner::Result>;
  { runner.run_as_it_stands(text) } -> std::same_as<typename Runner::Result>;
  { runner.run_strict(text, true) } -> std::same_as<typename Runner::Result>;
  { runner.strategy(result) } -> std::same_as<Strategy>;
  { runner.shape(result) } -> std::same_as<ValueShape>;
  { runner.json(result) } -> std::same_as<std::string_view>;
};

// A candidate: its repair, the lenient fixes, its span (bytes), and
// whether the value rests on a guess (see Extraction::guessed).
template <class Result>
struct Found {
  Result result;
  FixSet fixes = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
  bool guessed = false;
};

// Reasoning blocks (<think>...</think> and the like) that close: a value
// inside one is a draft, which loses to a candidate after the block.
class ReasoningBlocks {
 public:
  explicit ReasoningBlocks(std::string_view text);
  // Whether `pos` lies inside a block that closes.
  bool inside(std::size_t pos) const noexcept;
  // Where the closing tag of the block around `pos` starts; npos when
  // `pos` lies in none. A draft's brackets never reach past it.
  std::size_t closing_tag(std::size_t pos) const noexcept;

 private:
  struct Block {
    std::size_t begin;  // the opening tag
    std::size_t close;  // the closing tag
    std::size_t end;    // past the closing tag
  };
  std::vector<Block> blocks_;
};

// Markdown code fences: the content of each, in order. A fence opens at three
// or more backticks (or tildes, when asked) and an optional language tag (up
// to whitespace or a bracket); its content runs to the next three of the same
// marks or the end.
class FenceScanner {
 public:
  explicit FenceScanner(std::string_view text, bool tildes = false) noexcept
      : text_(text),
        next_backticks_(text.find("```")),
        next_tildes_(tildes ? text.find("~~~") : std::string_view::npos) {}
  // The next fence's content as [begin, end) of the text; false when none.
  bool next(std::size_t& begin, std::size_t& end) noexcept;
  // Whether the fence that next() gave last names a language other than
  // JSON (```python): its content gives way to any answer.
  bool tagged_other() const noexcept;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::string_view tag_;
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

// The extraction search over a text: which candidates it holds (fences,
// bracketed spans, the value that starts it), how each repairs, and which
// one answers. `best` is extract's answer; `all` lists every candidate.
template <ExtractionRunner Runner>
class Search {
 public:
  using Result = typename Runner::Result;
  using Candidate = Found<Result>;

  Search(std::string_view text, const ExtractOptions& options, Runner& runner)
      : text_(text), options_(options), runner_(runner) {}

  Candidate best() {
    if (std::optional<Candidate> done = settled()) {
      return finish(std::move(*done));
    }
    std::size_t after = 0;
    std::optional<Candidate> pick = first_candidate(after);
    if (!pick) return fallback_choice();
    if (Candidate& whole_text = at_least_whole(*pick); &whole_text != &*pick) {
      return finish(std::move(whole_text));
    }
    // A later candidate that the prose names the answer is held to the same
    // rule as the first.
    Candidate chosen = among_later(std::move(*pick), after);
    return finish(std::move(at_least_whole(chosen)));
  }

  std::vector<Candidate> all() {
    std::vector<Candidate> out;
    if (std::optional<Candidate> done = settled()) {
      if (runner_.strategy(done->result) != Strategy::Fallback) {
        out.push_back(finish(std::move(*done)));
      }
      return out;
    }
    std::vector<Candidate> listed = listed_candidates();
    // extract's choice, made in one place only: best() on a fresh search.
    // It stands in for the listed candidate of its span, whose guess it
    // knows better (a rival), or joins the list in text order.
    Candidate chosen = Search(text_, options_, runner_).best();
    const bool answered = runner_.strategy(chosen.result) != Strategy::Fallback;
    bool placed = !answered;
    for (Candidate& c : listed) {
      if (!placed && c.begin == chosen.begin && c.end == chosen.end) {
        out.push_back(std::move(chosen));
        placed = true;
      } else {
        out.push_back(finish(std::move(c)));
      }
    }
    if (!placed) {
      auto at = std::find_if(out.begin(), out.end(), [&](const Candidate& c) {
        return c.begin > chosen.begin;
      });
      out.insert(at, std::move(chosen));
    }
    return out;
  }

 private:
  // How a candidate ranks: one that answers, a draft (in a reasoning block,
  // or a fence of another language), a reference ("see [1]"), or none.
  enum class Standing : std::uint8_t { Answer, Draft, Reference, Rejected };

  // The answers that need no search: the size guard, a valid text, a text
  // that opens with a fence the ladder reads, and a text that the lenient
  // pass takes whole. Otherwise remembers the lenient reading of its start.
  std::optional<Candidate> settled() {
    if (text_.size() > options_.repair.max_len) {
      return Candidate{runner_.run(std::string_view()), 0, 0, text_.size()};
    }
    const std::size_t lead = byte_order_mark_length(text_);
    if (!options_.lenient) {
      if (answers_as_it_stands(runner_.strategy(whole().result))) {
        return std::move(whole());
      }
      return std::nullopt;
    }
    // A valid document is read once: the strict read builds its value in
    // the pass that finds it strict, and only a text it refuses goes on.
    if (lead == 0) {
      Candidate strict{runner_.run_strict(text_, /*answer=*/true), 0, 0,
                       text_.size()};
      if (runner_.strategy(strict.result) != Strategy::Fallback) return strict;
    }
    const LenientText all = lenient_rewrite(text_.substr(lead));
    if (lead == 0 && all.found && all.to_end && !all.changed &&
        all.fixes == 0 && is_blank_outside(text_, all)) {
      Candidate valid{runner_.run(text_), 0, 0, text_.size()};
      valid.guessed = string_like_document(valid);
      // Encoded more than once: what the ladder unwrapped may hold another.
      if (runner_.strategy(valid.result) == Strategy::UnwrapDouble &&
          options_.repair.unwrap_double_encoded) {
        unwrap_string(valid);
      }
      return valid;
    }
    if (options_.repair.strip_code_fences &&
        trim_whitespace(text_).substr(0, 3) == "```") {
      Candidate first{runner_.run_as_it_stands(text_), 0, 0, text_.size()};
      if (answers_as_it_stands(runner_.strategy(first.result))) {
        if (options_.repair.unwrap_double_encoded) unwrap_string(first);
        return first;
      }
    }
    if (!all.found) return std::nullopt;
    Candidate full = read_found(all, lead, all.fixes, /*answer=*/all.to_end);
    if (lead != 0) full.fixes |= fix_bit(Fix::ByteOrderMark);
    if (all.to_end && runner_.strategy(full.result) != Strategy::Fallback) {
      return full;
    }
    partial_ = std::move(full);
    return std::nullopt;
  }

  // A strict string whose content opens like a document ("{\"a\": 1,}") is
  // read as the string that it is; the document it may stand for, encoded
  // twice, is the other reading: a guess. (The ladder unwraps a strict one.)
  bool string_like_document(const Candidate& c) const {
    if (runner_.strategy(c.result) != Strategy::Parse) return false;
    const std::string_view t = trim_whitespace(text_);
    return t.size() > 2 && t[0] == '"' && (t[1] == '{' || t[1] == '[');
  }

  // The ladder's repair of the whole text, made once.
  Candidate& whole() {
    if (!whole_) whole_ = Candidate{runner_.run(text_), 0, 0, text_.size()};
    return *whole_;
  }

  // The repair of what the lenient pass found in the text from `offset`
  // on: its rewrite, or the value as it stands. Either is nearly always a
  // strict document, read once by the strict rung; as the search's answer
  // (`answer`), without json unless the runner wants it.
  Candidate read_found(const LenientText& found, std::size_t offset,
                       FixSet fixes, bool answer = false) {
    const std::size_t from = offset + found.begin;
    const std::size_t to = offset + found.end;
    const std::string_view value = found.changed
                                       ? std::string_view(found.text)
                                       : text_.substr(from, to - from);
    Result result = runner_.run_strict(value, answer);
    if (runner_.strategy(result) == Strategy::Fallback) {
      result = runner_.run(value);
    }
    Candidate c{std::move(result), fixes, from, to, found.guessed};
    if (options_.repair.unwrap_double_encoded) unwrap_string(c);
    return c;
  }

  // A string whose content is a document the lenient pass reads whole as
  // an array or object stands for that document, as far as three levels
  // down, in a text that is no strict document itself (a strict one reads
  // as json.loads reads it; the ladder unwraps strict content on its own).
  void unwrap_string(Candidate& c) {
    for (int level = 0; level < 3; ++level) {
      const std::string_view json = runner_.json(c.result);
      if (json.size() < 4 || json[0] != '"' ||
          (json[1] != '{' && json[1] != '[')) {
        return;
      }
      const ReadResult<JsonValue> decoded = parse_document(json);
      if (!decoded.ok() || decoded.value().kind() != ValueKind::String) return;
      const std::string& content = decoded.value().as_string();
      const LenientText inner = lenient_rewrite(content);
      if (!inner.found || !inner.to_end) return;
      Result result = runner_.run(
          inner.changed ? std::string_view(inner.text)
                        : std::string_view(content).substr(
                              inner.begin, inner.end - inner.begin));
      const std::string_view head = runner_.json(result);
      if (head.empty() || (head[0] != '{' && head[0] != '[')) return;
      c.result = std::move(result);
      c.fixes |= fix_bit(Fix::EscapedDocument) | inner.fixes;
      c.guessed = c.guessed || inner.guessed;
    }
  }

  // Repairs text[begin, end), through the lenient pass first when it is on.
  // A tuple is read by the lenient pass alone; nothing, when it finds none.
  std::optional<Candidate> attempt(std::size_t begin, std::size_t end,
                                   LenientScope scope) {
    const std::string_view slice = text_.substr(begin, end - begin);
    if (options_.lenient) {
      // A strict value is read once, by the strict rung, over the span the
      // lenient pass would give it: the slice without its whitespace.
      std::size_t from = begin;
      std::size_t to = end;
      while (from < to && is_json_ws(static_cast<unsigned char>(text_[from]))) {
        ++from;
      }
      while (to > from &&
             is_json_ws(static_cast<unsigned char>(text_[to - 1]))) {
        --to;
      }
      Candidate strict{runner_.run_strict(text_.substr(from, to - from)), 0,
                       from, to};
      if (runner_.strategy(strict.result) != Strategy::Fallback) {
        if (options_.repair.unwrap_double_encoded) unwrap_string(strict);
        return strict;
      }
      const LenientText rewritten = lenient_rewrite(slice, scope);
      if (rewritten.found) {
        return read_found(rewritten, begin,
                          rewritten.changed ? rewritten.fixes : 0);
      }
      if (begin < end && text_[begin] == '(') return std::nullopt;
    }
    return Candidate{runner_.run(slice), 0, begin, end};
  }

  // A part found after other text never answers with less than the whole
  // text's own repair: a candidate that holds less gives way to it. (A
  // reading from the text's first value on is not held to this: it reads
  // the same text, and a comment or a stray quote that the ladder turned
  // into extra strings would outweigh it.)
  Candidate& at_least_whole(Candidate& found) {
    if (options_.lenient &&
        (starts_text(found.begin) || fence_opens_text(found.begin))) {
      return found;
    }
    Candidate& all = whole();
    // A fallback ("null" or "{}") weighs nothing: no need to weigh either.
    if (runner_.strategy(all.result) == Strategy::Fallback) return found;
    return runner_.shape(found.result).weight < runner_.shape(all.result).weight
               ? all
               : found;
  }

  // Whether only a fence's opening line comes before `pos`: its content
  // reads the same text as the whole does.
  bool fence_opens_text(std::size_t pos) const noexcept {
    const std::string_view before = trim_whitespace(text_.substr(0, pos));
    return (before.starts_with("```") || before.starts_with("~~~")) &&
           before.find('\n') == std::string_view::npos;
  }

  // Whether only a byte order mark and whitespace come before `pos`.
  bool starts_text(std::size_t pos) const noexcept {
    const std::size_t lead = byte_order_mark_length(text_);
    return pos <= lead ||
           trim_whitespace(text_.substr(lead, pos - lead)).empty();
  }

  Standing standing(const Candidate& c, bool span) {
    const Strategy s = runner_.strategy(c.result);
    if (s == Strategy::Fallback) return Standing::Rejected;
    if (span) {
      // Only an array or "{}" can be reference-like, so a non-empty object
      // read as it stands needs no look at its shape.
      const std::string_view json = runner_.json(c.result);
      const bool mended = s == Strategy::Tolerant || c.fixes != 0;
      std::optional<ValueShape> shape;
      if (mended || json.empty() || json[0] != '{' || json == "{}") {
        shape = runner_.shape(c.result);
      }
      if (mended && shape->holds_nothing) return Standing::Rejected;
      if (is_bracketed_phrase(text_.substr(c.begin, c.end - c.begin),
                              c.fixes)) {
        return Standing::Rejected;
      }
      if (text_[c.begin] == '(' && (c.fixes & fix_bit(Fix::BareWords)) != 0) {
        return Standing::Rejected;  // "(see the docs)": prose
      }
      if (!blocks_) blocks_.emplace(text_);
      if (blocks_->inside(c.begin)) return Standing::Draft;
      return shape && shape->reference_like ? Standing::Reference
                                            : Standing::Answer;
    }
    if (!blocks_) blocks_.emplace(text_);
    return blocks_->inside(c.begin) ? Standing::Draft : Standing::Answer;
  }

  // The candidates after the start of the text, in the order the search
  // tries them: each fence, then the bracketed spans (never nested), each
  // from `from` on. visit(candidate, standing, end) returns false to stop;
  // so does each_fence then.
  template <class Visit>
  void each_candidate(std::size_t from, Visit&& visit) {
    if (each_fence(from, visit)) each_span(from, visit);
  }

  template <class Visit>
  bool each_fence(std::size_t from, Visit& visit) {
    if (!options_.repair.strip_code_fences) return true;
    FenceScanner fences(text_, /*tildes=*/options_.lenient);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (fences.next(begin, end)) {
      if (begin < from) continue;
      std::optional<Candidate> c = attempt(begin, end, LenientScope::Document);
      if (!c) continue;
      Standing st = standing(*c, /*span=*/false);
      if (st == Standing::Answer && fences.tagged_other()) st = Standing::Draft;
      if (!visit(std::move(*c), st, end)) return false;
    }
    return true;
  }

  template <class Visit>
  void each_span(std::size_t from, Visit& visit) {
    const char* const openers = options_.lenient ? "[{(" : "[{";
    // A tuple read (or refused) up to here: no tuple inside it is tried
    // again, so that "x (1 x (1 ..." costs one reading, not one per (.
    std::size_t tuples_read_to = 0;
    for (std::size_t pos = from; pos < text_.size();) {
      const std::size_t open = text_.find_first_of(openers, pos);
      if (open == std::string_view::npos) break;
      const bool tuple = text_[open] == '(';
      if (tuple && open < tuples_read_to) {
        pos = open + 1;
        continue;
      }
      std::size_t close = tuple ? text_.size() : bracket_span_end(text_, open);
      if (const std::size_t end = encoded_document_end(open); end != 0) {
        std::optional<Candidate> c =
            attempt(open - 1, end, LenientScope::OneValue);
        if (c && runner_.strategy(c->result) != Strategy::Fallback) {
          pos = std::max(c->end, end);
          if (!visit(std::move(*c), standing(*c, /*span=*/true), pos)) return;
          continue;
        }
      }
      if (!blocks_) blocks_.emplace(text_);
      // A draft left open in a reasoning block ends with the block.
      const std::size_t tag = blocks_->closing_tag(open);
      close = std::min(close, tag);
      // Values listed one a line are read on to the end of the list.
      const bool listed =
          tag == std::string_view::npos && listed_after(open, close);
      std::optional<Candidate> c =
          listed ? attempt(open, text_.size(), LenientScope::Document)
                 : attempt(open, close, LenientScope::OneValue);
      if (!c) {
        pos = open + 1;
        continue;
      }
      // The lenient reading may end before or after the counted brackets;
      // the search goes on after whichever is further, so spans never
      // overlap.
      const Standing st = standing(*c, /*span=*/true);
      if (tuple) {
        // A tuple that is no candidate may hold one: look inside.
        tuples_read_to = c->end;
        pos = st == Standing::Rejected ? open + 1 : c->end;
      } else {
        pos = c->end > close ? c->end : close;
      }
      if (pos <= open) pos = open + 1;
      if (!visit(std::move(*c), st, pos)) return;
    }
  }

  // "{\"city\": \"Paris\"}" after a tag or prose: a document encoded as
  // a JSON string, whose quote comes right before the bracket at `open`.
  // Where that string ends (past its closing quote); 0 when none is there.
  std::size_t encoded_document_end(std::size_t open) const noexcept {
    if (open == 0 || text_[open - 1] != '"' || open + 2 >= text_.size()) {
      return 0;
    }
    const bool escaped_key = text_[open + 1] == '\\' && text_[open + 2] == '"';
    const bool escaped_items =
        text_[open] == '[' && text_.substr(open + 1, 3) == "{\\\"";
    if (!escaped_key && !escaped_items) return 0;
    for (std::size_t q = open; q < text_.size(); ++q) {
      if (text_[q] == '\\') {
        ++q;
      } else if (text_[q] == '"') {
        return q + 1;
      } else if (text_[q] == '\n') {
        return 0;  // a JSON string holds no line break
      }
    }
    return 0;
  }

  // Strings listed one a line behind list markers ("- \"latency\""), which
  // no bracket opens: the first such list after `from`, read as one
  // candidate.
  template <class Visit>
  void each_listed_string(std::size_t from, Visit& visit) {
    for (std::size_t line = from; line < text_.size();) {
      const std::size_t m = lenient::list_marker_length(text_, line);
      std::size_t eol = text_.find('\n', line);
      eol = eol == std::string_view::npos ? text_.size() : eol;
      if (m != 0 && text_[line + m] != '{' && text_[line + m] != '[' &&
          listed_after(line + m, eol)) {
        std::optional<Candidate> c =
            attempt(line + m, text_.size(), LenientScope::Document);
        if (c) visit(std::move(*c), standing(*c, /*span=*/true), c->end);
        return;
      }
      line = text_.find('\n', line);
      line = line == std::string_view::npos ? line : line + 1;
    }
  }

  // Whether the span [open, close) opens its line (after a list marker at
  // most) and another container of its kind opens the next line (after
  // one too): values listed one a line, which make one candidate, as JSON
  // Lines at the start of a text do.
  bool listed_after(std::size_t open, std::size_t close) const noexcept {
    if (close >= text_.size() || text_[open] == '(') return false;
    std::size_t line = open;
    while (line > 0 && text_[line - 1] != '\n') --line;
    if (line != open &&
        lenient::list_marker_length(text_, line) != open - line &&
        !trim_whitespace(text_.substr(line, open - line)).empty()) {
      return false;
    }
    std::size_t next = close;
    while (next < text_.size() &&
           (text_[next] == ' ' || text_[next] == '\t' || text_[next] == '\r')) {
      ++next;
    }
    if (next >= text_.size() || text_[next] != '\n') return false;
    while (next < text_.size()) {
      if (is_json_ws(static_cast<unsigned char>(text_[next]))) {
        ++next;
      } else if (const std::size_t r = lenient::rule_line_length(text_, next);
                 r != 0) {
        next += r;  // a Markdown rule between the values
      } else {
        break;
      }
    }
    next += next < text_.size() ? lenient::list_marker_length(text_, next) : 0;
    return next < text_.size() && text_[next] == text_[open];
  }

  // The first fence that answers, else the value that starts the text (the
  // lenient pass read it with all that follows, so no span inside it is
  // tried), else the first span that answers; without one, a reference
  // after a reasoning block's draft, the draft, then any reference. `after`
  // is set to where the scan stood past the answer.
  std::optional<Candidate> first_candidate(std::size_t& after) {
    std::optional<Candidate> answer;
    std::optional<Candidate> draft;
    std::optional<Candidate> reference;
    auto visit = [&](Candidate&& c, Standing st, std::size_t end) {
      if (st == Standing::Answer) {
        answer = std::move(c);
        after = end;
        return false;
      }
      if (st == Standing::Draft && !draft) draft = std::move(c);
      // The first reference, and the first one after the first draft.
      if (st == Standing::Reference &&
          (!reference || (draft && reference->begin < draft->begin))) {
        reference = std::move(c);
      }
      return true;
    };
    if (!each_fence(0, visit)) return answer;
    std::size_t from = 0;
    if (partial_ && runner_.strategy(partial_->result) != Strategy::Fallback) {
      after = from = partial_->end;
      Candidate start = std::move(*partial_);
      partial_.reset();
      // "[INST] ... {...}": a bracketed phrase that opens the text is
      // markup, as it is anywhere else, kept back like a reference.
      if (!is_bracketed_phrase(
              text_.substr(start.begin, start.end - start.begin),
              start.fixes)) {
        return start;
      }
      reference = std::move(start);
    }
    each_span(from, visit);
    if (!answer) each_listed_string(from, visit);
    if (answer) return answer;
    after = text_.size();
    if (draft && !(reference && reference->begin > draft->begin)) {
      return draft;
    }
    return reference;
  }

  // Which candidate wins is a guess when another that answers as well
  // follows it with another value.
  bool rival_after(std::size_t after, const Candidate& chosen) {
    bool rival = false;
    each_candidate(after, [&](Candidate&& c, Standing st, std::size_t) {
      if (st != Standing::Answer || c.begin < chosen.end) return true;
      rival = runner_.json(c.result) != runner_.json(chosen.result);
      return false;
    });
    return rival;
  }

  // The first answer, or one after it that the prose leading into it names
  // the correction or the answer (the last such), or, when the first is
  // provisional (a schema, an example), the first plain one after it. The
  // choice is a guess when a rival that is not provisional follows it.
  Candidate among_later(Candidate first, std::size_t after) {
    const LeadIn first_lead = lead_in(text_, 0, first.begin);
    if (first_lead != LeadIn::Provisional &&
        !has_lead_in_word(text_, first.end)) {
      first.guessed |= rival_after(after, first);
      return first;
    }
    std::vector<std::pair<Candidate, LeadIn>> later = answers_after(first);
    std::size_t pick = later.size();  // none: the first stays
    for (std::size_t k = 0; k < later.size(); ++k) {
      if (later[k].second == LeadIn::Supersedes) pick = k;
    }
    if (pick == later.size() && first_lead == LeadIn::Provisional) {
      for (std::size_t k = 0; k < later.size() && pick == later.size(); ++k) {
        if (later[k].second == LeadIn::Plain) pick = k;
      }
    }
    Candidate chosen =
        pick == later.size() ? std::move(first) : std::move(later[pick].first);
    for (std::size_t k = pick == later.size() ? 0 : pick + 1; k < later.size();
         ++k) {
      if (later[k].second != LeadIn::Provisional &&
          runner_.json(later[k].first.result) != runner_.json(chosen.result)) {
        chosen.guessed = true;
        break;
      }
    }
    return chosen;
  }

  // The candidates after `first` that answer, in text order, none inside
  // another (a fence holds its spans), each with what its lead-in says. A
  // reference ([1, 2, 3]) counts where its lead-in names it the answer
  // ("Final list: [1, 2, 3]"). At most kMaxLater of them are weighed.
  std::vector<std::pair<Candidate, LeadIn>> answers_after(
      const Candidate& first) {
    static constexpr std::size_t kMaxLater = 16;
    struct Later {
      Candidate c;
      std::size_t end;  // where the scan went on after it
      bool reference;
    };
    std::vector<Later> found;
    each_candidate(first.end, [&](Candidate&& c, Standing st, std::size_t end) {
      if (st == Standing::Answer || st == Standing::Reference) {
        found.push_back(Later{std::move(c), end, st == Standing::Reference});
      }
      return found.size() < kMaxLater;
    });
    std::stable_sort(
        found.begin(), found.end(),
        [](const Later& a, const Later& b) { return a.c.begin < b.c.begin; });
    std::vector<std::pair<Candidate, LeadIn>> out;
    std::size_t prose_from = first.end;
    std::size_t covered = 0;
    for (Later& l : found) {
      if (l.c.begin < covered) continue;  // inside a fence listed already
      covered = std::max(l.end, l.c.end);
      const LeadIn lead = lead_in(text_, prose_from, l.c.begin);
      prose_from = l.c.end;
      // A reference counts only where its lead-in names it the answer.
      if (l.reference && lead != LeadIn::Supersedes) continue;
      out.emplace_back(std::move(l.c), lead);
    }
    return out;
  }

  // No candidate answered: the lenient reading of the start, else the
  // whole text as the ladder reads it.
  Candidate fallback_choice() {
    if (partial_ && runner_.strategy(partial_->result) != Strategy::Fallback) {
      return finish(std::move(at_least_whole(*partial_)));
    }
    return finish(std::move(whole()));
  }

  // Every candidate in text order: the value that starts the text, then
  // fences and spans after it that answer or are drafts; references only
  // when nothing else is there.
  std::vector<Candidate> listed_candidates() {
    std::vector<Candidate> out;
    std::vector<Candidate> references;
    std::size_t from = 0;
    if (partial_ && runner_.strategy(partial_->result) != Strategy::Fallback) {
      from = partial_->end;
      out.push_back(std::move(*partial_));
      partial_.reset();
    }
    // A fence's content holds its spans: they are that candidate already.
    std::vector<std::pair<std::size_t, std::size_t>> fenced;
    auto listed = [&](const Candidate& c) {
      for (const auto& [begin, end] : fenced) {
        if (c.begin >= begin && c.begin < end) return true;
      }
      return false;
    };
    auto visit = [&](Candidate&& c, Standing st, std::size_t end) {
      if (listed(c)) return true;
      if (st == Standing::Reference) references.push_back(std::move(c));
      if (st == Standing::Answer || st == Standing::Draft) {
        fenced.emplace_back(c.begin, end);
        out.push_back(std::move(c));
      }
      return true;
    };
    each_candidate(from, visit);
    if (out.empty()) out = std::move(references);
    std::stable_sort(out.begin(), out.end(),
                     [](const Candidate& a, const Candidate& b) {
                       return a.begin < b.begin;
                     });
    return out;
  }

  // The guess that a reading by the tolerant rung is, added to what the
  // lenient pass and the choice of candidate said.
  Candidate finish(Candidate c) {
    if (options_.lenient && runner_.strategy(c.result) == Strategy::Tolerant) {
      c.guessed = true;
    }
    return c;
  }

  std::string_view text_;
  const ExtractOptions& options_;
  Runner& runner_;
  std::optional<ReasoningBlocks> blocks_;  // found on first use
  std::optional<Candidate> whole_;
  std::optional<Candidate> partial_;
};

// Full-width brackets (｛｝［］) as a CJK reply may write its document's,
// where the text has no ASCII bracket: the text with each one outside
// strings made its ASCII mark and two spaces, so that every offset stays;
// empty when the text needs none.
std::string ascii_brackets(std::string_view text);

template <ExtractionRunner Runner>
Found<typename Runner::Result> extract_with(std::string_view text,
                                            const ExtractOptions& options,
                                            Runner& runner) {
  const std::string ascii = options.lenient ? ascii_brackets(text) : "";
  return Search<Runner>(ascii.empty() ? text : std::string_view(ascii), options,
                        runner)
      .best();
}

// Every top-level candidate of the text, in text order; extract_with's
// answer is always among them. A fallback is no candidate.
template <ExtractionRunner Runner>
std::vector<Found<typename Runner::Result>> extract_all_with(
    std::string_view text, const ExtractOptions& options, Runner& runner) {
  const std::string ascii = options.lenient ? ascii_brackets(text) : "";
  return Search<Runner>(ascii.empty() ? text : std::string_view(ascii), options,
                        runner)
      .all();
}

}  // namespace tarnwick::detail
