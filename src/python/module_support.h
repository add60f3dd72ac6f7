// What every extension module of the package does the same way: defining
// and filling a module object, and making, refusing and allocating the
// instances of a process-wide class.
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // string_view

#include "py_ref.h"
#include "python_api.h"

namespace tarnwick::python {

// A new str from UTF-8 text; panics if it cannot be made.
PyRef text_object(std::string_view utf8);

// A new reference to True or False.
PyRef bool_object(bool b) noexcept;

// Appends `name` to the module's __all__ (creating the list if the module
// has none), then sets the attribute. 0 on success, -1 with an error set.
int module_add(PyObject* module, PyObject* name, PyObject* value);

// A new function object for `def` (static), bound to `module` and naming it
// as its __module__. Null with an error set on failure.
PyRef module_function(PyObject* module, PyMethodDef* def);

// Adds the function of `def` under its own __name__: to __all__ as well when
// `is_public`. 0 on success, -1 with an error set.
int module_add_function(PyObject* module, PyMethodDef* def, bool is_public);

// The definition of a module whose every new object `exec` fills, with
// `state_size` bytes of zero-filled state (none by default) that `free`
// releases when the module object goes; __doc__ the empty string (not
// None). Static, as the interpreter keeps pointers into it.
class ModuleDefinition {
 public:
  ModuleDefinition(const char* name, int (*exec)(PyObject*),
                   Py_ssize_t state_size = 0, freefunc free = nullptr) noexcept
      : slots_{{Py_mod_exec, reinterpret_cast<void*>(exec)}, {0, nullptr}},
        def_{PyModuleDef_HEAD_INIT,
             name,
             "",
             state_size,
             nullptr,
             slots_,
             nullptr,
             nullptr,
             free} {}
  ModuleDefinition(const ModuleDefinition&) = delete;
  ModuleDefinition& operator=(const ModuleDefinition&) = delete;

  // What PyInit_{name} returns under multi-phase initialisation.
  PyObject* init() noexcept { return PyModuleDef_Init(&def_); }

 private:
  PyModuleDef_Slot slots_[2];
  PyModuleDef def_;
};

// A process-wide class shared by every module object and every call,
// created from `slots` on first use and never released. Its flags are the
// default ones: no subclassing, and no cyclic GC, as an instance never
// refers back to anything that owns it. `name` is qualified
// ("tarnwick.RepairResult").
class SharedClass {
 public:
  constexpr SharedClass(const char* name, std::size_t basicsize,
                        PyType_Slot* slots) noexcept
      : spec_{name, static_cast<int>(basicsize), 0, Py_TPFLAGS_DEFAULT, slots} {
  }
  SharedClass(const SharedClass&) = delete;
  SharedClass& operator=(const SharedClass&) = delete;

  // Borrowed reference to the class. On a failed creation: null with a
  // RuntimeError set, "An error occurred while initializing class {short
  // name}", whose __cause__ is the creation error.
  PyObject* get();

  // Adds the class to `module` and its __all__ under its short name. 0 on
  // success, -1 with an error set.
  int add_to(PyObject* module);

  // Zero-filled memory for an instance, holding a reference to the class,
  // as object.__new__ makes it. Null with an error set on failure; panics
  // when the class cannot be made, which the module's exec step already did.
  PyRef new_instance();

 private:
  const char* short_name() const noexcept;

  PyType_Spec spec_;
  PyObject* type_ = nullptr;
};

// The tp_new of a class whose instances only the module makes: always
// raises TypeError "cannot create '{module}.{qualname}' instances".
PyObject* refuse_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// The last step of a dealloc: frees `self` with its class's tp_free, then
// drops the class reference that new_instance took. Panics naming
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
