#include "repair_function.h"

#include <array>        // array
#include <string_view>  // string_view
#include <utility>      // move

#include "arguments.h"
#include "guard.h"
#include "py_ref.h"
#include "python_builder.h"
#include "repair/document_reader.h"
#include "repair_result.h"
#include "tarnwick/repair.h"
#include "value_to_python.h"

namespace tarnwick::python {
namespace {

constexpr std::array<std::string_view, kRepairSlotCount> kParamNames = {
    "input", "max_len", "fallback", "strip_code_fences",
    "unwrap_double_encoded"};
constexpr Signature kSignature = {"repair", kParamNames};

// The entry point. The interpreter lock stays held throughout: the ladder is
// fast and nothing here may run without it.
PyObject* repair_entry(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    std::array<PyObject*, kRepairSlotCount> slots;  // borrowed
    if (!bind_arguments(kSignature, args, kwargs, slots)) return nullptr;
    PyRef input_utf8 = convert_text(slots[0]);
    if (!input_utf8) {
      add_processing_note(kParamNames[0]);
      return nullptr;
    }
    ConvertedOptions converted;
    if (!convert_repair_options(kSignature, slots, converted)) return nullptr;
    if (!validate_fallback(converted)) return nullptr;

    // Every rung that reads builds the interpreter objects as it goes; only
    // the fallback leaves an engine tree to convert.
    PythonBuilder builder;
    tarnwick::detail::BuildingReader<PythonBuilder> reader(builder);
    LadderResult result = run_ladder_with(bytes_view(input_utf8.get()),
                                          converted.options, reader);
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
