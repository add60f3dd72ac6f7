// The words of a lead-in (see lead_in.h): English words by their start,
// case aside, and a few words of other languages as they are written.

#include "lenient/lead_in.h"

#include <algorithm>    // min
#include <cstddef>      // size_t
#include <string_view>  // string_view

namespace tarnwick::detail {
namespace {

// Prefixes of ASCII words, lower case, and words of other scripts, found
// anywhere in a sentence. Strong words outweigh weak ones in a sentence:
// "the actual response for your request", "an example of the output".
constexpr std::string_view kStrongSupersedes[] = {
    "correct", "fix",   "final",  "updat",   "revis",  "actual",
    "instead", "sorry", "apolog", "oops",    "mistak", "amend",
    "korrig",  "endg",  "corrig", "corregid"};
constexpr std::string_view kWeakSupersedes[] = {
    "answer", "output", "result", "filled",   "after",    "response",
    "sorted", "now",    "new",    "ergebnis", "resultado"};
constexpr std::string_view kStrongProvisional[] = {
    "schema",  "template",  "example",    "sample",      "format",
    "draft",   "reference", "comparison", "placeholder", "beispiel",
    "exemple", "ejemplo",   "exemplo"};
constexpr std::string_view kWeakProvisional[] = {
    "original", "input", "initial", "previous", "old",
    "before",   "gave",  "given",   "urspr",    "entrada"};
constexpr std::string_view kStrongSupersedesElsewhere[] = {
    "修正", "最終", "исправ", "Исправ", "итог", "Итог"};
constexpr std::string_view kWeakSupersedesElsewhere[] = {
    "出力", "回答", "结果", "結果", "答案", "输出", "ответ", "Ответ"};
constexpr std::string_view kStrongProvisionalElsewhere[] = {"例", "示例",
                                                            "пример", "Пример"};
constexpr std::string_view kWeakProvisionalElsewhere[] = {"入力", "输入",
                                                          "исходн", "Исходн"};

template <std::size_t N>
bool starts_with_any(std::string_view word,
                     const std::string_view (&prefixes)[N]) noexcept {
  for (const std::string_view p : prefixes) {
    if (word.starts_with(p)) return true;
  }
  return false;
}

template <std::size_t N>
bool holds_any(std::string_view text,
               const std::string_view (&words)[N]) noexcept {
  for (const std::string_view w : words) {
    if (text.find(w) != std::string_view::npos) return true;
  }
  return false;
}

struct Said {
  bool strong_supersedes = false;
  bool weak_supersedes = false;
  bool strong_provisional = false;
  bool weak_provisional = false;
  bool any() const noexcept {
    return strong_supersedes || weak_supersedes || strong_provisional ||
           weak_provisional;
  }
  LeadIn lead() const noexcept {
    if (strong_provisional) return LeadIn::Provisional;
    if (strong_supersedes) return LeadIn::Supersedes;
    if (weak_provisional) return LeadIn::Provisional;
    return weak_supersedes ? LeadIn::Supersedes : LeadIn::Plain;
  }
};

// What the words of `sentence` say.
Said said_in(std::string_view sentence) noexcept {
  Said said;
  char word[16];
  std::size_t length = 0;
  for (std::size_t i = 0; i <= sentence.size(); ++i) {
    const auto c =
        static_cast<unsigned char>(i < sentence.size() ? sentence[i] : ' ');
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
      if (length < sizeof word) word[length] = static_cast<char>(c | 0x20);
      ++length;
      continue;
    }
    if (length == 0) continue;
    const std::string_view w(word, std::min(length, sizeof word));
    said.strong_supersedes |= starts_with_any(w, kStrongSupersedes);
    said.weak_supersedes |= starts_with_any(w, kWeakSupersedes);
    said.strong_provisional |= starts_with_any(w, kStrongProvisional);
    said.weak_provisional |= starts_with_any(w, kWeakProvisional);
    length = 0;
  }
  said.strong_supersedes |= holds_any(sentence, kStrongSupersedesElsewhere);
  said.weak_supersedes |= holds_any(sentence, kWeakSupersedesElsewhere);
  said.strong_provisional |= holds_any(sentence, kStrongProvisionalElsewhere);
  said.weak_provisional |= holds_any(sentence, kWeakProvisionalElsewhere);
  return said;
}

// The length of a sentence end that finishes at text[i - 1]: . ! ? a line
// break, or the ideographic full stop; 0 for none.
std::size_t sentence_end_before(std::string_view text, std::size_t from,
                                std::size_t i) noexcept {
  const char c = text[i - 1];
  if (c == '.' || c == '!' || c == '?' || c == '\n') return 1;
  if (i >= from + 3 && text.substr(i - 3, 3) == "\u3002") return 3;
  return 0;
}

// Where text[from, to) ends without the layout and fence openers that end
// it.
std::size_t trimmed_end(std::string_view text, std::size_t from,
                        std::size_t to) noexcept {
  while (true) {
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t' ||
                         text[to - 1] == '\n' || text[to - 1] == '\r')) {
      --to;
    }
    std::size_t line = to;
    while (line > from && text[line - 1] != '\n') --line;
    const std::string_view last = text.substr(line, to - line);
    if (to == from || (!last.starts_with("```") && !last.starts_with("~~~"))) {
      return to;
    }
    to = line;
  }
}

}  // namespace

LeadIn lead_in(std::string_view text, std::size_t from,
               std::size_t to) noexcept {
  constexpr std::size_t kWindow = 240;
  to = std::min(to, text.size());
  if (to > from + kWindow) from = to - kWindow;
  std::size_t stop = trimmed_end(text, from, to);
  Said said;
  // The sentences from the last back, until one says anything.
  std::size_t i = stop;
  while (i > from && !said.any()) {
    if (const std::size_t n = sentence_end_before(text, from, i); n != 0) {
      said = said_in(text.substr(i, stop - i));
      stop = i - n;
      i = stop;
    } else {
      --i;
    }
  }
  if (!said.any()) said = said_in(text.substr(from, stop - from));
  return said.lead();
}

bool has_lead_in_word(std::string_view text, std::size_t from) noexcept {
  return said_in(text.substr(std::min(from, text.size()))).any();
}

}  // namespace tarnwick::detail
