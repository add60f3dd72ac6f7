// The repair ladder: the rungs in order, the cumulative
// working text of rungs 2 to 4, and the outcome record.

#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move

#include "json/canonical.h"
#include "repair/cleanup.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/writer.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick {

namespace {

// The text that rungs 2 to 5 work on: a view of the input until a rung that
// changed the text fails its parse; from then on a view of that rung's
// output, which is moved in, never copied.
class WorkingText {
 public:
  explicit WorkingText(std::string_view input) noexcept : view_(input) {}

  std::string_view view() const noexcept { return view_; }

  void replace(std::string text) noexcept {
    owned_ = std::move(text);
    view_ = owned_;
  }

 private:
  std::string owned_;
  std::string_view view_;
};

RepairOutcome fallback_outcome(FallbackKind kind) {
  JsonValue value =
      kind == FallbackKind::EmptyObject ? JsonValue(JsonObject()) : JsonValue();
  return make_outcome(std::move(value), /*changed=*/true, Strategy::Fallback,
                      /*ok=*/false);
}

RepairOutcome success(JsonValue value, Strategy strategy) {
  return make_outcome(std::move(value), strategy != Strategy::Parse, strategy,
                      /*ok=*/true);
}

// A strict rung's success, with the canonical text the reader derived from
// the input when it could; the writer makes it otherwise.
RepairOutcome parsed_success(JsonValue value,
                             std::optional<std::string> canonical,
                             Strategy strategy) {
  if (!canonical) return success(std::move(value), strategy);
  return RepairOutcome{std::move(*canonical), std::move(value), /*ok=*/true,
                       strategy != Strategy::Parse, strategy};
}

}  // namespace

std::string_view strategy_name(Strategy strategy) noexcept {
  switch (strategy) {
    case Strategy::Parse:
      return "parse";
    case Strategy::StripFences:
      return "strip-fences";
    case Strategy::StripControls:
      return "strip-controls";
    case Strategy::StripTrailingCommas:
      return "strip-trailing-commas";
    case Strategy::UnwrapDouble:
      return "unwrap-double";
    case Strategy::Tolerant:
      return "tolerant";
    case Strategy::Fallback:
      return "fallback";
  }
  return "fallback";  // unreachable for a valid enumerator
}

RepairOutcome make_outcome(JsonValue value, bool changed, Strategy strategy,
                           bool ok) {
  std::string json = to_canonical_text(value);
  return RepairOutcome{std::move(json), std::move(value), ok, changed,
                       strategy};
}

RepairOutcome run_ladder(std::string_view input, const RepairOptions& options) {
  // 0. Size guard, before any scan or copy.
  if (input.size() > options.max_len) return fallback_outcome(options.fallback);

  // 1. Strict parse of the unaltered input, one level of unwrapping. Every
  // strict attempt first asks may_be_document, so that a text whose ends
  // rule out a document (a truncated reply, prose) costs no tree.
  if (may_be_document(input)) {
    std::optional<std::string> canonical;
    ReadResult<JsonValue> parsed =
        detail::parse_document_noting_canonical(input, canonical);
    if (parsed.ok()) {
      if (options.unwrap_double_encoded) {
        std::optional<JsonValue> inner = detail::unwrap_double(parsed.value());
        if (inner) return success(std::move(*inner), Strategy::UnwrapDouble);
      }
      return parsed_success(std::move(parsed.value()), std::move(canonical),
                            Strategy::Parse);
    }
  }

  WorkingText working(input);

  // Rungs 2 to 4: a candidate that differs from the working text is parsed;
  // it wins its rung, or else becomes the working text for the next rung.
  auto attempt =
      [&working](
          std::optional<std::string> candidate) -> std::optional<JsonValue> {
    if (!candidate) return std::nullopt;
    if (may_be_document(*candidate)) {
      ReadResult<JsonValue> parsed = parse_document(*candidate);
      if (parsed.ok()) return std::move(parsed.value());
    }
    working.replace(std::move(*candidate));
    return std::nullopt;
  };

  // 2. Code fences.
  if (options.strip_code_fences) {
    if (auto v = attempt(detail::strip_fences(working.view()))) {
      return success(std::move(*v), Strategy::StripFences);
    }
  }
  // 3. Raw control characters in strings.
  if (auto v = attempt(detail::strip_controls_if_changed(working.view()))) {
    return success(std::move(*v), Strategy::StripControls);
  }
  // 4. Trailing commas.
  if (auto v =
          attempt(detail::strip_trailing_commas_if_changed(working.view()))) {
    return success(std::move(*v), Strategy::StripTrailingCommas);
  }

  // 5. Tolerant parse, from the first non-White_Space code point. A null
  // result counts only when the text is exactly "null".
  {
    JsonValue value = detail::parse_tolerant(working.view());
    if (!value.is_null() || detail::trim_whitespace(working.view()) == "null") {
      return success(std::move(value), Strategy::Tolerant);
    }
  }

  // 6. Fallback.
  return fallback_outcome(options.fallback);
}

}  // namespace tarnwick
