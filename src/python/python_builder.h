// Builds interpreter objects straight from the strict reader, so a document
// that a strict rung reads becomes the result's value in the same pass, with
// no engine tree to build, convert and free.
#pragma once

#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "json/reader_impl.h"
#include "key_cache.h"
#include "module_support.h"  // text_object
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/value.h"

namespace tarnwick::python {

// The builder of the ladder (repair/ladder.h) over owned references: the
// objects the standard library's decoder makes. An object the interpreter
// cannot create panics; a dict store is the one failure that is the
// conversion's own (a ValueError for the caller): the builder keeps the
// interpreter's exception, stops every later strict read and makes None of
// what the tolerant parser still asks for. Needs the GIL.
class PythonBuilder {
 public:
  using Value = PyRef;
  using Key = PyRef;
  using MemberStack = std::vector<tarnwick::detail::Member<PyRef, PyRef>>;

  bool failed() const noexcept { return failed_; }
  static bool is_null(const PyRef& value) noexcept {
    return value.get() == Py_None;
  }
  // Once failed(): sets the kept exception again as ValueError
  // "{class qualname}: {str(exception)}", as repair() raises it.
  void raise_kept_error();

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
    out = keys_ != nullptr ? keys_->get(utf8) : text_object(utf8);
    return true;
  }
  // Keys come from `cache` (not owned; null: each key a new str) from now on.
  void share_keys(KeyCache* cache) noexcept { keys_ = cache; }
  bool array_value(std::vector<PyRef>& stack, std::size_t base, PyRef& out);
  bool object_value(MemberStack& stack, std::size_t base, PyRef& out,
                    bool& repeated);

 private:
  bool failed_ = false;
  KeyCache* keys_ = nullptr;
  PyRef error_type_;  // the failed store's exception

  PyRef error_value_;
  PyRef error_traceback_;
};

}  // namespace tarnwick::python
