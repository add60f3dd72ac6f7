// Throughput of the lenient path without Python: lenient_rewrite (Document
// scope) next to run_extract and run_ladder on every category of the bench
// corpus and every lenient family, and run_extract on hostile shapes at 1 MB
// and 5 MB with its peak heap.
//
// Usage:
//   python bench/corpus.py --write CORPUS --write-lenient LENIENT
//   lenient_speed CORPUS LENIENT [--reps N] [--only SUBSTRING] [--sizes 1,5]
//
// A sample is as many passes over a category's texts as fill 20 ms of CPU
// time (at least one); MB/s is input bytes over the CPU time of one pass,
// the median over N samples (default 7), with the slowest and fastest sample
// beside it. CPU time rather than wall time, because the machines this runs
// on are shared and a descheduled stretch says nothing about the code.
// --sizes gives the hostile shapes' sizes in MB (default 1 and 5); each row
// after the first compares its time per MB with the first size's.

#include <time.h>  // clock_gettime

#include <algorithm>    // sort, max
#include <cstddef>      // size_t
#include <cstdint>      // int64_t, uint64_t
#include <cstdio>       // printf, fprintf
#include <cstdlib>      // strtol, strtod
#include <filesystem>   // directory_iterator
#include <fstream>      // ifstream
#include <iterator>     // istreambuf_iterator
#include <random>       // mt19937_64
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

// The hostile table gives run_extract's peak heap; counting is off while
// timing.
#include "heap_counter.h"
#include "tarnwick/extract.h"
#include "tarnwick/lenient.h"
#include "tarnwick/repair.h"

