#include "value_to_python.h"

#include <cstddef>  // size_t
#include <utility>  // move
#include <vector>   // vector

#include "python_builder.h"

namespace tarnwick::python {
namespace {

// Hands a tree to the builder depth first, as the readers hand it text, so
// that the objects of every rung are made in one place.
class TreeFeeder {
 public:
  explicit TreeFeeder(PythonBuilder& builder) noexcept : builder_(builder) {}

  PyRef feed(const JsonValue& value) {
    PyRef out;
    switch (value.kind()) {
      case ValueKind::Null:
        builder_.null_value(out);
        break;
      case ValueKind::Bool:
        builder_.bool_value(value.as_bool(), out);
        break;
      case ValueKind::Number:
        builder_.number_value(value.as_number(), out);
        break;
      case ValueKind::String:
        builder_.string_value(value.as_string(), out);
        break;
      case ValueKind::Array: {
        const std::size_t base = items_.size();
        for (const JsonValue& item : value.as_array()) {
          items_.push_back(feed(item));
        }
        builder_.array_value(items_, base, out);
        break;
      }
      case ValueKind::Object: {
        const std::size_t base = members_.size();
        for (const JsonObject::Entry& entry : value.as_object()) {
          PyRef key;
          builder_.key(entry.key, key);
          PyRef item = feed(entry.value);
          members_.emplace_back(std::move(key), std::move(item));
        }
        bool repeated = false;  // a JsonObject holds each key once
        builder_.object_value(members_, base, out, repeated);
        break;
      }
    }
    return out;
  }

 private:
  PythonBuilder& builder_;
  std::vector<PyRef> items_;
  PythonBuilder::MemberStack members_;
};

}  // namespace

PyRef value_to_python(const JsonValue& value) {
  PythonBuilder builder;
  PyRef out = TreeFeeder(builder).feed(value);
  if (builder.failed()) {
    builder.restore_error();
    return PyRef();
  }
  return out;
}

}  // namespace tarnwick::python
