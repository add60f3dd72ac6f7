// The column engine: rows of each Arrow string layout repaired on worker
// threads answer as the single-text API does; null rows stay null, in the
// results and in their Arrow export; a row that cannot be read is named.

#include <gtest/gtest.h>

#include <algorithm>    // count
#include <array>        // array
#include <cstdint>      // int32_t, int64_t, uint8_t
#include <cstring>      // memcpy
#include <optional>     // optional, nullopt
#include <string>       // string, to_string
#include <string_view>  // string_view
#include <vector>       // vector

#include "column/column_export.h"
#include "column/column_work.h"
#include "tarnwick/extract.h"
#include "tarnwick/repair.h"

namespace tarnwick::detail {
namespace {

using Layout = TextChunk::Layout;
using Texts = std::vector<std::optional<std::string>>;

// Rows of every kind the ladder and the extraction search meet, texts of at
// most 12 bytes (held inside a view) among them, a null every seventh row.
Texts sample(std::size_t rows) {
  static const char* const kShapes[] = {
      R"({"id": 1, "tags": ["a", "b",],})",
      "```json\n{\"v\": [1, 2]}\n```",
      "Sure! Here it is: {'k': 'v', \"n\": 2}",
      "[1, {\"s\": \"line\nfeed\"}]",
      R"({"cut": [1, 2)",
      "",
      "[1,2]",
      "caf\xC3\xA9 \xF0\x9F\x98\x80",
      "not json at all, just words",
      R"("{\"a\": 1}")",
  };
  Texts out;
  for (std::size_t i = 0; i < rows; ++i) {
    if (i % 7 == 3) {
      out.emplace_back(std::nullopt);
    } else {
      out.emplace_back(kShapes[i % std::size(kShapes)] +
                       (i % 3 == 0 ? std::string() : " " + std::to_string(i)));
    }
  }
  return out;
}

// The buffers of one chunk in `layout`, with `skip` rows ahead of row 0
// (a sliced array: offsets and validity bits start past them). The views
// spread their long texts over two data buffers.
struct ArrowTexts {
  std::vector<std::uint8_t> validity;
  std::vector<std::int32_t> offsets32;
  std::vector<std::int64_t> offsets64;
  std::string data;
  std::vector<std::array<char, 16>> views;
  std::array<std::string, 2> buffers;
  std::array<const char*, 2> buffer_data{};
  std::array<std::int64_t, 2> buffer_sizes{};
  TextChunk chunk;

