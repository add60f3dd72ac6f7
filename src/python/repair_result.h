// The RepairResult class: an immutable record of one repair.
#pragma once

#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {

// Borrowed reference to the process-wide class, created on first use and
// never released. On a failed creation: null with a RuntimeError set whose
// __cause__ is the creation error.
PyObject* repair_result_class();

// A new instance holding `outcome`'s json text (moved out), a copy of its
// strategy name, its flags and `value` (a new reference, taken over in every
// case). Null with the interpreter's exception set if the instance cannot be
// made; then nothing is left behind.
PyRef new_repair_result(RepairOutcome& outcome, PyRef value);

}  // namespace tarnwick::python
