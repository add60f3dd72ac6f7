// JSON values as the native objects the standard library's decoder builds.
#pragma once

#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/value.h"

namespace tarnwick::python {

// Converts `value` (read only) into a new tree of None, bool, int, float, str,
// list and dict; numbers keep their kind, dicts keep entry order. Needs the
// GIL. Returns the owned object, or null with the interpreter's exception
// pending when a dict store failed (the caller reports it). An object the
// interpreter fails to create is an internal failure (panics). Recursion is
// bounded by the readers' depth limits, so no interpreter recursion check.
PyRef value_to_python(const JsonValue& value);

}  // namespace tarnwick::python
