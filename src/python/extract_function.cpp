#include "extract_function.h"

#include <array>        // array
#include <cstddef>      // size_t
#include <optional>     // optional
#include <span>         // span
#include <string>       // string
#include <string_view>  // string_view
#include <utility>      // move
#include <vector>       // vector

#include "arguments.h"
#include "extraction_result.h"
#include "guard.h"
#include "key_cache.h"
#include "lenient/extraction.h"
#include "lenient/runner.h"
#include "module_support.h"
#include "py_ref.h"
#include "python_builder.h"
#include "schema_object.h"
#include "tarnwick/extract.h"

namespace tarnwick::python {
namespace {

// The repair options, then the lenient flag.
// The repair options, then the lenient flag, then the schema options.
enum : std::size_t {
  kLenientSlot = kRepairSlotCount,
  kSchemaSlot,
  kCoerceSlot,
  kSlotCount
};

constexpr std::array<std::string_view, kSlotCount> kParamNames = {
    "text",
    "max_len",
    "fallback",
    "strip_code_fences",
    "unwrap_double_encoded",
    "lenient",
    "schema",
    "coerce"};
constexpr Signature kExtractSignature = {"extract", kParamNames};
constexpr Signature kLoadsSignature = {"loads", kParamNames};
constexpr Signature kExtractAllSignature = {"extract_all", kParamNames};

// A call's arguments, converted.
struct Call {
  PyObject* text = nullptr;  // the str: borrowed from the call, or `decoded`
  PyRef decoded;             // a bytes-like text decoded, or null
  PyRef text_utf8;           // bytes: the strict encoding
  std::string replaced;      // or the text with its lone surrogates replaced
  std::string_view utf8;     // whichever of the two holds the text
  ExtractOptions options;
  FixSet fixes = 0;  // Fix::LoneSurrogates or InvalidUtf8 when replaced
  const Schema* schema = nullptr;  // kept alive by schema_holder
  PyRef schema_holder;
  CoerceMode coerce = CoerceMode::Safe;
};

// The schema and coerce arguments; false with the exception (and its note)
// set.
bool prepare_schema(std::span<PyObject* const> slots, Call& call) {
  if (!convert_coerce_mode(slots[kCoerceSlot], call.coerce)) {
    add_processing_note(kParamNames[kCoerceSlot]);
    return false;
  }
  PyObject* schema = slots[kSchemaSlot];
  if (schema == nullptr || schema == Py_None) return true;
  call.schema = schema_argument(schema, call.schema_holder);
  if (call.schema == nullptr) add_processing_note(kParamNames[kSchemaSlot]);
  return call.schema != nullptr;
}

// Decodes a bytes, bytearray or memoryview text into `call.decoded` as
// bytes.decode("utf-8", "replace") does, reporting Fix::InvalidUtf8 when a
// sequence was replaced. A leading byte order mark is an encoding mark, as
// json.loads reads bytes: dropped before decoding, not a fix. False with the
// exception set.
bool decode_bytes_like(PyObject* text, Call& call) {
  PyRef copy;  // bytearray and memoryview: their bytes, copied
  if (!PyBytes_Check(text)) {
    copy.reset(PyObject_Bytes(text));
    if (!copy) return false;
  }
  std::string_view bytes = bytes_view(copy ? copy.get() : text);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const auto size = static_cast<Py_ssize_t>(bytes.size());
  call.decoded.reset(PyUnicode_DecodeUTF8(bytes.data(), size, "strict"));
  if (!call.decoded) {
    if (!PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) return false;
    PyErr_Clear();
    call.decoded.reset(PyUnicode_DecodeUTF8(bytes.data(), size, "replace"));
    if (!call.decoded) return false;
    call.fixes |= fix_bit(Fix::InvalidUtf8);
  }
  call.text = call.decoded.get();
  return true;
}

// The lenient flag; empty with the exception (and its note) set.
std::optional<bool> convert_lenient(const Signature& signature,
                                    std::span<PyObject* const> slots) {
  const std::optional<bool> lenient = convert_flag(slots[kLenientSlot]);
  if (!lenient) {
    reword_type_error(signature, kLenientSlot, "bool or None",
                      slots[kLenientSlot]);
    add_processing_note(kParamNames[kLenientSlot]);
  }
  return lenient;
}

// The text of a call that holds lone surrogates, whose strict encoding
// failed with the UnicodeEncodeError pending. repair() raises it; the
// lenient path replaces them instead, so the lenient flag decides here,
// ahead of the other options. False with the exception (and its note) set.
bool convert_text_with_surrogates(const Signature& signature,
                                  std::span<PyObject* const> slots,
                                  Call& call) {
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyRef owned_type(type), owned_value(value), owned_traceback(traceback);
  const std::optional<bool> lenient = convert_lenient(signature, slots);
  if (!lenient) return false;
  if (!*lenient) {
    PyErr_Restore(owned_type.release(), owned_value.release(),
                  owned_traceback.release());
    add_processing_note(kParamNames[0]);
    return false;
  }
  call.options.lenient = true;
  PyRef passed(PyUnicode_AsEncodedString(call.text, "utf-8", "surrogatepass"));
  if (!passed) {
    add_processing_note(kParamNames[0]);
    return false;
  }
  append_replacing_surrogates(bytes_view(passed.get()), call.replaced);
  call.utf8 = call.replaced;
  call.fixes |= fix_bit(Fix::LoneSurrogates);
  return true;
}

// Binds and converts the arguments in parameter order, then checks the
// fallback name; the first failure raises. False with the exception set.
bool prepare(const Signature& signature, PyObject* args, PyObject* kwargs,
             Call& call) {
  std::array<PyObject*, kSlotCount> slots;  // borrowed
  if (!bind_arguments(signature, args, kwargs, slots)) return false;
  call.text = slots[0];
  if (PyBytes_Check(call.text) || PyByteArray_Check(call.text) ||
      PyMemoryView_Check(call.text)) {
    if (!decode_bytes_like(call.text, call)) {
      add_processing_note(kParamNames[0]);
      return false;
    }
  }
  call.text_utf8 = convert_text(call.text);
  bool lenient_converted = false;
  if (call.text_utf8) {
    call.utf8 = bytes_view(call.text_utf8.get());
  } else if (PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) {
    if (!convert_text_with_surrogates(signature, slots, call)) return false;
    lenient_converted = true;
  } else {
    reword_type_error(signature, 0, "str, bytes, bytearray or memoryview",
                      call.text);
    add_processing_note(kParamNames[0]);
    return false;
  }
  ConvertedOptions converted;
  if (!convert_repair_options(signature, slots, converted)) return false;
  if (!lenient_converted) {
    const std::optional<bool> lenient = convert_lenient(signature, slots);
    if (!lenient) return false;
    call.options.lenient = *lenient;
  }
  if (!validate_fallback(converted)) return false;
  call.options.repair = converted.options;
  return prepare_schema(slots, call);
}

// Repairs candidate texts into interpreter objects the way repair() does:
// every rung builds the objects as it reads.
using ObjectRunner = tarnwick::detail::LadderRunner<PythonBuilder>;
static_assert(tarnwick::detail::ExtractionRunner<ObjectRunner>);

// Code points of a UTF-8 text: the bytes that start a sequence.
Py_ssize_t code_points(std::string_view utf8) noexcept {
  Py_ssize_t n = 0;
  for (const char c : utf8) {
    n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }
  return n;
}

// Runs the search for a prepared call; without `with_json` the answer's json
// may be empty. Nothing, with the exception set, when a value could not be
// built.
std::optional<tarnwick::detail::Found<ObjectRunner::Result>> search(
    PyObject* module, const Call& call, bool with_json) {
  ObjectRunner runner(tarnwick::detail::candidate_options(call.options.repair),
                      with_json);
  runner.builder().share_keys(&KeyCache::of(module));
  const CollectorPause pause(call.utf8.size());
  auto found = tarnwick::detail::extract_with(call.utf8, call.options, runner);
  if (runner.builder().failed()) {
    runner.builder().raise_kept_error();
    return std::nullopt;
  }
  return found;
}

// The span [begin, end) of the call's UTF-8 text in code points of its str
// into `fields`; false with the exception set.
bool set_span(const Call& call, std::size_t begin, std::size_t end,
              ExtractionFields& fields) {
  // Byte offsets into the UTF-8 text become code points of the str; an
  // ASCII text has the same number of each.
  const Py_ssize_t length = PyUnicode_GetLength(call.text);
  if (length < 0) return false;
  if (static_cast<std::size_t>(length) == call.utf8.size()) {
    fields.span_begin = static_cast<Py_ssize_t>(begin);
    fields.span_end = static_cast<Py_ssize_t>(end);
  } else if (begin == 0 && end == call.utf8.size()) {
    fields.span_end = length;
  } else {
    fields.span_begin = code_points(call.utf8.substr(0, begin));
    fields.span_end =
        fields.span_begin + code_points(call.utf8.substr(begin, end - begin));
  }
  return true;
}

using FoundValue = tarnwick::detail::Found<ObjectRunner::Result>;

// Applies the call's schema to a candidate, whose value and json text may
// change; the report, or null with the exception set.
PyRef apply_call_schema(const Call& call, FoundValue& found) {
  return apply_schema(*call.schema, call.coerce,
                      found.result.strategy == Strategy::Fallback,
                      found.result.value, found.result.json);
}

bool report_conforms(const PyRef& report) noexcept {
  return PyTuple_GetItem(report.get(), 0) == Py_True;
}

// Every candidate of the call, in text order. Nothing, with the exception
// set, when a value could not be built.
std::optional<std::vector<FoundValue>> search_all(PyObject* module,
                                                  const Call& call) {
  ObjectRunner runner(tarnwick::detail::candidate_options(call.options.repair));
  runner.builder().share_keys(&KeyCache::of(module));
  const CollectorPause pause(call.utf8.size());
  auto all =
      tarnwick::detail::extract_all_with(call.utf8, call.options, runner);
  if (runner.builder().failed()) {
    runner.builder().raise_kept_error();
    return std::nullopt;
  }
  return all;
}

// With a schema: the candidate the search picks when it conforms once
// coerced (most replies: one search and one scan); else the first
// candidate in text order that does; else the search's pick. The pick
// goes first, not the text order, as an example value written before the
// answer can conform too. Nothing, with the exception set, on failure.
std::optional<FoundValue> search_conforming(PyObject* module, const Call& call,
                                            PyRef& report) {
  std::optional found = search(module, call, /*with_json=*/true);
  if (!found) return std::nullopt;
  report = apply_call_schema(call, *found);
  if (!report) return std::nullopt;
  if (report_conforms(report)) return found;
  std::optional all = search_all(module, call);
  if (!all) return std::nullopt;
  for (FoundValue& candidate : *all) {
    if (candidate.begin == found->begin && candidate.end == found->end) {
      continue;
    }
    PyRef other = apply_call_schema(call, candidate);
    if (!other) return std::nullopt;
    if (report_conforms(other)) {
      report = std::move(other);
      return std::move(candidate);
    }
  }
  return found;
}

// A new Extraction of one candidate of the call, with its schema report if
// any; null with the exception set.
PyRef extraction_of(const Call& call, FoundValue& found,
                    PyRef report = PyRef()) {
  ExtractionFields fields;
  fields.value = std::move(found.result.value);
  fields.json = std::move(found.result.json);
  fields.strategy = found.result.strategy;
  fields.fixes = found.fixes | call.fixes;
  fields.guessed = found.guessed;
  fields.changed = !read_as_it_stood(call.utf8, fields.strategy, fields.fixes,
                                     found.begin, found.end);
  if (!set_span(call, found.begin, found.end, fields)) return PyRef();
  if (report) {
    // A value changed by coercion is changed; a guess it is not.
    fields.changed =
        fields.changed || PyTuple_GetItem(report.get(), 4) == Py_True;
    fields.schema_report = std::move(report);
  }
  return new_extraction(fields);
}

// The entry points. The interpreter lock stays held throughout, as in
// repair(): the search is linear and nothing here may run without it.
PyObject* extract_entry(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Call call;
    if (!prepare(kExtractSignature, args, kwargs, call)) return nullptr;
    if (call.schema != nullptr) {
      PyRef report;
      std::optional found = search_conforming(module, call, report);
      if (!found) return nullptr;
      return extraction_of(call, *found, std::move(report)).release();
    }
    std::optional found = search(module, call, /*with_json=*/true);
    if (!found) return nullptr;
    return extraction_of(call, *found).release();
  });
}

