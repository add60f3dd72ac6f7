#include "tarnwick/value.h"

#include <cmath>   // nan, signbit
#include <limits>  // numeric_limits

#include "test_util.h"

namespace tarnwick {
namespace {

JsonValue num(std::uint64_t v) { return JsonValue(JsonNumber(v)); }

TEST(Value, NumberKinds) {
  EXPECT_EQ(JsonNumber(std::int64_t{0}).kind(), NumberKind::UnsignedInt);
  EXPECT_EQ(JsonNumber(std::int64_t{-1}).kind(), NumberKind::NegativeInt);
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(JsonNumber::from_f64(bad).has_value());
  }
  auto z = JsonNumber::from_f64(-0.0);
  ASSERT_TRUE(z.has_value());
  EXPECT_EQ(z->kind(), NumberKind::Float);
  EXPECT_TRUE(std::signbit(z->as_double()));
  EXPECT_FALSE(*JsonNumber::from_f64(0.0) == *z);
}

// A repeated key keeps its first position and takes the last value; past the
// small-object threshold a hash index takes over, and order and lookups must
// survive its building and regrowth.
TEST(Value, ObjectKeysKeepInsertionOrder) {
  JsonObject o;
  const int n = 5000;
  for (int i = n - 1; i >= 0; --i) o.insert("k" + std::to_string(i), num(1));
  for (int i = 0; i < n; i += 7) {
    auto old = o.insert("k" + std::to_string(i), num(2));
    ASSERT_TRUE(old && *old == num(1));  // the replaced value
  }
  for (std::uint64_t i = 0; i < 100; ++i) o.insert("", num(i));
  // Keys are bytes: precomposed and decomposed forms differ.
  o.insert("\xC3\xA9", num(1));
  o.insert("e\xCC\x81", num(1));
  ASSERT_EQ(o.size(), static_cast<std::size_t>(n + 3));
  int expect = n - 1;
  for (const JsonObject::Entry& e : o) {
    if (expect < 0) break;
    ASSERT_EQ(e.key, "k" + std::to_string(expect));
    EXPECT_EQ(e.value.as_number().as_unsigned(), expect % 7 == 0 ? 2u : 1u);
    --expect;
  }
  EXPECT_EQ(o.find("")->as_number().as_unsigned(), 99u);
  EXPECT_EQ(o.find("k5000"), nullptr);
  JsonValue v(std::move(o));
  EXPECT_TRUE(v.clone() == v);
}

}  // namespace
}  // namespace tarnwick
