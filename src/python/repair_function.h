// The module's one function, `repair`: argument binding, conversion and
// validation, then the ladder, the value conversion and the result.
#pragma once

#include "python_api.h"

namespace tarnwick::python {

// "repair", METH_VARARGS | METH_KEYWORDS, with its text signature; static,
// lives as long as the process.
extern PyMethodDef repair_method_def;

}  // namespace tarnwick::python
