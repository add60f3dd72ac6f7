// The in-memory JSON value: six kinds, numbers that keep the kind they were
// written with, and objects that keep first-insertion order.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint64_t, int64_t
#include <cstring>      // memcpy
#include <memory>       // unique_ptr
#include <new>          // placement new
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

namespace tarnwick {

enum class NumberKind : std::uint8_t {
  UnsignedInt,  // 0 .. 2^64-1
  NegativeInt,  // -2^63 .. -1, never 0 or above
  Float,        // finite double, may be -0.0
};

class JsonNumber {
 public:
  constexpr JsonNumber() noexcept : kind_(NumberKind::UnsignedInt), u_(0) {}
  constexpr explicit JsonNumber(std::uint64_t v) noexcept
      : kind_(NumberKind::UnsignedInt), u_(v) {}
  // Non-negative values become UnsignedInt, so NegativeInt is always below 0.
  constexpr explicit JsonNumber(std::int64_t v) noexcept
      : kind_(v < 0 ? NumberKind::NegativeInt : NumberKind::UnsignedInt),
        u_(0) {
    if (v < 0) {
      i_ = v;
    } else {
      u_ = static_cast<std::uint64_t>(v);
    }
  }
  // Empty for NaN and the infinities: a Float is always finite.
  static std::optional<JsonNumber> from_f64(double v) noexcept;

  NumberKind kind() const noexcept { return kind_; }
  std::uint64_t as_unsigned() const noexcept { return u_; }
  std::int64_t as_negative() const noexcept { return i_; }
  double as_double() const noexcept { return d_; }

  friend bool operator==(const JsonNumber& a, const JsonNumber& b) noexcept;

 private:
  struct FloatTag {};
  constexpr JsonNumber(FloatTag, double v) noexcept
      : kind_(NumberKind::Float), d_(v) {}

  NumberKind kind_;
  union {
    std::uint64_t u_;
    std::int64_t i_;
    double d_;
  };
};

enum class ValueKind : std::uint8_t {
  Null,
  Bool,
  Number,
  String,
  Array,
  Object
};

class JsonValue;

namespace detail {
struct ObjectIndex;
struct ObjectIndexDeleter {
  void operator()(ObjectIndex* p) const noexcept;
};
}  // namespace detail

// Insertion-ordered map. Small objects are searched linearly by hash; a hash
// index is built once an object grows past a handful of entries.
class JsonObject {
 public:
  struct Entry;

  JsonObject() noexcept = default;
  // Defaulted below Entry, like size/empty/reserve: clang instantiates the
  // vector members they use at once and needs Entry complete.
  JsonObject(JsonObject&&) noexcept;
  JsonObject& operator=(JsonObject&&) noexcept;
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;
  ~JsonObject();

  // Adds (key, value), or on a duplicate key replaces the value in place and
  // keeps the first key and position; returns the replaced value, if any.
  std::optional<JsonValue> insert(std::string key, JsonValue value);

  std::size_t size() const noexcept;
  bool empty() const noexcept;
  const JsonValue* find(std::string_view key) const noexcept;

  const Entry* begin() const noexcept;
  const Entry* end() const noexcept;
  void reserve(std::size_t n);

  JsonObject clone() const;

 private:
  std::size_t locate(std::string_view key, std::uint64_t hash) const noexcept;
  void index_entry(std::size_t pos);
  void build_index();

  std::vector<Entry> entries_;
  std::unique_ptr<detail::ObjectIndex, detail::ObjectIndexDeleter> index_;
};

using JsonArray = std::vector<JsonValue>;

class JsonValue {
 public:
  JsonValue() noexcept : kind_(ValueKind::Null), b_(false) {}
  JsonValue(std::nullptr_t) noexcept : JsonValue() {}
  explicit JsonValue(bool b) noexcept : kind_(ValueKind::Bool), b_(b) {}
  explicit JsonValue(JsonNumber n) noexcept : kind_(ValueKind::Number), n_(n) {}
  explicit JsonValue(std::string s) noexcept
      : kind_(ValueKind::String), s_(std::move(s)) {}
  explicit JsonValue(JsonArray a) noexcept
      : kind_(ValueKind::Array), a_(std::move(a)) {}
  explicit JsonValue(JsonObject o) noexcept
      : kind_(ValueKind::Object), o_(std::move(o)) {}

