// The functions `extract` and `loads`: argument binding and conversion, the
// extraction search over interpreter objects, then the Extraction (or just
// its value).
#pragma once

#include "python_api.h"

namespace tarnwick::python {

// "extract", "extract_all" and "loads", METH_VARARGS | METH_KEYWORDS, with
// their text signatures; static, live as long as the process.
extern PyMethodDef extract_method_def;
extern PyMethodDef extract_all_method_def;
extern PyMethodDef loads_method_def;

}  // namespace tarnwick::python
