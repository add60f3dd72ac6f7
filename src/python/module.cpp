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

// The module's own version. Its surface does not change from one release of
// the package to the next, and neither does this; the package's version is
// tarnwick.__version__.
constexpr const char* kModuleVersion = "0.1.1";

// Runs once for every new module object; the class is shared by all of them.
int module_exec(PyObject* module) {
  return guarded(-1, [&] {
    if (repair_result_class.add_to(module) != 0) return -1;
    if (module_add_function(module, &repair_method_def, true) != 0) return -1;

    return module_add(module, text_object("__version__").get(),
                      text_object(kModuleVersion).get());
  });
}

ModuleDefinition module_def("_tarnwick", module_exec);

}  // namespace
}  // namespace tarnwick::python

// Multi-phase initialisation: hands out the definition and does nothing else.
PyMODINIT_FUNC PyInit__tarnwick(void) {
  return tarnwick::python::module_def.init();
}
