// Coercion towards a schema: the ordered rules at each subschema a value
// does not conform to, then the integer pass, then an account of what still
// does not conform.
#include <algorithm>    // find_if, max
#include <cmath>        // trunc
#include <cstddef>      // size_t
#include <cstdint>      // uint64_t, int64_t
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move, pair
#include <vector>       // vector

#include "schema/graph.h"
#include "tarnwick/reader.h"
#include "tarnwick/schema.h"
#include "tarnwick/writer.h"

namespace tarnwick {
namespace detail {

// Bytes of a value's text that messages show.
constexpr std::size_t kShownValueBytes = 40;

std::string snap_form(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == ' ' || c == '_' || c == '-' || c == '.') continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

std::string shown(const JsonValue& v) {
  std::string text = to_canonical_text(v);
  if (text.size() > kShownValueBytes) {
    std::size_t cut = kShownValueBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    text.resize(cut);
    text += "...";
  }
  return text;
}

const char* kind_word(const JsonValue& v) noexcept {
  switch (v.kind()) {
    case ValueKind::Null:
      return "null";
    case ValueKind::Bool:
      return "boolean";
    case ValueKind::Number:
      return v.as_number().kind() == NumberKind::Float ? "number" : "integer";
    case ValueKind::String:
      return "string";
    case ValueKind::Array:
      return "array";
    case ValueKind::Object:
      return "object";
  }
  return "value";
}

namespace {

// Coercion calls allowed per value before alternatives are no longer tried,
// so that nested anyOf over a large value stays bounded.
constexpr std::size_t kWorkBudget = 20'000;
// Open containers a value may nest, as the strict reader allows: a decode
// or a wrap that would nest deeper is not made, so every result reads back.
constexpr std::size_t kMaxNesting = 127;

// Containers nested in `v`, itself included: 0 for a scalar, 1 for [1].
std::size_t nesting(const JsonValue& v) {
  std::size_t deepest = 0;
  if (v.kind() == ValueKind::Array) {
    for (const JsonValue& item : v.as_array()) {
      deepest = std::max(deepest, nesting(item));
    }
  } else if (v.kind() == ValueKind::Object) {
    for (const auto& entry : v.as_object()) {
      deepest = std::max(deepest, nesting(entry.value));
    }
  } else {
    return 0;
  }
  return deepest + 1;
}

// An integral float as an integer; empty outside the 64-bit ranges.
std::optional<JsonNumber> integer_of(double d) noexcept {
  if (d != std::trunc(d)) return std::nullopt;
  if (d >= 0 && d < 18446744073709551616.0) {
    return JsonNumber(static_cast<std::uint64_t>(d));
  }
  if (d < 0 && d >= -9223372036854775808.0) {
    return JsonNumber(static_cast<std::int64_t>(d));
  }
  return std::nullopt;
}

// A whole-string number where a number is expected; an integral one where
// only integers are.
std::optional<JsonValue> number_text(const SchemaNode& n,
                                     std::string_view text) {
  if ((n.expected & (kIntegerBit | kNumberBit)) == 0) return std::nullopt;
  ReadResult<JsonNumber> number = parse_number_document(text);
  if (!number) return std::nullopt;
  JsonNumber value = number.value();
  if (value.kind() == NumberKind::Float && (n.expected & kNumberBit) == 0) {
    const std::optional<JsonNumber> whole = integer_of(value.as_double());
    if (!whole) return std::nullopt;
    value = *whole;
  }
  return JsonValue(value);
}

// true/false/yes/no in any case where a boolean is expected.
std::optional<JsonValue> boolean_text(const SchemaNode& n,
                                      std::string_view text) {
  if ((n.expected & kBooleanBit) == 0 || text.size() > 5) return std::nullopt;
  std::string word(text);
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (word == "true" || word == "yes") return JsonValue(true);
  if (word == "false" || word == "no") return JsonValue(false);
  return std::nullopt;
}

bool only_integers(const SchemaNode& n) noexcept {
  return n.has_type && (n.types & (kIntegerBit | kNumberBit)) == kIntegerBit;
}

// The members of an object, moved out so they can be renamed, dropped and
// added to; put back in order by rebuild().
using Members = std::vector<std::pair<std::string, JsonValue>>;

Members take_members(JsonValue& v) {
  Members out;
  out.reserve(v.as_object().size());
  for (const auto& entry : v.as_object()) {
    // The object is ours and is replaced below; its entries are const only
    // to keep their keys in step with the hash index.
    out.emplace_back(entry.key, std::move(const_cast<JsonValue&>(entry.value)));
  }
  return out;
}

JsonValue rebuild(Members& members) {
  JsonObject object;
  object.reserve(members.size());
  for (auto& [key, value] : members) {
    object.insert(std::move(key), std::move(value));
  }
  return JsonValue(std::move(object));
}

class Coercer {
 public:
  Coercer(const SchemaGraph& graph, CoerceMode mode,
          std::vector<SchemaIssue>& issues) noexcept
      : graph_(graph), mode_(mode), issues_(issues) {}

