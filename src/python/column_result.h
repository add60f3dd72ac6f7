// The RepairedColumn class: the results of repair_column, held as column
// buffers outside the interpreter's objects, handed out through the Arrow
// PyCapsule interface or as Python lists, and pickled as its buffers.
#pragma once

#include "column/column_work.h"
#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"

namespace tarnwick::python {

using tarnwick::detail::ColumnRef;

// The process-wide class (see SharedClass).
extern SharedClass repaired_column_class;

// A new instance sharing `data`. Null with the interpreter's exception set
// if it cannot be made.
PyRef new_repaired_column(ColumnRef data);

// "_rebuild_column(has_fixes, offsets, json, strategy, fixes)",
// METH_VARARGS: what RepairedColumn.__reduce__ names; checks the buffers
// before it trusts them. Static, lives as long as the process.
extern PyMethodDef rebuild_column_method_def;

}  // namespace tarnwick::python
