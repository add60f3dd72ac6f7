#include "column/column_export.h"

#include <algorithm>    // min
#include <bit>          // popcount
#include <cerrno>       // ENOMEM
#include <cstddef>      // size_t
#include <cstring>      // memset, memcpy
#include <limits>       // numeric_limits
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

#include "tarnwick/lenient.h"

namespace tarnwick::detail {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Rows of one record batch at most, so that the strategy and fixes texts of
// a batch always fit Arrow's 32-bit offsets.
constexpr std::int64_t kMaxBatchRows = std::int64_t{1} << 20;

// Which children need 64-bit offsets (large_utf8, large_list) because their
// data passes what 32-bit offsets address.
struct Widths {
  bool json = false;
  bool strategy = false;
  bool fixes = false;      // the list's offsets: how many fixes in all
  bool fix_names = false;  // the names' data
};

Widths widths_of(const ColumnData& data, std::int64_t begin, std::int64_t end) {
  std::int64_t strategy_bytes = 0;
  std::int64_t fix_count = 0;
  std::int64_t fix_bytes = 0;
  for (std::int64_t row = begin; row < end; ++row) {
    const std::uint8_t code = data.strategy[static_cast<std::size_t>(row)];
    if (code == kNullRow) continue;
    strategy_bytes += static_cast<std::int64_t>(
        strategy_name(static_cast<Strategy>(code)).size());
    if (!data.has_fixes) continue;
    const FixSet fixes = data.fixes[static_cast<std::size_t>(row)];
    fix_count += std::popcount(fixes & ~kRowFlags);
    for (std::size_t i = 0; i < FIX_COUNT; ++i) {
      if ((fixes & fix_bit(fix_at(i))) != 0) {
        fix_bytes += static_cast<std::int64_t>(fix_name(fix_at(i)).size());
      }
    }
  }
  const auto& offsets = data.offsets;
  return {offsets[static_cast<std::size_t>(end)] -
                  offsets[static_cast<std::size_t>(begin)] >
              kInt32Max,
          strategy_bytes > kInt32Max, fix_count > kInt32Max,
          fix_bytes > kInt32Max};
}

// ---------------------------------------------------------------------------
// Schemas

struct SchemaNode {
  std::string format;
  std::string name;
  std::vector<ArrowSchema*> children;  // owned
};

void release_schema(ArrowSchema* schema) noexcept {
  auto* node = static_cast<SchemaNode*>(schema->private_data);
  for (ArrowSchema* child : node->children) {
    if (child->release != nullptr) child->release(child);
    delete child;
  }
  delete node;
  schema->release = nullptr;
}

// Fills `out` with a field; children are added with add_field.
void make_field(ArrowSchema* out, std::string format, std::string name,
                bool nullable) {
  auto* node = new SchemaNode{std::move(format), std::move(name), {}};
  *out = ArrowSchema{node->format.c_str(),
                     node->name.c_str(),
                     nullptr,
                     nullable ? ARROW_FLAG_NULLABLE : 0,
                     0,
                     nullptr,
                     nullptr,
                     release_schema,
                     node};
}

ArrowSchema* add_field(ArrowSchema* parent, std::string format,
                       std::string name, bool nullable) {
  auto* node = static_cast<SchemaNode*>(parent->private_data);
  node->children.push_back(new ArrowSchema{});
  ArrowSchema* child = node->children.back();
  make_field(child, std::move(format), std::move(name), nullable);
  parent->n_children = static_cast<std::int64_t>(node->children.size());
  parent->children = node->children.data();
  return child;
}

void fill_schema(ArrowSchema* out, bool has_fixes, const Widths& widths) {
  make_field(out, "+s", "", true);
  add_field(out, widths.json ? "U" : "u", "json", true);
  add_field(out, widths.strategy ? "U" : "u", "strategy", true);
  add_field(out, "b", "ok", true);
  add_field(out, "b", "changed", true);
  if (has_fixes) {
    ArrowSchema* list =
        add_field(out, widths.fixes ? "+L" : "+l", "fixes", true);
    add_field(list, widths.fix_names ? "U" : "u", "item", false);
    add_field(out, "b", "guessed", true);
  }
}

// ---------------------------------------------------------------------------
// Arrays

struct ArrayNode {
  ColumnRef data;  // what lent buffers point into
  std::vector<std::unique_ptr<std::uint64_t[]>> owned;
  std::vector<const void*> buffers;
  std::vector<ArrowArray*> children;  // owned
};

void release_array(ArrowArray* array) noexcept {
  auto* node = static_cast<ArrayNode*>(array->private_data);
  for (ArrowArray* child : node->children) {
    if (child->release != nullptr) child->release(child);
    delete child;
  }
  delete node;
  array->release = nullptr;
}

// Builds the arrays of rows [begin, end) of a column.
class ArrayMaker {
 public:
  ArrayMaker(const ColumnRef& data, std::int64_t begin, std::int64_t end,
             const Widths& widths)
      : shared_(data),
        data_(*data),
        begin_(begin),
        rows_(end - begin),
        widths_(widths) {
    for (std::int64_t row = begin; row < end; ++row) {
      nulls_ += data_.strategy[static_cast<std::size_t>(row)] == kNullRow;
    }
  }