  // `wrap_ok` is false for the item a wrap has just made, which must not be
  // wrapped again (a recursive array schema would never end).
  void coerce(NodeId id, JsonValue& v, bool root, bool wrap_ok = true);
  void integers(NodeId id, JsonValue& v);

 private:
  bool valid(NodeId id, const JsonValue& v) const {
    return validate_node(graph_, id, v);
  }
  void note(IssueKind kind, std::string detail) {
    issues_.push_back({path_, kind, std::move(detail)});
  }
  void decode(const SchemaNode& n, JsonValue& v);
  bool unwrap(NodeId id, JsonValue& v);
  void coerce_object(const SchemaNode& n, JsonValue& v);
  void snap_keys(const SchemaNode& n, Members& members);
  void fill_missing(const SchemaNode& n, Members& members);
  void coerce_array(const SchemaNode& n, JsonValue& v, bool wrap_ok = true);
  void wrap(NodeId id, JsonValue& v);
  void convert(const SchemaNode& n, JsonValue& v);
  void snap_enum(const SchemaNode& n, JsonValue& v);
  void choose_branch(const SchemaNode& n, JsonValue& v, bool root,
                     bool wrap_ok);
  bool try_branch(const SchemaNode& n, std::size_t b, JsonValue& v, bool root,
                  bool wrap_ok);