// A new list of the Extraction of every candidate, in text order.
PyObject* extract_all_entry(PyObject* module, PyObject* args,
                            PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Call call;
    if (!prepare(kExtractAllSignature, args, kwargs, call)) return nullptr;
    std::optional found = search_all(module, call);
    if (!found) return nullptr;
    auto& all = *found;
    PyRef list(PyList_New(static_cast<Py_ssize_t>(all.size())));
    if (!list) return nullptr;
    for (std::size_t k = 0; k < all.size(); ++k) {
      PyRef report;
      if (call.schema != nullptr) {
        report = apply_call_schema(call, all[k]);
        if (!report) return nullptr;
      }
      PyRef item = extraction_of(call, all[k], std::move(report));
      if (!item) return nullptr;
      // Steals the reference, even on failure.
      if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k),
                         item.release()) != 0) {
        return nullptr;
      }
    }
    return list.release();
  });
}

PyObject* loads_entry(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Call call;
    if (!prepare(kLoadsSignature, args, kwargs, call)) return nullptr;
    if (call.schema != nullptr) {
      PyRef report;
      std::optional found = search_conforming(module, call, report);
      return found ? found->result.value.release() : nullptr;
    }
    std::optional found = search(module, call, /*with_json=*/false);
    return found ? found->result.value.release() : nullptr;
  });
}

}  // namespace