  ArrowTexts(const Texts& rows, Layout layout, std::int64_t skip = 0) {
    Texts all(static_cast<std::size_t>(skip), std::string("skipped"));
    all.insert(all.end(), rows.begin(), rows.end());
    validity.assign(all.size() / 8 + 1, 0);
    offsets32.push_back(0);
    offsets64.push_back(0);
    for (std::size_t i = 0; i < all.size(); ++i) {
      const std::string text = all[i].value_or("");
      if (all[i]) validity[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
      data += text;
      offsets32.push_back(static_cast<std::int32_t>(data.size()));
      offsets64.push_back(static_cast<std::int64_t>(data.size()));
      add_view(text, i % 2);
    }
    for (std::size_t b = 0; b < 2; ++b) {
      buffer_data[b] = buffers[b].data();
      buffer_sizes[b] = static_cast<std::int64_t>(buffers[b].size());
    }
    chunk.layout = layout;
    chunk.length = static_cast<std::int64_t>(rows.size());
    chunk.offset = skip;
    chunk.validity = validity.data();
    chunk.data = data.data();
    if (layout == Layout::Offsets32) chunk.offsets = offsets32.data();
    if (layout == Layout::Offsets64) chunk.offsets = offsets64.data();
    if (layout == Layout::Views) chunk.offsets = views.data();
    chunk.variadic = buffer_data.data();
    chunk.variadic_sizes = buffer_sizes.data();
    chunk.variadic_count = 2;
  }

  // Length, then the text inline (up to 12 bytes) or a prefix, the buffer
  // index and the offset into it.
  void add_view(const std::string& text, std::size_t buffer) {
    std::array<char, 16> view{};
    const auto length = static_cast<std::int32_t>(text.size());
    std::memcpy(view.data(), &length, 4);
    if (text.size() <= 12) {
      std::memcpy(view.data() + 4, text.data(), text.size());
    } else {
      const auto index = static_cast<std::int32_t>(buffer);
      const auto offset = static_cast<std::int32_t>(buffers[buffer].size());
      std::memcpy(view.data() + 4, text.data(), 4);
      std::memcpy(view.data() + 8, &index, 4);
      std::memcpy(view.data() + 12, &offset, 4);
      buffers[buffer] += text;
    }
    views.push_back(view);
  }
};

RowOptions row_options(bool extract) {
  RowOptions options;
  options.extract = extract;
  return options;
}

bool run(const TextChunk& chunk, const RowOptions& options, unsigned threads,
         ColumnData& out, RowProblem& problem) {
  return run_chunk(chunk, options, threads, [] { return true; }, out, problem);
}

// Every row of `out` from `first` on against repair() or extract() of
// `texts`, and the null rows against the nulls of `texts`.
void expect_rows(const ColumnData& out, std::int64_t first, const Texts& texts,
                 const RowOptions& options) {
  ASSERT_EQ(out.rows() - first, static_cast<std::int64_t>(texts.size()));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const std::int64_t row = first + static_cast<std::int64_t>(i);
    const std::uint8_t code = out.strategy[static_cast<std::size_t>(row)];
    if (!texts[i]) {
      EXPECT_EQ(code, kNullRow);
      EXPECT_EQ(out.json_at(row), "");
      continue;
    }
    if (options.extract) {
      const Extraction expected = run_extract(*texts[i], options.options);
      EXPECT_EQ(out.json_at(row), expected.outcome.json);
      EXPECT_EQ(code, static_cast<std::uint8_t>(expected.outcome.strategy));
      const std::uint32_t fixes = out.fixes[static_cast<std::size_t>(row)];
      EXPECT_EQ(fixes & ~kRowFlags, expected.fixes);
      EXPECT_EQ((fixes & kGuessed) != 0, expected.guessed);
      EXPECT_EQ((fixes & kNotAsItStood) != 0, expected.outcome.changed);
    } else {
      const RepairOutcome expected =
          run_ladder(*texts[i], options.options.repair);
      EXPECT_EQ(out.json_at(row), expected.json);
      EXPECT_EQ(code, static_cast<std::uint8_t>(expected.strategy));
    }
  }
}

TEST(Column, EveryLayoutAnswersAsTheSingleTextApi) {
  const Texts texts = sample(1200);  // three blocks of rows
  for (const Layout layout :
       {Layout::Offsets32, Layout::Offsets64, Layout::Views}) {
    for (const bool extract : {false, true}) {
      for (const std::int64_t skip : {0, 5}) {
        SCOPED_TRACE(::testing::Message()
                     << "layout " << static_cast<int>(layout) << " extract "
                     << extract << " skip " << skip);
        const ArrowTexts arrow(texts, layout, skip);
        ColumnData out;
        RowProblem problem;
        ASSERT_TRUE(run(arrow.chunk, row_options(extract), 2, out, problem));
        expect_rows(out, 0, texts, row_options(extract));
        EXPECT_EQ(out.null_count,
                  std::count(texts.begin(), texts.end(), std::nullopt));
      }
    }
  }
}

TEST(Column, ChunksAppendAndEveryThreadCountAgrees) {
  const Texts texts = sample(3000);
  const ArrowTexts arrow(texts, Layout::Offsets64);
  ColumnData one;
  RowProblem problem;
  ASSERT_TRUE(run(arrow.chunk, row_options(true), 1, one, problem));
  for (const unsigned threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(threads);
    ColumnData out;
    ASSERT_TRUE(run(arrow.chunk, row_options(true), threads, out, problem));
    ASSERT_TRUE(run(arrow.chunk, row_options(true), threads, out, problem));
    EXPECT_EQ(out.chunk_ends, (std::vector<std::int64_t>{3000, 6000}));
    EXPECT_EQ(out.null_count, 2 * one.null_count);
    EXPECT_EQ(out.json, one.json + one.json);
    expect_rows(out, 3000, texts, row_options(true));
  }
}

TEST(Column, NullRowsFromEverySource) {
  const Texts texts = {"[1]", std::nullopt, "{}", "x", std::nullopt};
  ArrowTexts arrow(texts, Layout::Offsets32);
  // A record batch's own validity: rows 0 and 2 are null in the struct.
  const std::uint8_t outer = 0b11010;
  struct Row {
    const char* name;
    Layout layout;
    const std::uint8_t* outer_validity;
    std::vector<bool> nulls;
  };
  const Row rows[] = {
      {"validity bitmap",
       Layout::Offsets32,
       nullptr,
       {false, true, false, false, true}},
      {"struct validity too",
       Layout::Offsets32,
       &outer,
       {true, true, true, false, true}},
      {"Arrow's null type",
       Layout::AllNull,
       nullptr,
       {true, true, true, true, true}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    arrow.chunk.layout = r.layout;
    arrow.chunk.outer_validity = r.outer_validity;
    ColumnData out;
    RowProblem problem;
    ASSERT_TRUE(run(arrow.chunk, row_options(false), 2, out, problem));
    std::vector<bool> nulls;
    for (const std::uint8_t code : out.strategy)
      nulls.push_back(code == kNullRow);
    EXPECT_EQ(nulls, r.nulls);
  }
}

TEST(Column, UnreadableRowsAreNamedLowestFirst) {
  Texts texts = sample(3000);
  texts[2500] = "ok \xC3";        // cut short
  texts[700] = "[\xED\xA0\x80]";  // a surrogate
  const ArrowTexts arrow(texts, Layout::Offsets32);
  for (const unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    ColumnData out;
    RowProblem problem;
    ASSERT_TRUE(run(ArrowTexts(sample(10), Layout::Views).chunk,
                    row_options(false), 1, out, problem));
    const ColumnData before = out;
    EXPECT_FALSE(run(arrow.chunk, row_options(false), threads, out, problem));
    EXPECT_EQ(problem.kind, RowProblem::Kind::InvalidUtf8);
    EXPECT_EQ((std::array<std::int64_t, 2>{
                  problem.row, static_cast<std::int64_t>(problem.byte)}),
              (std::array<std::int64_t, 2>{700, 1}));
    EXPECT_EQ(problem.value, 0xED);
    EXPECT_EQ(out.json, before.json);  // left as it was
    EXPECT_EQ(out.strategy, before.strategy);
    EXPECT_EQ(out.offsets, before.offsets);
  }
}

TEST(Column, BuffersThatContradictThemselves) {
  const Texts texts = sample(20);
  struct Row {
    const char* name;
    Layout layout;
    void (*spoil)(ArrowTexts&);
    std::int64_t row;  // the first row the change spoils
  };
  const Row rows[] = {
      {"offsets that decrease", Layout::Offsets32,
       [](ArrowTexts& a) { a.offsets32[10] = a.offsets32[9] - 1; }, 9},
      {"negative offset", Layout::Offsets64,
       [](ArrowTexts& a) { a.offsets64[9] = -1; }, 8},
      {"view of a missing buffer", Layout::Views,
       [](ArrowTexts& a) { a.views[8][8] = 2; }, 8},
      // Odd rows keep their long texts in buffer 1.
      {"view past its buffer", Layout::Views,
       [](ArrowTexts& a) { a.buffer_sizes[1] = 3; }, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ArrowTexts arrow(texts, r.layout);
    r.spoil(arrow);
    ColumnData out;
    RowProblem problem;
    EXPECT_FALSE(run(arrow.chunk, row_options(false), 1, out, problem));
    EXPECT_EQ(problem.kind, RowProblem::Kind::BadBuffers);
    EXPECT_EQ(problem.row, r.row);
    EXPECT_EQ(out.rows(), 0);
  }
}

TEST(Column, Utf8ErrorOffset) {
  const struct {
    std::string_view text;
    std::size_t expected;
  } rows[] = {
      {"plain ascii, longer than a word", 31},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", 14},
      {"ab\xC0\x80", 2},            // overlong
      {"abcdefgh\xE0\x9F\xBF", 8},  // overlong three bytes
      {"\xED\xA0\x80", 0},          // a surrogate
      {"x\xF4\x90\x80\x80", 1},     // past U+10FFFF
      {"xy\xF0\x9F\x98", 2},        // cut short
      {"\x80", 0},                  // a lone continuation byte
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(utf8_error_offset(r.text), r.expected);
  }
}

// The export: a null row is null in the struct array and in each child; the
// stream's batches, record batches, carry the nulls in the children alone.
TEST(Column, ExportKeepsNullRows) {
  const Texts texts = {"[1,]", std::nullopt, "{}", std::nullopt};
  ColumnRef data = ColumnRef::make();
  RowProblem problem;
  ASSERT_TRUE(run(ArrowTexts(texts, Layout::Offsets32).chunk,
                  row_options(false), 1, data.data(), problem));
  ArrowSchema schema;
  ArrowArray array;
  export_struct_array(data, &schema, &array);
  ASSERT_EQ(array.n_children, 4);
  EXPECT_EQ(array.null_count, 2);
  ASSERT_NE(array.buffers[0], nullptr);
  EXPECT_EQ(*static_cast<const std::uint8_t*>(array.buffers[0]) & 0xF, 0b0101);
  for (std::int64_t c = 0; c < array.n_children; ++c) {
    EXPECT_EQ(array.children[c]->null_count, 2) << schema.children[c]->name;
  }
  schema.release(&schema);
  array.release(&array);

  ArrowArrayStream stream;
  export_stream(data, &stream);
  ArrowArray batch;
  ASSERT_EQ(stream.get_next(&stream, &batch), 0);
  EXPECT_EQ(batch.length, 4);
  EXPECT_EQ(batch.null_count, 0);
  EXPECT_EQ(batch.buffers[0], nullptr);
  EXPECT_EQ(batch.children[0]->null_count, 2);
  batch.release(&batch);
  ASSERT_EQ(stream.get_next(&stream, &batch), 0);
  EXPECT_EQ(batch.release, nullptr);  // the end
  stream.release(&stream);
}

}  // namespace
}  // namespace tarnwick::detail
