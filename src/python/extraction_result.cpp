#include "extraction_result.h"

#include <cstddef>      // offsetof, size_t
#include <string_view>  // string_view
#include <type_traits>  // is_standard_layout_v
#include <utility>      // move

#include "arguments.h"
#include "debug_quote.h"
#include "guard.h"
#include "module_support.h"
#include "result_fields.h"

namespace tarnwick::python {
namespace {

// Code points of the json text that the repr shows; a longer text is cut
// there and marked with "...", so that a huge value prints one short line.
constexpr std::size_t kReprJsonCodePoints = 80;

// The fields both result classes hold, then the extraction's own.
struct ExtractionObject {
  ResultObject result;
  FixSet fixes;
  Py_ssize_t span_begin;
  Py_ssize_t span_end;
  bool guessed;
  PyObject* report;  // owned; null when no schema was given
};
// as_result reads the head through the same pointer: a standard-layout
// struct starts with its first member.
static_assert(std::is_standard_layout_v<ExtractionObject>);

ExtractionObject* as_extraction(PyObject* self) noexcept {
  return reinterpret_cast<ExtractionObject*>(self);
}

// The fix names of `fixes` in bit order, as a new tuple.
PyRef fixes_tuple(FixSet fixes) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < FIX_COUNT; ++i) {
    if ((fixes & fix_bit(fix_at(i))) != 0) ++count;
  }
  PyRef tuple = require_object(PyTuple_New(static_cast<Py_ssize_t>(count)));
  Py_ssize_t at = 0;
  for (std::size_t i = 0; i < FIX_COUNT; ++i) {
    if ((fixes & fix_bit(fix_at(i))) == 0) continue;
    // PyTuple_SetItem takes the reference even when it fails.
    if (PyTuple_SetItem(tuple.get(), at++,
                        text_object(fix_name(fix_at(i))).release()) != 0) {
      PyErr_WriteUnraisable(nullptr);
      panic("could not store a tuple item");
    }
  }
  return tuple;
}

PyRef span_tuple(const ExtractionObject* e) {
  PyRef begin = require_object(PyLong_FromSsize_t(e->span_begin));
  PyRef end = require_object(PyLong_FromSsize_t(e->span_end));
  return require_object(PyTuple_Pack(2, begin.get(), end.get()));
}

PyObject* get_fixes(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return fixes_tuple(as_extraction(self)->fixes).release();
  });
}

// Item `i` of the schema report, or `absent` without a schema.
PyObject* report_item(PyObject* self, Py_ssize_t i, PyObject* absent) {
  PyObject* report = as_extraction(self)->report;
  PyObject* item = report != nullptr ? PyTuple_GetItem(report, i) : absent;
  Py_XINCREF(item);
  return item;
}

PyObject* get_conforms(PyObject* self, void*) {
  return report_item(self, 0, Py_None);
}

PyObject* get_issues(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    PyRef empty = require_object(PyTuple_New(0));
    return report_item(self, 1, empty.get());
  });
}

PyObject* get_missing(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    PyRef empty = require_object(PyTuple_New(0));
    return report_item(self, 2, empty.get());
  });
}

PyObject* extraction_feedback(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] {
    PyRef empty = text_object("");
    return report_item(self, 3, empty.get());
  });
}

void extraction_dealloc(PyObject* self) {
  Py_XDECREF(as_extraction(self)->report);
  result_dealloc(self);
}

PyObject* get_guessed(PyObject* self, void*) {
  return bool_object(as_extraction(self)->guessed).release();
}

PyObject* get_span(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return span_tuple(as_extraction(self)).release(); });
}

// The first `limit` code points of a UTF-8 text (all of it when shorter).
std::string_view code_point_prefix(std::string_view utf8, std::size_t limit) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
    if (seen++ == limit) return utf8.substr(0, i);
  }
  return utf8;
}

PyObject* extraction_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const ExtractionObject* e = as_extraction(self);
    std::string text = result_repr_head("Extraction", self);
    text += ", fixes=(";
    std::size_t shown = 0;
    for (std::size_t i = 0; i < FIX_COUNT; ++i) {
      if ((e->fixes & fix_bit(fix_at(i))) == 0) continue;
      if (shown++ != 0) text += ", ";
      text += debug_quote(fix_name(fix_at(i)));
    }
    text += shown == 1 ? ",)" : ")";
    text += ", span=(" + std::to_string(e->span_begin) + ", " +
            std::to_string(e->span_end) + ")";
    text += e->guessed ? ", guessed=True" : ", guessed=False";
    text += ", json=";
    const std::string_view json = e->result.json;
    const std::string_view head = code_point_prefix(json, kReprJsonCodePoints);
    std::string quoted = debug_quote(head);
    if (head.size() != json.size()) quoted.insert(quoted.size() - 1, "...");
    text += quoted;
    text += ")";
    return text_object(text).release();
  });
}

