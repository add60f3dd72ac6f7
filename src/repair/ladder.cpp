// The repair ladder: the rungs in order, the cumulative
// working text of rungs 2 to 4, and the outcome record.

#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move

#include "repair/cleanup.h"
#include "repair/document_reader.h"
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

// A rung read by the reader won: it holds the value and its canonical text.
LadderResult held(Strategy strategy) {
  return LadderResult{RepairOutcome{std::string(), JsonValue(), /*ok=*/true,
                                    strategy != Strategy::Parse, strategy},
                      /*held_by_reader=*/true};
}

LadderResult complete(RepairOutcome outcome) {
  return LadderResult{std::move(outcome), /*held_by_reader=*/false};
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
  detail::TreeBuilder builder;
  detail::BuildingReader<detail::TreeBuilder> reader(builder);
  LadderResult result = run_ladder_with(input, options, reader);
  if (result.held_by_reader) {
    result.outcome.value = std::move(reader.value());
    result.outcome.json = std::move(reader.canonical());
  }
  return std::move(result.outcome);
}

LadderResult run_ladder_with(std::string_view input,
                             const RepairOptions& options,
                             DocumentReader& reader) {
  using Shape = DocumentReader::Shape;
  // 0. Size guard, before any scan or copy.
  if (input.size() > options.max_len) {
    return complete(fallback_outcome(options.fallback));
  }

  // 1. Strict parse of the unaltered input, one level of unwrapping: a
  // string document whose content is an array or object document.
  {
    std::string content;
    const Shape shape =
        reader.read(input, /*containers_only=*/false,
                    options.unwrap_double_encoded ? &content : nullptr);
    if (shape != Shape::NotADocument) {
      if (shape == Shape::String && options.unwrap_double_encoded &&
          reader.read(content, /*containers_only=*/true, nullptr) ==
              Shape::Container) {
        return held(Strategy::UnwrapDouble);
      }
      return held(Strategy::Parse);
    }
  }

  WorkingText working(input);

  // Rungs 2 to 4: a candidate that differs from the working text is parsed;
  // it wins its rung, or else becomes the working text for the next rung.
  auto attempt = [&](std::optional<std::string> candidate) -> bool {
    if (!candidate) return false;
    if (reader.read(*candidate, /*containers_only=*/false, nullptr) !=
        Shape::NotADocument) {
      return true;
    }
    working.replace(std::move(*candidate));
    return false;
  };

  // 2. Code fences.
  if (options.strip_code_fences &&
      attempt(detail::strip_fences(working.view()))) {
    return held(Strategy::StripFences);
  }
  // 3. Raw control characters in strings.
  if (attempt(detail::strip_controls_if_changed(working.view()))) {
    return held(Strategy::StripControls);
  }
  // 4. Trailing commas.
  if (attempt(detail::strip_trailing_commas_if_changed(working.view()))) {
    return held(Strategy::StripTrailingCommas);
  }

  // 5. Tolerant parse, from the first non-White_Space code point. A null
  // result counts only when the text is exactly "null".
  if (reader.read_tolerant(working.view()) ||
      detail::trim_whitespace(working.view()) == "null") {
    return held(Strategy::Tolerant);
  }

  // 6. Fallback.
  return complete(fallback_outcome(options.fallback));
}

}  // namespace tarnwick
