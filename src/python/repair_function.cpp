#include "repair_function.h"

#include <array>        // array
#include <cstddef>      // size_t
#include <cstdint>      // uint64_t
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move

#include "debug_quote.h"
#include "guard.h"
#include "py_ref.h"
#include "python_builder.h"
#include "repair/document_reader.h"
#include "repair_result.h"
#include "tarnwick/repair.h"
#include "value_to_python.h"

namespace tarnwick::python {
namespace {

// Parameter slots in binding and conversion order.
enum Param : std::size_t {
  kInput,
  kMaxLen,
  kFallback,
  kStripCodeFences,
  kUnwrapDoubleEncoded,
  kParamCount,
};

constexpr std::array<std::string_view, kParamCount> kParamNames = {
    "input", "max_len", "fallback", "strip_code_fences",
    "unwrap_double_encoded"};

// Borrowed from the call's tuple and dict, which outlive the call.
using BoundArguments = std::array<PyObject*, kParamCount>;

struct ConvertedArguments {
  PyRef input_utf8;  // bytes, the strict UTF-8 encoding of `input`
  RepairOptions options;
  PyRef fallback_utf8;  // bytes, or null for the default "null"
};

std::string_view bytes_view(PyObject* bytes) noexcept {
  return {PyBytes_AsString(bytes),
          static_cast<std::size_t>(PyBytes_Size(bytes))};
}

// UTF-8 bytes of a str, or null with the error cleared.
PyRef utf8_or_null(PyObject* text) noexcept {
  PyRef bytes(PyUnicode_AsUTF8String(text));
  if (!bytes) PyErr_Clear();
  return bytes;
}

// Binds the positional tuple and keyword dict (or null) to the slots. False
// with TypeError set on the first offending argument.
bool extract_arguments(PyObject* args, PyObject* kwargs,
                       BoundArguments& slots) {
  slots.fill(nullptr);
  const Py_ssize_t positional = PyTuple_Size(args);
  if (positional < 0) return false;
  if (positional > 1) {
    PyErr_Format(PyExc_TypeError,
                 "repair() takes 1 positional arguments but %zd were given",
                 positional);
    return false;
  }
  if (positional == 1) slots[kInput] = PyTuple_GetItem(args, 0);

  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      std::size_t index = kParamCount;
      if (PyUnicode_Check(key)) {
        if (PyRef utf8 = utf8_or_null(key)) {
          const std::string_view name = bytes_view(utf8.get());
          for (std::size_t i = 0; i < kParamCount; ++i) {
            if (kParamNames[i] == name) index = i;
          }
        }
      }
      if (index == kParamCount) {
        PyErr_Format(PyExc_TypeError,
                     "repair() got an unexpected keyword argument '%S'", key);
        return false;
      }
      if (slots[index] != nullptr) {
        PyErr_Format(PyExc_TypeError,
                     "repair() got multiple values for argument '%s'",
                     kParamNames[index].data());
        return false;
      }
      slots[index] = value;
    }
  }

  if (slots[kInput] == nullptr) {
    PyErr_SetString(PyExc_TypeError,
                    "repair() missing 1 required positional argument: 'input'");
    return false;
  }
  return true;
}

// Attaches "while processing '{name}'" to the pending exception through its
// add_note method; where that is missing (before 3.11) or fails, the
// exception stays as it was.
void add_processing_note(std::string_view name) {
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr) {
    if (traceback != nullptr) PyException_SetTraceback(value, traceback);
    PyRef note(PyUnicode_FromFormat("while processing '%s'", name.data()));
    if (note) {
      PyRef ignored(PyObject_CallMethod(value, "add_note", "O", note.get()));
    }
    PyErr_Clear();
  }
  PyErr_Restore(type, value, traceback);
}

// Sets the type-mismatch TypeError for `object` and target "str" or "bool".
void set_type_mismatch(PyObject* object, const char* target) {
  if (object == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", target);
    return;
  }
  PyRef qualname(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  PyRef text(qualname ? PyObject_Str(qualname.get()) : nullptr);
  if (!text) {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError,
                 "'<failed to extract type name>' object is not an instance "
                 "of '%s'",
                 target);
    return;
  }
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'",
               text.get(), target);
}

// True when attribute `name` of `object` is a str equal to `expected`.
bool attribute_equals(PyObject* object, const char* name,
                      const char* expected) {
  PyRef attribute(PyObject_GetAttrString(object, name));
  if (!attribute) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_Check(attribute.get()) &&
         PyUnicode_CompareWithASCIIString(attribute.get(), expected) == 0;
}

// A NumPy boolean scalar, recognised by its type's module and name so that
// NumPy need not be imported.
bool is_numpy_bool(PyObject* object) {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
  return attribute_equals(type, "__module__", "numpy") &&
         (attribute_equals(type, "__name__", "bool_") ||
          attribute_equals(type, "__name__", "bool"));
}

// None (or an empty slot) gives true. Empty result with an exception set on
// failure (without the note).
std::optional<bool> convert_flag(PyObject* object) {
  if (object == nullptr || object == Py_None || object == Py_True) return true;
  if (object == Py_False) return false;
  if (!is_numpy_bool(object)) {
    set_type_mismatch(object, "bool");
    return std::nullopt;
  }
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
  PyRef to_bool(PyObject_GetAttrString(type, "__bool__"));
  if (!to_bool) {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError,
                 "object of type '%S' does not define a '__bool__' conversion",
                 type);
    return std::nullopt;
  }
  PyRef result(PyObject_CallFunctionObjArgs(to_bool.get(), object, nullptr));
  if (!result) return std::nullopt;
  if (result.get() == Py_True) return true;
  if (result.get() == Py_False) return false;
  set_type_mismatch(result.get(), "bool");
  return std::nullopt;
}

