// The extension module `_tarnwick`: its definition, the execution step that
// fills each new module object, and the one exported symbol.
#include "guard.h"
#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "repair_function.h"
#include "repair_result.h"

namespace tarnwick::python {
namespace {

// Runs once for every new module object; the class is shared by all of them.
int module_exec(PyObject* module) {
  return guarded(-1, [&] {
    PyObject* cls = repair_result_class();  // borrowed
    if (cls == nullptr) return -1;
    if (module_add(module, text("RepairResult").get(), cls) != 0) return -1;

    if (module_add_function(module, &repair_method_def, true) != 0) return -1;

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
