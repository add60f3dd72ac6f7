// The Stream class: the engine's push parser over interpreter objects. It
// turns each chunk's events into StreamEvent objects and keeps the value as
// interpreter objects, so that a snapshot copies only the open containers
// and shares every completed one.
#pragma once

#include "module_support.h"

namespace tarnwick::python {

// The process-wide class (see SharedClass).
extern SharedClass stream_class;

}  // namespace tarnwick::python