  const SchemaGraph& graph_;
  CoerceMode mode_;
  std::vector<SchemaIssue>& issues_;
  ValuePath path_;
  std::size_t work_ = 0;
  // Values do not move during the integer pass: each pair is done once.
  VisitedPairs integers_seen_;
};

void Coercer::coerce(NodeId id, JsonValue& v, bool root, bool wrap_ok) {
  const SchemaNode& n = graph_.nodes[id];
  if (n.constant || ++work_ > kWorkBudget || valid(id, v)) return;
  decode(n, v);
  if (root && unwrap(id, v)) return;
  if (v.kind() == ValueKind::Object) coerce_object(n, v);
  if (v.kind() == ValueKind::Array) coerce_array(n, v);
  if (wrap_ok) wrap(id, v);
  convert(n, v);
  if (n.ref) coerce(*n.ref, v, root, wrap_ok);
  for (const NodeId m : n.all_of) coerce(m, v, root, wrap_ok);
  if (!n.one_of.empty() || !n.any_of.empty()) {
    choose_branch(n, v, root, wrap_ok);
  }
}

// Rule 1: a string where only an object or an array will do, holding one.
void Coercer::decode(const SchemaNode& n, JsonValue& v) {
  if (v.kind() != ValueKind::String || (n.expected & kStringBit) != 0 ||
      (n.expected & (kObjectBit | kArrayBit)) == 0) {
    return;
  }
  ReadResult<JsonValue> inner = parse_document(v.as_string());
  if (!inner ||
      (type_bits(inner.value()) & n.expected & (kObjectBit | kArrayBit)) == 0 ||
      path_.size() + nesting(inner.value()) > kMaxNesting) {
    return;
  }
  const char* what = kind_word(inner.value());
  v = std::move(inner.value());
  note(IssueKind::Decoded, std::string("a string holding an ") + what);
}

// Rule 2, at the root: {"key": content} or [content] where an object is
// expected, when the content conforms (as it is, or coerced).
bool Coercer::unwrap(NodeId id, JsonValue& v) {
  const SchemaNode& n = graph_.nodes[id];
  JsonValue* content = nullptr;
  std::string detail;
  if (v.kind() == ValueKind::Object && v.as_object().size() == 1) {
    // A member the schema names (in any spelling) is data, not a wrapper.
    const auto& entry = *v.as_object().begin();
    const std::string form = snap_form(entry.key);
    for (const auto& prop : n.properties) {
      if (snap_form(prop.first) == form) return false;
    }
    content = &const_cast<JsonValue&>(entry.value);
    detail = "the content of member " + shown(JsonValue(entry.key));
  } else if (v.kind() == ValueKind::Array && v.as_array().size() == 1 &&
             (n.expected & kObjectBit) != 0) {
    content = &v.as_array()[0];
    detail = "the only item of an array";
  } else {
    return false;
  }
  // The content must be of a type the schema expects: without `type`, a
  // scalar would conform to a schema of object keywords.
  if ((type_bits(*content) & n.expected) == 0) return false;
  if (!valid(id, *content)) {
    if (mode_ == CoerceMode::None) return false;
    JsonValue attempt = content->clone();
    const std::size_t mark = issues_.size();
    coerce(id, attempt, false);
    if (!valid(id, attempt)) {
      issues_.erase(issues_.begin() + static_cast<std::ptrdiff_t>(mark),
                    issues_.end());
      return false;
    }
    *content = std::move(attempt);
    // The content's own changes were recorded at paths relative to it,
    // which is where it now stands; the unwrap goes first.
    issues_.insert(issues_.begin() + static_cast<std::ptrdiff_t>(mark),
                   {path_, IssueKind::Unwrapped, detail});
    JsonValue taken = std::move(*content);
    v = std::move(taken);
    return true;
  }
  JsonValue taken = std::move(*content);
  v = std::move(taken);
  note(IssueKind::Unwrapped, detail);
  return true;
}

void Coercer::coerce_object(const SchemaNode& n, JsonValue& v) {
  Members members = take_members(v);
  if (!n.properties.empty()) snap_keys(n, members);
  Members kept;
  kept.reserve(members.size());
  for (auto& [key, value] : members) {
    const NodeId* prop = n.find_property(key);
    const std::optional<NodeId> schema =
        prop != nullptr ? std::optional<NodeId>(*prop) : n.additional;
    path_.emplace_back(key);
    if (prop == nullptr && n.additional && mode_ == CoerceMode::Lenient &&
        graph_.nodes[*n.additional].constant == false) {
      note(IssueKind::Dropped, "a member the schema does not allow");
      path_.pop_back();
      continue;
    }
    if (schema) coerce(*schema, value, false);
    path_.pop_back();
    kept.emplace_back(std::move(key), std::move(value));
  }
  if (mode_ == CoerceMode::Lenient) fill_missing(n, kept);
  v = rebuild(kept);
}

// Rule 3: a key no property has, renamed to the one property equal to it
// after snap_form, unless that property is already there.
void Coercer::snap_keys(const SchemaNode& n, Members& members) {
  std::vector<std::string> forms;
  forms.reserve(n.properties.size());
  for (const auto& prop : n.properties) forms.push_back(snap_form(prop.first));
  for (auto& member : members) {
    if (n.find_property(member.first) != nullptr) continue;
    const std::string form = snap_form(member.first);
    std::size_t match = forms.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < forms.size(); ++i) {
      if (forms[i] == form) {
        match = i;
        ++count;
      }
    }
    if (count != 1) continue;
    const std::string& target = n.properties[match].first;
    const bool taken =
        std::find_if(members.begin(), members.end(), [&](const auto& m) {
          return m.first == target;
        }) != members.end();
    if (taken) continue;
    path_.emplace_back(target);
    note(IssueKind::Snapped, "key " + shown(JsonValue(member.first)) +
                                 " renamed " + shown(JsonValue(target)));
    path_.pop_back();
    member.first = target;
  }
}

// Lenient: a required member that is missing, from the property's default
// or const, or null where null conforms.
void Coercer::fill_missing(const SchemaNode& n, Members& members) {
  for (const std::string& name : n.required) {
    const bool present =
        std::find_if(members.begin(), members.end(), [&](const auto& m) {
          return m.first == name;
        }) != members.end();
    const NodeId* prop = n.find_property(name);
    if (present || prop == nullptr) continue;
    const SchemaNode* p = &graph_.nodes[*prop];
    if (!p->default_value && !p->const_value && p->ref) {
      p = &graph_.nodes[*p->ref];
    }
    JsonValue fill;
    std::string detail;
    if (p->default_value) {
      fill = p->default_value->clone();
      detail = "from the default " + shown(fill);
    } else if (p->const_value) {
      fill = p->const_value->clone();
      detail = "from the const " + shown(fill);
    } else if (valid(*prop, JsonValue())) {
      detail = "with null";
    } else {
      continue;
    }
    path_.emplace_back(name);
    note(IssueKind::Filled, detail);
    path_.pop_back();
    members.emplace_back(name, std::move(fill));
  }
}

void Coercer::coerce_array(const SchemaNode& n, JsonValue& v, bool wrap_ok) {
  JsonArray& items = v.as_array();
  JsonArray kept;
  kept.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const bool prefix = i < n.prefix_items.size();
    const std::optional<NodeId> schema =
        prefix ? std::optional<NodeId>(n.prefix_items[i]) : n.items;
    if (!schema) {
      kept.push_back(std::move(items[i]));
      continue;
    }
    const std::size_t mark = issues_.size();
    path_.emplace_back(kept.size());
    coerce(*schema, items[i], false, wrap_ok);
    path_.pop_back();
    if (!prefix && mode_ == CoerceMode::Lenient && !valid(*schema, items[i])) {
      issues_.erase(issues_.begin() + static_cast<std::ptrdiff_t>(mark),
                    issues_.end());
      path_.emplace_back(i);
      note(IssueKind::Dropped, "an invalid item " + shown(items[i]));
      path_.pop_back();
      continue;
    }
    kept.push_back(std::move(items[i]));
  }
  items = std::move(kept);
}

// Rule 5: one value where an array is expected, when the array (its new
// item coerced too, but not wrapped again) then conforms. A wrap that does
// not help is not kept: kept, it would grow the value on every pass.
void Coercer::wrap(NodeId id, JsonValue& v) {
  const SchemaNode& n = graph_.nodes[id];
  if (v.kind() == ValueKind::Array || v.is_null() ||
      (n.expected & kArrayBit) == 0 || (type_bits(v) & n.expected) != 0 ||
      path_.size() + nesting(v) + 1 > kMaxNesting) {
    return;
  }
  JsonArray items;
  items.push_back(v.clone());
  JsonValue attempt(std::move(items));
  const std::size_t mark = issues_.size();
  note(IssueKind::Wrapped, "a single value put in an array");
  coerce_array(n, attempt, false);
  if (valid(id, attempt)) {
    v = std::move(attempt);
  } else {
    issues_.erase(issues_.begin() + static_cast<std::ptrdiff_t>(mark),
                  issues_.end());
  }
}

// Rule 6: a scalar the expected types do not admit, turned into one they
// do; then an enum string in another spelling.
void Coercer::convert(const SchemaNode& n, JsonValue& v) {
  snap_enum(n, v);
  if ((type_bits(v) & n.expected) != 0) return;
  std::optional<JsonValue> out;
  if (v.kind() == ValueKind::String) {
    out = number_text(n, v.as_string());
    if (!out) out = boolean_text(n, v.as_string());
  } else if ((n.expected & kStringBit) != 0 &&
             (v.kind() == ValueKind::Number || v.kind() == ValueKind::Bool)) {
    out = JsonValue(to_canonical_text(v));
  }
  if (!out) return;
  std::string detail = shown(v) + " to " + shown(*out);
  v = std::move(*out);
  note(IssueKind::Converted, std::move(detail));
}

void Coercer::snap_enum(const SchemaNode& n, JsonValue& v) {
  if (v.kind() != ValueKind::String || (!n.enum_values && !n.const_value)) {
    return;
  }
  const auto admits = [&](const JsonValue& x) {
    if (n.const_value && !json_equal(*n.const_value, x)) return false;
    if (!n.enum_values) return true;
    for (const JsonValue& e : *n.enum_values) {
      if (json_equal(e, x)) return true;
    }
    return false;
  };
  if (admits(v)) return;
  const std::string form = snap_form(v.as_string());
  const JsonValue* match = nullptr;
  std::size_t count = 0;
  const auto consider = [&](const JsonValue& e) {
    if (e.kind() == ValueKind::String && snap_form(e.as_string()) == form &&
        admits(e) && (match == nullptr || !json_equal(*match, e))) {
      match = &e;
      ++count;
    }
  };
  if (n.const_value) consider(*n.const_value);
  if (n.enum_values) {
    for (const JsonValue& e : *n.enum_values) consider(e);
  }
  if (count != 1) return;
  note(IssueKind::Snapped, shown(v) + " spelled " + shown(*match));
  v = match->clone();
}

// The branch of a discriminated union that the tag names, if any.
std::optional<std::size_t> tagged_branch(const SchemaGraph& graph,
                                         const SchemaNode& n,
                                         const std::vector<NodeId>& branches,
                                         const JsonValue& v) {
  if (!n.discriminator || v.kind() != ValueKind::Object) return std::nullopt;
  const JsonValue* tag = v.as_object().find(*n.discriminator);
  if (tag == nullptr) return std::nullopt;
  for (std::size_t b = 0; b < branches.size(); ++b) {
    const SchemaNode* branch = &graph.nodes[branches[b]];
    if (branch->ref) branch = &graph.nodes[*branch->ref];
    const NodeId* prop = branch->find_property(*n.discriminator);
    if (prop == nullptr) continue;
    const SchemaNode& p = graph.nodes[*prop];
    if ((p.const_value && json_equal(*p.const_value, *tag)) ||
        (p.enum_values && p.enum_values->size() == 1 &&
         json_equal((*p.enum_values)[0], *tag))) {
      return b;
    }
  }
  return std::nullopt;
}

// anyOf/oneOf: the discriminator's branch; else the first branch that the
// value conforms to once coerced; else the first whose types admit it.
void Coercer::choose_branch(const SchemaNode& n, JsonValue& v, bool root,
                            bool wrap_ok) {
  const std::vector<NodeId>& branches = n.one_of.empty() ? n.any_of : n.one_of;
  for (const NodeId b : branches) {
    if (valid(b, v)) return;
  }
  if (const auto tagged = tagged_branch(graph_, n, branches, v)) {
    coerce(branches[*tagged], v, root, wrap_ok);
    return;
  }
  for (std::size_t b = 0; b < branches.size(); ++b) {
    if (try_branch(n, b, v, root, wrap_ok)) return;
  }
  for (const NodeId b : branches) {
    if ((graph_.nodes[b].expected & type_bits(v)) != 0) {
      coerce(b, v, root, wrap_ok);
      return;
    }
  }
}

// Coerces a copy of `v` into branch `b`; keeps it when it then conforms.
bool Coercer::try_branch(const SchemaNode& n, std::size_t b, JsonValue& v,
                         bool root, bool wrap_ok) {
  if (work_ > kWorkBudget) return false;
  const std::vector<NodeId>& branches = n.one_of.empty() ? n.any_of : n.one_of;
  JsonValue attempt = v.clone();
  const std::size_t mark = issues_.size();
  coerce(branches[b], attempt, root, wrap_ok);
  bool ok = valid(branches[b], attempt);
  if (ok && !n.one_of.empty()) {
    for (std::size_t other = 0; other < branches.size() && ok; ++other) {
      ok = other == b || !valid(branches[other], attempt);
    }
  }
  if (!ok) {
    issues_.erase(issues_.begin() + static_cast<std::ptrdiff_t>(mark),
                  issues_.end());
    return false;
  }
  v = std::move(attempt);
  return true;
}

// Anywhere, valid or not: an integral float where only integers are
// allowed becomes an integer, as Pydantic gives it.
void Coercer::integers(NodeId id, JsonValue& v) {
  const SchemaNode& n = graph_.nodes[id];
  if (n.constant || !integers_seen_.first(id, &v)) return;
  if (v.kind() == ValueKind::Number && only_integers(n) &&
      v.as_number().kind() == NumberKind::Float) {
    if (const auto whole = integer_of(v.as_number().as_double())) {
      const std::string before = shown(v);
      v = JsonValue(*whole);
      note(IssueKind::Converted, before + " to " + shown(v));
    }
  }
  if (v.kind() == ValueKind::Object) {
    for (const auto& entry : v.as_object()) {
      const NodeId* prop = n.find_property(entry.key);
      const std::optional<NodeId> schema =
          prop != nullptr ? std::optional<NodeId>(*prop) : n.additional;
      if (!schema) continue;
      path_.emplace_back(entry.key);
      integers(*schema, const_cast<JsonValue&>(entry.value));
      path_.pop_back();
    }
  } else if (v.kind() == ValueKind::Array) {
    JsonArray& items = v.as_array();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::optional<NodeId> schema =
          i < n.prefix_items.size() ? std::optional<NodeId>(n.prefix_items[i])
                                    : n.items;
      if (!schema) continue;
      path_.emplace_back(i);
      integers(*schema, items[i]);
      path_.pop_back();
    }
  }
  if (n.ref) integers(*n.ref, v);
  for (const NodeId m : n.all_of) integers(m, v);
  const std::vector<NodeId>& branches = n.one_of.empty() ? n.any_of : n.one_of;
  for (const NodeId b : branches) {
    if (valid(b, v)) {
      integers(b, v);
      break;
    }
  }
}

}  // namespace
}  // namespace detail

