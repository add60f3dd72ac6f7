// The lenient pass's entry: fix names, the quick strict look, then the pass
// (pass.h) for the texts that need it.

#include "tarnwick/lenient.h"

#include <cstdint>      // UINT32_MAX
#include <string_view>  // string_view

#include "lenient/pass.h"
#include "lenient/strict_span.h"

namespace tarnwick {

std::string_view fix_name(Fix fix) noexcept {
  switch (fix) {
    case Fix::ByteOrderMark:
      return "byte-order-mark";
    case Fix::LoneSurrogates:
      return "lone-surrogates";
    case Fix::EscapedDocument:
      return "escaped-document";
    case Fix::Quotes:
      return "quotes";
    case Fix::InnerQuotes:
      return "inner-quotes";
    case Fix::Comments:
      return "comments";
    case Fix::Literals:
      return "literals";
    case Fix::UnquotedKeys:
      return "unquoted-keys";
    case Fix::BareWords:
      return "bare-words";
    case Fix::Numbers:
      return "numbers";
    case Fix::ControlCharacters:
      return "control-characters";
    case Fix::Escapes:
      return "escapes";
    case Fix::Ellipsis:
      return "ellipsis";
    case Fix::Wrappers:
      return "wrappers";
    case Fix::Concatenation:
      return "concatenation";
    case Fix::MultipleValues:
      return "multiple-values";
    case Fix::MissingPunctuation:
      return "missing-punctuation";
    case Fix::TrailingCommas:
      return "trailing-commas";
    case Fix::Brackets:
      return "brackets";
    case Fix::Truncated:
      return "truncated";
    case Fix::TrailingText:
      return "trailing-text";
    case Fix::InvalidUtf8:
      return "invalid-utf8";
  }
  return "unknown";
}

LenientText lenient_rewrite(std::string_view text, LenientScope scope) {
  if (text.size() > UINT32_MAX) return {};  // edits count in 32 bits
  // Most texts are strict already: a lean check answers them.
  if (const auto span = detail::lenient::strict_document_span(text)) {
    LenientText same;
    same.found = true;
    same.to_end = true;
    same.begin = span->first;
    same.end = span->second;
    return same;
  }
  return detail::lenient::Pass(text, scope, /*may_unescape=*/true).run();
}

}  // namespace tarnwick