PyMethodDef extract_method_def = {
    "extract",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(extract_entry)),
    METH_VARARGS | METH_KEYWORDS,
    "extract(text, *, max_len=None, fallback=None, strip_code_fences=None, "
    "unwrap_double_encoded=None, lenient=None, schema=None, coerce=None)\n"
    "--\n"
    "\n"
    "Find the JSON inside `text` (the whole text, a Markdown code\n"
    "fence anywhere, or a bracketed span), rewrite its defects with\n"
    "the lenient pass, and repair it. `text` is a str, or bytes,\n"
    "bytearray or memoryview holding UTF-8. Never raises on input\n"
    "shape: any input returns a deterministic `Extraction`.\n"
    "\n"
    "Each option left out or None takes its default: max_len\n"
    "5,000,000 UTF-8 bytes (a longer text is not searched and falls\n"
    "back), fallback \"null\" (None; \"empty-object\" gives {}),\n"
    "strip_code_fences True, unwrap_double_encoded True, lenient True\n"
    "(False: the search without the lenient pass), schema none,\n"
    "coerce \"safe\".\n"
    "\n"
    "With a `schema` (a tarnwick.Schema or any source it accepts), the\n"
    "value found is coerced towards it; if it does not conform, the first\n"
    "other candidate in text order that does is taken instead. `coerce`:\n"
    "\"none\", \"safe\" (the default) or \"lenient\". See `conforms`,\n"
    "`issues`, `missing` and `feedback()`.",
};

