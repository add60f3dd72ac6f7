// Throughput of the repair engine: each cleanup pass, the tolerant parser and
// each rung of the ladder on typical inputs, and the ladder on hostile shapes
// at two sizes, so that linear growth shows as a steady MB/s figure.
//
// Usage: engine_bench [filter]   (runs the cases whose name contains filter)

#include <algorithm>    // min
#include <chrono>       // steady_clock
#include <cstddef>      // size_t
#include <cstdio>       // printf
#include <functional>   // function
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "repair/cleanup.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/value.h"
#include "tolerant/tolerant_parser.h"

namespace {

using tarnwick::JsonValue;
using tarnwick::RepairOptions;
using tarnwick::RepairOutcome;
using tarnwick::Strategy;

// Keeps a result alive so the optimiser cannot drop the work.
volatile std::size_t g_sink = 0;

std::string repeat(std::string_view piece, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + piece.size());
  while (out.size() + piece.size() <= bytes) out.append(piece);
  return out;
}

// A pretty-printed array of records, about `bytes` long. `style` varies the
// defect: 0 valid, 1 raw line feeds inside strings, 2 trailing commas.
std::string records(std::size_t bytes, int style) {
  std::string out = "[\n";
  for (std::size_t i = 0; out.size() < bytes; ++i) {
    const std::string id = std::to_string(i);
    if (i != 0) out += ",\n";
    out += "  {\n    \"id\": " + id + ",\n";
    out += "    \"name\": \"user " + id + "\",\n";
    out += "    \"email\": \"user" + id + "@example.com\",\n";
    out += "    \"score\": " + id + ".25,\n";
    out += "    \"bio\": \"caf\xC3\xA9 \\\"quoted\\\" text" +
           std::string(style == 1 ? "\nsecond line" : "; second line") +
           "\",\n";
    out += "    \"tags\": [\"a\", \"b\", \"c\"" +
           std::string(style == 2 ? ",]" : "]") + ",\n";
    out += "    \"active\": true,\n    \"note\": null";
    out += style == 2 ? ",\n  }" : "\n  }";
  }
  out += "\n]\n";
  return out;
}

struct Result {
  double mb_per_s;
  std::string detail;
};

// Runs `fn` until at least 0.3 s have passed (at least 3 runs) and reports
// the best run.
Result measure(std::size_t bytes, const std::function<std::string()>& fn) {
  using clock = std::chrono::steady_clock;
  double best = 1e300;
  std::string detail;
  const auto start = clock::now();
  for (int run = 0;; ++run) {
    const auto t0 = clock::now();
    detail = fn();
    const auto t1 = clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    if (run >= 2 && std::chrono::duration<double>(t1 - start).count() > 0.3) {
      break;
    }
  }
  return {static_cast<double>(bytes) / best / 1e6, detail};
}

RepairOptions unlimited() {
  RepairOptions options;
  options.max_len = ~std::uint64_t{0};
  return options;
}

std::string ladder(std::string_view text) {
  RepairOutcome out = tarnwick::run_ladder(text, unlimited());
  g_sink = g_sink + out.json.size();
  return std::string(tarnwick::strategy_name(out.strategy));
}

void report(const std::string& name, std::size_t bytes,
            const std::function<std::string()>& fn, std::string_view filter) {
  if (name.find(filter) == std::string::npos) return;
  const Result r = measure(bytes, fn);
  std::printf("%-44s %9.2f MB %10.1f MB/s  %s\n", name.c_str(),
              static_cast<double>(bytes) / 1e6, r.mb_per_s, r.detail.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view filter = argc > 1 ? argv[1] : "";
  constexpr std::size_t kMB = 1'000'000;

  const std::string valid = records(kMB, 0);
  const std::string raw_lines = records(kMB, 1);
  const std::string commas = records(kMB, 2);
  const std::string fenced = "```json\n" + valid + "```\n";
  const std::string truncated = valid.substr(0, valid.size() - 40);

  std::printf("%-44s %12s %15s  %s\n", "case", "size", "speed", "strategy");

  // The passes alone.
  using namespace tarnwick::detail;
  auto pass = [&](const std::string& name, const std::string& text, auto&& fn) {
    report(
        name, text.size(),
        [&] {
          g_sink = g_sink + fn(text);
          return std::string();
        },
        filter);
  };
  pass("pass trim_whitespace", valid,
       [](const std::string& t) { return trim_whitespace(t).size(); });
  pass("pass strip_fences (fenced)", fenced,
       [](const std::string& t) { return strip_fences(t)->size(); });
  pass("pass strip_controls (no change)", valid, [](const std::string& t) {
    return strip_controls_if_changed(t).has_value() ? 1u : 0u;
  });
  pass("pass strip_controls (raw line feeds)", raw_lines,
       [](const std::string& t) { return strip_controls(t).size(); });
  pass("pass strip_trailing_commas (no change)", valid,
       [](const std::string& t) {
         return strip_trailing_commas_if_changed(t).has_value() ? 1u : 0u;
       });
  pass("pass strip_trailing_commas (commas)", commas,
       [](const std::string& t) { return strip_trailing_commas(t).size(); });
  pass("tolerant parser (valid records)", valid, [](const std::string& t) {
    JsonValue v = parse_tolerant(t);
    return static_cast<std::size_t>(v.kind());
  });
  pass("strict parse_document (valid records)", valid,
       [](const std::string& t) {
         return tarnwick::parse_document(t).ok() ? 1u : 0u;
       });

  // The ladder, one rung per input.
  report("ladder valid", valid.size(), [&] { return ladder(valid); }, filter);
  report(
      "ladder fenced", fenced.size(), [&] { return ladder(fenced); }, filter);
  report(
      "ladder raw line feeds in strings", raw_lines.size(),
      [&] { return ladder(raw_lines); }, filter);
  report(
      "ladder trailing commas", commas.size(), [&] { return ladder(commas); },
      filter);
  report(
      "ladder truncated", truncated.size(), [&] { return ladder(truncated); },
      filter);

  // Hostile shapes through the ladder at 1 MB and 5 MB.
  struct Shape {
    const char* name;
    std::string_view piece;
  };
  const std::vector<Shape> shapes = {
      {"[", "["},   {"{\"a\":", "{\"a\":"}, {"\"\\", "\"\\"}, {",", ","},
      {"`", "`"},   {"]}", "]}"},           {"[{", "[{"},     {"{\"", "{\""},
      {", ", ", "}, {"[1,", "[1,"},
  };
  for (const Shape& shape : shapes) {
    for (std::size_t mb : {1, 5}) {
      const std::string text = repeat(shape.piece, mb * kMB);
      report(
          "ladder hostile " + std::string(shape.name) + " x " +
              std::to_string(mb) + " MB",
          text.size(), [&] { return ladder(text); }, filter);
    }
  }
  // Unbalanced closers after an opener, so the parser loops over them.
  for (std::size_t mb : {1, 5}) {
    // Appended, not concatenated with operator+: GCC 12 reports a false
    // -Wrestrict there at -O3
    // (https://gcc.gnu.org/bugzilla/show_bug.cgi?id=105329).
    std::string text = "[";
    text += repeat("]}", mb * kMB);
    report(
        "ladder hostile [ then ]} x " + std::to_string(mb) + " MB", text.size(),
        [&] { return ladder(text); }, filter);
    const std::string nested = repeat("[", 119) + repeat("}", mb * kMB);
    report(
        "ladder hostile 119 [ then } x " + std::to_string(mb) + " MB",
        nested.size(), [&] { return ladder(nested); }, filter);
  }
  return 0;
}
