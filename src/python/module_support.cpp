#include "module_support.h"

#include <cstddef>  // size_t
#include <cstring>  // strrchr
#include <string>   // string
#include <utility>  // move

#include "guard.h"

namespace tarnwick::python {
namespace {

// str() of attribute `name` of `object` as UTF-8, or "<unknown>" when it
// cannot be read; never leaves an error set.
std::string attribute_text(PyObject* object, const char* name) {
  PyRef attribute(PyObject_GetAttrString(object, name));
  PyRef text(attribute ? PyObject_Str(attribute.get()) : nullptr);
  PyRef utf8(text ? PyUnicode_AsUTF8String(text.get()) : nullptr);
  if (!utf8) {
    PyErr_Clear();
    return "<unknown>";
  }
  return std::string(PyBytes_AsString(utf8.get()),
                     static_cast<std::size_t>(PyBytes_Size(utf8.get())));
}

}  // namespace

PyRef text_object(std::string_view utf8) {
  return require_object(PyUnicode_FromStringAndSize(
      utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

PyRef bool_object(bool b) noexcept {
  return PyRef::borrow(b ? Py_True : Py_False);
}

int module_add(PyObject* module, PyObject* name, PyObject* value) {
  PyRef all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = require_object(PyList_New(0));
    if (PyObject_SetAttrString(module, "__all__", all.get()) != 0) return -1;
  }
  if (!PyList_Check(all.get())) {
    PyErr_SetString(PyExc_TypeError, "__all__ is not a list");
    return -1;
  }
  if (PyList_Append(all.get(), name) != 0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not append __name__ to __all__");
  }
  return PyObject_SetAttr(module, name, value);
}

PyRef module_function(PyObject* module, PyMethodDef* def) {
  PyRef module_name(PyModule_GetNameObject(module));
  if (!module_name) return PyRef();
  return PyRef(PyCFunction_NewEx(def, module, module_name.get()));
}

int module_add_function(PyObject* module, PyMethodDef* def, bool is_public) {
  PyRef function = module_function(module, def);
  if (!function) return -1;
  PyRef name(PyObject_GetAttrString(function.get(), "__name__"));
  if (!name) return -1;
  if (!PyUnicode_Check(name.get())) {
    PyErr_Format(PyExc_TypeError, "__name__ of %s is not a str", def->ml_name);
    return -1;
  }
  if (!is_public) return PyObject_SetAttr(module, name.get(), function.get());
  return module_add(module, name.get(), function.get());
}

PyObject* SharedClass::get() {
  if (type_ != nullptr) return type_;
  type_ = PyType_FromSpec(&spec_);
  if (type_ != nullptr) return type_;
  PyObject *type, *cause, *traceback;
  PyErr_Fetch(&type, &cause, &traceback);
  PyErr_NormalizeException(&type, &cause, &traceback);
  if (traceback != nullptr) PyException_SetTraceback(cause, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  PyErr_Format(PyExc_RuntimeError,
               "An error occurred while initializing class %s", short_name());
  PyObject *rt_type, *rt_value, *rt_traceback;
  PyErr_Fetch(&rt_type, &rt_value, &rt_traceback);
  PyErr_NormalizeException(&rt_type, &rt_value, &rt_traceback);
  PyException_SetCause(rt_value, cause);  // steals `cause`
  PyErr_Restore(rt_type, rt_value, rt_traceback);
  return nullptr;
}

int SharedClass::add_to(PyObject* module) {
  PyObject* cls = get();  // borrowed
  if (cls == nullptr) return -1;
  return module_add(module, text_object(short_name()).get(), cls);
}

PyRef SharedClass::new_instance() {
  PyObject* cls = get();  // borrowed
  if (cls == nullptr) {
    PyErr_WriteUnraisable(nullptr);
    panic(std::string("failed to create type object for `") + short_name() +
          "`");
  }
  // PyType_GenericNew works before 3.10 too, where PyType_GetSlot refuses
  // the static `object` type.
  PyRef no_args = require_object(PyTuple_New(0));
  return PyRef(PyType_GenericNew(reinterpret_cast<PyTypeObject*>(cls),
                                 no_args.get(), nullptr));
}

const char* SharedClass::short_name() const noexcept {
  const char* dot = std::strrchr(spec_.name, '.');
  return dot == nullptr ? spec_.name : dot + 1;
}

PyObject* refuse_new(PyTypeObject* type, PyObject*, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* cls = reinterpret_cast<PyObject*>(type);
    const std::string message =
        "cannot create '" + attribute_text(cls, "__module__") + "." +
        attribute_text(cls, "__qualname__") + "' instances";
    PyErr_SetObject(PyExc_TypeError, text_object(message).get());
    return nullptr;
  });
}

void free_instance(PyObject* self, PyTypeObject* type, const char* class_name) {
  auto tp_free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  if (tp_free == nullptr) {
    panic(std::string(class_name) + " has no tp_free slot");
  }
  tp_free(self);
  // Balances the class reference that tp_alloc took for this instance.
  Py_DecRef(reinterpret_cast<PyObject*>(type));
}

CollectorPause::CollectorPause(std::size_t text_bytes) noexcept {
  if (text_bytes < kMinBytes) return;
  PyRef gc(PyImport_ImportModule("gc"));
  PyRef enabled(gc ? PyObject_CallMethod(gc.get(), "isenabled", nullptr)
                   : nullptr);
  if (enabled.get() == Py_True) {
    PyRef done(PyObject_CallMethod(gc.get(), "disable", nullptr));
    if (done) gc_ = std::move(gc);
  }
  PyErr_Clear();  // a collector out of reach only costs speed
}

CollectorPause::~CollectorPause() {
  if (!gc_) return;
  // The call may end with an exception pending, which enable() must not see.
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyRef done(PyObject_CallMethod(gc_.get(), "enable", nullptr));
  if (!done) PyErr_WriteUnraisable(gc_.get());
  PyErr_Restore(type, value, traceback);
}

}  // namespace tarnwick::python
