// Faults found by the fuzz targets, pinned by the behaviour they broke. Short
// inputs of that kind also live in fuzz/seeds/, which ctest replays through
// every target.

#include <gtest/gtest.h>

#include <string_view>  // string_view

#include "repair/cleanup.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick {
namespace {

// A default string_view has no storage (data() is null). It is the empty
// text, and no pass may hand its pointer to memchr or memcpy: UBSan rejects
// that even for length 0 (found by the replay of an empty seed file).
TEST(FuzzRegression, ViewWithoutStorageIsTheEmptyText) {
  const std::string_view none;
  ASSERT_EQ(none.data(), nullptr);

  EXPECT_FALSE(parse_document(none).ok());
  EXPECT_FALSE(parse_number_document(none).ok());
  EXPECT_FALSE(parse_container(none).has_value());

  EXPECT_TRUE(detail::trim_whitespace(none).empty());
  EXPECT_FALSE(detail::strip_fences(none).has_value());
  EXPECT_EQ(detail::strip_controls(none), "");
  EXPECT_EQ(detail::strip_trailing_commas(none), "");
  EXPECT_TRUE(detail::parse_tolerant(none).is_null());

  for (FallbackKind fallback :
       {FallbackKind::Null, FallbackKind::EmptyObject}) {
    RepairOptions options;
    options.fallback = fallback;
    const RepairOutcome out = run_ladder(none, options);
    EXPECT_EQ(out.strategy, Strategy::Fallback);
    EXPECT_EQ(out.json, fallback == FallbackKind::Null ? "null" : "{}");
  }
}

}  // namespace
}  // namespace tarnwick
