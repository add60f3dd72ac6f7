#include "column/column_work.h"

#include <algorithm>           // min
#include <atomic>              // atomic
#include <chrono>              // milliseconds
#include <condition_variable>  // condition_variable
#include <cstring>             // memcpy
#include <exception>           // exception_ptr, current_exception
#include <memory>              // unique_ptr, make_unique
#include <mutex>               // mutex, lock_guard, unique_lock
#include <system_error>        // system_error
#include <thread>              // thread
#include <utility>             // move

#include "column/text_builder.h"
#include "lenient/extraction.h"
#include "lenient/runner.h"

namespace tarnwick::detail {
namespace {

// Rows a worker takes at a time: small enough that a few long texts do not
// leave one thread working alone at the end, large enough that handing out
// blocks costs nothing next to repairing them.
constexpr std::int64_t kBlockRows = 512;

// How often the waiting thread lets the caller look for an interrupt: half
// the 100 ms a stop may take, the other half left to the row that runs.
constexpr std::chrono::milliseconds kPollInterval{50};

bool bit_set(const std::uint8_t* bitmap, std::int64_t index) noexcept {
  return ((bitmap[index >> 3] >> (index & 7)) & 1) != 0;
}

// Repairs texts into their canonical text and strategy alone: the ladder's
// reads build no value (see TextOnlyBuilder), as repair() builds its objects
// in the same reads.
using TextRunner = LadderRunner<TextOnlyBuilder>;
static_assert(ExtractionRunner<TextRunner>);

// One row of a chunk: null, a text, or buffers that contradict themselves.
struct RowText {
  enum class Kind : std::uint8_t { Null, Text, Bad } kind = Kind::Null;
  std::string_view text;
};

template <class Offset>
RowText offsets_row(const TextChunk& chunk, std::int64_t at) noexcept {
  const auto* offsets = static_cast<const Offset*>(chunk.offsets);
  const Offset begin = offsets[at];
  const Offset end = offsets[at + 1];
  if (begin < 0 || end < begin) return {RowText::Kind::Bad, {}};
  return {RowText::Kind::Text,
          std::string_view(chunk.data + begin,
                           static_cast<std::size_t>(end - begin))};
}

// A view is 16 bytes: int32 length, then up to 12 bytes inline, or a 4-byte
// prefix, the int32 index of a data buffer and an int32 offset into it.
RowText view_row(const TextChunk& chunk, std::int64_t at) noexcept {
  const char* view = static_cast<const char*>(chunk.offsets) + 16 * at;
  std::int32_t length;
  std::memcpy(&length, view, 4);
  if (length < 0) return {RowText::Kind::Bad, {}};
  if (length <= 12) {
    return {RowText::Kind::Text,
            std::string_view(view + 4, static_cast<std::size_t>(length))};
  }
  std::int32_t buffer;
  std::int32_t offset;
  std::memcpy(&buffer, view + 8, 4);
  std::memcpy(&offset, view + 12, 4);
  if (buffer < 0 || buffer >= chunk.variadic_count || offset < 0 ||
      std::int64_t{offset} + length > chunk.variadic_sizes[buffer]) {
    return {RowText::Kind::Bad, {}};
  }
  return {RowText::Kind::Text,
          std::string_view(chunk.variadic[buffer] + offset,
                           static_cast<std::size_t>(length))};
}

RowText row_text(const TextChunk& chunk, std::int64_t row) noexcept {
  if (chunk.outer_validity != nullptr &&
      !bit_set(chunk.outer_validity, chunk.outer_offset + row)) {
    return {};
  }
  const std::int64_t at = chunk.offset + row;
  if (chunk.layout == TextChunk::Layout::AllNull ||
      (chunk.validity != nullptr && !bit_set(chunk.validity, at))) {
    return {};
  }
  switch (chunk.layout) {
    case TextChunk::Layout::Offsets32:
      return offsets_row<std::int32_t>(chunk, at);
    case TextChunk::Layout::Offsets64:
      return offsets_row<std::int64_t>(chunk, at);
    case TextChunk::Layout::Views:
      return view_row(chunk, at);
    case TextChunk::Layout::AllNull:
      break;
  }
  return {};
}

}  // namespace

// The work on one chunk, shared by its threads. Each block of rows is taken
// by one thread, which writes the rows' strategies, fixes and json lengths
// into `out` (distinct elements per row) and their texts into the block's
// own buffer; the texts are joined in row order once every block is done.
class ChunkWork {
 public:
  ChunkWork(const TextChunk& chunk, const RowOptions& options, ColumnData& out)
      : chunk_(chunk),
        options_(options),
        out_(out),
        base_(static_cast<std::size_t>(out.rows())),
        blocks_(static_cast<std::size_t>((chunk.length + kBlockRows - 1) /
                                         kBlockRows)),
        block_json_(blocks_),
        block_nulls_(blocks_, 0) {}