  // The struct array of the columns: a null row is null in every column,
  // and in the struct itself unless `batch` (a record batch, whose struct
  // has no nulls: its consumers refuse one that has).
  void fill(ArrowArray* out, bool batch) {
    ArrayNode* node = start(out, batch ? 0 : nulls_, 1);
    node->buffers[0] = batch ? nullptr : validity(*node);
    add_child(out, [&](ArrowArray* child) { json(child); });
    add_child(out, [&](ArrowArray* child) { strategy(child); });
    add_child(out, [&](ArrowArray* child) {
      flag(child, [](std::uint8_t code, FixSet) {
        return static_cast<Strategy>(code) != Strategy::Fallback;
      });
    });
    add_child(out, [&](ArrowArray* child) {
      flag(child, [](std::uint8_t code, FixSet fixes) {
        return static_cast<Strategy>(code) != Strategy::Parse ||
               (fixes & ~kGuessed) != 0;
      });
    });
    if (data_.has_fixes) {
      add_child(out, [&](ArrowArray* child) { fixes(child); });
      add_child(out, [&](ArrowArray* child) {
        flag(child, [](std::uint8_t, FixSet fixes) {
          return (fixes & kGuessed) != 0;
        });
      });
    }
  }

 private:
  std::uint8_t code(std::int64_t i) const noexcept {
    return data_.strategy[static_cast<std::size_t>(begin_ + i)];
  }
  FixSet fixes_at(std::int64_t i) const noexcept {
    return data_.has_fixes ? data_.fixes[static_cast<std::size_t>(begin_ + i)]
                           : 0;
  }

  ArrayNode* start(ArrowArray* out, std::int64_t null_count,
                   std::size_t n_buffers) {
    auto* node =
        new ArrayNode{shared_, {}, std::vector<const void*>(n_buffers), {}};
    *out = ArrowArray{rows_,
                      null_count,
                      0,
                      static_cast<std::int64_t>(n_buffers),
                      0,
                      node->buffers.data(),
                      nullptr,
                      nullptr,
                      release_array,
                      node};
    return node;
  }

  template <class Fill>
  void add_child(ArrowArray* parent, Fill&& fill) {
    auto* node = static_cast<ArrayNode*>(parent->private_data);
    node->children.push_back(new ArrowArray{});
    parent->n_children = static_cast<std::int64_t>(node->children.size());
    parent->children = node->children.data();
    fill(node->children.back());
  }

  // Uninitialised memory of `bytes` bytes, 8-aligned, owned by `node`.
  static char* allocate(ArrayNode& node, std::size_t bytes) {
    node.owned.emplace_back(new std::uint64_t[bytes / 8 + 1]);
    return reinterpret_cast<char*>(node.owned.back().get());
  }

  static std::uint8_t* bitmap(ArrayNode& node, std::int64_t bits) {
    const auto bytes = static_cast<std::size_t>((bits + 7) / 8);
    auto* out = reinterpret_cast<std::uint8_t*>(allocate(node, bytes));
    std::memset(out, 0, bytes);
    return out;
  }

