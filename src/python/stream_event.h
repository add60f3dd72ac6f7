// The StreamEvent class: an immutable record (kind, path, value) of how a
// stream's value changed.
#pragma once

#include "module_support.h"
#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/stream.h"

namespace tarnwick::python {

// The process-wide class (see SharedClass).
extern SharedClass stream_event_class;

// A new tuple: the items of the tuple `parent`, then `step`.
PyRef path_with_step(PyObject* parent, PyObject* step);

// A new event; takes over `value` and either `path` (a tuple) or, when that
// is null, `parent` (a tuple) and `step`, of which the event makes its path
// when first asked. Panics when it cannot be made.
PyRef new_stream_event(StreamEventKind kind, PyRef path, PyRef parent,
                       PyRef step, PyRef value);

}  // namespace tarnwick::python
