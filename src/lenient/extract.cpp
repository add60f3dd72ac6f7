// The search helpers of extraction and run_extract over the engine's tree.

#include "tarnwick/extract.h"

#include <algorithm>    // all_of, find, min
#include <cctype>       // isalpha, tolower
#include <cstddef>      // size_t
#include <iterator>     // begin, end
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "lenient/extraction.h"
#include "lenient/runner.h"
#include "tarnwick/value.h"
#include "text/chars.h"

namespace tarnwick {
namespace detail {

bool FenceScanner::next(std::size_t& begin, std::size_t& end) noexcept {
  constexpr std::size_t none = std::string_view::npos;
  if (next_backticks_ != none && next_backticks_ < pos_) {
    next_backticks_ = text_.find("```", pos_);
  }
  if (next_tildes_ != none && next_tildes_ < pos_) {
    next_tildes_ = text_.find("~~~", pos_);
  }
  const std::size_t start = std::min(next_backticks_, next_tildes_);
  if (start == std::string_view::npos) {
    pos_ = text_.size();
    return false;
  }
  const char mark = text_[start];
  const std::string_view fence = mark == '`' ? "```" : "~~~";
  // The tag: further marks, then anything up to whitespace or a bracket, so
  // that "```json{"a": 1}```" keeps its object.
  std::size_t i = start + 3;
  while (i < text_.size() && text_[i] == mark) ++i;
  const std::size_t tag_begin = i;
  while (i < text_.size()) {
    const char c = text_[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
        c == '\v' || c == '{' || c == '[' || c == mark) {
      break;
    }
    ++i;
  }
  tag_ = text_.substr(tag_begin, i - tag_begin);
  begin = i;
  const std::size_t close = text_.find(fence, i);
  if (close == std::string_view::npos) {
    end = text_.size();
    pos_ = text_.size();
    return true;
  }
  end = close;
  pos_ = close + 3;
  while (pos_ < text_.size() && text_[pos_] == mark) ++pos_;
  return true;
}

bool FenceScanner::tagged_other() const noexcept {
  // The tags that name JSON or a superset of it, lower case.
  constexpr std::string_view kJsonTags[] = {"json",  "jsonc",  "json5",
                                            "jsonl", "ndjson", "javascript",
                                            "js",    "ts",     "typescript"};
  if (tag_.empty()) return false;
  std::string lower;
  for (const char c : tag_) {
    lower.push_back(
        static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return std::find(std::begin(kJsonTags), std::end(kJsonTags), lower) ==
         std::end(kJsonTags);
}

ReasoningBlocks::ReasoningBlocks(std::string_view text) {
  // The tags models wrap their reasoning in, lower case.
  constexpr std::string_view kTags[] = {
      "think",    "thinking",   "reasoning", "reflection",     "thought",
      "thoughts", "scratchpad", "analysis",  "inner_monologue"};
  constexpr std::size_t none = std::string_view::npos;
  for (std::size_t pos = text.find('<'); pos != none;
       pos = text.find('<', pos + 1)) {
    std::size_t q = pos + 1;
    std::string name;
    while (
        q < text.size() && q - pos <= 16 &&
        (std::isalpha(static_cast<unsigned char>(text[q])) || text[q] == '_')) {
      name.push_back(
          static_cast<char>(std::tolower(static_cast<unsigned char>(text[q]))));
      ++q;
    }
    if (q >= text.size() || text[q] != '>' ||
        std::find(std::begin(kTags), std::end(kTags), name) ==
            std::end(kTags)) {
      continue;
    }
    const std::string closer =
        "</" + std::string(text.substr(pos + 1, q - pos - 1)) + ">";
    const std::size_t close = text.find(closer, q);
    if (close == none) break;  // never closed: what follows counts
    blocks_.push_back(Block{pos, close, close + closer.size()});
    pos = close + closer.size() - 1;
  }
}

bool ReasoningBlocks::inside(std::size_t pos) const noexcept {
  return closing_tag(pos) != std::string_view::npos;
}

std::size_t ReasoningBlocks::closing_tag(std::size_t pos) const noexcept {
  for (const Block& b : blocks_) {
    if (pos >= b.begin && pos < b.end) return b.close;
  }
  return std::string_view::npos;
}

std::string ascii_brackets(std::string_view text) {
  if (text.find_first_of("{[") != std::string_view::npos ||
      (text.find("\uFF5B") == std::string_view::npos &&
       text.find("\uFF3B") == std::string_view::npos)) {
    return {};
  }
  std::string out(text);
  bool in_string = false;  // "..." or a typographic “...”
  for (std::size_t i = 0; i + 2 < out.size() || (i < out.size() && in_string);
       ++i) {
    if (in_string) {
      if (out[i] == '\\') {
        ++i;
      } else if (out[i] == '"' || out.compare(i, 3, "\u201D") == 0) {
        in_string = false;
      }
      continue;
    }
    if (out[i] == '"' || out.compare(i, 3, "\u201C") == 0) {
      in_string = true;
      continue;
    }
    if (out[i] != '\xEF' || i + 2 >= out.size()) continue;
    const std::string_view wide(out.data() + i, 3);
    const char ascii = wide == "\uFF5B"   ? '{'
                       : wide == "\uFF5D" ? '}'
                       : wide == "\uFF3B" ? '['
                       : wide == "\uFF3D" ? ']'
                                          : '\0';
    if (ascii != '\0') {
      out[i] = ascii;
      out[i + 1] = ' ';
      out[i + 2] = ' ';
      i += 2;
    }
  }
  return out;
}

std::size_t byte_order_mark_length(std::string_view text) noexcept {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

namespace {

// Counts the words of the canonical string that opens at json[i] into
// `weight`; returns where it closes. Canonical strings: escapes stand for a
// quote, a backslash or a control character, none of which is part of a
// word. Words are runs of two or more characters between layout,
// punctuation and escapes. A lone character is no word, so a reading that
// invents one (a cut escape) gains nothing; "null" is none either, so a
// document read as one long string weighs what its values do.
std::size_t string_words(std::string_view json, std::size_t i,
                         std::size_t& weight) noexcept {
  std::size_t j = i + 1;
  std::size_t run = 0;  // code points of the word being read
  std::size_t run_start = j;
  auto end_word = [&](std::size_t at) {
    if (run >= 2 && json.substr(run_start, at - run_start) != "null") {
      ++weight;
    }
    run = 0;
  };
  for (; j < json.size() && json[j] != '"'; ++j) {
    const auto b = static_cast<unsigned char>(json[j]);
    if (b == '\\' || b <= ' ' || b == ',' || b == ':' || b == '{' || b == '}' ||
        b == '[' || b == ']') {
      end_word(j);
      if (b == '\\' && json[++j] == 'u') j += 4;
    } else if ((b & 0xC0) != 0x80) {
      if (run++ == 0) run_start = j;
    }
  }
  end_word(j);
  return j;
}

}  // namespace

ValueShape shape_of_json(std::string_view json) noexcept {
  ValueShape shape;
  const char head = json.empty() ? 'n' : json[0];
  shape.holds_nothing = head == '[' || head == '{';
  shape.reference_like = head == '[' || json == "{}";
  std::size_t depth = 0;
  bool key = false;  // the string just read is an object key
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    switch (c) {
      case '[':
      case '{':
        ++depth;
        if (depth == 2) shape.holds_nothing = shape.reference_like = false;
        break;
      case ']':
      case '}':
        --depth;
        break;
      case '"': {
        const std::size_t j = string_words(json, i, shape.weight);
        key = j + 1 < json.size() && json[j + 1] == ':';
        if (depth == 1 && !key) {
          shape.holds_nothing = shape.reference_like = false;
        }
        i = j;
        break;
      }
      case 'n':  // null
        if (depth == 1) shape.reference_like = false;
        i += 3;
        break;
      case ',':
      case ':':
        break;
      default: {
        // A number, true or false.
        ++shape.weight;
        bool integer = c != 't' && c != 'f';
        std::size_t j = i;
        while (j < json.size() && json[j] != ',' && json[j] != ']' &&
               json[j] != '}') {
          if (json[j] == '.' || json[j] == 'e' || json[j] == 'E') {
            integer = false;
          }
          ++j;
        }
        if (depth == 1) {
          shape.holds_nothing = false;
          if (!integer || head != '[') shape.reference_like = false;
        }
        i = j - 1;
      }
    }
  }
  return shape;
}

}  // namespace detail

namespace {

Extraction to_extraction(
    std::string_view text,
    detail::Found<detail::LadderRunner<detail::TreeBuilder>::Result>&& found) {
  const Strategy strategy = found.result.strategy;
  const bool changed =
      !read_as_it_stood(text, strategy, found.fixes, found.begin, found.end);
  RepairOutcome outcome{std::move(found.result.json),
                        std::move(found.result.value),
                        strategy != Strategy::Fallback, changed, strategy};
  return Extraction{std::move(outcome), found.fixes, found.begin, found.end,
                    found.guessed};
}

}  // namespace

bool read_as_it_stood(std::string_view text, Strategy strategy, FixSet fixes,
                      std::size_t begin, std::size_t end) noexcept {
  if (strategy != Strategy::Parse || fixes != 0) return false;
  const auto blank = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) {
      return detail::is_json_ws(static_cast<unsigned char>(c));
    });
  };
  return blank(text.substr(0, begin)) && blank(text.substr(end));
}

Extraction run_extract(std::string_view text, const ExtractOptions& options) {
  detail::LadderRunner<detail::TreeBuilder> runner(
      detail::candidate_options(options.repair));
  return to_extraction(text, detail::extract_with(text, options, runner));
}

std::vector<Extraction> run_extract_all(std::string_view text,
                                        const ExtractOptions& options) {
  detail::LadderRunner<detail::TreeBuilder> runner(
      detail::candidate_options(options.repair));
  std::vector<Extraction> out;
  for (auto& found : detail::extract_all_with(text, options, runner)) {
    out.push_back(to_extraction(text, std::move(found)));
  }
  return out;
}

}  // namespace tarnwick