// Equal when every field is: the strategy, the fixes, the span, the json
// text, then the values by ==. Other comparisons and other types are left
// to the other operand.
PyObject* extraction_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) {
      return PyRef::borrow(Py_NotImplemented).release();
    }
    const ExtractionObject* a = as_extraction(self);
    const ExtractionObject* b = as_extraction(other);
    bool equal = a->result.strategy == b->result.strategy &&
                 a->fixes == b->fixes && a->span_begin == b->span_begin &&
                 a->span_end == b->span_end && a->guessed == b->guessed &&
                 a->result.changed == b->result.changed &&
                 a->result.json == b->result.json;
    if (equal) {
      const int same =
          PyObject_RichCompareBool(a->result.value, b->result.value, Py_EQ);
      if (same < 0) return nullptr;
      equal = same == 1;
    }
    if (equal && (a->report == nullptr) != (b->report == nullptr)) {
      equal = false;
    } else if (equal && a->report != nullptr) {
      const int same = PyObject_RichCompareBool(a->report, b->report, Py_EQ);
      if (same < 0) return nullptr;
      equal = same == 1;
    }
    return bool_object(equal == (op == Py_EQ)).release();
  });
}

// (rebuild function, (value, json, strategy, fixes, span, guessed,
// changed[, schema report])); the function is looked up where pickle will find
// it again.
PyObject* extraction_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ExtractionObject* e = as_extraction(self);
    PyRef module(PyImport_ImportModule("tarnwick._extras"));
    if (!module) return nullptr;
    PyRef rebuild(PyObject_GetAttrString(
        module.get(), rebuild_extraction_method_def.ml_name));
    if (!rebuild) return nullptr;
    PyRef json = text_object(e->result.json);
    PyRef strategy = text_object(strategy_name(e->result.strategy));
    PyRef fixes = fixes_tuple(e->fixes);
    PyRef span = span_tuple(e);
    PyRef guessed = bool_object(e->guessed);
    PyRef changed = bool_object(e->result.changed);
    PyRef fields =
        e->report != nullptr
            ? require_object(PyTuple_Pack(
                  8, e->result.value, json.get(), strategy.get(), fixes.get(),
                  span.get(), guessed.get(), changed.get(), e->report))
            : require_object(PyTuple_Pack(
                  7, e->result.value, json.get(), strategy.get(), fixes.get(),
                  span.get(), guessed.get(), changed.get()));
    return require_object(PyTuple_Pack(2, rebuild.get(), fields.get()))
        .release();
  });
}