PyMethodDef extract_all_method_def = {
    "extract_all",
    reinterpret_cast<PyCFunction>(
        reinterpret_cast<void (*)()>(extract_all_entry)),
    METH_VARARGS | METH_KEYWORDS,
    "extract_all(text, *, max_len=None, fallback=None, "
    "strip_code_fences=None, unwrap_double_encoded=None, lenient=None, "
    "schema=None, coerce=None)\n--"
    "\n\nEvery top-level candidate that `extract(text, ...)` searches "
    "through, as a\nlist of `Extraction`s in text order, each with its "
    "span: the value that\nstarts the text, each fence, each bracketed "
    "span. `extract(text)` is always\none of them; values the lenient pass "
    "joins into one (JSON Lines) are one\ncandidate; a text without JSON "
    "gives []. `text` and the options as\nfor `extract()`.\n"
    "\n"
    "Each option left out or None takes its default: max_len\n"
    "5,000,000 UTF-8 bytes, fallback \"null\", strip_code_fences True,\n"
    "unwrap_double_encoded True, lenient True, schema none, coerce\n"
    "\"safe\".",
};

PyMethodDef loads_method_def = {
    "loads",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(loads_entry)),
    METH_VARARGS | METH_KEYWORDS,
    "loads(text, *, max_len=None, fallback=None, strip_code_fences=None, "
    "unwrap_double_encoded=None, lenient=None, schema=None, coerce=None)\n"
    "--\n"
    "\n"
    "The value that `extract(text, ...)` finds, without the\n"
    "`Extraction`.\n"
    "\n"
    "Each option left out or None takes its default: max_len\n"
    "5,000,000 UTF-8 bytes (a longer text is not searched and falls\n"
    "back), fallback \"null\" (None; \"empty-object\" gives {}),\n"
    "strip_code_fences True, unwrap_double_encoded True, lenient True\n"
    "(False: the search without the lenient pass), schema none,\n"
    "coerce \"safe\".",
};

}  // namespace tarnwick::python
