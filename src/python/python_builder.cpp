#include "python_builder.h"

#include <climits>  // LONG_MAX
#include <cstdint>  // INT64_MAX

#include "guard.h"
#include "module_support.h"

namespace tarnwick::python {
namespace {

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

}  // namespace

bool PythonBuilder::number_value(const JsonNumber& n, PyRef& out) {
  out = number_to_python(n);
  return true;
}

bool PythonBuilder::string_value(std::string_view utf8, PyRef& out) {
  out = text_object(utf8);
  return true;
}

bool PythonBuilder::array_value(std::vector<PyRef>& stack, std::size_t base,
                                PyRef& out) {
  const std::size_t n = stack.size() - base;
  PyRef list = require_object(PyList_New(static_cast<Py_ssize_t>(n)));
  for (std::size_t i = 0; i < n; ++i) {
    // PyList_SetItem takes the reference even when it fails.
    if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i),
                       stack[base + i].release()) != 0) {
      PyErr_WriteUnraisable(nullptr);
      panic("could not store a list item");
    }
  }
  stack.resize(base);
  out = std::move(list);
  return true;
}

bool PythonBuilder::object_value(MemberStack& stack, std::size_t base,
                                 PyRef& out, bool& repeated) {
  const std::size_t n = stack.size() - base;
  if (failed()) {  // keep the first store's exception; the value is dropped
    stack.resize(base);
    out = PyRef::borrow(Py_None);
    return false;
  }
  PyRef dict = require_object(PyDict_New());
  for (std::size_t i = base; i < stack.size(); ++i) {
    if (PyDict_SetItem(dict.get(), stack[i].key.get(), stack[i].value.get()) !=
        0) {
      PyObject *type, *value, *traceback;
      PyErr_Fetch(&type, &value, &traceback);
      PyErr_NormalizeException(&type, &value, &traceback);
      error_type_.reset(type);
      error_value_.reset(value);
      error_traceback_.reset(traceback);
      failed_ = true;
      stack.resize(base);
      out = PyRef::borrow(Py_None);
      return false;
    }
  }
  // A repeated key replaced its first value in place, as JsonObject does.
  repeated = static_cast<std::size_t>(PyDict_Size(dict.get())) != n;
  stack.resize(base);
  out = std::move(dict);
  return true;
}

void PythonBuilder::raise_kept_error() {
  PyRef qualname(error_type_
                     ? PyObject_GetAttrString(error_type_.get(), "__qualname__")
                     : nullptr);
  if (!qualname) {
    PyErr_Clear();
    qualname = require_object(PyUnicode_FromString("<unknown>"));
  }
  PyRef text(error_value_ ? PyObject_Str(error_value_.get()) : nullptr);
  if (text) {
    PyErr_Format(PyExc_ValueError, "%S: %S", qualname.get(), text.get());
  } else {
    PyErr_Clear();
    PyErr_Format(PyExc_ValueError, "%S: <exception str() failed>",
                 qualname.get());
  }
}

}  // namespace tarnwick::python
