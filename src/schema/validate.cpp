// Validation by the enforced keywords, with JSON Schema's value equality
// and exact number comparison.
#include <cmath>          // isfinite, trunc, fmod
#include <cstddef>        // size_t
#include <cstdint>        // uint64_t
#include <functional>     // hash
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_map>  // unordered_map

#include "schema/graph.h"
#include "tarnwick/schema.h"

namespace tarnwick {
namespace detail {

// MARK: - Values

std::uint8_t type_bits(const JsonValue& value) noexcept {
  switch (value.kind()) {
    case ValueKind::Null:
      return kNullBit;
    case ValueKind::Bool:
      return kBooleanBit;
    case ValueKind::Number: {
      const JsonNumber& n = value.as_number();
      const bool integral = n.kind() != NumberKind::Float ||
                            n.as_double() == std::trunc(n.as_double());
      return integral ? kNumberBit | kIntegerBit : kNumberBit;
    }
    case ValueKind::String:
      return kStringBit;
    case ValueKind::Array:
      return kArrayBit;
    case ValueKind::Object:
      return kObjectBit;
  }
  return 0;
}

std::string types_text(std::uint8_t bits) {
  static constexpr std::string_view kNames[] = {
      "null", "boolean", "integer", "number", "string", "array", "object"};
  // "number" already admits integers.
  if ((bits & kNumberBit) != 0)
    bits = static_cast<std::uint8_t>(bits & ~kIntegerBit);
  std::string out;
  for (std::size_t i = 0; i < 7; ++i) {
    if ((bits & (1u << i)) == 0) continue;
    if (!out.empty()) out += " or ";
    out += kNames[i];
  }
  return out.empty() ? "nothing" : out;
}

int compare_numbers(const JsonNumber& a, const JsonNumber& b) noexcept {
  const NumberKind ka = a.kind(), kb = b.kind();
  if (ka == NumberKind::UnsignedInt && kb == NumberKind::UnsignedInt) {
    return a.as_unsigned() < b.as_unsigned()   ? -1
           : a.as_unsigned() > b.as_unsigned() ? 1
                                               : 0;
  }
  if (ka == NumberKind::NegativeInt && kb == NumberKind::NegativeInt) {
    return a.as_negative() < b.as_negative()   ? -1
           : a.as_negative() > b.as_negative() ? 1
                                               : 0;
  }
  if (ka != NumberKind::Float && kb != NumberKind::Float) {
    return ka == NumberKind::NegativeInt ? -1 : 1;
  }
  // long double holds every 64-bit integer exactly on the targets built for
  // (x87 extended and IEEE quad), so mixed comparisons are exact.
  const auto wide = [](const JsonNumber& n) -> long double {
    switch (n.kind()) {
      case NumberKind::UnsignedInt:
        return static_cast<long double>(n.as_unsigned());
      case NumberKind::NegativeInt:
        return static_cast<long double>(n.as_negative());
      case NumberKind::Float:
        break;
    }
    return static_cast<long double>(n.as_double());
  };
  const long double x = wide(a), y = wide(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

bool json_equal(const JsonValue& a, const JsonValue& b) noexcept {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case ValueKind::Null:
      return true;
    case ValueKind::Bool:
      return a.as_bool() == b.as_bool();
    case ValueKind::Number:
      return compare_numbers(a.as_number(), b.as_number()) == 0;
    case ValueKind::String:
      return a.as_string() == b.as_string();
    case ValueKind::Array: {
      const JsonArray &x = a.as_array(), &y = b.as_array();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!json_equal(x[i], y[i])) return false;
      }
      return true;
    }
    case ValueKind::Object: {
      const JsonObject &x = a.as_object(), &y = b.as_object();
      if (x.size() != y.size()) return false;
      for (const auto& entry : x) {
        const JsonValue* other = y.find(entry.key);
        if (other == nullptr || !json_equal(entry.value, *other)) return false;
      }
      return true;
    }
  }
  return false;
}

std::size_t code_point_count(std::string_view utf8) noexcept {
  std::size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// value % divisor == 0 as the usual validators decide it: exactly for two
// integers, by the remainder for an integer divisor, else by whether the
// quotient is a finite integer.
bool is_multiple(const JsonNumber& value, const JsonNumber& divisor) noexcept {
  const auto as_double = [](const JsonNumber& n) {
    switch (n.kind()) {
      case NumberKind::UnsignedInt:
        return static_cast<double>(n.as_unsigned());
      case NumberKind::NegativeInt:
        return static_cast<double>(n.as_negative());
      case NumberKind::Float:
        break;
    }
    return n.as_double();
  };
  if (divisor.kind() == NumberKind::UnsignedInt) {
    if (value.kind() == NumberKind::UnsignedInt) {
      return value.as_unsigned() % divisor.as_unsigned() == 0;
    }
    if (value.kind() == NumberKind::NegativeInt) {
      // The magnitude of an int64 below 0, without overflow at INT64_MIN.
      const std::uint64_t m =
          0 - static_cast<std::uint64_t>(value.as_negative());
      return m % divisor.as_unsigned() == 0;
    }
    return std::fmod(value.as_double(), as_double(divisor)) == 0;
  }
  const double q = as_double(value) / as_double(divisor);
  return std::isfinite(q) && q == std::trunc(q);
}

namespace {

bool number_ok(const SchemaNode& n, const JsonNumber& v) noexcept {
  if (n.minimum && compare_numbers(v, *n.minimum) < 0) return false;
  if (n.maximum && compare_numbers(v, *n.maximum) > 0) return false;
  if (n.exclusive_minimum && compare_numbers(v, *n.exclusive_minimum) <= 0) {
    return false;
  }
  if (n.exclusive_maximum && compare_numbers(v, *n.exclusive_maximum) >= 0) {
    return false;
  }
  return !n.multiple_of || is_multiple(v, *n.multiple_of);
}

bool unique(const JsonArray& items) noexcept {
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      if (json_equal(items[i], items[j])) return false;
    }
  }
  return true;
}

bool scalar_keywords_ok(const SchemaNode& n, const JsonValue& v) noexcept {
  if (n.const_value && !json_equal(*n.const_value, v)) return false;
  if (n.enum_values) {
    bool found = false;
    for (const JsonValue& e : *n.enum_values) {
      if ((found = json_equal(e, v))) break;
    }
    if (!found) return false;
  }
  if (v.kind() == ValueKind::Number) return number_ok(n, v.as_number());
  if (v.kind() == ValueKind::String && (n.min_length || n.max_length)) {
    const std::size_t len = code_point_count(v.as_string());
    if (n.min_length && len < *n.min_length) return false;
    if (n.max_length && len > *n.max_length) return false;
  }
  return true;
}

struct MemoKey {
  NodeId node;
  const JsonValue* value;
  bool operator==(const MemoKey&) const = default;
};
struct MemoHash {
  std::size_t operator()(const MemoKey& k) const noexcept {
    return std::hash<const void*>()(k.value) * 31 + k.node;
  }
};

// One validation. Results through `$ref` are memoised: a tree-shaped schema
// visits each (subschema, value) pair at most once anyway, so only shared
// subschemas can repeat work.
class Validator {
 public:
  explicit Validator(const SchemaGraph& graph) noexcept : graph_(graph) {}

