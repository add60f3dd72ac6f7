// The one runner of the extraction search (lenient/extraction.h) over any
// builder of the ladder: each candidate climbs the ladder with the builder,
// and the result keeps the value it made, the canonical text and the rung.
// The engine's tree (run_extract), interpreter objects (the binding) and
// canonical text alone (columns) all search through it. (Private)
#pragma once

#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move

#include "lenient/extraction.h"
#include "repair/ladder.h"

namespace tarnwick::detail {

template <LadderBuilder Builder>
class LadderRunner {
 public:
  struct Result {
    typename Builder::Value value;
    std::string json;
    Strategy strategy = Strategy::Fallback;
    // Filled on first use: the search asks for it again for the winner.
    mutable std::optional<ValueShape> shape;
  };

  // Without `strict_json`, run_strict makes no canonical text (its json is
  // empty): for a caller that wants the value alone.
  explicit LadderRunner(const RepairOptions& options,
                        bool strict_json = true) noexcept
      : options_(options), strict_json_(strict_json) {}

  Result run(std::string_view text) { return climb(text, LadderRungs::All); }
  Result run_as_it_stands(std::string_view text) {
    return climb(text, LadderRungs::AsItStands);
  }
  // `answer`: the result answers the search as it stands, and so needs
  // its json only when the runner was asked for it.
  Result run_strict(std::string_view text, bool answer = false) {
    return climb(text, LadderRungs::Strict, strict_json_ || !answer);
  }

  Strategy strategy(const Result& result) { return result.strategy; }
  std::string_view json(const Result& result) { return result.json; }

  // A builder that failed ends the work: every later text gets the fallback
  // unread, and the caller raises what the builder kept.
  const Builder& builder() const noexcept { return builder_; }
  Builder& builder() noexcept { return builder_; }

  ValueShape shape(const Result& result) {
    if (!result.shape) result.shape = shape_of_json(result.json);
    return *result.shape;
  }

 private:
  Result climb(std::string_view text, LadderRungs rungs,
               bool with_json = true) {
    if (!builder_.failed()) {
      auto answer = climb_ladder(text, options_, builder_, rungs, with_json);
      if (!builder_.failed()) {
        return {std::move(answer.value), std::move(answer.json),
                answer.strategy, std::nullopt};
      }
    }
    Result out;
    (void)builder_.null_value(out.value);
    out.json = "null";
    return out;
  }

  RepairOptions options_;
  bool strict_json_;
  Builder builder_;
};

}  // namespace tarnwick::detail
