#include "stream_event.h"

#include <cstddef>  // offsetof
#include <string>   // string

#include "guard.h"

namespace tarnwick::python {
namespace {

struct EventObject {
  PyObject ob_base;
  PyObject* path;   // owned tuple
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
    Py_XDECREF(e->value);
    free_instance(self, Py_TYPE(self), "StreamEvent");
  });
}

// StreamEvent(kind='append', path=('a', 0), value='text')
PyObject* event_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const EventObject* e = as_event(self);
    return PyUnicode_FromFormat("StreamEvent(kind='%s', path=%R, value=%R)",
                                kind_name(e->kind), e->path, e->value);
  });
}

// Equal when the kind is and the path and value compare equal; other
// comparisons and types are left to the other operand.
PyObject* event_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) {
      return PyRef::borrow(Py_NotImplemented).release();
    }
    const EventObject* a = as_event(self);
    const EventObject* b = as_event(other);
    int equal = a->kind == b->kind;
    if (equal) equal = PyObject_RichCompareBool(a->path, b->path, Py_EQ);
    if (equal == 1) {
      equal = PyObject_RichCompareBool(a->value, b->value, Py_EQ);
    }
    if (equal < 0) return nullptr;
    return bool_object((equal == 1) == (op == Py_EQ)).release();
  });
}

PyMemberDef event_members[] = {
    {"path", T_OBJECT_EX, offsetof(EventObject, path), READONLY,
     "Where the change is: a tuple of keys and indices from the top "
     "value."},
    {"value", T_OBJECT_EX, offsetof(EventObject, value), READONLY,
     "\"open\": an empty list or dict; \"complete\": the value, shared "
     "with\nlater snapshots; \"append\": the text appended."},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef event_getset[] = {
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

SharedClass stream_event_class("tarnwick.StreamEvent", sizeof(EventObject),
                               event_slots);

PyRef new_stream_event(StreamEventKind kind, PyRef path, PyRef value) {
  // Straight from the allocator: events are made by the thousand.
  auto* type = reinterpret_cast<PyTypeObject*>(stream_event_class.get());
  PyRef instance(type ? PyType_GenericAlloc(type, 0) : nullptr);
  if (!instance) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not make a StreamEvent");
  }
  EventObject* e = as_event(instance.get());
  e->path = path.release();
  e->value = value.release();
  e->kind = kind;
  return instance;
}

}  // namespace tarnwick::python
