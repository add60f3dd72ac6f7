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

// A new event; takes over `path` (a tuple) and `value`. Panics when it
// cannot be made.
PyRef new_stream_event(StreamEventKind kind, PyRef path, PyRef value);

}  // namespace tarnwick::python
