#include "result_fields.h"

#include <new>      // placement new
#include <utility>  // move

#include "debug_quote.h"
#include "guard.h"
#include "module_support.h"

namespace tarnwick::python {

void init_result(PyObject* self, PyRef value, std::string json,
                 Strategy strategy, bool ok, bool changed) noexcept {
  ResultObject* r = as_result(self);
  new (&r->json) std::string(std::move(json));
  r->strategy = strategy;
  r->ok = ok;
  r->changed = changed;
  r->value = value.release();
}

void result_dealloc(PyObject* self) {
  guard_void([&] {
    ResultObject* r = as_result(self);
    PyTypeObject* type = Py_TYPE(self);
    Py_DecRef(r->value);
    r->json.~basic_string();
    free_instance(self, type, "the result class");
  });
}

PyObject* get_result_ok(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return bool_object(as_result(self)->ok).release(); });
}

PyObject* get_result_changed(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return bool_object(as_result(self)->changed).release(); });
}

PyObject* get_result_json(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return text_object(as_result(self)->json).release(); });
}

PyObject* get_result_strategy(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return text_object(strategy_name(as_result(self)->strategy)).release();
  });
}

std::string result_repr_head(const char* class_name, PyObject* self) {
  const ResultObject* r = as_result(self);
  std::string text = class_name;
  text += r->ok ? "(ok=True" : "(ok=False";
  text += ", strategy=" + debug_quote(strategy_name(r->strategy));
  text += r->changed ? ", changed=True" : ", changed=False";
  return text;
}

}  // namespace tarnwick::python
