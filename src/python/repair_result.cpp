#include "repair_result.h"

#include <cstddef>      // offsetof
#include <new>          // placement new
#include <string>       // string
#include <string_view>  // string_view
#include <type_traits>  // is_standard_layout_v
#include <utility>      // move

#include "debug_quote.h"
#include "guard.h"
#include "module_support.h"

namespace tarnwick::python {
namespace {

// Allocated (zero-filled) by the class's tp_alloc; the two texts are
// constructed in place by new_repair_result and destroyed by the release.
struct RepairResultObject {
  PyObject ob_base;
  bool ok;
  PyObject* value;  // owned, never null
  std::string json;
  bool changed;
  std::string strategy;
};
// offsetof on the `value` member needs a standard-layout struct.
static_assert(std::is_standard_layout_v<RepairResultObject>);

RepairResultObject* as_result(PyObject* self) noexcept {
  return reinterpret_cast<RepairResultObject*>(self);
}

PyRef text_object(std::string_view text) {
  return require_object(PyUnicode_FromStringAndSize(
      text.data(), static_cast<Py_ssize_t>(text.size())));
}

PyObject* new_bool(bool b) noexcept {
  PyObject* singleton = b ? Py_True : Py_False;
  Py_INCREF(singleton);
  return singleton;
}

PyObject* get_ok(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_bool(as_result(self)->ok); });
}

PyObject* get_changed(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_bool(as_result(self)->changed); });
}

PyObject* get_json(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return text_object(as_result(self)->json).release(); });
}

PyObject* get_strategy(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return text_object(as_result(self)->strategy).release();
  });
}

PyObject* repair_result_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const RepairResultObject* r = as_result(self);
    std::string text = "RepairResult(ok=";
    text += r->ok ? "True" : "False";
    text += ", strategy=";
    text += debug_quote(r->strategy);
    text += ", changed=";
    text += r->changed ? "True" : "False";
    text += ", json=";
    text += debug_quote(r->json);
    text += ")";
    return text_object(text).release();
  });
}

void repair_result_dealloc(PyObject* self) {
  guard_void([&] {
    RepairResultObject* r = as_result(self);
    PyTypeObject* type = Py_TYPE(self);
    Py_DecRef(r->value);
    r->json.~basic_string();
    r->strategy.~basic_string();
    free_instance(self, type, "RepairResult");
  });
}

PyMemberDef repair_result_members[] = {
    {"value", T_OBJECT_EX, offsetof(RepairResultObject, value), READONLY,
     "The recovered value as a native Python object (the fallback value "
     "when\n`ok` is `False`) — what `json.loads` would have produced."},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef repair_result_getset[] = {
    {"ok", get_ok, nullptr,
     "Whether a meaningful value was recovered (`False` only for fallback).",
     nullptr},
    {"json", get_json, nullptr, "Canonical JSON serialization of `value`.",
     nullptr},
    {"changed", get_changed, nullptr,
     "Whether the original text was altered to produce the result.", nullptr},
    {"strategy", get_strategy, nullptr,
     "Which ladder rung produced the result (kebab-case).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot repair_result_slots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "The result of a repair attempt. Always returned — `repair` never "
         "raises for\ninput shape (only for invalid *options*).")},
    {Py_tp_repr, reinterpret_cast<void*>(repair_result_repr)},
    {Py_tp_members, repair_result_members},
    {Py_tp_getset, repair_result_getset},
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(repair_result_dealloc)},
    {0, nullptr},
};

// No Py_TPFLAGS_BASETYPE (no subclassing) and no Py_TPFLAGS_HAVE_GC: an
// instance refers only to its value, never back to anything that owns it.
PyType_Spec repair_result_spec = {
    "tarnwick.RepairResult",
    static_cast<int>(sizeof(RepairResultObject)),
    0,
    Py_TPFLAGS_DEFAULT,
    repair_result_slots,
};

// The class shared by every module object and every call; never released.
PyObject* repair_result_type = nullptr;

}  // namespace

PyObject* repair_result_class() {
  if (repair_result_type == nullptr) {
    repair_result_type = create_class(&repair_result_spec, "RepairResult");
  }
  return repair_result_type;
}

PyRef new_repair_result(RepairOutcome& outcome, PyRef value) {
  std::string strategy(strategy_name(outcome.strategy));
  PyObject* cls = repair_result_class();
  if (cls == nullptr) {
    PyErr_WriteUnraisable(nullptr);
    panic("failed to create type object for `RepairResult`");
  }
  PyRef instance = allocate_instance(cls);
  if (!instance) return PyRef();
  RepairResultObject* r = as_result(instance.get());
  r->ok = outcome.ok;
  r->changed = outcome.changed;
  new (&r->json) std::string(std::move(outcome.json));
  new (&r->strategy) std::string(std::move(strategy));
  r->value = value.release();
  return instance;
}

}  // namespace tarnwick::python
