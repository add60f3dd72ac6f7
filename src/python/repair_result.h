// The RepairResult class: an immutable record of one repair.
#pragma once

#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {

// The process-wide class (see SharedClass).
extern SharedClass repair_result_class;

// A new instance holding `outcome`'s json text (moved out), its strategy,
// its flags and `value` (a new reference, taken over in every case). Null with
// the interpreter's exception set if the instance cannot be made; then nothing
// is left behind.
PyRef new_repair_result(RepairOutcome& outcome, PyRef value);

}  // namespace tarnwick::python
