// The account of what does not conform: a mismatch record per failing
// place, the missing required paths, and the feedback text built on them.
#include <cstddef>  // size_t
#include <string>   // string
#include <vector>   // vector

#include "schema/graph.h"
#include "tarnwick/schema.h"

namespace tarnwick {
namespace detail {
namespace {

// Records kept; a value that fails everywhere still gets a short account.
constexpr std::size_t kMaxRecords = 200;
constexpr std::size_t kShownEnumValues = 10;

std::string allowed_values(const SchemaNode& n) {
  if (n.const_value) return shown(*n.const_value);
  std::string out = "one of ";
  const std::vector<JsonValue>& values = *n.enum_values;
  for (std::size_t i = 0; i < values.size() && i < kShownEnumValues; ++i) {
    if (i != 0) out += ", ";
    out += shown(values[i]);
  }
  if (values.size() > kShownEnumValues) out += ", ...";
  return out;
}

std::string number_text(const JsonNumber& n) { return shown(JsonValue(n)); }

class Explainer {
 public:
  Explainer(const SchemaGraph& graph, std::vector<SchemaIssue>& issues,
            std::vector<ValuePath>& missing) noexcept
      : graph_(graph), issues_(issues), missing_(missing) {}

  void explain(NodeId id, const JsonValue& v);

 private:
  void note(std::string detail) {
    if (records_++ < kMaxRecords) {
      issues_.push_back({path_, IssueKind::Mismatch, std::move(detail)});
    }
  }
  bool local(const SchemaNode& n, const JsonValue& v);
  void bounds(const SchemaNode& n, const JsonValue& v);
  void members(const SchemaNode& n, const JsonObject& object);
  void items(const SchemaNode& n, const JsonArray& items);
  void branches(const SchemaNode& n, const JsonValue& v);

