// Schema-guided values: a JSON Schema (draft 2020-12, with draft-07's
// `definitions` and array-form `items`) compiled once, then used to validate
// a value or to coerce it towards the schema with every change on record.
// Pure: compiling returns an error value, a compiled schema is immutable and
// may be shared between threads.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <memory>       // shared_ptr
#include <string>       // string
#include <string_view>  // string_view
#include <variant>      // variant
#include <vector>       // vector

#include "tarnwick/value.h"

namespace tarnwick {

namespace detail {
struct SchemaGraph;
}  // namespace detail

// How far coercion may go.
enum class CoerceMode : std::uint8_t {
  None,     // validate only
  Safe,     // decode, unwrap, snap, wrap and convert (see Schema::coerce)
  Lenient,  // Safe, then drop disallowed members and invalid items, and fill
            // missing required fields
};

// The closed set of things coercion records; the names are the lower-case
// words.
enum class IssueKind : std::uint8_t {
  Decoded,    // a JSON string read as the object or array it holds
  Unwrapped,  // a one-member object or one-element array at the root replaced
              // by its content
  Snapped,    // a key or an enum string replaced by the schema's spelling
  Wrapped,    // a single value put in a one-element array
  Converted,  // a scalar turned into the expected type
  Dropped,    // a member or an item removed (lenient only)
  Filled,     // a missing required field added (lenient only)
  Mismatch,   // what still does not conform after coercion
};

std::string_view issue_kind_name(IssueKind kind) noexcept;

// A step of a path into a value: a member key or an array index.
using PathStep = std::variant<std::string, std::size_t>;
using ValuePath = std::vector<PathStep>;

struct SchemaIssue {
  ValuePath path;
  IssueKind kind;
  std::string detail;
};

// An assertion keyword the schema holds but validation does not enforce.
struct IgnoredKeyword {
  std::string path;  // JSON Pointer of the subschema ("" for the root)
  std::string keyword;
};

// What coercion made of a value.
struct Coercion {
  JsonValue value;
  std::vector<SchemaIssue> issues;  // every change, then every mismatch
  std::vector<ValuePath> missing;   // required members neither present nor
                                    // filled
  bool conforms = false;            // `value` is valid against the schema
  bool changed = false;             // some issue other than a mismatch
};

class CompiledSchema;

class Schema {
 public:
  // Compiles the text of a schema. An error names what could not be read
  // and where (a JSON Pointer into the schema).
  static CompiledSchema compile(std::string_view text);

  // Validity by the enforced keywords. Results for (subschema, value) pairs
  // reached through `$ref` are memoised, so the time is polynomial.
  bool validate(const JsonValue& value) const;

  // The same verdict for the text of a strict JSON document, read in place
  // without building its value. `has_integral_floats`, when given, says
  // whether an integral float stands where only integers are allowed (which
  // coercion would change).
  bool validate_text(std::string_view json,
                     bool* has_integral_floats = nullptr) const;

  // Coerces `value` by `mode`. In Safe mode, at each subschema a value does
  // not conform to, in this order: a string holding the expected object or
  // array is decoded; at the root, a one-member object (or one-element array
  // where an object is expected) whose content conforms is unwrapped; keys
  // that match no property are snapped to the one property equal to them
  // after lowercasing ASCII and deleting ' ', '_', '-' and '.'; members and
  // items are coerced; a single value where an array is expected is wrapped;
  // scalars are converted (number text, true/false/yes/no, number or
  // boolean to string, enum spelling). Anywhere, a float with zero fraction
  // where only "integer" is allowed becomes an integer. A value that
  // conforms is otherwise left as it is.
  Coercion coerce(JsonValue value, CoerceMode mode) const;

  // A short text for a retry prompt: each mismatch and missing path with
  // what was expected there (at most ten enum values each). Empty when the
  // coercion conforms.
  std::string feedback(const Coercion& coercion) const;

  const std::vector<IgnoredKeyword>& ignored() const noexcept;

 private:
  friend class CompiledSchema;
  explicit Schema(std::shared_ptr<const detail::SchemaGraph> graph) noexcept
      : graph_(std::move(graph)) {}
  std::shared_ptr<const detail::SchemaGraph> graph_;
};

// A schema or the reason it could not be compiled.
class [[nodiscard]] CompiledSchema {
 public:
  bool ok() const noexcept { return graph_ != nullptr; }
  explicit operator bool() const noexcept { return ok(); }
  Schema schema() const noexcept { return Schema(graph_); }
  const std::string& error() const noexcept { return error_; }

 private:
  friend class Schema;
  std::shared_ptr<const detail::SchemaGraph> graph_;
  std::string error_;
};

// The text of a path for messages: "$" for the root, then ".key" or "[3]".
std::string path_text(const ValuePath& path);

}  // namespace tarnwick
