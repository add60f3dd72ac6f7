// The extension module `_extras`: extraction of the JSON inside a text
// (`extract`, `loads`, the Extraction class) and whole columns of texts
// (`repair_column`, the RepairedColumn class), beside `_tarnwick`, whose
// surface stays as it is. Its definition, the execution step that fills
// each new module object, and the one exported symbol.
#include <cstddef>  // size_t
#include <new>      // placement new

#include "column_function.h"
#include "column_result.h"
#include "extract_function.h"
#include "extraction_result.h"
#include "guard.h"
#include "key_cache.h"
#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "schema_object.h"
#include "stream_class.h"
#include "stream_event.h"
#include "tarnwick/lenient.h"
#include "tarnwick/repair.h"  // DEFAULT_MAX_LEN

namespace tarnwick::python {
namespace {

// FIX_NAMES: every fix name, in the order `Extraction.fixes` lists them.
PyRef fix_names() {
  PyRef names = require_object(PyTuple_New(static_cast<Py_ssize_t>(FIX_COUNT)));
  for (std::size_t i = 0; i < FIX_COUNT; ++i) {
    // PyTuple_SetItem takes the reference even when it fails.
    if (PyTuple_SetItem(names.get(), static_cast<Py_ssize_t>(i),
                        text_object(fix_name(fix_at(i))).release()) != 0) {
      PyErr_WriteUnraisable(nullptr);
      panic("could not store a tuple item");
    }
  }
  return names;
}

// Runs once for every new module object; the class is shared by all of them.
int module_exec(PyObject* module) {
  return guarded(-1, [&] {
    new (&KeyCache::of(module)) KeyCache();
    if (module_add_function(module, &key_cache_method_def, false) != 0) {
      return -1;
    }
    if (extraction_class.add_to(module) != 0) return -1;
    if (module_add_function(module, &extract_method_def, true) != 0) {
      return -1;
    }
    if (module_add_function(module, &loads_method_def, true) != 0) return -1;
    if (module_add_function(module, &extract_all_method_def, true) != 0) {
      return -1;
    }
    if (module_add_function(module, &rebuild_extraction_method_def, false) !=
        0) {
      return -1;
    }
    if (module_add_function(module, &compile_schema_method_def, false) != 0) {
      return -1;
    }
    if (repaired_column_class.add_to(module) != 0) return -1;
    if (module_add_function(module, &repair_column_method_def, true) != 0) {
      return -1;
    }
    if (module_add_function(module, &rebuild_column_method_def, false) != 0) {
      return -1;
    }
    if (stream_class.add_to(module) != 0) return -1;
    if (stream_event_class.add_to(module) != 0) return -1;
    // The default size limit, written once in the engine, for the command
    // line and the tests.
    PyRef max_len = require_object(PyLong_FromUnsignedLongLong(
        static_cast<unsigned long long>(DEFAULT_MAX_LEN)));
    if (PyObject_SetAttrString(module, "DEFAULT_MAX_LEN", max_len.get()) != 0) {
      return -1;
    }
    return PyObject_SetAttrString(module, "FIX_NAMES", fix_names().get());
  });
}

// The key cache goes with the module object that holds it.
void module_free(void* module) {
  KeyCache::of(static_cast<PyObject*>(module)).clear();
}

ModuleDefinition module_def("_extras", module_exec, sizeof(KeyCache),
                            module_free);

}  // namespace
}  // namespace tarnwick::python

// Multi-phase initialisation: hands out the definition and does nothing else.
PyMODINIT_FUNC PyInit__extras(void) {
  return tarnwick::python::module_def.init();
}
