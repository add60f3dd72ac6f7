#include "guard.h"

#include <cstdio>     // fprintf, stderr
#include <cstdlib>    // abort
#include <exception>  // exception, rethrow_exception, current_exception

namespace tarnwick::python {
namespace {

constexpr const char* kPanicDoc =
    "Raised when native code called from Python fails in a way it treats as "
    "impossible\n(an internal failure, or panic).\n\n"
    "It derives from BaseException, not Exception, so that `except "
    "Exception` does not\ncatch it: it propagates all the way up the stack "
    "and makes the interpreter exit.";

[[noreturn]] void abort_uncaught() noexcept {
  std::fputs("uncaught panic at ffi boundary\n", stderr);
  std::fflush(stderr);
  std::abort();
}

void report(const std::string& message,
            const std::source_location& where) noexcept {
  std::fprintf(stderr, "tarnwick: internal failure at %s:%u (%s): %s\n",
               where.file_name(), static_cast<unsigned>(where.line()),
               where.function_name(), message.c_str());
  std::fflush(stderr);
}

// Borrowed; created on first use and kept for the rest of the process.
PyObject* panic_exception_class() noexcept {
  static PyObject* cls = nullptr;
  if (cls == nullptr) {
    cls = PyErr_NewExceptionWithDoc("native_runtime.PanicException", kPanicDoc,
                                    PyExc_BaseException, nullptr);
    if (cls == nullptr) abort_uncaught();
  }
  return cls;
}

void raise_panic(const std::string& message) noexcept {
  PyErr_Clear();
  PyObject* cls = panic_exception_class();
  PyRef text(PyUnicode_FromStringAndSize(
      message.data(), static_cast<Py_ssize_t>(message.size())));
  if (!text) abort_uncaught();
  PyRef instance(PyObject_CallFunctionObjArgs(cls, text.get(), nullptr));
  if (!instance) abort_uncaught();
  PyErr_SetObject(cls, instance.get());
}

}  // namespace

void panic(std::string message, std::source_location where) {
  report(message, where);
  throw InternalFailure(std::move(message));
}

PyRef require_object(PyObject* created, std::source_location where) {
  if (created == nullptr) {
    PyErr_WriteUnraisable(nullptr);
    panic("PyObject pointer is null", where);
  }
  return PyRef(created);
}

namespace detail {

void set_panic_for_current_exception(std::source_location where) noexcept {
  try {
    try {
      std::rethrow_exception(std::current_exception());
    } catch (const InternalFailure& failure) {
      raise_panic(failure.message());  // reported where it was thrown
    } catch (const std::exception& e) {
      std::string message = e.what();
      report(message, where);
      raise_panic(message);
    } catch (...) {
      std::string message = "unknown internal failure";
      report(message, where);
      raise_panic(message);
    }
  } catch (...) {
    abort_uncaught();  // e.g. std::bad_alloc while copying the message
  }
}

}  // namespace detail
}  // namespace tarnwick::python