  const SchemaGraph& graph_;
  std::vector<SchemaIssue>& issues_;
  std::vector<ValuePath>& missing_;
  ValuePath path_;
  std::size_t records_ = 0;
  VisitedPairs seen_;
};

void Explainer::explain(NodeId id, const JsonValue& v) {
  if (records_ >= kMaxRecords || !seen_.first(id, &v) ||
      validate_node(graph_, id, v)) {
    return;
  }
  const SchemaNode& n = graph_.nodes[id];
  if (n.constant) {
    note("no value is allowed here");
    return;
  }
  if (!local(n, v)) return;
  if (n.ref) explain(*n.ref, v);
  for (const NodeId m : n.all_of) explain(m, v);
  if (!n.any_of.empty() || !n.one_of.empty()) branches(n, v);
}

// The subschema's own keywords; false when the value's type is wrong, so
// nothing below is worth telling.
bool Explainer::local(const SchemaNode& n, const JsonValue& v) {
  if (n.has_type && (n.types & type_bits(v)) == 0) {
    note("expected " + types_text(n.types) + ", got " + kind_word(v));
    return false;
  }
  const bool in_enum = [&] {
    if (n.const_value && !json_equal(*n.const_value, v)) return false;
    if (!n.enum_values) return true;
    for (const JsonValue& e : *n.enum_values) {
      if (json_equal(e, v)) return true;
    }
    return false;
  }();
  if (!in_enum) {
    note("expected " + allowed_values(n) + ", got " + shown(v));
    return false;
  }
  bounds(n, v);
  if (v.kind() == ValueKind::Object) members(n, v.as_object());
  if (v.kind() == ValueKind::Array) items(n, v.as_array());
  return true;
}

void Explainer::bounds(const SchemaNode& n, const JsonValue& v) {
  if (v.kind() == ValueKind::Number) {
    const JsonNumber& x = v.as_number();
    if (n.minimum && compare_numbers(x, *n.minimum) < 0) {
      note("expected at least " + number_text(*n.minimum));
    }
    if (n.maximum && compare_numbers(x, *n.maximum) > 0) {
      note("expected at most " + number_text(*n.maximum));
    }
    if (n.exclusive_minimum && compare_numbers(x, *n.exclusive_minimum) <= 0) {
      note("expected more than " + number_text(*n.exclusive_minimum));
    }
    if (n.exclusive_maximum && compare_numbers(x, *n.exclusive_maximum) >= 0) {
      note("expected less than " + number_text(*n.exclusive_maximum));
    }
    if (n.multiple_of && !is_multiple(x, *n.multiple_of)) {
      note("expected a multiple of " + number_text(*n.multiple_of));
    }
  } else if (v.kind() == ValueKind::String) {
    const std::size_t len = code_point_count(v.as_string());
    if (n.min_length && len < *n.min_length) {
      note("expected at least " + std::to_string(*n.min_length) +
           " characters");
    }
    if (n.max_length && len > *n.max_length) {
      note("expected at most " + std::to_string(*n.max_length) + " characters");
    }
  }
}

void Explainer::members(const SchemaNode& n, const JsonObject& object) {
  for (const std::string& name : n.required) {
    if (object.find(name) != nullptr) continue;
    path_.emplace_back(name);
    missing_.push_back(path_);
    const NodeId* prop = n.find_property(name);
    std::string detail = "required member missing";
    if (prop != nullptr) {
      const SchemaNode* p = &graph_.nodes[*prop];
      if (p->ref) p = &graph_.nodes[*p->ref];
      if (p->expected != kAllTypes) {
        detail += " (expected " + types_text(p->expected) + ")";
      }
    }
    note(std::move(detail));
    path_.pop_back();
  }
  for (const auto& entry : object) {
    const NodeId* prop = n.find_property(entry.key);
    const NodeId* schema = prop != nullptr ? prop
                           : n.additional  ? &*n.additional
                                           : nullptr;
    if (schema == nullptr) continue;
    path_.emplace_back(entry.key);
    if (prop == nullptr && graph_.nodes[*schema].constant == false) {
      note("a member the schema does not allow");
    } else {
      explain(*schema, entry.value);
    }
    path_.pop_back();
  }
}

void Explainer::items(const SchemaNode& n, const JsonArray& items) {
  if (n.min_items && items.size() < *n.min_items) {
    note("expected at least " + std::to_string(*n.min_items) + " items");
  }
  if (n.max_items && items.size() > *n.max_items) {
    note("expected at most " + std::to_string(*n.max_items) + " items");
  }
  if (n.unique_items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      for (std::size_t j = i + 1; j < items.size(); ++j) {
        if (json_equal(items[i], items[j])) {
          path_.emplace_back(j);
          note("a repeated item");
          path_.pop_back();
        }
      }
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const NodeId* schema = i < n.prefix_items.size() ? &n.prefix_items[i]
                           : n.items                 ? &*n.items
                                                     : nullptr;
    if (schema == nullptr) continue;
    path_.emplace_back(i);
    explain(*schema, items[i]);
    path_.pop_back();
  }
}

// A failed anyOf/oneOf: told through the one branch whose types admit the
// value, when there is one; else as a whole.
void Explainer::branches(const SchemaNode& n, const JsonValue& v) {
  const std::vector<NodeId>& list = n.one_of.empty() ? n.any_of : n.one_of;
  std::size_t matching = 0, admitting = 0;
  NodeId pick = 0;
  std::uint8_t types = 0;
  for (const NodeId b : list) {
    if (validate_node(graph_, b, v)) ++matching;
    types = static_cast<std::uint8_t>(types | graph_.nodes[b].expected);
    if ((graph_.nodes[b].expected & type_bits(v)) != 0) {
      ++admitting;
      pick = b;
    }
  }
  if (matching > 1) {
    note("matches more than one alternative");
  } else if (matching == 1) {
    return;
  } else if (admitting == 1) {
    explain(pick, v);
  } else if (admitting == 0) {
    note("expected " + types_text(types) + ", got " + kind_word(v));
  } else {
    note("matches none of the alternatives");
  }
}

}  // namespace

void explain(const SchemaGraph& graph, const JsonValue& value,
             std::vector<SchemaIssue>& issues,
             std::vector<ValuePath>& missing) {
  const std::size_t before = issues.size();
  Explainer explainer(graph, issues, missing);
  explainer.explain(0, value);
  if (issues.size() == before) {
    issues.push_back({{}, IssueKind::Mismatch, "does not conform"});
  }
}

}  // namespace detail

std::string Schema::feedback(const Coercion& coercion) const {
  if (coercion.conforms) return "";
  std::string out = "The JSON does not match the schema:";
  for (const SchemaIssue& issue : coercion.issues) {
    if (issue.kind != IssueKind::Mismatch) continue;
    out += "\n- " + path_text(issue.path) + ": " + issue.detail;
  }
  return out;
}

}  // namespace tarnwick
