// The compiled form of a schema: one node per subschema, references
// resolved to node numbers, keywords read into typed fields. Immutable once
// built. (Private)
#pragma once

#include <cstddef>        // size_t
#include <cstdint>        // uint8_t, uint32_t
#include <functional>     // hash
#include <optional>       // optional
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_set>  // unordered_set
#include <utility>        // pair
#include <vector>         // vector

#include "tarnwick/schema.h"
#include "tarnwick/value.h"

namespace tarnwick::detail {

using NodeId = std::uint32_t;

// Bits of the JSON Schema types. Integer is its own bit; Number admits
// integers too.
enum TypeBit : std::uint8_t {
  kNullBit = 1,
  kBooleanBit = 2,
  kIntegerBit = 4,
  kNumberBit = 8,
  kStringBit = 16,
  kArrayBit = 32,
  kObjectBit = 64,
};
inline constexpr std::uint8_t kAllTypes = 127;

// The type bits a value has: an integral float has the integer bit too.
std::uint8_t type_bits(const JsonValue& value) noexcept;
// "integer", "null or string", ...
std::string types_text(std::uint8_t bits);

struct SchemaNode {
  std::optional<bool> constant;  // a boolean schema: true or false
  std::uint8_t types = kAllTypes;
  bool has_type = false;
  std::uint8_t expected = kAllTypes;  // types, or what the keywords imply

  std::vector<std::pair<std::string, NodeId>> properties;
  std::vector<std::string> required;
  std::optional<NodeId> additional;  // additionalProperties
  std::optional<NodeId> items;       // beyond prefix_items
  std::vector<NodeId> prefix_items;

  std::optional<std::vector<JsonValue>> enum_values;
  std::optional<JsonValue> const_value;
  std::optional<JsonValue> default_value;

  std::vector<NodeId> all_of, any_of, one_of;
  // The member whose value names the branch of one_of (else any_of).
  std::optional<std::string> discriminator;
  std::optional<NodeId> ref;

  std::optional<JsonNumber> minimum, maximum, exclusive_minimum,
      exclusive_maximum, multiple_of;
  std::optional<std::size_t> min_length, max_length, min_items, max_items;
  bool unique_items = false;

  std::string pointer;  // where the subschema is, for messages

  const NodeId* find_property(std::string_view key) const noexcept {
    for (const auto& [name, id] : properties) {
      if (name == key) return &id;
    }
    return nullptr;
  }
};

struct SchemaGraph {
  std::vector<SchemaNode> nodes;  // nodes[0] is the root
  std::vector<IgnoredKeyword> ignored;
};

// (subschema, value) pairs already visited by a walk that follows `$ref`
// and allOf on one value: each pair is walked once, so schemas that reach
// one subschema by many routes cost no more than the pairs there are.
class VisitedPairs {
 public:
  // True the first time `id` meets the value at `v`.
  bool first(NodeId id, const JsonValue* v) {
    return seen_.insert(Key{id, v}).second;
  }

 private:
  struct Key {
    NodeId node;
    const JsonValue* value;
    bool operator==(const Key&) const = default;
  };
  struct Hash {
    std::size_t operator()(const Key& k) const noexcept {
      return std::hash<const void*>()(k.value) * 31 + k.node;
    }
  };
  std::unordered_set<Key, Hash> seen_;
};

// MARK: - Values (validate.cpp)

// Equality as JSON Schema has it: numbers by value (1 == 1.0), objects
// regardless of member order.
bool json_equal(const JsonValue& a, const JsonValue& b) noexcept;
// -1, 0 or 1 by numeric value.
int compare_numbers(const JsonNumber& a, const JsonNumber& b) noexcept;
std::size_t code_point_count(std::string_view utf8) noexcept;
// multipleOf, as the usual validators decide it.
bool is_multiple(const JsonNumber& value, const JsonNumber& divisor) noexcept;

// The keywords of one node that look at a value alone, not into it: const,
// enum, number bounds, string lengths, uniqueItems.
bool keywords_ok(const SchemaNode& n, const JsonValue& v) noexcept;

// Validity of the strict JSON document `text` against the root, without
// building its value; `saw_integral_float` as for validate_node.
bool validate_text(const SchemaGraph& graph, std::string_view text,
                   bool* saw_integral_float);

// Validity of `value` against node `id`; `saw_integral_float`, when given,
// says whether an integral float met a subschema that allows only integers.
bool validate_node(const SchemaGraph& graph, NodeId id, const JsonValue& value,
                   bool* saw_integral_float = nullptr);

// MARK: - Accounts (explain.cpp)

// Appends a Mismatch issue for each place `value` fails the schema, and the
// path of each required member that is missing.
void explain(const SchemaGraph& graph, const JsonValue& value,
             std::vector<SchemaIssue>& issues, std::vector<ValuePath>& missing);

// MARK: - Keys (coerce.cpp)

// A key or enum text as snapping compares it: ASCII lower-cased, without
// ' ', '_', '-' and '.'.
std::string snap_form(std::string_view text);
// A value's compact text for messages, cut after a few dozen bytes.
std::string shown(const JsonValue& v);
// The JSON Schema type word of a value ("integer" for an integral number).
const char* kind_word(const JsonValue& v) noexcept;

}  // namespace tarnwick::detail
