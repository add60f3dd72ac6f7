// What RepairResult and Extraction instances both hold and show: the value,
// its json text, the strategy and the ok and changed flags.
#pragma once

#include <string>       // string
#include <type_traits>  // is_standard_layout_v

#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {

// The head of both instance layouts. Allocated zero-filled by tp_alloc; the
// json text is constructed in place by init_result and destroyed by
// result_dealloc.
struct ResultObject {
  PyObject ob_base;
  PyObject* value;  // owned, never null
  std::string json;
  Strategy strategy;
  bool ok;
  bool changed;
};
// offsetof on the `value` member needs a standard-layout struct.
static_assert(std::is_standard_layout_v<ResultObject>);

inline ResultObject* as_result(PyObject* self) noexcept {
  return reinterpret_cast<ResultObject*>(self);
}

// Fills the head of a new instance, taking over `value` and `json`.
void init_result(PyObject* self, PyRef value, std::string json,
                 Strategy strategy, bool ok, bool changed) noexcept;

// The tp_dealloc of both classes, whose own fields need no release.
void result_dealloc(PyObject* self);

// Getters of the head's fields for a PyGetSetDef: a new bool or str, or
// null with an error set.
PyObject* get_result_ok(PyObject* self, void*);
PyObject* get_result_changed(PyObject* self, void*);
PyObject* get_result_json(PyObject* self, void*);
PyObject* get_result_strategy(PyObject* self, void*);

// The getset entries that both classes document alike.
inline constexpr PyGetSetDef kResultOkGetter = {
    "ok", get_result_ok, nullptr,
    "Whether a meaningful value was recovered (`False` only for fallback).",
    nullptr};
inline constexpr PyGetSetDef kResultJsonGetter = {
    "json", get_result_json, nullptr,
    "Canonical JSON serialization of `value`.", nullptr};

// `{class_name}(ok=…, strategy="…", changed=…`: the repr up to the fields
// that a class adds.
std::string result_repr_head(const char* class_name, PyObject* self);

}  // namespace tarnwick::python
