// Peak heap use of one run_ladder call on inputs of about 5 MB that reach
// the tolerant rung, as a multiple of the input's size. The global allocation
// functions are replaced by counting ones, so this is its own program rather
// than part of a timing benchmark.
//
// Usage: TARNWICK_CORPUS=DIR ladder_memory   (DIR from bench/corpus.py --write)

#include <cstddef>      // size_t
#include <cstdio>       // printf
#include <cstdlib>      // getenv
#include <filesystem>   // path
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <string>       // string
#include <string_view>  // string_view

#include "heap_counter.h"
#include "tarnwick/repair.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Elements joined into one array and cut just below the ladder's default
// size limit, so the text stays broken and reaches the tolerant rung.
std::string truncated_array(std::string_view element, std::size_t limit) {
  std::string out = "[";
  while (out.size() < limit) {
    if (out.size() > 1) out += ',';
    out += element;
  }
  out.resize(limit - 1);
  return out;
}

void report(const char* name, const std::string& input) {
  heap_counter::start();
  tarnwick::RepairOutcome outcome =
      tarnwick::run_ladder(input, tarnwick::RepairOptions{});
  const std::size_t extra = heap_counter::stop();
  std::printf("| %s | %.2f MB | %s | %.1f MB | %.2fx |\n", name,
              static_cast<double>(input.size()) / 1e6,
              std::string(tarnwick::strategy_name(outcome.strategy)).c_str(),
              static_cast<double>(extra) / 1e6,
              static_cast<double>(extra) / static_cast<double>(input.size()));
}

}  // namespace

int main() {
  const char* root = std::getenv("TARNWICK_CORPUS");
  if (root == nullptr) {
    std::fprintf(stderr, "set TARNWICK_CORPUS (see bench/corpus.py)\n");
    return 2;
  }
  const std::filesystem::path dir = std::filesystem::path(root) / "valid_large";
  const std::size_t limit = tarnwick::DEFAULT_MAX_LEN;
  std::printf("| input | size | strategy | peak extra heap | / input |\n");
  std::printf("|---|---:|---|---:|---:|\n");
  report("records, compact, truncated",
         truncated_array(read_file(dir / "00.json"), limit));
  report("records, indented, truncated",
         truncated_array(read_file(dir / "01.json"), limit));
  report("records, \\u escapes, truncated",
         truncated_array(read_file(dir / "02.json"), limit));
  report("small integers, truncated", truncated_array("7", limit));
  return 0;
}