PyMemberDef extraction_members[] = {
    {"value", T_OBJECT_EX, offsetof(ResultObject, value), READONLY,
     "The recovered value as a native Python object (the fallback value "
     "when\n`ok` is `False`)."},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef extraction_getset[] = {
    kResultOkGetter,
    kResultJsonGetter,
    {"changed", get_result_changed, nullptr,
     "False only when the whole text was read as strict JSON as it "
     "stood:\nprose or a fence around the value, a rung other than "
     "\"parse\", or any\nfix makes it true.",
     nullptr},
    {"strategy", get_result_strategy, nullptr,
     "Which ladder rung read the final text (kebab-case).", nullptr},
    {"fixes", get_fixes, nullptr,
     "The lenient rewrites applied, by name, in a fixed order; empty when "
     "none.",
     nullptr},
    {"span", get_span, nullptr,
     "(start, end): the part of the input that held the JSON, in code "
     "points.",
     nullptr},
    {"conforms", get_conforms, nullptr,
     "With a schema: whether the value conforms to it after coercion (a "
     "fallback\nnever does); None without one.",
     nullptr},
    {"issues", get_issues, nullptr,
     "With a schema: a SchemaIssue (path, kind, detail) for every change "
     "coercion\nmade and every mismatch left; empty without one.",
     nullptr},
    {"missing", get_missing, nullptr,
     "With a schema: the paths of required members neither present nor "
     "filled.",
     nullptr},
    {"guessed", get_guessed, nullptr,
     "Whether the value rests on a choice between two readings of the text "
     "that\nwere both plausible: where a string that lost its closing quote "
     "ends,\nwhether a quote closes a string, which container a stray "
     "closer closes,\na missing comma against a missing colon, a word "
     "dropped, which of two\ncandidates answers, or a reading only the "
     "tolerant rung could make.\nFences, prose, trailing commas, comments, "
     "quote styles, literals and\ntruncation alone never set it.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef extraction_methods[] = {
    {"__reduce__", extraction_reduce, METH_NOARGS, nullptr},
    {"feedback", extraction_feedback, METH_NOARGS,
     "feedback()\n--\n\nWith a schema that the value does not conform to: "
     "a short text for a\nretry prompt, each failing path with what was "
     "expected there. Empty\notherwise."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot extraction_slots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "The result of `extract`: the JSON found in a text, repaired. "
         "Always returned —\n`extract` never raises for input shape (only "
         "for invalid *options*).\nCompares equal field by field; not "
         "hashable, as its value may be a dict.")},
    {Py_tp_repr, reinterpret_cast<void*>(extraction_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(extraction_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_members, extraction_members},
    {Py_tp_getset, extraction_getset},
    {Py_tp_methods, extraction_methods},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(extraction_dealloc)},
    {0, nullptr},
};

// The strategy named `name`; false when no strategy has that name.
bool strategy_named(std::string_view name, Strategy& out) noexcept {
  for (int i = 0; i <= static_cast<int>(Strategy::Fallback); ++i) {
    const auto strategy = static_cast<Strategy>(i);
    if (strategy_name(strategy) == name) {
      out = strategy;
      return true;
    }
  }
  return false;
}

// The UTF-8 bytes of a str as a string; false with the error set.
bool utf8_of(PyObject* text, std::string& out) {
  PyRef bytes(PyUnicode_AsUTF8String(text));
  if (!bytes) return false;
  out.assign(PyBytes_AsString(bytes.get()),
             static_cast<std::size_t>(PyBytes_Size(bytes.get())));
  return true;
}

// Fills `fields` from the rebuild function's arguments; false with
// TypeError or ValueError set on the first that does not fit.
bool rebuild_fields(PyObject* args, ExtractionFields& fields) {
  PyObject* value;
  PyObject* json;
  PyObject* strategy;
  PyObject* fixes;
  PyObject* span;
  // Absent in pickles made before the fields existed; `changed` then
  // follows from the strategy and the fixes, as it did.
  int guessed = 0;
  PyObject* changed = Py_None;
  PyObject* report = Py_None;  // a schema's report, a 5-tuple
  if (!PyArg_ParseTuple(args, "OUUO!O!|pOO:_rebuild_extraction", &value, &json,
                        &strategy, &PyTuple_Type, &fixes, &PyTuple_Type, &span,
                        &guessed, &changed, &report)) {
    return false;
  }
  if (report != Py_None) {
    if (!PyTuple_Check(report)) {
      set_type_mismatch(report, "tuple");
      return false;
    }
    if (PyTuple_Size(report) != 5) {
      PyErr_SetString(PyExc_ValueError, "invalid schema report");
      return false;
    }
    fields.schema_report = PyRef::borrow(report);
  }
  fields.guessed = guessed != 0;
  fields.value = PyRef::borrow(value);
  if (!utf8_of(json, fields.json)) return false;
  std::string name;
  if (!utf8_of(strategy, name)) return false;
  if (!strategy_named(name, fields.strategy)) {
    PyErr_Format(PyExc_ValueError, "unknown strategy %R", strategy);
    return false;
  }
  const Py_ssize_t count = PyTuple_Size(fixes);
  for (Py_ssize_t k = 0; k < count; ++k) {
    PyObject* fix = PyTuple_GetItem(fixes, k);  // borrowed
    if (!PyUnicode_Check(fix)) {
      set_type_mismatch(fix, "str");
      return false;
    }
    if (!utf8_of(fix, name)) return false;
    std::size_t i = 0;
    while (i < FIX_COUNT && fix_name(fix_at(i)) != name) ++i;
    if (i == FIX_COUNT) {
      PyErr_Format(PyExc_ValueError, "unknown fix %R", fix);
      return false;
    }
    fields.fixes |= fix_bit(fix_at(i));
  }
  if (!PyArg_ParseTuple(span, "nn:span", &fields.span_begin,
                        &fields.span_end)) {
    return false;
  }
  if (fields.span_begin < 0 || fields.span_begin > fields.span_end) {
    PyErr_Format(PyExc_ValueError, "invalid span %R", span);
    return false;
  }
  if (changed == Py_None) {
    fields.changed = fields.strategy != Strategy::Parse || fields.fixes != 0;
    return true;
  }
  const int truth = PyObject_IsTrue(changed);
  if (truth < 0) return false;
  fields.changed = truth != 0;
  return true;
}

PyObject* rebuild_extraction(PyObject* /*module*/, PyObject* args) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    ExtractionFields fields;
    if (!rebuild_fields(args, fields)) return nullptr;
    return new_extraction(fields).release();
  });
}

}  // namespace

SharedClass extraction_class("tarnwick.Extraction", sizeof(ExtractionObject),
                             extraction_slots);

PyRef new_extraction(ExtractionFields& fields) {
  PyRef instance = extraction_class.new_instance();
  if (!instance) return PyRef();
  init_result(instance.get(), std::move(fields.value), std::move(fields.json),
              fields.strategy, fields.strategy != Strategy::Fallback,
              fields.changed);
  ExtractionObject* e = as_extraction(instance.get());
  e->fixes = fields.fixes;
  e->span_begin = fields.span_begin;
  e->span_end = fields.span_end;
  e->guessed = fields.guessed;
  e->report = fields.schema_report.release();
  return instance;
}

PyMethodDef rebuild_extraction_method_def = {
    "_rebuild_extraction",
    rebuild_extraction,
    METH_VARARGS,
    "_rebuild_extraction(value, json, strategy, fixes, span, guessed=False, "
    "changed=None, report=None, /)\n--\n\n"
    "An Extraction made from its fields; what pickle calls to restore one.",
};

}  // namespace tarnwick::python
