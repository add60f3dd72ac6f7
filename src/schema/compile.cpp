// Schema compilation: the schema text read strictly, each subschema turned
// into a node, local references resolved, and cycles of references that
// read no input refused.
#include <algorithm>      // find
#include <array>          // array
#include <cmath>          // floor
#include <cstddef>        // size_t
#include <cstdint>        // SIZE_MAX, uint8_t
#include <optional>       // optional
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_map>  // unordered_map
#include <utility>        // move, pair
#include <vector>         // vector

#include "schema/graph.h"
#include "tarnwick/reader.h"
#include "tarnwick/schema.h"

namespace tarnwick {
namespace detail {
namespace {

// Assertion and applicator keywords of draft 2020-12 (and draft-07) that
// validation does not enforce; a schema that holds one lists it in
// `ignored`. Annotations (title, description, examples, ...) are not listed.
constexpr std::array<std::string_view, 24> kUnenforced = {
    "pattern",
    "format",
    "minProperties",
    "maxProperties",
    "not",
    "if",
    "then",
    "else",
    "contains",
    "minContains",
    "maxContains",
    "patternProperties",
    "propertyNames",
    "dependentRequired",
    "dependentSchemas",
    "dependencies",
    "unevaluatedProperties",
    "unevaluatedItems",
    "contentEncoding",
    "contentMediaType",
    "contentSchema",
    "$dynamicRef",
    "$recursiveRef",
    "$anchor"};

// The `$schema` values read: 2020-12 and draft-07 (whose `definitions` and
// array-form `items` are read too).
constexpr std::array<std::string_view, 6> kDialects = {
    "https://json-schema.org/draft/2020-12/schema",
    "https://json-schema.org/draft/2020-12/schema#",
    "http://json-schema.org/draft/2020-12/schema",
    "http://json-schema.org/draft-07/schema#",
    "http://json-schema.org/draft-07/schema",
    "https://json-schema.org/draft-07/schema#"};

// Longest chain of references and combinators that reads no input.
constexpr std::size_t kMaxChain = 1000;

constexpr std::array<std::pair<std::string_view, std::uint8_t>, 7> kTypeNames =
    {{{"null", kNullBit},
      {"boolean", kBooleanBit},
      {"integer", kIntegerBit},
      {"number", kNumberBit},
      {"string", kStringBit},
      {"array", kArrayBit},
      {"object", kObjectBit}}};

void append_token(std::string_view token, std::string& pointer) {
  pointer += '/';
  for (const char c : token) {
    if (c == '~') {
      pointer += "~0";
    } else if (c == '/') {
      pointer += "~1";
    } else {
      pointer += c;
    }
  }
}

int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The fragment of a URI reference with its %XX escapes decoded; false when
// an escape is broken.
bool percent_decode(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = hex_value(text[i + 1]), lo = hex_value(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

// A size keyword: a non-negative integer, written as one or as an integral
// float ("minLength": 2.0).
bool read_size(const JsonValue& v, std::size_t& out) {
  if (v.kind() != ValueKind::Number) return false;
  const JsonNumber& n = v.as_number();
  if (n.kind() == NumberKind::UnsignedInt) {
    out = static_cast<std::size_t>(n.as_unsigned());
    return true;
  }
  if (n.kind() == NumberKind::Float) {
    const double d = n.as_double();
    if (d < 0 || d != std::floor(d)) return false;
    out = d >= 1.8e19 ? SIZE_MAX : static_cast<std::size_t>(d);
    return true;
  }
  return false;
}

class Compiler {
 public:
  explicit Compiler(const JsonValue& document) : document_(document) {}

  // Compiles the whole document; false with error() set.
  bool run() {
    if (const JsonValue* dialect = find_member(document_, "$schema")) {
      if (dialect->kind() != ValueKind::String ||
          std::find(kDialects.begin(), kDialects.end(), dialect->as_string()) ==
              kDialects.end()) {
        return fail("",
                    "unsupported $schema (draft 2020-12 and draft-07 "
                    "are read)");
      }
    }
    if (!compile(document_, "")) return false;
    while (!pending_.empty()) {
      auto [id, ref] = std::move(pending_.back());
      pending_.pop_back();
      const std::optional<NodeId> target = resolve(id, ref);
      if (!target) return false;
      graph_.nodes[id].ref = *target;
    }
    return check_cycles();
  }

  SchemaGraph& graph() noexcept { return graph_; }
  const std::string& error() const noexcept { return error_; }

 private:
  static const JsonValue* find_member(const JsonValue& v,
                                      std::string_view key) {
    return v.kind() == ValueKind::Object ? v.as_object().find(key) : nullptr;
  }

  bool fail(const std::string& pointer, std::string_view what) {
    if (error_.empty()) {
      error_ = "schema at '";
      error_ += pointer.empty() ? "#" : "#" + pointer;
      error_ += "': ";
      error_ += what;
    }
    return false;
  }

  std::optional<NodeId> compile(const JsonValue& schema,
                                const std::string& pointer);
  bool read_keyword(NodeId id, std::string_view key, const JsonValue& v,
                    const std::string& pointer);
  bool read_applicator(NodeId id, std::string_view key, const JsonValue& v,
                       const std::string& pointer, bool& handled);
  bool read_assertion(NodeId id, std::string_view key, const JsonValue& v,
                      const std::string& pointer, bool& handled);
  bool read_subschemas(const JsonValue& v, const std::string& pointer,
                       std::vector<NodeId>& out);
  void read_discriminator(NodeId id, const JsonValue& v);
  void finish_node(NodeId id, const JsonValue& schema);
  std::optional<NodeId> resolve(NodeId from, const std::string& ref);
  bool check_cycles();
  bool visit(NodeId id, std::vector<std::uint8_t>& color, std::size_t depth);

  const JsonValue& document_;
  SchemaGraph graph_;
  std::unordered_map<std::string, NodeId> by_pointer_;
  std::vector<std::pair<NodeId, std::string>> pending_;  // unresolved $ref
  std::string error_;
};

std::optional<NodeId> Compiler::compile(const JsonValue& schema,
                                        const std::string& pointer) {
  if (auto it = by_pointer_.find(pointer); it != by_pointer_.end()) {
    return it->second;
  }
  const auto id = static_cast<NodeId>(graph_.nodes.size());
  graph_.nodes.emplace_back();
  graph_.nodes[id].pointer = pointer;
  by_pointer_.emplace(pointer, id);
  if (schema.kind() == ValueKind::Bool) {
    graph_.nodes[id].constant = schema.as_bool();
    return id;
  }
  if (schema.kind() != ValueKind::Object) {
    fail(pointer, "a schema must be an object or a boolean");
    return std::nullopt;
  }
  for (const auto& entry : schema.as_object()) {
    if (!read_keyword(id, entry.key, entry.value, pointer)) {
      return std::nullopt;
    }
  }
  finish_node(id, schema);
  return id;
}

bool Compiler::read_keyword(NodeId id, std::string_view key, const JsonValue& v,
                            const std::string& pointer) {
  bool handled = false;
  if (!read_applicator(id, key, v, pointer, handled)) return false;
  if (handled) return true;
  if (!read_assertion(id, key, v, pointer, handled)) return false;
  if (handled) return true;
  if (key == "$defs" || key == "definitions") {
    if (v.kind() != ValueKind::Object)
      return fail(pointer, "bad " + std::string(key));
    for (const auto& entry : v.as_object()) {
      std::string at = pointer;
      append_token(key, at);
      append_token(entry.key, at);
      if (!compile(entry.value, at)) return false;
    }
    return true;
  }
  if (key == "default") {
    graph_.nodes[id].default_value = v.clone();
    return true;
  }
  if (key == "discriminator") {
    read_discriminator(id, v);
    return true;
  }
  if (std::find(kUnenforced.begin(), kUnenforced.end(), key) !=
      kUnenforced.end()) {
    graph_.ignored.push_back({pointer, std::string(key)});
  }
  return true;  // annotations and unknown keywords
}

bool Compiler::read_subschemas(const JsonValue& v, const std::string& pointer,
                               std::vector<NodeId>& out) {
  if (v.kind() != ValueKind::Array || v.as_array().empty()) {
    return fail(pointer, "expected a non-empty array of schemas");
  }
  const JsonArray& items = v.as_array();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::optional<NodeId> child =
        compile(items[i], pointer + "/" + std::to_string(i));
    if (!child) return false;
    out.push_back(*child);
  }
  return true;
}

bool Compiler::read_applicator(NodeId id, std::string_view key,
                               const JsonValue& v, const std::string& pointer,
                               bool& handled) {
  handled = true;
  std::string at = pointer;
  append_token(key, at);
  std::vector<NodeId> list;
  if (key == "properties") {
    if (v.kind() != ValueKind::Object) return fail(at, "expected an object");
    for (const auto& entry : v.as_object()) {
      std::string member = at;
      append_token(entry.key, member);
      const std::optional<NodeId> child = compile(entry.value, member);
      if (!child) return false;
      graph_.nodes[id].properties.emplace_back(entry.key, *child);
    }
  } else if (key == "additionalProperties" || key == "items" ||
             key == "additionalItems") {
    if (key == "items" && v.kind() == ValueKind::Array) {
      // Draft-07's array form: positions, as prefixItems.
      if (!read_subschemas(v, at, list)) return false;
      graph_.nodes[id].prefix_items = std::move(list);
      return true;
    }
    if (key == "additionalItems") return true;  // read in finish_node
    const std::optional<NodeId> child = compile(v, at);
    if (!child) return false;
    (key == "items" ? graph_.nodes[id].items : graph_.nodes[id].additional) =
        *child;
  } else if (key == "prefixItems" || key == "allOf" || key == "anyOf" ||
             key == "oneOf") {
    if (!read_subschemas(v, at, list)) return false;
    SchemaNode& node = graph_.nodes[id];
    (key == "prefixItems" ? node.prefix_items
     : key == "allOf"     ? node.all_of
     : key == "anyOf"     ? node.any_of
                          : node.one_of) = std::move(list);
  } else if (key == "$ref") {
    if (v.kind() != ValueKind::String) return fail(at, "expected a string");
    pending_.emplace_back(id, v.as_string());
  } else {
    handled = false;
  }
  return true;
}

bool Compiler::read_assertion(NodeId id, std::string_view key,
                              const JsonValue& v, const std::string& pointer,
                              bool& handled) {
  handled = true;
  SchemaNode& node = graph_.nodes[id];
  std::string at = pointer;
  append_token(key, at);
  if (key == "type") {
    node.has_type = true;
    node.types = 0;
    const bool one = v.kind() == ValueKind::String;
    if (!one && v.kind() != ValueKind::Array) {
      return fail(at, "expected a type name or an array of them");
    }
    const std::size_t n = one ? 1 : v.as_array().size();
    for (std::size_t i = 0; i < n; ++i) {
      const JsonValue& name = one ? v : v.as_array()[i];
      const auto* it = std::find_if(kTypeNames.begin(), kTypeNames.end(),
                                    [&](const auto& t) {
                                      return name.kind() == ValueKind::String &&
                                             t.first == name.as_string();
                                    });
      if (it == kTypeNames.end()) return fail(at, "unknown type name");
      node.types = static_cast<std::uint8_t>(node.types | it->second);
    }
  } else if (key == "required") {
    if (v.kind() != ValueKind::Array) return fail(at, "expected an array");
    for (const JsonValue& name : v.as_array()) {
      if (name.kind() != ValueKind::String) {
        return fail(at, "expected an array of strings");
      }
      node.required.push_back(name.as_string());
    }
  } else if (key == "enum") {
    if (v.kind() != ValueKind::Array) return fail(at, "expected an array");
    node.enum_values.emplace();
    for (const JsonValue& item : v.as_array()) {
      node.enum_values->push_back(item.clone());
    }
  } else if (key == "const") {
    node.const_value = v.clone();
  } else if (key == "minimum" || key == "maximum" ||
             key == "exclusiveMinimum" || key == "exclusiveMaximum" ||
             key == "multipleOf") {
    if (v.kind() != ValueKind::Number) return fail(at, "expected a number");
    const JsonNumber n = v.as_number();
    if (key == "multipleOf") {
      if (compare_numbers(n, JsonNumber(std::uint64_t{0})) <= 0) {
        return fail(at, "expected a number above 0");
      }
      node.multiple_of = n;
    } else {
      (key == "minimum"            ? node.minimum
       : key == "maximum"          ? node.maximum
       : key == "exclusiveMinimum" ? node.exclusive_minimum
                                   : node.exclusive_maximum) = n;
    }
  } else if (key == "minLength" || key == "maxLength" || key == "minItems" ||
             key == "maxItems") {
    std::size_t n = 0;
    if (!read_size(v, n)) return fail(at, "expected a non-negative integer");
    (key == "minLength"   ? node.min_length
     : key == "maxLength" ? node.max_length
     : key == "minItems"  ? node.min_items
                          : node.max_items) = n;
  } else if (key == "uniqueItems") {
    if (v.kind() != ValueKind::Bool) return fail(at, "expected a boolean");
    node.unique_items = v.as_bool();
  } else {
    handled = false;
  }
  return true;
}

// {"propertyName": "...", ...}: only the name is kept; coercion picks the
// branch whose `const` (or one-value enum) of that member is the tag, which
// is what a mapping would say for the schemas Pydantic writes.
void Compiler::read_discriminator(NodeId id, const JsonValue& v) {
  const JsonValue* name = find_member(v, "propertyName");
  if (name != nullptr && name->kind() == ValueKind::String) {
    graph_.nodes[id].discriminator = name->as_string();
  }
}

// The draft-07 `additionalItems`, then the types the keywords imply.
void Compiler::finish_node(NodeId id, const JsonValue& schema) {
  const JsonValue* items = find_member(schema, "items");
  const JsonValue* more = find_member(schema, "additionalItems");
  if (items != nullptr && items->kind() == ValueKind::Array &&
      more != nullptr) {
    std::string at = graph_.nodes[id].pointer;
    append_token("additionalItems", at);
    if (const std::optional<NodeId> child = compile(*more, at)) {
      graph_.nodes[id].items = *child;
    }
  }
  SchemaNode& node = graph_.nodes[id];
  if (node.has_type) {
    node.expected = node.types;
  } else if (node.const_value || node.enum_values) {
    node.expected = 0;
    if (node.const_value) node.expected = type_bits(*node.const_value);
    if (node.enum_values) {
      for (const JsonValue& e : *node.enum_values) {
        node.expected = static_cast<std::uint8_t>(node.expected | type_bits(e));
      }
    }
  } else if (!node.properties.empty() || !node.required.empty() ||
             node.additional) {
    node.expected = kObjectBit;
  } else if (node.items || !node.prefix_items.empty()) {
    node.expected = kArrayBit;
  }
}

std::optional<NodeId> Compiler::resolve(NodeId from, const std::string& ref) {
  const std::string where = graph_.nodes[from].pointer + "/$ref";
  if (ref.empty() || ref[0] != '#') {
    fail(where, "only local references (#...) are read: " + ref);
    return std::nullopt;
  }
  std::string fragment;
  if (!percent_decode(std::string_view(ref).substr(1), fragment) ||
      (!fragment.empty() && fragment[0] != '/')) {
    fail(where, "not a JSON Pointer: " + ref);
    return std::nullopt;
  }
  const JsonValue* at = &document_;
  std::string pointer;
  std::size_t pos = 1;
  while (pos <= fragment.size() && !fragment.empty()) {
    std::size_t end = fragment.find('/', pos);
    if (end == std::string::npos) end = fragment.size();
    std::string token;
    for (std::size_t i = pos; i < end; ++i) {
      if (fragment[i] == '~' && i + 1 < end &&
          (fragment[i + 1] == '0' || fragment[i + 1] == '1')) {
        token += fragment[++i] == '0' ? '~' : '/';
      } else {
        token += fragment[i];
      }
    }
    if (at->kind() == ValueKind::Object) {
      at = at->as_object().find(token);
    } else if (at->kind() == ValueKind::Array && !token.empty() &&
               token.size() < 10 &&
               token.find_first_not_of("0123456789") == std::string::npos) {
      std::size_t index = 0;
      for (const char c : token) {
        index = index * 10 + static_cast<std::size_t>(c - '0');
      }
      const JsonArray& items = at->as_array();
      at = index < items.size() ? &items[index] : nullptr;
    } else {
      at = nullptr;
    }
    if (at == nullptr) {
      fail(where, "unresolvable reference " + ref);
      return std::nullopt;
    }
    append_token(token, pointer);
    pos = end + 1;
  }
  return compile(*at, pointer);
}

// Depth-first over the edges that read no input ($ref and the
// combinators): a back edge is a cycle that would recurse forever.
bool Compiler::visit(NodeId id, std::vector<std::uint8_t>& color,
                     std::size_t depth) {
  if (color[id] == 2) return true;
  if (color[id] == 1) {
    return fail(graph_.nodes[id].pointer,
                "a cycle of references that reads no input");
  }
  if (depth > kMaxChain) {
    return fail(graph_.nodes[id].pointer, "references nest too deeply");
  }
  color[id] = 1;
  const SchemaNode& node = graph_.nodes[id];
  if (node.ref && !visit(*node.ref, color, depth + 1)) return false;
  for (const auto* list : {&node.all_of, &node.any_of, &node.one_of}) {
    for (const NodeId next : *list) {
      if (!visit(next, color, depth + 1)) return false;
    }
  }
  color[id] = 2;
  return true;
}

bool Compiler::check_cycles() {
  std::vector<std::uint8_t> color(graph_.nodes.size(), 0);
  for (NodeId id = 0; id < graph_.nodes.size(); ++id) {
    if (!visit(id, color, 0)) return false;
  }
  return true;
}

}  // namespace
}  // namespace detail

CompiledSchema Schema::compile(std::string_view text) {
  CompiledSchema out;
  ReadResult<JsonValue> document = parse_document(text);
  if (!document) {
    out.error_ = "the schema is not valid JSON";
    return out;
  }
  detail::Compiler compiler(document.value());
  if (!compiler.run()) {
    out.error_ = compiler.error();
    return out;
  }
  out.graph_ =
      std::make_shared<const detail::SchemaGraph>(std::move(compiler.graph()));
  return out;
}

const std::vector<IgnoredKeyword>& Schema::ignored() const noexcept {
  return graph_->ignored;
}

}  // namespace tarnwick
