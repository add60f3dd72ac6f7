// The Extraction class: an immutable record of one extraction, and the
// function that pickles rebuild it with.
#pragma once

#include <string>  // string

#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/lenient.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {

// The process-wide class (see SharedClass).
extern SharedClass extraction_class;

// What an instance holds; `ok` follows from the strategy.
struct ExtractionFields {
  PyRef value;
  std::string json;  // canonical compact text of `value`
  Strategy strategy = Strategy::Fallback;
  FixSet fixes = 0;
  Py_ssize_t span_begin = 0;  // code points of the input: [begin, end)
  Py_ssize_t span_end = 0;
  bool guessed = false;  // see Extraction::guessed
  bool changed = true;   // false: read as it stood (read_as_it_stood)
  // With a schema: (conforms, issues, missing, feedback, changed) as
  // schema_report makes it; null without one.
  PyRef schema_report;
};

// A new instance that takes over the value and the json text of `fields`.
// Null with the interpreter's exception set if the instance cannot be made;
// then nothing is left behind.
PyRef new_extraction(ExtractionFields& fields);

// "_rebuild_extraction(value, json, strategy, fixes, span, guessed, changed,
// report)",
// METH_VARARGS:
// what Extraction.__reduce__ names, so that an unpickled instance is made
// from the fields alone; validates them. Static, lives as long as the
// process.
extern PyMethodDef rebuild_extraction_method_def;

}  // namespace tarnwick::python
