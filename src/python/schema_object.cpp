#include "schema_object.h"

#include <climits>      // LLONG_MIN
#include <cmath>        // isfinite
#include <cstddef>      // size_t
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <variant>      // get_if

#include "arguments.h"
#include "guard.h"
#include "python_builder.h"
#include "tarnwick/reader.h"
#include "tarnwick/writer.h"

namespace tarnwick::python {
namespace {

// Containers deeper than this are refused rather than walked.
constexpr int kMaxDepth = 512;

struct CompiledSchemaObject {
  PyObject ob_base;
  Schema* schema;  // owned
};

CompiledSchemaObject* as_compiled(PyObject* self) noexcept {
  return reinterpret_cast<CompiledSchemaObject*>(self);
}

void compiled_dealloc(PyObject* self) {
  guard_void([&] {
    delete as_compiled(self)->schema;
    free_instance(self, Py_TYPE(self), "the compiled schema class");
  });
}

void store_tuple_item(PyObject* tuple, Py_ssize_t i, PyRef item) {
  // PyTuple_SetItem takes the reference even when it fails.
  if (PyTuple_SetItem(tuple, i, item.release()) != 0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not store a tuple item");
  }
}

PyRef path_tuple(const ValuePath& path) {
  PyRef tuple =
      require_object(PyTuple_New(static_cast<Py_ssize_t>(path.size())));
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto* index = std::get_if<std::size_t>(&path[i]);
    store_tuple_item(tuple.get(), static_cast<Py_ssize_t>(i),
                     index != nullptr
                         ? require_object(PyLong_FromSize_t(*index))
                         : text_object(std::get<std::string>(path[i])));
  }
  return tuple;
}

// The issues as SchemaIssue records; null with an error set when the record
// class cannot be found.
PyRef issue_records(const std::vector<SchemaIssue>& issues) {
  PyRef tuple =
      require_object(PyTuple_New(static_cast<Py_ssize_t>(issues.size())));
  if (issues.empty()) return tuple;
  PyRef module(PyImport_ImportModule("tarnwick._schema"));
  if (!module) return PyRef();
  PyRef record(PyObject_GetAttrString(module.get(), "SchemaIssue"));
  if (!record) return PyRef();
  for (std::size_t i = 0; i < issues.size(); ++i) {
    PyRef path = path_tuple(issues[i].path);
    PyRef kind = text_object(issue_kind_name(issues[i].kind));
    PyRef detail = text_object(issues[i].detail);
    PyRef item(PyObject_CallFunctionObjArgs(record.get(), path.get(),
                                            kind.get(), detail.get(), nullptr));
    if (!item) return PyRef();
    store_tuple_item(tuple.get(), static_cast<Py_ssize_t>(i), std::move(item));
  }
  return tuple;
}

bool engine_value_at(PyObject* object, JsonValue& out, int depth);

// TypeError "{what}, not {type name}"; false.
bool refuse_type(const char* what, PyObject* object) {
  PyRef type(PyObject_Type(object));
  PyRef name(type ? PyObject_GetAttrString(type.get(), "__name__") : nullptr);
  if (!name) return false;
  PyErr_Format(PyExc_TypeError, "%s, not %S", what, name.get());
  return false;
}

bool engine_container(PyObject* object, JsonValue& out, int depth) {
  if (depth > kMaxDepth) {
    PyErr_SetString(PyExc_ValueError, "the value is nested too deeply");
    return false;
  }
  if (PyDict_Check(object)) {
    JsonObject members;
    Py_ssize_t pos = 0;
    PyObject *key, *item;  // borrowed
    while (PyDict_Next(object, &pos, &key, &item)) {
      if (!PyUnicode_Check(key)) {
        return refuse_type("a JSON object key must be str", key);
      }
      JsonValue k, v;
      if (!engine_value_at(key, k, depth) ||
          !engine_value_at(item, v, depth + 1)) {
        return false;
      }
      members.insert(std::move(k.as_string()), std::move(v));
    }
    out = JsonValue(std::move(members));
    return true;
  }
  const bool list = PyList_Check(object);
  const Py_ssize_t n = list ? PyList_Size(object) : PyTuple_Size(object);
  JsonArray items;
  items.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item =
        list ? PyList_GetItem(object, i) : PyTuple_GetItem(object, i);
    items.emplace_back();
    if (item == nullptr || !engine_value_at(item, items.back(), depth + 1)) {
      return false;
    }
  }
  out = JsonValue(std::move(items));
  return true;
}