  // The rows' validity, or null when none is null. Every array that has it
  // owns a copy, as a consumer may release them one by one; the bits are
  // made once.
  const std::uint8_t* validity(ArrayNode& node) {
    if (nulls_ == 0) return nullptr;
    if (valid_.empty()) {
      valid_.assign(static_cast<std::size_t>((rows_ + 7) / 8), 0);
      for (std::int64_t i = 0; i < rows_; ++i) {
        if (code(i) != kNullRow) {
          valid_[static_cast<std::size_t>(i >> 3)] |=
              std::uint8_t(1u << (i & 7));
        }
      }
    }
    auto* bits = reinterpret_cast<std::uint8_t*>(allocate(node, valid_.size()));
    std::memcpy(bits, valid_.data(), valid_.size());
    return bits;
  }

  void json(ArrowArray* out) {
    ArrayNode* node = start(out, nulls_, 3);
    node->buffers[0] = validity(*node);
    const std::int64_t* offsets =
        data_.offsets.data() + static_cast<std::size_t>(begin_);
    if (widths_.json) {
      // The column's own offsets: they count from the start of its text.
      node->buffers[1] = offsets;
      node->buffers[2] = data_.json.data();
      return;
    }
    auto* narrow = reinterpret_cast<std::int32_t*>(allocate(
        *node, static_cast<std::size_t>(rows_ + 1) * sizeof(std::int32_t)));
    for (std::int64_t i = 0; i <= rows_; ++i) {
      narrow[i] = static_cast<std::int32_t>(offsets[i] - offsets[0]);
    }
    node->buffers[1] = narrow;
    node->buffers[2] = data_.json.data() + offsets[0];
  }

  // A string array of the `count` names that `name_of(i)` gives, null
  // where the rows are when `nullable`.
  template <class Offset, class NameOf>
  void strings(ArrowArray* out, std::int64_t count, NameOf&& name_of,
               bool nullable) {
    ArrayNode* node = start(out, nullable ? nulls_ : 0, 3);
    out->length = count;
    node->buffers[0] = nullable ? validity(*node) : nullptr;
    auto* offsets = reinterpret_cast<Offset*>(
        allocate(*node, static_cast<std::size_t>(count + 1) * sizeof(Offset)));
    std::size_t bytes = 0;
    for (std::int64_t i = 0; i < count; ++i) bytes += name_of(i).size();
    char* text = allocate(*node, bytes);
    Offset at = 0;
    offsets[0] = 0;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::string_view name = name_of(i);
      if (!name.empty()) std::memcpy(text + at, name.data(), name.size());
      at = static_cast<Offset>(at + static_cast<Offset>(name.size()));
      offsets[i + 1] = at;
    }
    node->buffers[1] = offsets;
    node->buffers[2] = text;
  }

  void strategy(ArrowArray* out) {
    auto name_of = [&](std::int64_t i) -> std::string_view {
      return code(i) == kNullRow
                 ? std::string_view()
                 : strategy_name(static_cast<Strategy>(code(i)));
    };
    if (widths_.strategy) {
      strings<std::int64_t>(out, rows_, name_of, true);
    } else {
      strings<std::int32_t>(out, rows_, name_of, true);
    }
  }

  template <class Value>
  void flag(ArrowArray* out, Value&& value) {
    ArrayNode* node = start(out, nulls_, 2);
    node->buffers[0] = validity(*node);
    std::uint8_t* bits = bitmap(*node, rows_);
    for (std::int64_t i = 0; i < rows_; ++i) {
      if (code(i) != kNullRow && value(code(i), fixes_at(i))) {
        bits[i >> 3] |= std::uint8_t(1u << (i & 7));
      }
    }
    node->buffers[1] = bits;
  }

  template <class Offset>
  void fix_list(ArrowArray* out, std::vector<std::string_view>& names) {
    ArrayNode* node = start(out, nulls_, 2);
    node->buffers[0] = validity(*node);
    auto* offsets = reinterpret_cast<Offset*>(
        allocate(*node, static_cast<std::size_t>(rows_ + 1) * sizeof(Offset)));
    offsets[0] = 0;
    for (std::int64_t i = 0; i < rows_; ++i) {
      const FixSet fixes = code(i) == kNullRow ? 0 : fixes_at(i);
      for (std::size_t k = 0; k < FIX_COUNT; ++k) {
        if ((fixes & fix_bit(fix_at(k))) != 0) {
          names.push_back(fix_name(fix_at(k)));
        }
      }
      offsets[i + 1] = static_cast<Offset>(names.size());
    }
    node->buffers[1] = offsets;
  }

