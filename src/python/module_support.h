// What every extension module of the package does the same way: filling a
// new module object, and making, refusing and allocating the instances of a
// process-wide class.
#pragma once

#include <cstddef>  // size_t

#include "py_ref.h"
#include "python_api.h"

namespace tarnwick::python {

// A new str from a NUL-terminated UTF-8 literal; panics if it cannot be made.
PyRef text(const char* utf8);

// Appends `name` to the module's __all__ (creating the list if the module
// has none), then sets the attribute. 0 on success, -1 with an error set.
int module_add(PyObject* module, PyObject* name, PyObject* value);

// A new function object for `def` (static), bound to `module` and naming it
// as its __module__. Null with an error set on failure.
PyRef module_function(PyObject* module, PyMethodDef* def);

// Adds the function of `def` under its own __name__: to __all__ as well when
// `is_public`. 0 on success, -1 with an error set.
int module_add_function(PyObject* module, PyMethodDef* def, bool is_public);

// A new class from `spec`. On failure: null with a RuntimeError set, "An
// error occurred while initializing class {name}", whose __cause__ is the
// creation error.
PyObject* create_class(PyType_Spec* spec, const char* name);

// The tp_new of a class whose instances only the module makes: always
// raises TypeError "cannot create '{module}.{qualname}' instances".
PyObject* refuse_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// Zero-filled memory for an instance of `cls`, holding a reference to the
// class, as object.__new__ makes it. Null with an error set on failure.
PyRef allocate_instance(PyObject* cls);

// The last step of a dealloc: frees `self` with its class's tp_free, then
// drops the class reference that allocate_instance took. Panics naming
// `class_name` when the class has no tp_free.
void free_instance(PyObject* self, PyTypeObject* type, const char* class_name);

// Keeps the cyclic garbage collector off while the value of a large text is
// built: objects still being read cannot form a cycle, and the collector's
// scans of them took about a third of a 1 MB read. Small texts leave it
// alone. The collector's earlier state comes back on every way out; when
// the gc module cannot be reached, nothing is paused and nothing is raised.
class CollectorPause {
 public:
  // Texts of at least this many UTF-8 bytes pause the collector.
  static constexpr std::size_t kMinBytes = 64 * 1024;

  explicit CollectorPause(std::size_t text_bytes) noexcept;
  ~CollectorPause();
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  PyRef gc_;  // the gc module while the collector is paused, else null
};

}  // namespace tarnwick::python
