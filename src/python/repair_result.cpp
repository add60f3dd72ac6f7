#include "repair_result.h"

#include <cstddef>  // offsetof
#include <string>   // string
#include <utility>  // move

#include "debug_quote.h"
#include "guard.h"
#include "module_support.h"
#include "result_fields.h"

namespace tarnwick::python {
namespace {

PyObject* repair_result_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    std::string text = result_repr_head("RepairResult", self);
    text += ", json=" + debug_quote(as_result(self)->json) + ")";
    return text_object(text).release();
  });
}

PyMemberDef repair_result_members[] = {
    {"value", T_OBJECT_EX, offsetof(ResultObject, value), READONLY,
     "The recovered value as a native Python object (the fallback value "
     "when\n`ok` is `False`) — what `json.loads` would have produced."},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef repair_result_getset[] = {
    kResultOkGetter,
    kResultJsonGetter,
    {"changed", get_result_changed, nullptr,
     "Whether the original text was altered to produce the result.", nullptr},
    {"strategy", get_result_strategy, nullptr,
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
    {Py_tp_dealloc, reinterpret_cast<void*>(result_dealloc)},
    {0, nullptr},
};

}  // namespace

SharedClass repair_result_class("tarnwick.RepairResult", sizeof(ResultObject),
                                repair_result_slots);

PyRef new_repair_result(RepairOutcome& outcome, PyRef value) {
  PyRef instance = repair_result_class.new_instance();
  if (!instance) return PyRef();
  init_result(instance.get(), std::move(value), std::move(outcome.json),
              outcome.strategy, outcome.ok, outcome.changed);
  return instance;
}

}  // namespace tarnwick::python