  void fixes(ArrowArray* out) {
    std::vector<std::string_view> names;
    if (widths_.fixes) {
      fix_list<std::int64_t>(out, names);
    } else {
      fix_list<std::int32_t>(out, names);
    }
    const auto count = static_cast<std::int64_t>(names.size());
    auto name_of = [&](std::int64_t i) {
      return names[static_cast<std::size_t>(i)];
    };
    add_child(out, [&](ArrowArray* child) {
      if (widths_.fix_names) {
        strings<std::int64_t>(child, count, name_of, false);
      } else {
        strings<std::int32_t>(child, count, name_of, false);
      }
    });
  }

  ColumnRef shared_;
  const ColumnData& data_;
  std::int64_t begin_;
  std::int64_t rows_;
  Widths widths_;
  std::int64_t nulls_ = 0;
  std::vector<std::uint8_t> valid_;  // what validity() copies, once made
};

// ---------------------------------------------------------------------------
// Streams

struct StreamState {
  ColumnRef data;
  std::vector<std::int64_t> ends;  // of each batch, in rows
  std::size_t next = 0;
  Widths widths;
  std::string error;
};

// Batch ends: at every input chunk's end, every kMaxBatchRows rows, and
// before a row whose text would take the batch's past 32-bit offsets.
std::vector<std::int64_t> batch_ends(const ColumnData& data) {
  std::vector<std::int64_t> ends;
  std::int64_t start = 0;
  for (const std::int64_t chunk_end : data.chunk_ends) {
    for (std::int64_t row = start; row < chunk_end; ++row) {
      const auto at = static_cast<std::size_t>(row);
      const bool full =
          row - start == kMaxBatchRows ||
          data.offsets[at + 1] - data.offsets[static_cast<std::size_t>(start)] >
              kInt32Max;
      if (full && row > start) {
        ends.push_back(row);
        start = row;
      }
    }
    if (chunk_end > start) ends.push_back(chunk_end);
    start = chunk_end;
  }
  return ends;
}

StreamState* state_of(ArrowArrayStream* stream) noexcept {
  return static_cast<StreamState*>(stream->private_data);
}

int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) noexcept {
  StreamState* state = state_of(stream);
  try {
    fill_schema(out, state->data->has_fixes, state->widths);
    return 0;
  } catch (...) {
    state->error = "out of memory while exporting the schema";
    return ENOMEM;
  }
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) noexcept {
  StreamState* state = state_of(stream);
  try {
    if (state->next == state->ends.size()) {
      out->release = nullptr;  // the end of the stream
      return 0;
    }
    const std::int64_t begin =
        state->next == 0 ? 0 : state->ends[state->next - 1];
    const std::int64_t end = state->ends[state->next];
    ArrayMaker(state->data, begin, end, state->widths).fill(out, true);
    ++state->next;
    return 0;
  } catch (...) {
    state->error = "out of memory while exporting a batch";
    return ENOMEM;
  }
}

const char* stream_last_error(ArrowArrayStream* stream) noexcept {
  StreamState* state = state_of(stream);
  return state->error.empty() ? nullptr : state->error.c_str();
}

void release_stream(ArrowArrayStream* stream) noexcept {
  delete state_of(stream);
  stream->release = nullptr;
}

}  // namespace

void export_struct_array(const ColumnRef& data, ArrowSchema* schema,
                         ArrowArray* array) {
  const Widths widths = widths_of(*data, 0, data->rows());
  fill_schema(schema, data->has_fixes, widths);
  try {
    ArrayMaker(data, 0, data->rows(), widths).fill(array, false);
  } catch (...) {
    schema->release(schema);
    throw;
  }
}

void export_stream(const ColumnRef& data, ArrowArrayStream* stream) {
  auto* state = new StreamState{data, batch_ends(*data), 0, {}, {}};
  std::int64_t begin = 0;
  for (const std::int64_t end : state->ends) {
    const Widths w = widths_of(*data, begin, end);
    state->widths.json |= w.json;  // only where one row passes 2 GiB
    state->widths.strategy |= w.strategy;
    state->widths.fixes |= w.fixes;
    state->widths.fix_names |= w.fix_names;
    begin = end;
  }
  *stream = ArrowArrayStream{stream_get_schema, stream_get_next,
                             stream_last_error, release_stream, state};
}

}  // namespace tarnwick::detail