namespace {

namespace fs = std::filesystem;

// Keeps results observable so the optimiser cannot drop the work.
volatile std::size_t g_sink = 0;

double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) +
         static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Category {
  std::string name;
  std::vector<std::string> texts;
  std::size_t bytes = 0;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> sorted_entries(const fs::path& dir, bool directories) {
  std::vector<fs::path> out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (directories ? entry.is_directory() : entry.is_regular_file()) {
      out.push_back(entry.path());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Every subdirectory of `root` is a category, its files read in name order.
std::vector<Category> load(const fs::path& root) {
  std::vector<Category> out;
  for (const fs::path& dir : sorted_entries(root, true)) {
    Category cat{dir.filename().string(), {}, 0};
    for (const fs::path& file : sorted_entries(dir, false)) {
      cat.texts.push_back(read_file(file));
      cat.bytes += cat.texts.back().size();
    }
    out.push_back(std::move(cat));
  }
  return out;
}

struct Speed {
  double median = 0;  // MB/s
  double low = 0;
  double high = 0;
};

// Times `pass` (one pass over `bytes` of input) as described at the top.
template <class Pass>
Speed time_passes(std::size_t bytes, int reps, Pass pass) {
  pass();  // warm-up: first-touch of the inputs, allocator growth
  int per_sample = 1;
  for (;;) {
    const double t0 = cpu_seconds();
    for (int i = 0; i < per_sample; ++i) pass();
    const double t = cpu_seconds() - t0;
    if (t >= 0.02 || per_sample >= (1 << 20)) break;
    per_sample = t <= 0.0005 ? per_sample * 40
                             : static_cast<int>(per_sample * 0.025 / t) + 1;
  }
  std::vector<double> rates;
  for (int r = 0; r < reps; ++r) {
    const double t0 = cpu_seconds();
    for (int i = 0; i < per_sample; ++i) pass();
    const double t = (cpu_seconds() - t0) / per_sample;
    rates.push_back(static_cast<double>(bytes) / t / 1e6);
  }
  std::sort(rates.begin(), rates.end());
  return {rates[rates.size() / 2], rates.front(), rates.back()};
}

std::string format_speed(double mb_per_s) {
  char buf[32];
  if (mb_per_s >= 1000) {
    std::snprintf(buf, sizeof buf, "%.2f GB/s", mb_per_s / 1000);
  } else {
    std::snprintf(buf, sizeof buf, "%.0f MB/s", mb_per_s);
  }
  return buf;
}

std::string format_range(const Speed& s) {
  return format_speed(s.low) + " - " + format_speed(s.high);
}

std::string fix_names(tarnwick::FixSet fixes) {
  std::string out;
  for (std::size_t i = 0; i < tarnwick::FIX_COUNT; ++i) {
    if ((fixes & (tarnwick::FixSet{1} << i)) == 0) continue;
    if (!out.empty()) out += ", ";
    out += tarnwick::fix_name(tarnwick::fix_at(i));
  }
  return out.empty() ? "—" : out;
}

// Which target a category answers to, for the table's first column.
const char* group_of(const std::string& name, bool lenient_tree) {
  if (name == "valid_small" || name == "valid_large")
    return "nothing to rewrite";
  if (name == "rewrite_heavy") return "rewrite-heavy";
  return lenient_tree ? "lenient family" : "ladder corpus";
}

void category_table(const std::vector<Category>& corpus,
                    const std::vector<Category>& lenient, int reps,
                    std::string_view only) {
  std::printf(
      "| group | category | texts | MB | rewritten | out / in | "
      "lenient_rewrite | (range) | run_extract | run_ladder |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|---|---:|---:|\n");
  const tarnwick::ExtractOptions extract_options;
  const tarnwick::RepairOptions repair_options;
  auto row = [&](const Category& cat, bool lenient_tree) {
    if (cat.name.find(only) == std::string::npos || cat.texts.empty()) return;
    std::size_t rewritten = 0;
    std::size_t out_bytes = 0;
    for (const std::string& text : cat.texts) {
      tarnwick::LenientText r =
          tarnwick::lenient_rewrite(text, tarnwick::LenientScope::Document);
      rewritten += r.changed ? 1 : 0;
      out_bytes += r.changed ? r.text.size() : text.size();
    }
    const Speed rewrite = time_passes(cat.bytes, reps, [&] {
      for (const std::string& text : cat.texts) {
        tarnwick::LenientText r =
            tarnwick::lenient_rewrite(text, tarnwick::LenientScope::Document);
        g_sink = g_sink + r.text.size() + r.end;
      }
    });
    const Speed extract = time_passes(cat.bytes, reps, [&] {
      for (const std::string& text : cat.texts) {
        tarnwick::Extraction r = tarnwick::run_extract(text, extract_options);
        g_sink = g_sink + r.outcome.json.size();
      }
    });
    const Speed ladder = time_passes(cat.bytes, reps, [&] {
      for (const std::string& text : cat.texts) {
        tarnwick::RepairOutcome r = tarnwick::run_ladder(text, repair_options);
        g_sink = g_sink + r.json.size();
      }
    });
    std::printf(
        "| %s | %s | %zu | %.3f | %zu | %.2f | %s | %s | %s | %s |\n",
        group_of(cat.name, lenient_tree), cat.name.c_str(), cat.texts.size(),
        static_cast<double>(cat.bytes) / 1e6, rewritten,
        static_cast<double>(out_bytes) / static_cast<double>(cat.bytes),
        format_speed(rewrite.median).c_str(), format_range(rewrite).c_str(),
        format_speed(extract.median).c_str(),
        format_speed(ladder.median).c_str());
    std::fflush(stdout);
  };
  // The valid categories first: they carry the nothing-to-rewrite target.
  for (const Category& cat : corpus) {
    if (cat.name == "valid_small" || cat.name == "valid_large") row(cat, false);
  }
  for (const Category& cat : lenient) {
    if (cat.name == "rewrite_heavy") row(cat, true);
  }
  for (const Category& cat : lenient) {
    if (cat.name != "rewrite_heavy") row(cat, true);
  }
  for (const Category& cat : corpus) {
    if (cat.name != "valid_small" && cat.name != "valid_large") row(cat, false);
  }
}

// --- Hostile shapes -------------------------------------------------------
// The shapes of bench/hostile.py (a unit repeated, or a head and a repeated
// unit), and those it adds for extraction; "noise" is printable ASCII from a
// generator of its own, so its bytes differ from the Python run's.

struct Shape {
  std::string_view name;
  std::string_view head;
  std::string_view unit;  // empty: noise
};

constexpr Shape kShapes[] = {
    {"[", "", "["},
    {"{", "", "{"},
    {"{\"a\":", "", "{\"a\":"},
    {"\"", "", "\""},
    {"\"\\", "", "\"\\"},
    {"\\", "", "\\"},
    {",", "", ","},
    {"`", "", "`"},
    {"]}", "", "]}"},
    {"U+3000", "", "\xE3\x80\x80"},
    {"noise", "", ""},
    {"[7,", "[", "7,"},
    {"[{rec},", "[",
     "{\"id\":1024,\"name\":\"caf\xC3\xA9 \xF0\x9F\x99\x82\",\"tags\":[\"a\","
     "\"b\"],\"price\":12.5},"},
    // Shapes aimed at the extraction search.
    {"[1] ", "", "[1] "},  // reference-like spans, each repaired
    {"[x] ", "", "[x] "},  // bracketed phrases, each read and passed over
    {"```\\nx\\n", "", "```\nx\n"},  // fences whose content gives nothing
    {"'", "", "'"},                  // single-quoted strings
    {"/*", "", "/*"},                // a comment that never closes
    {"f(", "", "f("},                // wrapper calls nested without end
    {"{a:", "", "{a:"},              // objects with unquoted keys, never closed
    {"x (1", "", "x (1 "},           // tuples after prose, never closed
    {"{\"a\": [1], {", "{\"a\": [1], ", "{"},  // objects where a key belongs
};

// About `size` bytes, never more: the unit repeated, padded with spaces.
std::string make_text(const Shape& shape, std::size_t size) {
  std::string out(shape.head);
  if (shape.unit.empty()) {
    std::mt19937_64 rng(size);
    out.reserve(size);
    while (out.size() < size) {
      out.push_back(static_cast<char>(32 + rng() % 95));
    }
    return out;
  }
  const std::size_t count = (size - out.size()) / shape.unit.size();
  out.reserve(size);
  for (std::size_t i = 0; i < count; ++i) out.append(shape.unit);
  out.append(size - out.size(), ' ');
  return out;
}

void hostile_table(int reps, std::string_view only,
                   const std::vector<double>& sizes) {
  std::printf(
      "| shape | MB | strategy | fixes | run_extract | (range) | ms per MB | "
      "per MB / first size | peak heap / input |\n");
  std::printf("|---|---:|---|---|---:|---|---:|---:|---:|\n");
  const tarnwick::ExtractOptions options;  // defaults: max_len 5,000,000
  for (const Shape& shape : kShapes) {
    if (shape.name.find(only) == std::string_view::npos) continue;
    double first_ms_per_mb = 0;
    for (const double mb : sizes) {
      const std::string text =
          make_text(shape, static_cast<std::size_t>(mb * 1e6));
      heap_counter::start();
      tarnwick::Extraction found = tarnwick::run_extract(text, options);
      const double peak = static_cast<double>(heap_counter::stop());
      const Speed speed = time_passes(text.size(), reps, [&] {
        tarnwick::Extraction r = tarnwick::run_extract(text, options);
        g_sink = g_sink + r.outcome.json.size();
      });
      const double ms_per_mb = 1e3 / speed.median;
      std::string growth = "—";
      if (mb == sizes.front()) {
        first_ms_per_mb = ms_per_mb;
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.2f", ms_per_mb / first_ms_per_mb);
        growth = buf;
      }
      // Double backticks: two of the names hold backticks themselves.
      std::printf(
          "| `` %.*s `` | %g | %s | %s | %s | %s | %.2f | %s | %.2fx |\n",
          static_cast<int>(shape.name.size()), shape.name.data(), mb,
          std::string(tarnwick::strategy_name(found.outcome.strategy)).c_str(),
          fix_names(found.fixes).c_str(), format_speed(speed.median).c_str(),
          format_range(speed).c_str(), ms_per_mb, growth.c_str(),
          peak / static_cast<double>(text.size()));
      std::fflush(stdout);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> paths;
  int reps = 7;
  std::string_view only;
  std::vector<double> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--reps" && i + 1 < argc) {
      reps = std::max(1, static_cast<int>(std::strtol(argv[++i], nullptr, 10)));
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--sizes" && i + 1 < argc) {
      for (char* p = argv[++i]; *p != '\0';) {
        char* end = nullptr;
        const double mb = std::strtod(p, &end);
        if (end == p) break;
        if (mb > 0) sizes.push_back(mb);
        p = *end == ',' ? end + 1 : end;
      }
    } else {
      paths.push_back(arg);
    }
  }
  if (sizes.empty()) sizes = {1, 5};
  if (paths.size() != 2) {
    std::fprintf(stderr,
                 "usage: lenient_speed CORPUS LENIENT [--reps N] [--only S] "
                 "[--sizes MB,MB...]\n"
                 "  (both from: python bench/corpus.py --write CORPUS "
                 "--write-lenient LENIENT)\n");
    return 2;
  }
  const std::vector<Category> corpus = load(fs::path(paths[0]));
  const std::vector<Category> lenient = load(fs::path(paths[1]));

  std::printf(
      "### lenient_rewrite per category (Document scope), with run_extract "
      "and run_ladder\n\n");
  category_table(corpus, lenient, reps, only);
  std::printf("\n### run_extract on hostile shapes\n\n");
  hostile_table(reps, only, sizes);
  return 0;
}
