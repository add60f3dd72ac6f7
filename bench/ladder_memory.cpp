// Peak heap use of one run_ladder call on inputs of about 5 MB that reach
// the tolerant rung, as a multiple of the input's size. The global allocation
// functions are replaced by counting ones, so this is its own program rather
// than part of a timing benchmark.
//
// Usage: TARNWICK_CORPUS=DIR ladder_memory   (DIR from bench/corpus.py --write)

#include <malloc.h>  // malloc_usable_size

#include <cstddef>      // size_t
#include <cstdio>       // printf
#include <cstdlib>      // malloc, free, getenv
#include <filesystem>   // path
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <new>          // bad_alloc, align_val_t
#include <string>       // string
#include <string_view>  // string_view

#include "tarnwick/repair.h"

namespace {

// Single-threaded program: plain counters suffice.
std::size_t g_live = 0;
std::size_t g_peak = 0;

void* counted_alloc(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  g_live += malloc_usable_size(p);
  if (g_live > g_peak) g_peak = g_live;
  return p;
}

void counted_free(void* p) noexcept {
  if (p == nullptr) return;
  g_live -= malloc_usable_size(p);
  std::free(p);
}

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
  const std::size_t base = g_live;
  g_peak = g_live;
  tarnwick::RepairOutcome outcome =
      tarnwick::run_ladder(input, tarnwick::RepairOptions{});
  const std::size_t extra = g_peak - base;
  std::printf("| %s | %.2f MB | %s | %.1f MB | %.2fx |\n", name,
              static_cast<double>(input.size()) / 1e6,
              std::string(tarnwick::strategy_name(outcome.strategy)).c_str(),
              static_cast<double>(extra) / 1e6,
              static_cast<double>(extra) / static_cast<double>(input.size()));
}

}  // namespace

void* operator new(std::size_t n) { return counted_alloc(n); }
void* operator new[](std::size_t n) { return counted_alloc(n); }
void operator delete(void* p) noexcept { counted_free(p); }
void operator delete[](void* p) noexcept { counted_free(p); }
void operator delete(void* p, std::size_t) noexcept { counted_free(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_free(p); }

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
