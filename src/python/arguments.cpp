#include "arguments.h"

#include <cstdint>  // UINT64_MAX
#include <string>   // string

#include "debug_quote.h"
#include "guard.h"
#include "module_support.h"

namespace tarnwick::python {
namespace {

// UTF-8 bytes of a str, or null with the error cleared.
PyRef utf8_or_null(PyObject* text) noexcept {
  PyRef bytes(PyUnicode_AsUTF8String(text));
  if (!bytes) PyErr_Clear();
  return bytes;
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

// With Wording::Python, replaces the error of a max_len that is no integer
// (TypeError) or out of range (OverflowError) with one that names the
// argument, the range it takes and the type or value it was given.
void reword_max_len_error(const Signature& signature, PyObject* object) {
  const bool out_of_range = PyErr_ExceptionMatches(PyExc_OverflowError);
  if (signature.wording != Wording::Python ||
      !(out_of_range || PyErr_ExceptionMatches(PyExc_TypeError))) {
    return;
  }
  PyErr_Clear();
  PyRef given(out_of_range ? PyObject_Repr(object)
                           : PyObject_GetAttrString(
                                 reinterpret_cast<PyObject*>(Py_TYPE(object)),
                                 "__qualname__"));
  if (!given) return;
  PyErr_Format(out_of_range ? PyExc_OverflowError : PyExc_TypeError,
               "%s() argument '%s' must be an int from 0 to %llu, or None "
               "for %llu, not %S",
               signature.function, signature.names[kMaxLenSlot].data(),
               static_cast<unsigned long long>(UINT64_MAX),
               static_cast<unsigned long long>(DEFAULT_MAX_LEN), given.get());
}

}  // namespace

bool bind_arguments(const Signature& signature, PyObject* args,
                    PyObject* kwargs, std::span<PyObject*> slots) {
  const std::size_t count = signature.names.size();
  for (PyObject*& slot : slots) slot = nullptr;
  const Py_ssize_t positional = PyTuple_Size(args);
  if (positional < 0) return false;
  if (positional > 1) {
    PyErr_Format(PyExc_TypeError,
                 signature.wording == Wording::Repair
                     ? "%s() takes 1 positional arguments but %zd were given"
                     : "%s() takes 1 positional argument but %zd were given",
                 signature.function, positional);
    return false;
  }
  if (positional == 1) slots[0] = PyTuple_GetItem(args, 0);

  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      std::size_t index = count;
      if (PyUnicode_Check(key)) {
        if (PyRef utf8 = utf8_or_null(key)) {
          const std::string_view name = bytes_view(utf8.get());
          for (std::size_t i = 0; i < count; ++i) {
            if (signature.names[i] == name) index = i;
          }
        }
      }
      if (index == count) {
        PyErr_Format(PyExc_TypeError,
                     "%s() got an unexpected keyword argument '%S'",
                     signature.function, key);
        return false;
      }
      if (slots[index] != nullptr) {
        PyErr_Format(PyExc_TypeError,
                     "%s() got multiple values for argument '%s'",
                     signature.function, signature.names[index].data());
        return false;
      }
      slots[index] = value;
    }
  }

  if (slots[0] == nullptr) {
    PyErr_Format(PyExc_TypeError,
                 "%s() missing 1 required positional argument: '%s'",
                 signature.function, signature.names[0].data());
    return false;
  }
  return true;
}

std::string_view bytes_view(PyObject* bytes) noexcept {
  return {PyBytes_AsString(bytes),
          static_cast<std::size_t>(PyBytes_Size(bytes))};
}

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

PyRef convert_text(PyObject* object) {
  if (!PyUnicode_Check(object)) {
    set_type_mismatch(object, "str");
    return PyRef();
  }
  return PyRef(PyUnicode_AsUTF8String(object));
}

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

void reword_type_error(const Signature& signature, std::size_t slot,
                       const char* expected, PyObject* object) {
  if (signature.wording != Wording::Python ||
      !PyErr_ExceptionMatches(PyExc_TypeError)) {
    return;
  }
  PyErr_Clear();
  PyRef type_name(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  if (!type_name) return;
  PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be %s, not %S",
               signature.function, signature.names[slot].data(), expected,
               type_name.get());
}

bool convert_repair_options(const Signature& signature,
                            std::span<PyObject* const> slots,
                            ConvertedOptions& out) {
  const auto fail = [&](OptionSlot slot) {
    add_processing_note(signature.names[slot]);
    return false;
  };
  if (auto max_len = convert_max_len(slots[kMaxLenSlot])) {
    out.options.max_len = *max_len;
  } else {
    reword_max_len_error(signature, slots[kMaxLenSlot]);
    return fail(kMaxLenSlot);
  }
  PyObject* fallback = slots[kFallbackSlot];
  if (fallback != nullptr && fallback != Py_None) {
    out.fallback_utf8 = convert_text(fallback);
    if (!out.fallback_utf8) {
      reword_type_error(signature, kFallbackSlot, "str or None", fallback);
      return fail(kFallbackSlot);
    }
  }
  for (const OptionSlot slot :
       {kStripCodeFencesSlot, kUnwrapDoubleEncodedSlot}) {
    const std::optional<bool> flag = convert_flag(slots[slot]);
    if (!flag) {
      reword_type_error(signature, slot, "bool or None", slots[slot]);
      return fail(slot);
    }
    if (slot == kStripCodeFencesSlot) {
      out.options.strip_code_fences = *flag;
    } else {
      out.options.unwrap_double_encoded = *flag;
    }
  }
  return true;
}

bool validate_fallback(ConvertedOptions& converted) {
  if (!converted.fallback_utf8) {
    converted.options.fallback = FallbackKind::Null;
    return true;
  }
  const std::string_view name = bytes_view(converted.fallback_utf8.get());
  if (name == "null") {
    converted.options.fallback = FallbackKind::Null;
    return true;
  }
  if (name == "empty-object") {
    converted.options.fallback = FallbackKind::EmptyObject;
    return true;
  }
  const std::string message = "invalid fallback " + debug_quote(name) +
                              ": expected 'null' or 'empty-object'";
  PyErr_SetObject(PyExc_ValueError, text_object(message).get());
  return false;
}

void append_replacing_surrogates(std::string_view bytes, std::string& out) {
  out.reserve(out.size() + bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) == 0xED && i + 2 < bytes.size() &&
        static_cast<unsigned char>(bytes[i + 1]) >= 0xA0) {
      out += "\xEF\xBF\xBD";
      i += 2;
    } else {
      out += bytes[i];
    }
  }
}

}  // namespace tarnwick::python
