// Repairing a column: the rows of one chunk of texts repaired on worker
// threads, straight from the chunk's own buffers, into one column of
// results. The work calls out only to ask whether to go on, so a binding can
// run it with its interpreter lock released. (Private)
#pragma once

#include <atomic>       // atomic
#include <cstddef>      // size_t
#include <cstdint>      // int64_t, uint8_t, uint32_t
#include <functional>   // function
#include <memory>       // unique_ptr
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // exchange, swap
#include <vector>       // vector

#include "tarnwick/extract.h"
#include "tarnwick/repair.h"

namespace tarnwick::detail {

// One chunk of texts in one of the Arrow layouts of strings or binary data
// (a binding copies other sequences into the 64-bit offsets layout). Borrowed:
// whoever fills it keeps the buffers alive until the work is done.
struct TextChunk {
  enum class Layout : std::uint8_t {
    AllNull,    // Arrow's null type: every row is null
    Offsets32,  // utf8, binary: int32 offsets into one data buffer
    Offsets64,  // large_utf8, large_binary: int64 offsets
    Views,      // utf8_view, binary_view: 16-byte views
  };
  Layout layout = Layout::AllNull;
  std::int64_t length = 0;  // rows
  std::int64_t offset = 0;  // rows of the buffers that come before row 0
  // Validity bitmap (bit offset + i), or null when no row is null.
  const std::uint8_t* validity = nullptr;
  // A record batch's own validity (rows of a struct around the column,
  // at bit outer_offset + i), or null.
  const std::uint8_t* outer_validity = nullptr;
  std::int64_t outer_offset = 0;
  const void* offsets = nullptr;  // int32/int64 offsets, or the views
  const char* data = nullptr;     // the data buffer of the offsets layouts
  const char* const* variadic = nullptr;  // the views' data buffers
  const std::int64_t* variadic_sizes = nullptr;
  std::int64_t variadic_count = 0;
  // Check every row for well-formed UTF-8 (text from outside the process;
  // text the caller encoded itself is known to be).
  bool check_utf8 = true;
  // Fixes a row carries in before its repair (lone surrogates that were
  // replaced while the text was encoded), or null.
  const std::uint32_t* extra_fixes = nullptr;
};

// Beside the fix bits in ColumnData::fixes: the row was not read as strict
// JSON as it stood (read_as_it_stood), which makes it `changed` even when
// "parse" answered without a fix (prose or a fence around the value). The
// fixes column and the fix names leave it out.
inline constexpr std::uint32_t kNotAsItStood = std::uint32_t{1} << 31;
// Beside it, whether the row's value rests on a guess (Extraction::guessed).
inline constexpr std::uint32_t kGuessed = std::uint32_t{1} << 30;
// The two flags, which are no fixes.
inline constexpr std::uint32_t kRowFlags = kNotAsItStood | kGuessed;
static_assert(FIX_COUNT < 30);

// Strategy code of a null row in ColumnData::strategy.
inline constexpr std::uint8_t kNullRow = 0xFF;

// The results of every row of a column, in row order; immutable once built
// and shared by every export of it.
struct ColumnData {
  bool has_fixes = false;                // extraction: the fixes column exists
  std::vector<std::int64_t> offsets{0};  // rows + 1, into `json`
  std::string json;                      // canonical texts, back to back
  std::vector<std::uint8_t> strategy;    // Strategy, or kNullRow
  std::vector<std::uint32_t> fixes;      // FixSet per row (has_fixes), and
                                         // kNotAsItStood, kGuessed
  std::vector<std::int64_t> chunk_ends;  // rows where an input chunk ended
  std::int64_t null_count = 0;