bool engine_number(PyObject* object, JsonValue& out) {
  if (PyFloat_Check(object)) {
    const auto n = JsonNumber::from_f64(PyFloat_AsDouble(object));
    if (!n) {
      PyErr_SetString(PyExc_TypeError, "a JSON number must be finite");
      return false;
    }
    out = JsonValue(*n);
    return true;
  }
  int overflow = 0;
  const long long small = PyLong_AsLongLongAndOverflow(object, &overflow);
  if (small == -1 && PyErr_Occurred()) return false;
  if (overflow == 0) {
    out = JsonValue(JsonNumber(static_cast<std::int64_t>(small)));
    return true;
  }
  const unsigned long long big =
      overflow > 0 ? PyLong_AsUnsignedLongLong(object) : 0;
  if (overflow < 0 ||
      (big == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
    PyErr_Clear();
    PyErr_SetString(PyExc_TypeError,
                    "a JSON integer must lie between -2**63 and 2**64-1");
    return false;
  }
  out = JsonValue(JsonNumber(static_cast<std::uint64_t>(big)));
  return true;
}

bool engine_value_at(PyObject* object, JsonValue& out, int depth) {
  if (object == Py_None) {
    out = JsonValue();
  } else if (PyBool_Check(object)) {
    out = JsonValue(object == Py_True);
  } else if (PyLong_Check(object) || PyFloat_Check(object)) {
    return engine_number(object, out);
  } else if (PyUnicode_Check(object)) {
    PyRef utf8(PyUnicode_AsUTF8String(object));
    if (!utf8) return false;
    out = JsonValue(std::string(bytes_view(utf8.get())));
  } else if (PyDict_Check(object) || PyList_Check(object) ||
             PyTuple_Check(object)) {
    return engine_container(object, out, depth);
  } else {
    return refuse_type("expected a JSON value", object);
  }
  return true;
}

// coerce(value, coerce="safe") -> (value, issues, missing, conforms,
// feedback): what tarnwick.Schema.coerce reports, in one call.
PyObject* compiled_coerce(PyObject* self, PyObject* args) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* value;
    PyObject* mode_name = Py_None;
    if (!PyArg_ParseTuple(args, "O|O:coerce", &value, &mode_name)) {
      return nullptr;
    }
    CoerceMode mode;
    if (!convert_coerce_mode(mode_name, mode)) return nullptr;
    JsonValue engine;
    if (!engine_value(value, engine)) return nullptr;
    const Schema& schema = *as_compiled(self)->schema;
    const Coercion c = schema.coerce(std::move(engine), mode);
    PyRef out = python_value(c.value);
    PyRef report = schema_report(schema, c);
    if (!report) return nullptr;
    PyRef pair = require_object(PyTuple_New(2));
    store_tuple_item(pair.get(), 0, std::move(out));
    store_tuple_item(pair.get(), 1, std::move(report));
    return pair.release();
  });
}

// ((pointer, keyword), ...) of the assertion keywords not enforced.
PyObject* get_ignored(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    const auto& ignored = as_compiled(self)->schema->ignored();
    PyRef tuple =
        require_object(PyTuple_New(static_cast<Py_ssize_t>(ignored.size())));
    for (std::size_t i = 0; i < ignored.size(); ++i) {
      PyRef path = text_object(ignored[i].path);
      PyRef keyword = text_object(ignored[i].keyword);
      store_tuple_item(
          tuple.get(), static_cast<Py_ssize_t>(i),
          require_object(PyTuple_Pack(2, path.get(), keyword.get())));
    }
    return tuple.release();
  });
}

PyMethodDef compiled_methods[] = {
    {"coerce", compiled_coerce, METH_VARARGS,
     "coerce(value, coerce=None, /)\n--\n\n(value, (conforms, issues, "
     "missing, feedback, changed))"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef compiled_getset[] = {
    {"ignored", get_ignored, nullptr,
     "(schema pointer, keyword) of each assertion keyword not enforced.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot compiled_slots[] = {
    {Py_tp_doc, const_cast<char*>("A compiled JSON Schema (internal).")},
    {Py_tp_methods, compiled_methods},
    {Py_tp_getset, compiled_getset},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(compiled_dealloc)},
    {0, nullptr},
};

PyObject* compile_schema(PyObject* /*module*/, PyObject* text) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!PyUnicode_Check(text)) {
      set_type_mismatch(text, "str");
      return nullptr;
    }
    PyRef utf8(PyUnicode_AsUTF8String(text));
    if (!utf8) return nullptr;
    CompiledSchema compiled = Schema::compile(bytes_view(utf8.get()));
    if (!compiled) {
      PyErr_SetObject(PyExc_ValueError, text_object(compiled.error()).get());
      return nullptr;
    }
    PyRef instance = compiled_schema_class.new_instance();
    if (!instance) return nullptr;
    as_compiled(instance.get())->schema = new Schema(compiled.schema());
    return instance.release();
  });
}

}  // namespace

SharedClass compiled_schema_class("tarnwick._CompiledSchema",
                                  sizeof(CompiledSchemaObject), compiled_slots);

PyMethodDef compile_schema_method_def = {
    "_compile_schema", compile_schema, METH_O,
    "_compile_schema(text, /)\n--\n\nA compiled schema; ValueError when the "
    "text cannot be compiled."};