  ChunkWork(const ChunkWork&) = delete;
  ChunkWork& operator=(const ChunkWork&) = delete;
  ~ChunkWork() {
    cancelled_.store(true);
    stop_.store(true);
    join();
  }

  // Takes blocks until none is left or the work stops. Never throws: a
  // failure is kept for the waiting thread.
  void work() noexcept {
    try {
      while (!stop_.load(std::memory_order_relaxed)) {
        const std::size_t block = next_.fetch_add(1);
        if (block >= blocks_) break;
        if (!run_block(block)) stop_.store(true);
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      stop_.store(true);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++finished_;
    finished_changed_.notify_all();
  }

  // Starts up to `threads` workers, one even for a single block, so that the
  // caller stays free to look for an interrupt; none when no thread can be
  // started, and then wait() does the work itself.
  void start(unsigned threads) {
    const std::size_t wanted = std::min<std::size_t>(threads, blocks_);
    workers_.reserve(wanted);
    for (std::size_t i = 0; i < wanted; ++i) {
      try {
        workers_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // the threads already started do the work
      }
    }
  }

  // Waits for the workers, polling `keep_going` until it returns false,
  // which stops them, and joins them; does the work on this thread when none
  // was started.
  void wait(const std::function<bool()>& keep_going) {
    if (workers_.empty()) {
      work();
      return;
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (finished_ < workers_.size()) {
        // The system clock, not wait_for's steady one: that needs
        // pthread_cond_clockwait (glibc 2.34), and the binding needs no
        // glibc past 2.14 otherwise; a jump of the clock moves one poll.
        if (finished_changed_.wait_until(
                lock, std::chrono::system_clock::now() + kPollInterval,
                [&] { return finished_ >= workers_.size(); })) {
          break;
        }
        // Once stopped, only the workers' ends are awaited: keep_going has
        // raised the interrupt, and a second call would not see it again.
        if (interrupted_) continue;
        lock.unlock();
        const bool go_on = keep_going();
        lock.lock();
        if (!go_on) {
          interrupted_ = true;
          cancelled_.store(true);
          stop_.store(true);
        }
      }
    }
    join();
  }

  // Stops the workers, joins them and leaves `out` as it was.
  void abandon() noexcept {
    cancelled_.store(true);
    stop_.store(true);
    join();
    roll_back();
  }

  // After wait(): rethrows a failure, or joins the rows into `out`. False
  // when a row could not be read or the work was stopped; then `out` is as
  // it was before.
  bool finish(RowProblem& problem) {
    if (error_) {
      roll_back();
      std::rethrow_exception(error_);
    }
    if (problem_.kind != RowProblem::Kind::None || interrupted_) {
      problem = problem_;
      roll_back();
      return false;
    }
    const auto rows = static_cast<std::size_t>(chunk_.length);
    std::int64_t* offsets = out_.offsets.data() + base_;
    for (std::size_t i = 0; i < rows; ++i) offsets[i + 1] += offsets[i];
    out_.json.reserve(static_cast<std::size_t>(offsets[rows]));
    for (std::size_t b = 0; b < blocks_; ++b) {
      out_.json += block_json_[b];
      std::string().swap(block_json_[b]);
      out_.null_count += block_nulls_[b];
    }
    out_.chunk_ends.push_back(out_.rows());
    return true;
  }

  // Sizes `out` for the chunk's rows; roll_back() undoes it.
  void prepare() {
    const auto rows = static_cast<std::size_t>(chunk_.length);
    out_.strategy.resize(base_ + rows);
    out_.offsets.resize(base_ + rows + 1);
    if (options_.extract) out_.fixes.resize(base_ + rows);
  }

 private:
  void join() noexcept {
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  void roll_back() noexcept {
    out_.strategy.resize(base_);
    out_.offsets.resize(base_ + 1);
    if (options_.extract) out_.fixes.resize(base_);
  }

  void report(RowProblem problem) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (problem_.kind == RowProblem::Kind::None || problem.row < problem_.row) {
      problem_ = problem;
    }
  }

  // Repairs the rows of one block. Blocks are handed out in order and each
  // is finished once started, so the lowest row that cannot be read is
  // always found, even when a later block finds one first.
  bool run_block(std::size_t block) {
    const std::int64_t first = static_cast<std::int64_t>(block) * kBlockRows;
    const std::int64_t last = std::min(chunk_.length, first + kBlockRows);
    std::string& json = block_json_[block];
    // Extraction applies the size limit to the input; its runner has none.
    TextRunner runner(options_.extract
                          ? candidate_options(options_.options.repair)
                          : options_.options.repair);
    for (std::int64_t row = first; row < last; ++row) {
      // A block of long texts takes seconds: an interrupt is seen per row.
      if (cancelled_.load(std::memory_order_relaxed)) return false;
      const std::size_t at = base_ + static_cast<std::size_t>(row);
      const RowText cell = row_text(chunk_, row);
      if (cell.kind == RowText::Kind::Bad) {
        report({RowProblem::Kind::BadBuffers, row, 0, 0});
        return false;
      }
      if (cell.kind == RowText::Kind::Null) {
        out_.strategy[at] = kNullRow;
        out_.offsets[at + 1] = 0;
        if (options_.extract) out_.fixes[at] = 0;
        ++block_nulls_[block];
        continue;
      }
      if (chunk_.check_utf8) {
        const std::size_t bad = utf8_error_offset(cell.text);
        if (bad != cell.text.size()) {
          report({RowProblem::Kind::InvalidUtf8, row, bad,
                  static_cast<unsigned char>(cell.text[bad])});
          return false;
        }
      }
      const std::size_t before = json.size();
      if (options_.extract) {
        auto found = extract_with(cell.text, options_.options, runner);
        json += found.result.json;
        out_.strategy[at] = static_cast<std::uint8_t>(found.result.strategy);
        FixSet fixes = found.fixes;
        if (chunk_.extra_fixes != nullptr) fixes |= chunk_.extra_fixes[row];
        if (!read_as_it_stood(cell.text, found.result.strategy, fixes,
                              found.begin, found.end)) {
          fixes |= kNotAsItStood;
        }
        if (found.guessed) fixes |= kGuessed;
        out_.fixes[at] = fixes;
      } else {
        TextRunner::Result result = runner.run(cell.text);
        json += result.json;
        out_.strategy[at] = static_cast<std::uint8_t>(result.strategy);
      }
      out_.offsets[at + 1] = static_cast<std::int64_t>(json.size() - before);
    }
    return true;
  }

  const TextChunk& chunk_;
  const RowOptions& options_;
  ColumnData& out_;
  const std::size_t base_;
  const std::size_t blocks_;
  std::vector<std::thread> workers_;
  std::vector<std::string> block_json_;
  std::vector<std::int64_t> block_nulls_;

  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  // Set when the work is interrupted or abandoned: workers drop their block
  // at the next row. (stop_ alone lets a started block finish, so that the
  // lowest row that cannot be read is found.)
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;  // guards what follows
  std::condition_variable finished_changed_;
  std::size_t finished_ = 0;
  bool interrupted_ = false;
  RowProblem problem_;
  std::exception_ptr error_;
};

std::size_t utf8_error_offset(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The second byte's range per lead byte (Unicode table 3-7): it rules
    // out overlong forms, surrogates and code points past U+10FFFF.
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (n - i < length || p[i + 1] < low || p[i + 1] > high) return i;
    for (std::size_t k = 2; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return i;
    }
    i += length;
  }
  return n;
}

ChunkRun::ChunkRun(const TextChunk& chunk, const RowOptions& options,
                   unsigned threads, ColumnData& out)
    : work_(std::make_unique<ChunkWork>(chunk, options, out)) {
  work_->prepare();
  work_->start(threads);
}

ChunkRun::~ChunkRun() {
  if (work_) work_->abandon();
}

bool ChunkRun::finish(const std::function<bool()>& keep_going,
                      RowProblem& problem) {
  const std::unique_ptr<ChunkWork> work = std::move(work_);
  work->wait(keep_going);
  return work->finish(problem);
}

bool run_chunk(const TextChunk& chunk, const RowOptions& options,
               unsigned threads, const std::function<bool()>& keep_going,
               ColumnData& out, RowProblem& problem) {
  return ChunkRun(chunk, options, threads, out).finish(keep_going, problem);
}

}  // namespace tarnwick::detail