// None (or an empty slot) gives DEFAULT_MAX_LEN; an int, or anything with
// __index__, gives its value if it fits in 0 .. 2^64-1.
std::optional<std::uint64_t> convert_max_len(PyObject* object) {
  if (object == nullptr || object == Py_None) return DEFAULT_MAX_LEN;
  PyRef index;
  if (!PyLong_Check(object)) {
    index.reset(PyNumber_Index(object));
    if (!index) return std::nullopt;
    object = index.get();
  }
  const unsigned long long value = PyLong_AsUnsignedLongLong(object);
  // All ones is a valid value unless an error is pending.
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(value);
}

// The strict UTF-8 encoding of a str; null with an exception set otherwise.
PyRef convert_text(PyObject* object) {
  if (!PyUnicode_Check(object)) {
    set_type_mismatch(object, "str");
    return PyRef();
  }
  return PyRef(PyUnicode_AsUTF8String(object));
}

// Converts the slots in order; the first failure raises, with its note.
bool convert_arguments(const BoundArguments& slots, ConvertedArguments& out) {
  out.input_utf8 = convert_text(slots[kInput]);
  if (!out.input_utf8) {
    add_processing_note(kParamNames[kInput]);
    return false;
  }
  if (auto max_len = convert_max_len(slots[kMaxLen])) {
    out.options.max_len = *max_len;
  } else {
    add_processing_note(kParamNames[kMaxLen]);
    return false;
  }
  PyObject* fallback = slots[kFallback];
  if (fallback != nullptr && fallback != Py_None) {
    out.fallback_utf8 = convert_text(fallback);
    if (!out.fallback_utf8) {
      add_processing_note(kParamNames[kFallback]);
      return false;
    }
  }
  for (const Param param : {kStripCodeFences, kUnwrapDoubleEncoded}) {
    const std::optional<bool> flag = convert_flag(slots[param]);
    if (!flag) {
      add_processing_note(kParamNames[param]);
      return false;
    }
    if (param == kStripCodeFences) {
      out.options.strip_code_fences = *flag;
    } else {
      out.options.unwrap_double_encoded = *flag;
    }
  }
  return true;
}

// Maps the fallback name to its kind; false with ValueError set otherwise.
bool validate_fallback(ConvertedArguments& args) {
  if (!args.fallback_utf8) {
    args.options.fallback = FallbackKind::Null;
    return true;
  }
  const std::string_view name = bytes_view(args.fallback_utf8.get());
  if (name == "null") {
    args.options.fallback = FallbackKind::Null;
    return true;
  }
  if (name == "empty-object") {
    args.options.fallback = FallbackKind::EmptyObject;
    return true;
  }
  const std::string message = "invalid fallback " + debug_quote(name) +
                              ": expected 'null' or 'empty-object'";
  PyRef text = require_object(PyUnicode_FromStringAndSize(
      message.data(), static_cast<Py_ssize_t>(message.size())));
  PyErr_SetObject(PyExc_ValueError, text.get());
  return false;
}

// Replaces the pending exception of a failed value conversion by ValueError
// "{class qualname}: {str(exception)}".
void raise_conversion_error() {
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef owned_type(type), owned_value(value), owned_traceback(traceback);
  PyRef qualname(type ? PyObject_GetAttrString(type, "__qualname__") : nullptr);
  if (!qualname) {
    PyErr_Clear();
    qualname = require_object(PyUnicode_FromString("<unknown>"));
  }
  PyRef text(value ? PyObject_Str(value) : nullptr);
  if (text) {
    PyErr_Format(PyExc_ValueError, "%S: %S", qualname.get(), text.get());
  } else {
    PyErr_Clear();
    PyErr_Format(PyExc_ValueError, "%S: <exception str() failed>",
                 qualname.get());
  }
}

// The entry point. The interpreter lock stays held throughout: the ladder is
// fast and nothing here may run without it.
PyObject* repair_entry(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    BoundArguments slots;
    if (!extract_arguments(args, kwargs, slots)) return nullptr;
    ConvertedArguments converted;
    if (!convert_arguments(slots, converted)) return nullptr;
    if (!validate_fallback(converted)) return nullptr;

    // Every rung that reads builds the interpreter objects as it goes; only
    // the fallback leaves an engine tree to convert.
    PythonBuilder builder;
    tarnwick::detail::BuildingReader<PythonBuilder> reader(builder);
    LadderResult result = run_ladder_with(
        bytes_view(converted.input_utf8.get()), converted.options, reader);
    if (builder.failed()) {
      builder.restore_error();
      raise_conversion_error();
      return nullptr;
    }
    RepairOutcome& outcome = result.outcome;
    PyRef value;
    if (result.held_by_reader) {
      value = std::move(reader.value());
      outcome.json = std::move(reader.canonical());
    } else {
      value = value_to_python(outcome.value);
      if (!value) {
        raise_conversion_error();
        return nullptr;
      }
      outcome.value = JsonValue();  // the engine's tree is no longer needed
    }
    return new_repair_result(outcome, std::move(value)).release();
  });
}

}  // namespace

PyMethodDef repair_method_def = {
    "repair",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(repair_entry)),
    METH_VARARGS | METH_KEYWORDS,
    "repair(input, *, max_len=None, fallback=None, strip_code_fences=None, "
    "unwrap_double_encoded=None)\n--\n\nRepair `input` into a valid JSON "
    "value. Never raises on input shape — any\ninput, including pure garbage, "
    "returns a deterministic `RepairResult`.",
};

}  // namespace tarnwick::python
