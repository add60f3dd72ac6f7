// The extension module `_tarnwick`: its definition, the execution step that
// fills each new module object, and the one exported symbol.
#include "guard.h"
#include "py_ref.h"
#include "python_api.h"
#include "repair_function.h"
#include "repair_result.h"

namespace tarnwick::python {
namespace {

// Appends `name` to the module's __all__ (creating the list if the module
// has none), then sets the attribute. 0 on success, -1 with an error set.
int module_add(PyObject* module, PyObject* name, PyObject* value) {
  PyRef all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = require_object(PyList_New(0));
    if (PyObject_SetAttrString(module, "__all__", all.get()) != 0) return -1;
  }
  if (!PyList_Check(all.get())) {
    PyErr_SetString(PyExc_TypeError, "__all__ is not a list");
    return -1;
  }
  if (PyList_Append(all.get(), name) != 0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not append __name__ to __all__");
  }
  return PyObject_SetAttr(module, name, value);
}

PyRef text(const char* utf8) {
  return require_object(PyUnicode_FromString(utf8));
}

// Runs once for every new module object; the class is shared by all of them.
int module_exec(PyObject* module) {
  return guarded(-1, [&] {
    PyObject* cls = repair_result_class();  // borrowed
    if (cls == nullptr) return -1;
    if (module_add(module, text("RepairResult").get(), cls) != 0) return -1;

    PyRef function;
    {
      PyRef module_name(PyModule_GetNameObject(module));
      if (!module_name) return -1;
      function.reset(
          PyCFunction_NewEx(&repair_method_def, module, module_name.get()));
      if (!function) return -1;
    }
    PyRef function_name(PyObject_GetAttrString(function.get(), "__name__"));
    if (!function_name) return -1;
    if (!PyUnicode_Check(function_name.get())) {
      PyErr_SetString(PyExc_TypeError, "__name__ of repair is not a str");
      return -1;
    }
    if (module_add(module, function_name.get(), function.get()) != 0) {
      return -1;
    }

    return module_add(module, text("__version__").get(),
                      text(TARNWICK_VERSION).get());
  });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_tarnwick",
    "",  // __doc__ is the empty string, not None
    0,   // no per-module state
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace tarnwick::python

// Multi-phase initialisation: hands out the definition and does nothing else.
PyMODINIT_FUNC PyInit__tarnwick(void) {
  return PyModuleDef_Init(&tarnwick::python::module_def);
}
