// The engine alone, without Python: the strict reader against simdjson's DOM
// parser on the same documents, the canonical writer, each cleanup pass, the
// tolerant parser and the whole ladder, on the texts that bench/corpus.py
// writes.
//
// Usage:
//   python bench/corpus.py --write build-bench/corpus
//   TARNWICK_CORPUS=build-bench/corpus build-bench/bench/engine_vs_simdjson
//
// Each benchmark makes one pass over every text of a category per iteration
// and reports bytes/s over the texts' total size.

#include <benchmark/benchmark.h>
#include <simdjson.h>  // dom::parser, padded_string

#include <algorithm>    // sort
#include <cstddef>      // size_t
#include <cstdio>       // fprintf
#include <cstdlib>      // getenv
#include <filesystem>   // directory_iterator
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

#include "repair/cleanup.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/writer.h"
#include "tolerant/tolerant_parser.h"

namespace {

namespace fs = std::filesystem;

struct Category {
  std::string name;
  std::vector<std::string> texts;
  std::vector<simdjson::padded_string> padded;  // the same bytes, padded
  std::size_t bytes = 0;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every subdirectory of `root` is a category; its files are read in name
// order so that runs are comparable.
std::vector<Category> load_corpus(const fs::path& root) {
  std::vector<Category> out;
  std::vector<fs::path> dirs;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.is_directory()) dirs.push_back(entry.path());
  }
  std::sort(dirs.begin(), dirs.end());
  for (const fs::path& dir : dirs) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    Category cat;
    cat.name = dir.filename().string();
    for (const fs::path& file : files) {
      cat.texts.push_back(read_file(file));
      cat.padded.emplace_back(cat.texts.back());
      cat.bytes += cat.texts.back().size();
    }
    out.push_back(std::move(cat));
  }
  return out;
}

tarnwick::RepairOptions unlimited() {
  tarnwick::RepairOptions options;
  options.max_len = ~std::uint64_t{0};
  return options;
}

template <class Fn>
void register_pass(const std::string& name, const Category& cat, Fn fn) {
  benchmark::RegisterBenchmark(
      (name + "/" + cat.name).c_str(), [&cat, fn](benchmark::State& state) {
        for (auto _ : state) {
          for (const std::string& text : cat.texts) fn(text);
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                                static_cast<std::int64_t>(cat.bytes));
      });
}

bool all_strict(const Category& cat) {
  for (const std::string& text : cat.texts) {
    if (!tarnwick::parse_document(text).ok()) return false;
  }
  return true;
}

void register_all(const std::vector<Category>& corpus) {
  using namespace tarnwick;
  for (const Category& cat : corpus) {
    if (all_strict(cat)) {
      // The reader builds and then frees an owning tree; simdjson fills its
      // reused tape. Both costs are what a caller of each pays per document.
      register_pass("parse_document", cat, [](const std::string& text) {
        ReadResult<JsonValue> r = parse_document(text);
        benchmark::DoNotOptimize(r);
      });
      benchmark::RegisterBenchmark(
          ("simdjson_dom/" + cat.name).c_str(),
          [&cat](benchmark::State& state) {
            simdjson::dom::parser parser;
            for (auto _ : state) {
              for (const simdjson::padded_string& text : cat.padded) {
                simdjson::dom::element doc;
                auto error = parser.parse(text).get(doc);
                benchmark::DoNotOptimize(error);
                benchmark::DoNotOptimize(doc);
              }
            }
            state.SetBytesProcessed(
                static_cast<std::int64_t>(state.iterations()) *
                static_cast<std::int64_t>(cat.bytes));
          });
      // The writer on the parsed values; bytes are the input's.
      auto values = std::make_shared<std::vector<JsonValue>>();
      for (const std::string& text : cat.texts) {
        values->push_back(std::move(parse_document(text).value()));
      }
      benchmark::RegisterBenchmark(
          ("to_canonical_text/" + cat.name).c_str(),
          [&cat, values](benchmark::State& state) {
            for (auto _ : state) {
              for (const JsonValue& v : *values) {
                std::string out = to_canonical_text(v);
                benchmark::DoNotOptimize(out);
              }
            }
            state.SetBytesProcessed(
                static_cast<std::int64_t>(state.iterations()) *
                static_cast<std::int64_t>(cat.bytes));
          });
    }
    register_pass("strip_fences", cat, [](const std::string& text) {
      std::optional<std::string> r = detail::strip_fences(text);
      benchmark::DoNotOptimize(r);
    });
    register_pass("cleanup_needs", cat, [](const std::string& text) {
      detail::CleanupNeeds r = detail::cleanup_needs(text);
      benchmark::DoNotOptimize(r);
    });
    register_pass("strip_controls", cat, [](const std::string& text) {
      std::optional<std::string> r = detail::strip_controls_if_changed(text);
      benchmark::DoNotOptimize(r);
    });
    register_pass("strip_trailing_commas", cat, [](const std::string& text) {
      std::optional<std::string> r =
          detail::strip_trailing_commas_if_changed(text);
      benchmark::DoNotOptimize(r);
    });
    register_pass("parse_tolerant", cat, [](const std::string& text) {
      JsonValue v = detail::parse_tolerant(text);
      benchmark::DoNotOptimize(v);
    });
    register_pass("run_ladder", cat, [](const std::string& text) {
      RepairOutcome r = run_ladder(text, unlimited());
      benchmark::DoNotOptimize(r);
    });
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* root = std::getenv("TARNWICK_CORPUS");
  if (root == nullptr || !fs::is_directory(root)) {
    std::fprintf(stderr,
                 "set TARNWICK_CORPUS to a directory written by "
                 "'python bench/corpus.py --write DIR'\n");
    return 2;
  }
  // Registered benchmarks refer to the corpus, so it lives until exit.
  static const std::vector<Category> corpus = load_corpus(root);
  register_all(corpus);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
