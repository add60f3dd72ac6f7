#include "tarnwick/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnwick {
namespace {

JsonValue num(std::uint64_t v) { return JsonValue(JsonNumber(v)); }

TEST(Value, NumberKinds) {
  EXPECT_EQ(JsonNumber(std::int64_t{0}).kind(), NumberKind::UnsignedInt);
  EXPECT_EQ(JsonNumber(std::int64_t{5}).kind(), NumberKind::UnsignedInt);
  EXPECT_EQ(JsonNumber(std::int64_t{-1}).kind(), NumberKind::NegativeInt);
  EXPECT_EQ(JsonNumber(INT64_MIN).as_negative(), INT64_MIN);
  EXPECT_EQ(JsonNumber(UINT64_MAX).as_unsigned(), UINT64_MAX);
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

TEST(Value, DuplicateKeyKeepsFirstPositionAndLastValue) {
  JsonObject o;
  EXPECT_FALSE(o.insert("a", num(1)).has_value());
  o.insert("b", num(2));
  auto old = o.insert("a", num(3));
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(old->as_number().as_unsigned(), 1u);
  ASSERT_EQ(o.size(), 2u);
  EXPECT_EQ(o.begin()->key, "a");
  EXPECT_EQ(o.begin()->value.as_number().as_unsigned(), 3u);

  JsonObject e;
  for (std::uint64_t i = 0; i < 100; ++i) e.insert("", num(i));
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e.find("")->as_number().as_unsigned(), 99u);
}

TEST(Value, ThousandsOfKeysKeepInsertionOrder) {
  // Past the small-object threshold the hash index takes over; order and
  // lookups must not change when it is built or regrown.
  JsonObject o;
  const int n = 5000;
  for (int i = n - 1; i >= 0; --i) o.insert("k" + std::to_string(i), num(1));
  for (int i = 0; i < n; i += 7) o.insert("k" + std::to_string(i), num(2));
  ASSERT_EQ(o.size(), static_cast<std::size_t>(n));
  int expect = n - 1;
  for (const JsonObject::Entry& e : o) {
    ASSERT_EQ(e.key, "k" + std::to_string(expect));
    EXPECT_EQ(e.value.as_number().as_unsigned(), expect % 7 == 0 ? 2u : 1u);
    --expect;
  }
  EXPECT_EQ(o.find("k42")->as_number().as_unsigned(), 2u);
  EXPECT_EQ(o.find("k43")->as_number().as_unsigned(), 1u);
  EXPECT_EQ(o.find("k5000"), nullptr);
  // Keys are bytes: precomposed and decomposed forms differ.
  o.insert("\xC3\xA9", num(1));
  o.insert("e\xCC\x81", num(1));
  EXPECT_EQ(o.size(), static_cast<std::size_t>(n + 2));

  JsonValue v(std::move(o));
  JsonValue copy = v.clone();
  EXPECT_TRUE(copy == v);
  JsonValue moved = std::move(v);
  EXPECT_TRUE(moved == copy);
  EXPECT_TRUE(v.is_null());  // NOLINT: a moved-from value is null by design
}

}  // namespace
}  // namespace tarnwick
