// Argument binding and conversion shared by the module functions. Messages
// name the function that was called ("repair() missing ..."), and a failed
// conversion carries the note "while processing '{parameter}'".
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint64_t
#include <optional>     // optional
#include <span>         // span
#include <string_view>  // string_view

#include "py_ref.h"
#include "python_api.h"
#include "tarnwick/repair.h"

namespace tarnwick::python {

// How argument errors are worded.
enum class Wording {
  // As CPython words its own: "takes 1 positional argument but 2 were
  // given", "argument 'max_len' must be ..., not float".
  Python,
  // repair()'s texts, which callers may match on: kept as they are.
  Repair,
};

// A function's parameters: the first is positional-or-keyword and required,
// the others keyword-only. Names point at NUL-terminated literals.
struct Signature {
  const char* function;                     // "repair", as messages show it
  std::span<const std::string_view> names;  // in binding and conversion order
  Wording wording = Wording::Python;
};

// With Wording::Python and a TypeError pending from converting argument
// `slot` (the object `object`), replaces it with "{function}() argument
// '{name}' must be {expected}, not {type}". Otherwise leaves the error.
void reword_type_error(const Signature& signature, std::size_t slot,
                       const char* expected, PyObject* object);

// The repair options in the order every signature lists them, right after
// its text: slots 1 to 4.
enum OptionSlot : std::size_t {
  kMaxLenSlot = 1,
  kFallbackSlot,
  kStripCodeFencesSlot,
  kUnwrapDoubleEncodedSlot,
  kRepairSlotCount,
};

// Binds the positional tuple and the keyword dict (or null) to `slots`, one
// per name, borrowed from the call; an argument left out stays null. False
// with TypeError set on the first offending argument.
bool bind_arguments(const Signature& signature, PyObject* args,
                    PyObject* kwargs, std::span<PyObject*> slots);

// The bytes of a bytes object (borrowed view).
std::string_view bytes_view(PyObject* bytes) noexcept;

// Appends surrogatepass UTF-8 with each encoded surrogate (ED A0..BF xx, a
// sequence UTF-8 text never holds; 0xED is never a continuation byte)
// replaced by U+FFFD (EF BF BD), as extract() and repair_column() read a
// str with lone surrogates. Both take three bytes and one code point, so
// offsets and lengths are those of the original text.
void append_replacing_surrogates(std::string_view bytes, std::string& out);

// Attaches "while processing '{name}'" to the pending exception through its
// add_note method; where that is missing (before 3.11) or fails, the
// exception stays as it was.
void add_processing_note(std::string_view name);

// Sets the type-mismatch TypeError for `object` and target "str" or "bool".
void set_type_mismatch(PyObject* object, const char* target);

// The strict UTF-8 encoding of a str; null with an exception set otherwise
// (TypeError for another type, UnicodeEncodeError for a lone surrogate).
PyRef convert_text(PyObject* object);

// None (or an empty slot) gives true; False, True or a NumPy boolean scalar
// their value. Empty result with an exception set (without the note).
std::optional<bool> convert_flag(PyObject* object);

// Options converted from the slots of the repair options.
struct ConvertedOptions {
  RepairOptions options;
  PyRef fallback_utf8;  // bytes, or null for the default "null"
};

// Converts slots 1 to 4 in order into `out`; the first failure raises, with
// its note. The fallback name is only encoded here: validate_fallback maps
// it once every argument has converted.
bool convert_repair_options(const Signature& signature,
                            std::span<PyObject* const> slots,
                            ConvertedOptions& out);

// Maps the fallback name to its kind; false with ValueError set otherwise.
bool validate_fallback(ConvertedOptions& converted);

}  // namespace tarnwick::python
