// Validation straight over the text of a strict JSON document, without
// building its value: what schema-guided extraction runs on a reply that
// likely conforms, where building a second tree would cost as much as the
// extraction itself. Scalars that an enum, const or uniqueItems compares are
// read into values one at a time.
#include <cstddef>        // size_t
#include <cstdint>        // uint8_t
#include <functional>     // hash
#include <optional>       // optional
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_map>  // unordered_map
#include <vector>         // vector

#include "schema/graph.h"
#include "tarnwick/reader.h"
#include "tarnwick/schema.h"

namespace tarnwick {
namespace detail {
namespace {

bool is_ws(char c) noexcept {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

struct Key {
  NodeId node;
  std::size_t pos;
  bool operator==(const Key&) const = default;
};
struct KeyHash {
  std::size_t operator()(const Key& k) const noexcept {
    return std::hash<std::size_t>()(k.pos) * 31 + k.node;
  }
};
struct Verdict {
  bool ok;
  std::size_t end;
};

// Positions are byte offsets of a value's first byte; every function that
// reads a value returns the offset just past it. The text is strict JSON.
class TextValidator {
 public:
  TextValidator(const SchemaGraph& graph, std::string_view text) noexcept
      : graph_(graph), text_(text) {}

  bool saw_integral_float = false;

  std::size_t skip_ws(std::size_t pos) const noexcept {
    while (pos < text_.size() && is_ws(text_[pos])) ++pos;
    return pos;
  }

  // True with `end` set when the value at `pos` conforms to node `id`.
  bool check(NodeId id, std::size_t pos, std::size_t& end);

 private:
  std::size_t skip_string(std::size_t pos) const noexcept {
    for (++pos; pos < text_.size(); ++pos) {
      if (text_[pos] == '\\') {
        ++pos;
      } else if (text_[pos] == '"') {
        return pos + 1;
      }
    }
    return pos;
  }
  std::size_t skip_value(std::size_t pos) const noexcept {
    const char c = text_[pos];
    if (c == '"') return skip_string(pos);
    if (c == '[' || c == '{') {
      int depth = 0;
      while (pos < text_.size()) {
        const char d = text_[pos];
        if (d == '"') {
          pos = skip_string(pos);
          continue;
        }
        if (d == '[' || d == '{') ++depth;
        if ((d == ']' || d == '}') && --depth == 0) return pos + 1;
        ++pos;
      }
      return pos;
    }
    while (pos < text_.size() && text_[pos] != ',' && text_[pos] != ']' &&
           text_[pos] != '}' && !is_ws(text_[pos])) {
      ++pos;
    }
    return pos;
  }
  // The value at [pos, end) read into the engine's form.
  JsonValue read(std::size_t pos, std::size_t end) const {
    ReadResult<JsonValue> r = parse_document(text_.substr(pos, end - pos));
    return r.ok() ? std::move(r.value()) : JsonValue();
  }
  std::uint8_t bits_at(std::size_t pos, std::size_t end) const;
  std::size_t string_length(std::size_t pos, std::size_t end) const noexcept;
  bool local(const SchemaNode& n, std::size_t pos, std::size_t& end);
  bool array_ok(const SchemaNode& n, std::size_t pos, std::size_t& end);
  bool object_ok(const SchemaNode& n, std::size_t pos, std::size_t& end);
  bool applicators(const SchemaNode& n, std::size_t pos, std::size_t& end);

  const SchemaGraph& graph_;
  std::string_view text_;
  std::unordered_map<Key, Verdict, KeyHash> memo_;
};

std::uint8_t TextValidator::bits_at(std::size_t pos, std::size_t end) const {
  switch (text_[pos]) {
    case 'n':
      return kNullBit;
    case 't':
    case 'f':
      return kBooleanBit;
    case '"':
      return kStringBit;
    case '[':
      return kArrayBit;
    case '{':
      return kObjectBit;
    default:
      break;
  }
  const std::string_view token = text_.substr(pos, end - pos);
  if (token.find_first_of(".eE") == std::string_view::npos) {
    return kNumberBit | kIntegerBit;
  }
  return type_bits(read(pos, end));
}

// Code points of the string literal at [pos, end), escapes decoded.
std::size_t TextValidator::string_length(std::size_t pos,
                                         std::size_t end) const noexcept {
  std::size_t n = 0;
  for (std::size_t i = pos + 1; i + 1 < end; ++i) {
    const auto c = static_cast<unsigned char>(text_[i]);
    if (c == '\\') {
      // A \uD8xx\uDCxx pair is one code point, written in twelve bytes.
      const bool pair = text_[i + 1] == 'u' && i + 12 < end &&
                        (text_[i + 2] == 'd' || text_[i + 2] == 'D') &&
                        text_.substr(i + 3, 1).find_first_of("89abAB") == 0 &&
                        text_[i + 6] == '\\';
      i += text_[i + 1] != 'u' ? 1 : pair ? 11 : 5;
      ++n;
    } else {
      n += (c & 0xC0) != 0x80;
    }
  }
  return n;
}

bool TextValidator::check(NodeId id, std::size_t pos, std::size_t& end) {
  const SchemaNode& n = graph_.nodes[id];
  if (n.constant) {
    end = skip_value(pos);
    return *n.constant;
  }
  end = 0;
  if (!local(n, pos, end)) return false;
  return applicators(n, pos, end);
}

// Type, enum/const, bounds, then the members or items.
bool TextValidator::local(const SchemaNode& n, std::size_t pos,
                          std::size_t& end) {
  const char c = text_[pos];
  if (c == '[') return array_ok(n, pos, end);
  if (c == '{') return object_ok(n, pos, end);
  end = skip_value(pos);
  const bool number = c != '"' && c != 'n' && c != 't' && c != 'f';
  const bool plain_float =
      number && text_.substr(pos, end - pos).find_first_of(".eE") !=
                    std::string_view::npos;
  if (n.has_type) {
    // A number needs reading only where integers alone are allowed.
    const bool integer_only =
        (n.types & (kIntegerBit | kNumberBit)) == kIntegerBit;
    const std::uint8_t bits = number && plain_float && integer_only
                                  ? bits_at(pos, end)
                              : number ? kNumberBit | kIntegerBit
                                       : bits_at(pos, end);
    if ((n.types & bits) == 0) return false;
    if (plain_float && integer_only) saw_integral_float = true;
  }
  if (c == '"' && !n.const_value && n.enum_values &&
      text_.substr(pos, end - pos).find('\\') == std::string_view::npos) {
    // An enum of strings, compared to the literal's bytes.
    const std::string_view raw = text_.substr(pos + 1, end - pos - 2);
    bool found = false;
    for (const JsonValue& e : *n.enum_values) {
      if ((found = e.kind() == ValueKind::String && e.as_string() == raw)) {
        break;
      }
    }
    if (!found) return false;
  } else if (n.const_value || n.enum_values ||
             (number && (n.minimum || n.maximum || n.exclusive_minimum ||
                         n.exclusive_maximum || n.multiple_of))) {
    return keywords_ok(n, read(pos, end));
  }
  if (c == '"' && (n.min_length || n.max_length)) {
    const std::size_t len = string_length(pos, end);
    if (n.min_length && len < *n.min_length) return false;
    if (n.max_length && len > *n.max_length) return false;
  }
  return true;
}

bool TextValidator::array_ok(const SchemaNode& n, std::size_t pos,
                             std::size_t& end) {
  if (n.has_type && (n.types & kArrayBit) == 0) return false;
  if (n.const_value || n.enum_values || n.unique_items) {
    end = skip_value(pos);
    if (!keywords_ok(n, read(pos, end))) return false;
  }
  std::size_t count = 0;
  std::size_t at = skip_ws(pos + 1);
  while (text_[at] != ']') {
    const std::optional<NodeId> schema =
        count < n.prefix_items.size()
            ? std::optional<NodeId>(n.prefix_items[count])
            : n.items;
    std::size_t item_end;
    if (schema) {
      if (!check(*schema, at, item_end)) return false;
    } else {
      item_end = skip_value(at);
    }
    ++count;
    at = skip_ws(item_end);
    if (text_[at] == ',') at = skip_ws(at + 1);
  }
  end = at + 1;
  if (n.min_items && count < *n.min_items) return false;
  return !n.max_items || count <= *n.max_items;
}

bool TextValidator::object_ok(const SchemaNode& n, std::size_t pos,
                              std::size_t& end) {
  if (n.has_type && (n.types & kObjectBit) == 0) return false;
  if (n.const_value || n.enum_values) {
    end = skip_value(pos);
    if (!keywords_ok(n, read(pos, end))) return false;
  }
  // Required members found, one bit each (a vector past 64 of them).
  std::uint64_t seen_bits = 0;
  std::vector<bool> seen(n.required.size() > 64 ? n.required.size() : 0);
  std::size_t at = skip_ws(pos + 1);
  while (text_[at] != '}') {
    const std::size_t key_end = skip_string(at);
    std::string_view key = text_.substr(at + 1, key_end - at - 2);
    std::string decoded;
    if (key.find('\\') != std::string_view::npos) {
      decoded = read(at, key_end).as_string();
      key = decoded;
    }
    for (std::size_t r = 0; r < n.required.size(); ++r) {
      if (n.required[r] != key) continue;
      if (r < 64) {
        seen_bits |= std::uint64_t{1} << r;
      } else {
        seen[r] = true;
      }
    }
    const std::size_t value_at = skip_ws(skip_ws(key_end) + 1);
    const NodeId* prop = n.find_property(key);
    const NodeId* schema = prop != nullptr ? prop
                           : n.additional  ? &*n.additional
                                           : nullptr;
    std::size_t value_end;
    if (schema != nullptr) {
      if (!check(*schema, value_at, value_end)) return false;
    } else {
      value_end = skip_value(value_at);
    }
    at = skip_ws(value_end);
    if (text_[at] == ',') at = skip_ws(at + 1);
  }
  end = at + 1;
  for (std::size_t r = 0; r < n.required.size(); ++r) {
    if (r < 64 ? (seen_bits >> r & 1) == 0 : !seen[r]) return false;
  }
  return true;
}

bool TextValidator::applicators(const SchemaNode& n, std::size_t pos,
                                std::size_t& end) {
  std::size_t branch_end = end;
  for (const NodeId m : n.all_of) {
    if (!check(m, pos, branch_end)) return false;
  }
  if (!n.any_of.empty()) {
    bool any = false;
    for (const NodeId m : n.any_of) {
      if ((any = check(m, pos, branch_end))) break;
    }
    if (!any) return false;
  }
  if (!n.one_of.empty()) {
    std::size_t matches = 0;
    for (const NodeId m : n.one_of) {
      std::size_t e;
      if (check(m, pos, e) && ++matches > 1) return false;
    }
    if (matches != 1) return false;
  }
  if (n.ref) {
    const Key key{*n.ref, pos};
    auto it = memo_.find(key);
    if (it == memo_.end()) {
      Verdict v{false, 0};
      v.ok = check(*n.ref, pos, v.end);
      it = memo_.emplace(key, v).first;
    }
    if (!it->second.ok) return false;
  }
  if (end == 0) end = skip_value(pos);
  return true;
}

}  // namespace

bool validate_text(const SchemaGraph& graph, std::string_view text,
                   bool* saw_integral_float) {
  TextValidator validator(graph, text);
  const std::size_t start = validator.skip_ws(0);
  if (start >= text.size()) return false;
  std::size_t end = 0;
  const bool ok = validator.check(0, start, end);
  if (saw_integral_float != nullptr) {
    *saw_integral_float = validator.saw_integral_float;
  }
  return ok;
}

}  // namespace detail

bool Schema::validate_text(std::string_view json,
                           bool* has_integral_floats) const {
  return detail::validate_text(*graph_, json, has_integral_floats);
}

}  // namespace tarnwick