const Schema* schema_argument(PyObject* object, PyRef& holder) {
  PyObject* cls = compiled_schema_class.get();
  if (cls == nullptr) return nullptr;
  if (Py_TYPE(object) != reinterpret_cast<PyTypeObject*>(cls)) {
    PyRef core(PyObject_GetAttrString(object, "_core"));
    if (!core) {
      PyErr_Clear();
      PyRef module(PyImport_ImportModule("tarnwick._schema"));
      if (!module) return nullptr;
      PyRef made(PyObject_CallMethod(module.get(), "Schema", "O", object));
      if (!made) return nullptr;
      core.reset(PyObject_GetAttrString(made.get(), "_core"));
      if (!core) return nullptr;
    }
    if (Py_TYPE(core.get()) != reinterpret_cast<PyTypeObject*>(cls)) {
      PyErr_SetString(PyExc_TypeError, "schema: not a tarnwick.Schema");
      return nullptr;
    }
    holder = std::move(core);
  } else {
    holder = PyRef::borrow(object);
  }
  return as_compiled(holder.get())->schema;
}

bool convert_coerce_mode(PyObject* object, CoerceMode& out) {
  if (object == nullptr || object == Py_None) {
    out = CoerceMode::Safe;
    return true;
  }
  if (!PyUnicode_Check(object)) {
    set_type_mismatch(object, "str");
    return false;
  }
  PyRef utf8(PyUnicode_AsUTF8String(object));
  if (!utf8) return false;
  const std::string_view name = bytes_view(utf8.get());
  if (name == "none") {
    out = CoerceMode::None;
  } else if (name == "safe") {
    out = CoerceMode::Safe;
  } else if (name == "lenient") {
    out = CoerceMode::Lenient;
  } else {
    PyErr_Format(PyExc_ValueError,
                 "coerce must be 'none', 'safe' or 'lenient', not %R", object);
    return false;
  }
  return true;
}

PyRef python_value(const JsonValue& value) {
  PythonBuilder builder;
  PyRef out;
  switch (value.kind()) {
    case ValueKind::Null:
    case ValueKind::Bool:
      return PyRef::borrow(value.is_null()   ? Py_None
                           : value.as_bool() ? Py_True
                                             : Py_False);
    case ValueKind::Number:
      builder.number_value(value.as_number(), out);
      return out;
    case ValueKind::String:
      return text_object(value.as_string());
    case ValueKind::Array: {
      const JsonArray& items = value.as_array();
      PyRef list =
          require_object(PyList_New(static_cast<Py_ssize_t>(items.size())));
      for (std::size_t i = 0; i < items.size(); ++i) {
        // PyList_SetItem takes the reference even when it fails.
        if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i),
                           python_value(items[i]).release()) != 0) {
          PyErr_WriteUnraisable(nullptr);
          panic("could not store a list item");
        }
      }
      return list;
    }
    case ValueKind::Object: {
      PyRef dict = require_object(PyDict_New());
      for (const auto& entry : value.as_object()) {
        if (PyDict_SetItem(dict.get(), text_object(entry.key).get(),
                           python_value(entry.value).get()) != 0) {
          PyErr_WriteUnraisable(nullptr);
          panic("could not store a dict item");
        }
      }
      return dict;
    }
  }
  panic("invalid value kind");
}

bool engine_value(PyObject* object, JsonValue& out) {
  return engine_value_at(object, out, 0);
}

PyRef apply_schema(const Schema& schema, CoerceMode mode, bool fallback,
                   PyRef& value, std::string& json) {
  // Most replies conform: checked on the text, no value is built for them.
  bool floats = false;
  if (!fallback && schema.validate_text(json, &floats) &&
      (!floats || mode == CoerceMode::None)) {
    return schema_report(schema, Coercion{JsonValue(), {}, {}, true, false});
  }
  ReadResult<JsonValue> tree = parse_document(json);
  if (!tree) panic("the canonical text of a value does not read back");
  Coercion c = schema.coerce(std::move(tree.value()),
                             fallback ? CoerceMode::None : mode);
  if (fallback && c.conforms) {
    c.conforms = false;
    c.issues.push_back({{}, IssueKind::Mismatch, "no JSON value was found"});
  }
  if (c.changed) {
    value = python_value(c.value);
    json = to_canonical_text(c.value);
  }
  return schema_report(schema, c);
}

PyRef schema_report(const Schema& schema, const Coercion& coercion) {
  PyRef issues = issue_records(coercion.issues);
  if (!issues) return PyRef();
  PyRef missing = require_object(
      PyTuple_New(static_cast<Py_ssize_t>(coercion.missing.size())));
  for (std::size_t i = 0; i < coercion.missing.size(); ++i) {
    store_tuple_item(missing.get(), static_cast<Py_ssize_t>(i),
                     path_tuple(coercion.missing[i]));
  }
  PyRef conforms = bool_object(coercion.conforms);
  PyRef feedback = text_object(schema.feedback(coercion));
  PyRef changed = bool_object(coercion.changed);
  return require_object(PyTuple_Pack(5, conforms.get(), issues.get(),
                                     missing.get(), feedback.get(),
                                     changed.get()));
}

}  // namespace tarnwick::python