  std::int64_t rows() const noexcept {
    return static_cast<std::int64_t>(strategy.size());
  }
  std::string_view json_at(std::int64_t row) const noexcept {
    const auto i = static_cast<std::size_t>(row);
    return std::string_view(json).substr(
        static_cast<std::size_t>(offsets[i]),
        static_cast<std::size_t>(offsets[i + 1] - offsets[i]));
  }
};

// A counted reference to a column's results, shared by the column object and
// every array exported from it. The count is atomic: a consumer may release
// an export on any thread. (std::shared_ptr would do the same, but built
// against glibc 2.32 or later its single-thread shortcut reads a symbol of
// that version; the binding needs no glibc past 2.14 otherwise.)
class ColumnRef {
 public:
  ColumnRef() noexcept = default;
  // A new column of no rows, the only reference to it.
  static ColumnRef make() {
    ColumnRef ref;
    ref.shared_ = new Shared;
    return ref;
  }
  ColumnRef(const ColumnRef& other) noexcept : shared_(other.shared_) {
    if (shared_ != nullptr)
      shared_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  ColumnRef(ColumnRef&& other) noexcept
      : shared_(std::exchange(other.shared_, nullptr)) {}
  ColumnRef& operator=(ColumnRef other) noexcept {
    std::swap(shared_, other.shared_);
    return *this;
  }
  ~ColumnRef() {
    if (shared_ != nullptr &&
        shared_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete shared_;
    }
  }

  const ColumnData& operator*() const noexcept { return shared_->data; }
  const ColumnData* operator->() const noexcept { return &shared_->data; }
  // For filling the column before it is shared.
  ColumnData& data() noexcept { return shared_->data; }

 private:
  struct Shared {
    ColumnData data;
    std::atomic<std::size_t> refs{1};
  };
  Shared* shared_ = nullptr;
};

// What each row gets: repair(), or extract() with `extract` true.
struct RowOptions {
  ExtractOptions options;
  bool extract = false;
};

// The first row that could not be read, by its index in the chunk.
struct RowProblem {
  enum class Kind : std::uint8_t {
    None,
    InvalidUtf8,  // `byte`: offset of the first byte that is not UTF-8
    BadBuffers,   // offsets that decrease, a view outside its buffer
  };
  Kind kind = Kind::None;
  std::int64_t row = -1;
  std::size_t byte = 0;
  unsigned char value = 0;  // the byte at `byte`
};

// Offset of the first byte of `text` that is not well-formed UTF-8
// (surrogates and overlong forms included), or text.size() when it all is.
std::size_t utf8_error_offset(std::string_view text) noexcept;

class ChunkWork;

// The work on one chunk, started on up to `threads` worker threads when it
// is made, so that the calling thread can prepare the next chunk meanwhile
// (the workers never call out). `chunk`, its buffers and
// `options` must outlive it, and `out` is the work's until finish()
// returns. Made and dropped without finish(), it stops the workers and
// leaves `out` as it was.
class ChunkRun {
 public:
  ChunkRun(const TextChunk& chunk, const RowOptions& options, unsigned threads,
           ColumnData& out);
  ~ChunkRun();
  ChunkRun(const ChunkRun&) = delete;
  ChunkRun& operator=(const ChunkRun&) = delete;

  // Waits for the work, or does it on this thread when no worker could be
  // started or there is one block of rows; then as run_chunk. Once only.
  bool finish(const std::function<bool()>& keep_going, RowProblem& problem);

 private:
  std::unique_ptr<ChunkWork> work_;
};

// Repairs every row of `chunk` on up to `threads` threads (the calling
// thread only waits, calling `keep_going` about every 50 ms until it returns
// false, which stops the work) and appends the rows to `out`. False when a row
// could not be read (`problem` says which: the lowest such row) or `keep_going`
// said stop; then `out` is left as it was. A failure of the work itself (an
// escaped std::bad_alloc) is rethrown here.
bool run_chunk(const TextChunk& chunk, const RowOptions& options,
               unsigned threads, const std::function<bool()>& keep_going,
               ColumnData& out, RowProblem& problem);

}  // namespace tarnwick::detail