  // Set once an integral float met a subschema that allows only integers:
  // valid, but coercion turns it into an integer.
  bool saw_integral_float = false;

  bool check(NodeId id, const JsonValue& v) {
    const SchemaNode& n = graph_.nodes[id];
    if (n.constant) return *n.constant;
    const std::uint8_t bits = type_bits(v);
    if (n.has_type) {
      if ((n.types & bits) == 0) return false;
      if ((n.types & (kIntegerBit | kNumberBit)) == kIntegerBit &&
          (bits & kIntegerBit) != 0 &&
          v.as_number().kind() == NumberKind::Float) {
        saw_integral_float = true;
      }
    }
    if (!scalar_ok(n, v)) return false;
    if (v.kind() == ValueKind::Array && !array_ok(n, v.as_array())) {
      return false;
    }
    if (v.kind() == ValueKind::Object && !object_ok(n, v.as_object())) {
      return false;
    }
    for (const NodeId m : n.all_of) {
      if (!check(m, v)) return false;
    }
    if (!n.any_of.empty()) {
      bool any = false;
      for (const NodeId m : n.any_of) {
        if ((any = check(m, v))) break;
      }
      if (!any) return false;
    }
    if (!n.one_of.empty()) {
      std::size_t matches = 0;
      for (const NodeId m : n.one_of) {
        if (check(m, v) && ++matches > 1) return false;
      }
      if (matches != 1) return false;
    }
    return !n.ref || check_shared(*n.ref, v);
  }

 private:
  bool check_shared(NodeId id, const JsonValue& v) {
    const MemoKey key{id, &v};
    if (auto it = memo_.find(key); it != memo_.end()) return it->second;
    const bool ok = check(id, v);
    memo_.emplace(key, ok);
    return ok;
  }

  static bool scalar_ok(const SchemaNode& n, const JsonValue& v) noexcept {
    return scalar_keywords_ok(n, v);
  }

  bool array_ok(const SchemaNode& n, const JsonArray& items) {
    if (n.min_items && items.size() < *n.min_items) return false;
    if (n.max_items && items.size() > *n.max_items) return false;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i < n.prefix_items.size()) {
        if (!check(n.prefix_items[i], items[i])) return false;
      } else if (n.items && !check(*n.items, items[i])) {
        return false;
      }
    }
    return !n.unique_items || unique(items);
  }

  bool object_ok(const SchemaNode& n, const JsonObject& object) {
    for (const std::string& name : n.required) {
      if (object.find(name) == nullptr) return false;
    }
    if (n.properties.empty() && !n.additional) return true;
    for (const auto& entry : object) {
      const NodeId* prop = n.find_property(entry.key);
      if (prop != nullptr) {
        if (!check(*prop, entry.value)) return false;
      } else if (n.additional && !check(*n.additional, entry.value)) {
        return false;
      }
    }
    return true;
  }

  const SchemaGraph& graph_;
  std::unordered_map<MemoKey, bool, MemoHash> memo_;
};

}  // namespace

bool keywords_ok(const SchemaNode& n, const JsonValue& v) noexcept {
  if (!scalar_keywords_ok(n, v)) return false;
  return !n.unique_items || v.kind() != ValueKind::Array ||
         unique(v.as_array());
}

bool validate_node(const SchemaGraph& graph, NodeId id, const JsonValue& value,
                   bool* saw_integral_float) {
  Validator validator(graph);
  const bool ok = validator.check(id, value);
  if (saw_integral_float != nullptr) {
    *saw_integral_float = validator.saw_integral_float;
  }
  return ok;
}

}  // namespace detail

bool Schema::validate(const JsonValue& value) const {
  return detail::validate_node(*graph_, 0, value);
}

}  // namespace tarnwick
