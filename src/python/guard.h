// The internal-failure guard. Every function that the interpreter calls into
// the module runs inside one: a condition the module treats as impossible
// (an object the interpreter failed to create, a broken engine invariant, an
// escaped std::bad_alloc) becomes the process-wide PanicException instead of
// a crash.
#pragma once

#include <source_location>  // source_location
#include <string>           // string
#include <utility>          // move

#include "py_ref.h"
#include "python_api.h"

namespace tarnwick::python {

// Thrown inside an entry point and caught only by its guard. The failure has
// already been reported on stderr when this is thrown.
class InternalFailure {
 public:
  explicit InternalFailure(std::string message) noexcept
      : message_(std::move(message)) {}
  const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

// Reports `message` with the location on stderr, then throws InternalFailure.
[[noreturn]] void panic(
    std::string message,
    std::source_location where = std::source_location::current());

// Takes over a new reference that the interpreter had to create. On null,
// passes the pending exception to PyErr_WriteUnraisable and panics with
// "PyObject pointer is null".
PyRef require_object(PyObject* created, std::source_location where =
                                            std::source_location::current());

namespace detail {
// From inside a catch block: sets PanicException for the exception being
// handled. Aborts the process if even that fails.
void set_panic_for_current_exception(std::source_location where) noexcept;
}  // namespace detail

// Runs `body` for an entry point that reports failure by its return value:
// `on_failure` is what it returns with the exception set (nullptr for
// functions returning an object, -1 for module_exec).
template <class Result, class Body>
Result guarded(
    Result on_failure, Body&& body,
    std::source_location where = std::source_location::current()) noexcept {
  try {
    return body();
  } catch (...) {
    detail::set_panic_for_current_exception(where);
    return on_failure;
  }
}

// For the release function, which cannot report: a failure goes to
// PyErr_WriteUnraisable.
template <class Body>
void guard_void(Body&& body, std::source_location where =
                                 std::source_location::current()) noexcept {
  try {
    body();
  } catch (...) {
    detail::set_panic_for_current_exception(where);
    PyErr_WriteUnraisable(nullptr);
  }
}

}  // namespace tarnwick::python