// Passes of the rules over a value that does not conform. The rules at
// different subschemas of one value can undo each other (two allOf members
// that want different types); passes are repeated until one changes
// nothing, and a value that does not settle within kMaxPasses is left as
// it was, so that coercion is always idempotent.
constexpr int kMaxPasses = 4;

Coercion Schema::coerce(JsonValue value, CoerceMode mode) const {
  const detail::SchemaGraph& graph = *graph_;
  Coercion out;
  bool saw_integral_float = false;
  out.conforms = detail::validate_node(graph, 0, value, &saw_integral_float);
  if (mode != CoerceMode::None && (!out.conforms || saw_integral_float)) {
    JsonValue original = out.conforms ? JsonValue() : value.clone();
    bool settled = false;
    for (int pass = 0; pass < kMaxPasses && !settled; ++pass) {
      std::vector<SchemaIssue> step;
      detail::Coercer coercer(graph, mode, step);
      if (!out.conforms) coercer.coerce(0, value, true);
      coercer.integers(0, value);
      settled = step.empty();
      for (SchemaIssue& issue : step) out.issues.push_back(std::move(issue));
      out.conforms = detail::validate_node(graph, 0, value);
      settled = settled || out.conforms;
    }
    if (!settled) {
      value = std::move(original);
      out.issues.clear();
      out.conforms = false;
    }
    out.changed = !out.issues.empty();
  }
  if (!out.conforms) detail::explain(graph, value, out.issues, out.missing);
  out.value = std::move(value);
  return out;
}

std::string_view issue_kind_name(IssueKind kind) noexcept {
  switch (kind) {
    case IssueKind::Decoded:
      return "decoded";
    case IssueKind::Unwrapped:
      return "unwrapped";
    case IssueKind::Snapped:
      return "snapped";
    case IssueKind::Wrapped:
      return "wrapped";
    case IssueKind::Converted:
      return "converted";
    case IssueKind::Dropped:
      return "dropped";
    case IssueKind::Filled:
      return "filled";
    case IssueKind::Mismatch:
      return "mismatch";
  }
  return "mismatch";
}

std::string path_text(const ValuePath& path) {
  std::string out = "$";
  for (const PathStep& step : path) {
    if (const auto* index = std::get_if<std::size_t>(&step)) {
      out += "[" + std::to_string(*index) + "]";
    } else {
      out += "." + std::get<std::string>(step);
    }
  }
  return out;
}

}  // namespace tarnwick
