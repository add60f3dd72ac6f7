// Repairs its arguments and checks the outcomes; exit status 0 when all agree.
#include <cstdio>
#include <string_view>

#include "tarnwick/repair.h"

int main() {
  struct Case {
    std::string_view input, json, strategy;
  };
  const Case cases[] = {
      {"```json\n{\"a\": [1, 2,],}\n```", "{\"a\":[1,2]}",
       "strip-trailing-commas"},
      {"{\"a\": \"cut off", "{\"a\":\"cut off\"}", "tolerant"},
      {"nothing here", "null", "fallback"},
  };
  int bad = 0;
  for (const Case& c : cases) {
    const tarnwick::RepairOutcome out = tarnwick::run_ladder(c.input, {});
    const std::string_view name = tarnwick::strategy_name(out.strategy);
    if (out.json != c.json || name != c.strategy) {
      std::printf("%.*s: got %s (%.*s)\n", static_cast<int>(c.input.size()),
                  c.input.data(), out.json.c_str(),
                  static_cast<int>(name.size()), name.data());
      ++bad;
    }
  }
  return bad;
}
