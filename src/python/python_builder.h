// Builds interpreter objects straight from the strict reader, so a document
// that a strict rung reads becomes the result's value in the same pass, with
// no engine tree to build, convert and free.
#pragma once

#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "json/reader_impl.h"
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/value.h"

namespace tarnwick::python {

// The builder of the ladder (repair/ladder.h) over owned references: the
// objects the standard library's decoder makes. An object the interpreter
// cannot create panics; only a dict store can fail short of that, and then
// the builder keeps the interpreter's exception, stops every later strict
// read and makes None of what the tolerant parser still asks for. Needs the
// GIL.
class PythonBuilder {
 public:
  using Value = PyRef;
  using Key = PyRef;
  using MemberStack = std::vector<tarnwick::detail::Member<PyRef, PyRef>>;

  PythonBuilder() noexcept = default;
  PythonBuilder(const PythonBuilder&) = delete;
  PythonBuilder& operator=(const PythonBuilder&) = delete;
  ~PythonBuilder();

  bool failed() const noexcept { return failed_; }
  static bool is_null(const PyRef& value) noexcept {
    return value.get() == Py_None;
  }
  // Makes the kept exception the pending one again (once failed()).
  void restore_error() noexcept;

  bool null_value(PyRef& out) noexcept {
    out = PyRef::borrow(Py_None);
    return true;
  }
  bool bool_value(bool b, PyRef& out) noexcept {
    out = PyRef::borrow(b ? Py_True : Py_False);
    return true;
  }
  bool number_value(const JsonNumber& n, PyRef& out);
  bool string_value(std::string_view utf8, PyRef& out);
  bool key(std::string_view utf8, PyRef& out) {
    return string_value(utf8, out);
  }
  bool array_value(std::vector<PyRef>& stack, std::size_t base, PyRef& out);
  bool object_value(MemberStack& stack, std::size_t base, PyRef& out,
                    bool& repeated);

 private:
  bool failed_ = false;
  PyObject* error_type_ = nullptr;  // the failed store's exception, owned
  PyObject* error_value_ = nullptr;
  PyObject* error_traceback_ = nullptr;
};

}  // namespace tarnwick::python
