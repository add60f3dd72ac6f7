#include "stream_event.h"

#include <cstddef>  // offsetof
#include <string>   // string

#include "guard.h"

namespace tarnwick::python {
namespace {

struct EventObject {
  PyObject ob_base;
  PyObject* path;    // owned tuple, or null until first asked for
  PyObject* parent;  // owned: the parent's path and the step, until then
  PyObject* step;
  PyObject* value;  // owned
  StreamEventKind kind;
};

EventObject* as_event(PyObject* self) noexcept {
  return reinterpret_cast<EventObject*>(self);
}

// The kind's name, as `kind` gives it: made on access, so that a stream
// whose events are only counted makes no name for them.
const char* kind_name(StreamEventKind kind) noexcept {
  switch (kind) {
    case StreamEventKind::Open:
      return "open";
    case StreamEventKind::Complete:
      return "complete";
    case StreamEventKind::Append:
      return "append";
  }
  return "?";
}

// The path, made from the parent's and the step on first use. Borrowed;
// panics when it cannot be made.
PyObject* path_of(EventObject* e) {
  if (e->path != nullptr) return e->path;
  e->path = path_with_step(e->parent, e->step).release();
  Py_CLEAR(e->parent);
  Py_CLEAR(e->step);
  return e->path;
}

PyObject* get_path(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return PyRef::borrow(path_of(as_event(self))).release();
  });
}

PyObject* get_kind(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return require_object(
               PyUnicode_InternFromString(kind_name(as_event(self)->kind)))
        .release();
  });
}

void event_dealloc(PyObject* self) {
  guard_void([&] {
    EventObject* e = as_event(self);
    Py_XDECREF(e->path);
    Py_XDECREF(e->parent);
    Py_XDECREF(e->step);
    Py_XDECREF(e->value);
    free_instance(self, Py_TYPE(self), "StreamEvent");
  });
}

// StreamEvent(kind='append', path=('a', 0), value='text')
PyObject* event_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    EventObject* e = as_event(self);
    return PyUnicode_FromFormat("StreamEvent(kind='%s', path=%R, value=%R)",
                                kind_name(e->kind), path_of(e), e->value);
  });
}

// Equal when the kind is and the path and value compare equal; other
// comparisons and types are left to the other operand.
PyObject* event_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) {
      return PyRef::borrow(Py_NotImplemented).release();
    }
    EventObject* a = as_event(self);
    EventObject* b = as_event(other);
    int equal = a->kind == b->kind;
    if (equal) {
      equal = PyObject_RichCompareBool(path_of(a), path_of(b), Py_EQ);
    }
    if (equal == 1) {
      equal = PyObject_RichCompareBool(a->value, b->value, Py_EQ);
    }
    if (equal < 0) return nullptr;
    return bool_object((equal == 1) == (op == Py_EQ)).release();
  });
}

PyMemberDef event_members[] = {
    {"value", T_OBJECT_EX, offsetof(EventObject, value), READONLY,
     "\"open\": an empty list or dict; \"complete\": the value, shared "
     "with\nlater snapshots; \"append\": the text appended."},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef event_getset[] = {
    {"path", get_path, nullptr,
     "Where the change is: a tuple of keys and indices from the top value.",
     nullptr},
    {"kind", get_kind, nullptr,
     "\"open\" (a container opened), \"complete\" (a value completed) or\n"
     "\"append\" (text appended to the open string).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot event_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("One change of a Stream's value: (kind, path, value). "
                       "Immutable; compares\nequal field by field.")},
    {Py_tp_repr, reinterpret_cast<void*>(event_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(event_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_members, event_members},
    {Py_tp_getset, event_getset},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(event_dealloc)},
    {0, nullptr},
};

}  // namespace

PyRef path_with_step(PyObject* parent, PyObject* step) {
  const Py_ssize_t n = PyTuple_Size(parent);
  PyRef path = require_object(PyTuple_New(n + 1));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyTuple_GetItem(parent, i);  // borrowed
    Py_INCREF(item);
    PyTuple_SetItem(path.get(), i, item);  // cannot fail: a fresh tuple
  }
  Py_INCREF(step);
  PyTuple_SetItem(path.get(), n, step);
  return path;
}

SharedClass stream_event_class("tarnwick.StreamEvent", sizeof(EventObject),
                               event_slots);

PyRef new_stream_event(StreamEventKind kind, PyRef path, PyRef parent,
                       PyRef step, PyRef value) {
  // Straight from the allocator: events are made by the thousand.
  auto* type = reinterpret_cast<PyTypeObject*>(stream_event_class.get());
  PyRef instance(type ? PyType_GenericAlloc(type, 0) : nullptr);
  if (!instance) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not make a StreamEvent");
  }
  EventObject* e = as_event(instance.get());
  e->path = path.release();
  e->parent = parent.release();
  e->step = step.release();
  e->value = value.release();
  e->kind = kind;
  return instance;
}

}  // namespace tarnwick::python
