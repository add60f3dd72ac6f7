// The ladder over the engine's tree, and the strategy names. The climb
// itself is the template of repair/ladder.h.

#include "repair/ladder.h"

#include <string_view>  // string_view
#include <utility>      // move

#include "tarnwick/repair.h"

namespace tarnwick {

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

RepairOutcome run_ladder(std::string_view input, const RepairOptions& options) {
  detail::TreeBuilder builder;
  detail::LadderAnswer<JsonValue> answer =
      detail::climb_ladder(input, options, builder);
  const bool ok = answer.ok();
  const bool changed = answer.changed();
  return RepairOutcome{std::move(answer.json), std::move(answer.value), ok,
                       changed, answer.strategy};
}

}  // namespace tarnwick
