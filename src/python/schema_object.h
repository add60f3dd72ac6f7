// The compiled schema as an interpreter object, and the conversions that
// schema-guided extraction shares: Python values to and from the engine's
// tree, coerce= names, and the report an Extraction keeps.
#pragma once

#include <string>  // string

#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/schema.h"
#include "tarnwick/value.h"

namespace tarnwick::python {

// The process-wide class "tarnwick._CompiledSchema": a Schema, immutable,
// made only by _compile_schema. tarnwick.Schema (Python) wraps one.
extern SharedClass compiled_schema_class;

// "_compile_schema(text, /)": the compiled schema, or ValueError naming what
// could not be read. Static.
extern PyMethodDef compile_schema_method_def;

// The engine schema of `object`: a _CompiledSchema, an object whose `_core`
// is one (tarnwick.Schema), or any source tarnwick.Schema accepts, compiled
// now. `holder` keeps the object alive while the pointer is used. Null with
// TypeError or ValueError set.
const Schema* schema_argument(PyObject* object, PyRef& holder);

// None gives Safe; "none", "safe" or "lenient" their mode. False with
// ValueError (or TypeError) set otherwise.
bool convert_coerce_mode(PyObject* object, CoerceMode& out);

// A new object for an engine value: dict, list, str, int, float, bool, None.
// Panics when the interpreter cannot make one.
PyRef python_value(const JsonValue& value);

// The engine value of a JSON-shaped object (dict with str keys, list or
// tuple, str, int below 2^64 in magnitude, finite float, bool, None). False
// with TypeError set (ValueError when nested too deeply).
bool engine_value(PyObject* object, JsonValue& out);

// Applies `schema` to the value an extraction found, given as its object
// and canonical text: both are replaced when coercion changes the value. A
// fallback is not coerced and never conforms. The report, or null with an
// error set.
PyRef apply_schema(const Schema& schema, CoerceMode mode, bool fallback,
                   PyRef& value, std::string& json);

// The report an Extraction keeps: (conforms, issues, missing, feedback,
// changed) with issues a tuple of tarnwick.SchemaIssue records.
PyRef schema_report(const Schema& schema, const Coercion& coercion);

}  // namespace tarnwick::python
