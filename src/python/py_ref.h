// An owned PyObject* that is released when it goes out of scope.
#pragma once

#include "python_api.h"

namespace tarnwick::python {

// Holds one strong reference, or none. Moving transfers it; `release()` hands
// it to a call that steals references.
class PyRef {
 public:
  PyRef() noexcept = default;
  // Takes over a new reference (or null).
  explicit PyRef(PyObject* owned) noexcept : ptr_(owned) {}
  PyRef(PyRef&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
  PyRef& operator=(PyRef&& other) noexcept {
    if (this != &other) {
      reset(other.ptr_);
      other.ptr_ = nullptr;
    }
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_XDECREF(ptr_); }

  // A new reference to a borrowed object.
  static PyRef borrow(PyObject* borrowed) noexcept {
    Py_XINCREF(borrowed);
    return PyRef(borrowed);
  }

  PyObject* get() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

  [[nodiscard]] PyObject* release() noexcept {
    PyObject* p = ptr_;
    ptr_ = nullptr;
    return p;
  }
  void reset(PyObject* owned = nullptr) noexcept {
    PyObject* old = ptr_;
    ptr_ = owned;
    Py_XDECREF(old);
  }

 private:
  PyObject* ptr_ = nullptr;
};

}  // namespace tarnwick::python
