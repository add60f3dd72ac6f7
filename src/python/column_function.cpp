#include "column_function.h"

#include <array>        // array
#include <climits>      // UINT_MAX
#include <optional>     // optional
#include <string_view>  // string_view
#include <thread>       // thread::hardware_concurrency
#include <utility>      // move

#include "arguments.h"
#include "column_input.h"
#include "column_result.h"
#include "guard.h"

namespace tarnwick::python {
namespace {

// The repair options, then the column's own.
enum : std::size_t {
  kExtractSlot = kRepairSlotCount,
  kLenientSlot,
  kThreadsSlot,
  kSlotCount
};

constexpr std::array<std::string_view, kSlotCount> kParamNames = {
    "texts",
    "max_len",
    "fallback",
    "strip_code_fences",
    "unwrap_double_encoded",
    "extract",
    "lenient",
    "threads"};
constexpr Signature kSignature = {"repair_column", kParamNames};

constexpr const char* kThreadsRange =
    "an int of at least 1, or None for the machine's cores";

// None (or left out) gives the machine's cores; else an int of at least 1.
std::optional<unsigned> convert_threads(PyObject* object) {
  if (object == nullptr || object == Py_None) {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
  }
  if (PyBool_Check(object)) {
    set_type_mismatch(object, "int");
    reword_type_error(kSignature, kThreadsSlot, kThreadsRange, object);
    return std::nullopt;
  }
  PyRef index(PyNumber_Index(object));
  if (!index) {
    reword_type_error(kSignature, kThreadsSlot, kThreadsRange, object);
    return std::nullopt;
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
  if (value == -1 && PyErr_Occurred()) return std::nullopt;
  if (overflow < 0 || (overflow == 0 && value < 1)) {
    PyErr_Format(PyExc_ValueError, "threads must be at least 1, got %S",
                 index.get());
    return std::nullopt;
  }
  // More threads than blocks of rows are never started; past UINT_MAX
  // the count makes no difference.
  if (overflow > 0 || value > UINT_MAX) return UINT_MAX;
  return static_cast<unsigned>(value);
}

// The flag of an option whose default is false.
std::optional<bool> convert_false_by_default(PyObject* object) {
  if (object == nullptr || object == Py_None) return false;
  return convert_flag(object);
}

// Binds and converts the options in parameter order (the texts are read
// last, after every option has converted); the first failure raises with
// its note. False with the exception set.
bool prepare(PyObject* args, PyObject* kwargs,
             std::array<PyObject*, kSlotCount>& slots, RowOptions& options,
             unsigned& threads) {
  if (!bind_arguments(kSignature, args, kwargs, slots)) return false;
  ConvertedOptions converted;
  if (!convert_repair_options(kSignature, slots, converted)) return false;
  const auto fail = [](std::size_t slot) {
    add_processing_note(kParamNames[slot]);
    return false;
  };
  const std::optional<bool> extract =
      convert_false_by_default(slots[kExtractSlot]);
  if (!extract) {
    reword_type_error(kSignature, kExtractSlot, "bool or None",
                      slots[kExtractSlot]);
    return fail(kExtractSlot);
  }
  const std::optional<bool> lenient = convert_flag(slots[kLenientSlot]);
  if (!lenient) {
    reword_type_error(kSignature, kLenientSlot, "bool or None",
                      slots[kLenientSlot]);
    return fail(kLenientSlot);
  }
  const std::optional<unsigned> count = convert_threads(slots[kThreadsSlot]);
  if (!count) return fail(kThreadsSlot);
  if (!validate_fallback(converted)) return false;
  options.extract = *extract;
  options.options.lenient = *lenient;
  options.options.repair = converted.options;
  threads = *count;
  return true;
}

PyObject* repair_column_entry(PyObject* /*module*/, PyObject* args,
                              PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::array<PyObject*, kSlotCount> slots;  // borrowed
    RowOptions options;
    unsigned threads = 1;
    if (!prepare(args, kwargs, slots, options, threads)) return nullptr;
    ColumnRef data = ColumnRef::make();
    if (!repair_texts(slots[0], options, threads, data.data())) return nullptr;
    return new_repaired_column(std::move(data)).release();
  });
}

}  // namespace

PyMethodDef repair_column_method_def = {
    "repair_column",
    reinterpret_cast<PyCFunction>(
        reinterpret_cast<void (*)()>(repair_column_entry)),
    METH_VARARGS | METH_KEYWORDS,
    "repair_column(texts, *, max_len=None, fallback=None, "
    "strip_code_fences=None, unwrap_double_encoded=None, extract=False, "
    "lenient=True, threads=None)\n"
    "--\n"
    "\n"
    "Repair every row of `texts` (an Arrow column of strings through\n"
    "the Arrow PyCapsule interface, or an iterable of str and None)\n"
    "on `threads` worker threads, as `repair()` would, or as\n"
    "`extract()` would with `extract=True`. A null row gives a null\n"
    "row. Returns a `RepairedColumn`.\n"
    "\n"
    "Each option left out or None takes its default: max_len\n"
    "5,000,000 UTF-8 bytes, fallback \"null\", strip_code_fences True,\n"
    "unwrap_double_encoded True, extract False, lenient True, threads\n"
    "the machine's cores.",
};

}  // namespace tarnwick::python