  JsonValue(JsonValue&& other) noexcept { move_from(std::move(other)); }
  JsonValue& operator=(JsonValue&& other) noexcept {
    if (this != &other) {
      destroy();
      move_from(std::move(other));
    }
    return *this;
  }
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;
  ~JsonValue() {
    if (owns_memory()) destroy_owned();
  }

  ValueKind kind() const noexcept { return kind_; }
  bool is_null() const noexcept { return kind_ == ValueKind::Null; }

  // Accessors assume the matching kind.
  bool as_bool() const noexcept { return b_; }
  const JsonNumber& as_number() const noexcept { return n_; }
  const std::string& as_string() const noexcept { return s_; }
  std::string& as_string() noexcept { return s_; }
  const JsonArray& as_array() const noexcept { return a_; }
  JsonArray& as_array() noexcept { return a_; }
  const JsonObject& as_object() const noexcept { return o_; }
  JsonObject& as_object() noexcept { return o_; }

  // Deep copy; values are otherwise only moved.
  JsonValue clone() const;

  // Structural equality; object comparison follows entry order, numbers
  // compare kind and bits, so 1 and 1.0 differ.
  friend bool operator==(const JsonValue& a, const JsonValue& b) noexcept;

 private:
  // Moves and destruction run for every value the readers build, so the
  // common cases are inline; scalars own nothing and move as plain bytes.
  bool owns_memory() const noexcept { return kind_ >= ValueKind::String; }
  void destroy() noexcept {
    if (owns_memory()) destroy_owned();
    kind_ = ValueKind::Null;
  }
  void destroy_owned() noexcept;
#if defined(__GNUC__)
  // The readers' value stack relocates values as it grows; out of line,
  // those moves cost a call each (gcc left them so in one reader).
  __attribute__((always_inline))
#endif
  void
  move_from(JsonValue&& other) noexcept {
    kind_ = other.kind_;
    switch (kind_) {
      case ValueKind::String:
        new (&s_) std::string(std::move(other.s_));
        other.s_.~basic_string();
        break;
      case ValueKind::Array:
        new (&a_) JsonArray(std::move(other.a_));
        other.a_.~vector();
        break;
      case ValueKind::Object:
        new (&o_) JsonObject(std::move(other.o_));
        other.o_.~JsonObject();
        break;
      default:
        // Null, Bool and Number: the payload is trivially copyable.
        std::memcpy(static_cast<void*>(&n_),
                    static_cast<const void*>(&other.n_), sizeof n_);
        break;
    }
    // The source is left as null so that it owns nothing.
    other.kind_ = ValueKind::Null;
  }

  ValueKind kind_;
  union {
    bool b_;
    JsonNumber n_;
    std::string s_;
    JsonArray a_;
    JsonObject o_;
  };
};

struct JsonObject::Entry {
  // A constructor rather than an aggregate, so that emplace builds entries in
  // place with every C++20 compiler (parenthesised aggregate init is newer).
  Entry(std::string k, JsonValue v, std::uint64_t h) noexcept
      : key(std::move(k)), value(std::move(v)), hash(h) {}

  std::string key;
  JsonValue value;
  std::uint64_t hash;
};

inline JsonObject::JsonObject(JsonObject&&) noexcept = default;
inline JsonObject& JsonObject::operator=(JsonObject&&) noexcept = default;
inline std::size_t JsonObject::size() const noexcept { return entries_.size(); }
inline bool JsonObject::empty() const noexcept { return entries_.empty(); }
inline void JsonObject::reserve(std::size_t n) { entries_.reserve(n); }
inline const JsonObject::Entry* JsonObject::begin() const noexcept {
  return entries_.data();
}
inline const JsonObject::Entry* JsonObject::end() const noexcept {
  return entries_.data() + entries_.size();
}

}  // namespace tarnwick
