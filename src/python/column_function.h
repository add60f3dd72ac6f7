// The function `repair_column`: argument binding and conversion, then the
// rows of the column repaired on worker threads into a RepairedColumn.
#pragma once

#include "python_api.h"

namespace tarnwick::python {

// "repair_column", METH_VARARGS | METH_KEYWORDS, with its text signature;
// static, lives as long as the process.
extern PyMethodDef repair_column_method_def;

}  // namespace tarnwick::python
