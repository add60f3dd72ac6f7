#include "value_to_python.h"

#include <climits>  // LONG_MAX
#include <cstddef>  // size_t
#include <cstdint>  // INT64_MAX
#include <memory>   // unique_ptr
#include <string>   // string

#include "guard.h"

namespace tarnwick::python {

PyRef text_to_python(std::string_view text) {
  return require_object(PyUnicode_FromStringAndSize(
      text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyRef number_to_python(const JsonNumber& number) {
  switch (number.kind()) {
    case NumberKind::UnsignedInt:
      return require_object(PyLong_FromUnsignedLongLong(number.as_unsigned()));
    case NumberKind::NegativeInt:
#if LONG_MAX == INT64_MAX
      return require_object(PyLong_FromLong(number.as_negative()));
#else
      return require_object(PyLong_FromLongLong(number.as_negative()));
#endif
    case NumberKind::Float:
      return require_object(PyFloat_FromDouble(number.as_double()));
  }
  panic("invalid number kind");
}

namespace {

// The converted elements of one array until the list takes them over; on an
// early exit every reference held is released, first to last.
class PendingItems {
 public:
  explicit PendingItems(std::size_t capacity)
      : items_(new PyObject*[capacity]) {}
  PendingItems(const PendingItems&) = delete;
  PendingItems& operator=(const PendingItems&) = delete;
  ~PendingItems() {
    for (std::size_t i = next_; i < size_; ++i) Py_DECREF(items_[i]);
  }

  void push(PyRef item) noexcept { items_[size_++] = item.release(); }
  // Hands the references over, in order; the list owns them afterwards.
  void move_into(PyObject* list) {
    while (next_ < size_) {
      const Py_ssize_t index = static_cast<Py_ssize_t>(next_);
      // PyList_SetItem takes the reference even when it fails.
      const int status = PyList_SetItem(list, index, items_[next_++]);
      if (status != 0) {
        PyErr_WriteUnraisable(nullptr);
        panic("could not store a list item");
      }
    }
  }

 private:
  std::unique_ptr<PyObject*[]> items_;
  std::size_t size_ = 0;
  std::size_t next_ = 0;  // items below this index now belong to the list
};

PyRef array_to_python(const JsonArray& array) {
  const std::size_t n = array.size();
  if (n == 0) return require_object(PyList_New(0));
  PendingItems items(n);
  for (const JsonValue& element : array) {
    PyRef item = value_to_python(element);
    if (!item) return item;
    items.push(std::move(item));
  }
  PyRef list = require_object(PyList_New(static_cast<Py_ssize_t>(n)));
  items.move_into(list.get());
  return list;
}

PyRef object_to_python(const JsonObject& object) {
  PyRef dict = require_object(PyDict_New());
  for (const JsonObject::Entry& entry : object) {
    PyRef key = text_to_python(entry.key);
    PyRef item = value_to_python(entry.value);
    if (!item) return item;
    if (PyDict_SetItem(dict.get(), key.get(), item.get()) != 0) return PyRef();
  }
  return dict;
}

}  // namespace

PyRef value_to_python(const JsonValue& value) {
  switch (value.kind()) {
    case ValueKind::Null:
      return PyRef::borrow(Py_None);
    case ValueKind::Bool:
      return PyRef::borrow(value.as_bool() ? Py_True : Py_False);
    case ValueKind::Number:
      return number_to_python(value.as_number());
    case ValueKind::String:
      return text_to_python(value.as_string());
    case ValueKind::Array:
      return array_to_python(value.as_array());
    case ValueKind::Object:
      return object_to_python(value.as_object());
  }
  panic("invalid value kind");
}

}  // namespace tarnwick::python
