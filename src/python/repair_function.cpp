#include "repair_function.h"

#include <array>        // array
#include <cstddef>      // size_t
#include <string_view>  // string_view
#include <utility>      // move

#include "arguments.h"
#include "guard.h"
#include "module_support.h"
#include "py_ref.h"
#include "python_builder.h"
#include "repair/ladder.h"
#include "repair_result.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {
namespace {

constexpr std::array<std::string_view, kRepairSlotCount> kParamNames = {
    "input", "max_len", "fallback", "strip_code_fences",
    "unwrap_double_encoded"};
constexpr Signature kSignature = {"repair", kParamNames, Wording::Repair};

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

    // Every rung builds the interpreter objects as it reads.
    PythonBuilder builder;
    const CollectorPause pause(
        static_cast<std::size_t>(PyBytes_Size(input_utf8.get())));
    auto answer = tarnwick::detail::climb_ladder(bytes_view(input_utf8.get()),
                                                 converted.options, builder);
    if (builder.failed()) {
      builder.raise_kept_error();
      return nullptr;
    }
    RepairOutcome outcome{std::move(answer.json), JsonValue(), answer.ok(),
                          answer.changed(), answer.strategy};
    return new_repair_result(outcome, std::move(answer.value)).release();
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
