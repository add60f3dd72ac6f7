#include "column_result.h"

#include <array>        // array
#include <bit>          // endian
#include <cstddef>      // size_t
#include <cstdint>      // int64_t, uint32_t
#include <cstring>      // memcpy
#include <new>          // placement new
#include <string>       // string, to_string
#include <string_view>  // string_view
#include <type_traits>  // make_unsigned_t
#include <utility>      // move
#include <vector>       // vector

#include "column/arrow_abi.h"
#include "column/column_export.h"
#include "guard.h"
#include "module_support.h"
#include "tarnwick/lenient.h"

namespace tarnwick::python {

using tarnwick::detail::ColumnData;
using tarnwick::detail::export_stream;
using tarnwick::detail::export_struct_array;
using tarnwick::detail::kGuessed;
using tarnwick::detail::kNullRow;
using tarnwick::detail::kRowFlags;
using tarnwick::detail::utf8_error_offset;

namespace {

// Capsule names fixed by the Arrow PyCapsule interface.
constexpr const char* kSchemaCapsule = "arrow_schema";
constexpr const char* kArrayCapsule = "arrow_array";
constexpr const char* kStreamCapsule = "arrow_array_stream";

constexpr std::size_t kStrategyCount =
    static_cast<std::size_t>(Strategy::Fallback) + 1;

struct ColumnObject {
  PyObject ob_base;
  ColumnRef data;  // constructed in place
};

const ColumnData& data_of(PyObject* self) noexcept {
  return *reinterpret_cast<ColumnObject*>(self)->data;
}

// The column names in export order.
constexpr std::array<const char*, 6> kColumnNames = {
    "json", "strategy", "ok", "changed", "fixes", "guessed"};
enum ColumnIndex : std::size_t {
  kJson,
  kStrategy,
  kOk,
  kChanged,
  kFixes,
  kGuessedColumn
};

std::size_t column_count(const ColumnData& data) noexcept {
  return data.has_fixes ? 6 : 4;
}

// Makes the Python objects of one column's rows; names and strategy texts
// are made once per call and shared by the rows.
class CellMaker {
 public:
  explicit CellMaker(const ColumnData& data) : data_(data) {
    for (std::size_t i = 0; i < kStrategyCount; ++i) {
      strategies_[i] = text_object(strategy_name(static_cast<Strategy>(i)));
    }
    if (data.has_fixes) {
      for (std::size_t i = 0; i < FIX_COUNT; ++i) {
        fix_names_[i] = text_object(fix_name(fix_at(i)));
      }
    }
  }

  // A new reference to the cell of row `row` in column `column`.
  PyRef cell(std::size_t column, std::int64_t row) {
    const std::uint8_t code = data_.strategy[static_cast<std::size_t>(row)];
    if (code == kNullRow) return PyRef::borrow(Py_None);
    const auto strategy = static_cast<Strategy>(code);
    const FixSet fixes =
        data_.has_fixes ? data_.fixes[static_cast<std::size_t>(row)] : 0;
    switch (column) {
      case kJson:
        return text_object(data_.json_at(row));
      case kStrategy:
        return PyRef::borrow(strategies_[code].get());
      case kOk:
        return bool_object(strategy != Strategy::Fallback);
      case kChanged:
        return bool_object(strategy != Strategy::Parse ||
                           (fixes & ~kGuessed) != 0);
      case kFixes:
        return fixes_tuple(fixes);
      default:
        return bool_object((fixes & kGuessed) != 0);
    }
  }

 private:
  PyRef fixes_tuple(FixSet fixes) {
    PyRef tuple = require_object(PyTuple_New(
        static_cast<Py_ssize_t>(std::popcount(fixes & ~kRowFlags))));
    Py_ssize_t at = 0;
    for (std::size_t i = 0; i < FIX_COUNT; ++i) {
      if ((fixes & fix_bit(fix_at(i))) == 0) continue;
      // PyTuple_SetItem takes the reference even when it fails.
      if (PyTuple_SetItem(tuple.get(), at++,
                          PyRef::borrow(fix_names_[i].get()).release()) != 0) {
        PyErr_WriteUnraisable(nullptr);
        panic("could not store a tuple item");
      }
    }
    return tuple;
  }

  const ColumnData& data_;
  std::array<PyRef, kStrategyCount> strategies_;
  std::array<PyRef, FIX_COUNT> fix_names_;
};

// list.__setitem__ without the checks: PyList_SetItem steals even on
// failure, and cannot fail on a new list's own indices.
void set_list_item(PyObject* list, std::int64_t index, PyRef item) {
  if (PyList_SetItem(list, static_cast<Py_ssize_t>(index), item.release()) !=
      0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not store a list item");
  }
}

PyRef column_list(const ColumnData& data, CellMaker& cells,
                  std::size_t column) {
  PyRef list = require_object(PyList_New(data.rows()));
  for (std::int64_t row = 0; row < data.rows(); ++row) {
    set_list_item(list.get(), row, cells.cell(column, row));
  }
  return list;
}

// The index of column `name`; false with ValueError set when there is none.
bool column_index(const ColumnData& data, PyObject* name, std::size_t& out) {
  if (PyUnicode_Check(name)) {
    for (std::size_t i = 0; i < column_count(data); ++i) {
      if (PyUnicode_CompareWithASCIIString(name, kColumnNames[i]) == 0) {
        out = i;
        return true;
      }
    }
  }
  PyErr_Format(PyExc_ValueError, "no column %R: the columns are %s", name,
               data.has_fixes ? "json, strategy, ok, changed, fixes, guessed"
                              : "json, strategy, ok, changed");
  return false;
}

PyObject* column_method(PyObject* self, PyObject* name) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ColumnData& data = data_of(self);
    std::size_t index;
    if (!column_index(data, name, index)) return nullptr;
    CellMaker cells(data);
    return column_list(data, cells, index).release();
  });
}

PyObject* to_pydict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ColumnData& data = data_of(self);
    CellMaker cells(data);
    PyRef dict = require_object(PyDict_New());
    for (std::size_t i = 0; i < column_count(data); ++i) {
      PyRef list = column_list(data, cells, i);
      if (PyDict_SetItemString(dict.get(), kColumnNames[i], list.get()) != 0) {
        return nullptr;
      }
    }
    return dict.release();
  });
}

PyObject* to_pylist(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ColumnData& data = data_of(self);
    CellMaker cells(data);
    std::array<PyRef, kColumnNames.size()> keys;
    for (std::size_t i = 0; i < column_count(data); ++i) {
      keys[i] = text_object(kColumnNames[i]);
    }
    PyRef list = require_object(PyList_New(data.rows()));
    for (std::int64_t row = 0; row < data.rows(); ++row) {
      if (data.strategy[static_cast<std::size_t>(row)] == kNullRow) {
        set_list_item(list.get(), row, PyRef::borrow(Py_None));
        continue;
      }
      PyRef dict = require_object(PyDict_New());
      for (std::size_t i = 0; i < column_count(data); ++i) {
        PyRef cell = cells.cell(i, row);
        if (PyDict_SetItem(dict.get(), keys[i].get(), cell.get()) != 0) {
          return nullptr;
        }
      }
      set_list_item(list.get(), row, std::move(dict));
    }
    return list.release();
  });
}

// ---------------------------------------------------------------------------
// The Arrow PyCapsule interface

void schema_capsule_destructor(PyObject* capsule) {
  auto* schema =
      static_cast<ArrowSchema*>(PyCapsule_GetPointer(capsule, kSchemaCapsule));
  if (schema == nullptr) {
    PyErr_WriteUnraisable(capsule);
    return;
  }
  if (schema->release != nullptr) schema->release(schema);
  delete schema;
}

void array_capsule_destructor(PyObject* capsule) {
  auto* array =
      static_cast<ArrowArray*>(PyCapsule_GetPointer(capsule, kArrayCapsule));
  if (array == nullptr) {
    PyErr_WriteUnraisable(capsule);
    return;
  }
  if (array->release != nullptr) array->release(array);
  delete array;
}

void stream_capsule_destructor(PyObject* capsule) {
  auto* stream = static_cast<ArrowArrayStream*>(
      PyCapsule_GetPointer(capsule, kStreamCapsule));
  if (stream == nullptr) {
    PyErr_WriteUnraisable(capsule);
    return;
  }
  if (stream->release != nullptr) stream->release(stream);
  delete stream;
}

// Accepts the interface's optional `requested_schema`. It is a request the
// producer may decline; the columns have one form only, so it is ignored.
bool parse_requested_schema(PyObject* args, PyObject* kwargs,
                            const char* format) {
  static const char* keywords[] = {"requested_schema", nullptr};
  PyObject* requested = nullptr;
  return PyArg_ParseTupleAndKeywords(args, kwargs, format,
                                     const_cast<char**>(keywords),
                                     &requested) != 0;
}

PyObject* arrow_c_array(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!parse_requested_schema(args, kwargs, "|O:__arrow_c_array__")) {
      return nullptr;
    }
    auto* schema = new ArrowSchema{};
    auto* array = new ArrowArray{};
    try {
      export_struct_array(reinterpret_cast<ColumnObject*>(self)->data, schema,
                          array);
    } catch (...) {
      delete schema;
      delete array;
      throw;
    }
    // Each capsule owns its struct from here on, made or not.
    PyRef schema_capsule(
        PyCapsule_New(schema, kSchemaCapsule, schema_capsule_destructor));
    if (!schema_capsule) {
      schema->release(schema);
      delete schema;
    }
    PyRef array_capsule(
        PyCapsule_New(array, kArrayCapsule, array_capsule_destructor));
    if (!array_capsule) {
      array->release(array);
      delete array;
    }
    if (!schema_capsule || !array_capsule) return nullptr;
    return PyTuple_Pack(2, schema_capsule.get(), array_capsule.get());
  });
}

PyObject* arrow_c_stream(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!parse_requested_schema(args, kwargs, "|O:__arrow_c_stream__")) {
      return nullptr;
    }
    auto* stream = new ArrowArrayStream{};
    try {
      export_stream(reinterpret_cast<ColumnObject*>(self)->data, stream);
    } catch (...) {
      delete stream;
      throw;
    }
    PyObject* capsule =
        PyCapsule_New(stream, kStreamCapsule, stream_capsule_destructor);
    if (capsule == nullptr) {
      stream->release(stream);
      delete stream;
    }
    return capsule;
  });
}

// ---------------------------------------------------------------------------
// Pickling: the buffers as bytes, integers little-endian.

template <class Int>
PyRef little_endian_bytes(const std::vector<Int>& values) {
  PyRef bytes = require_object(PyBytes_FromStringAndSize(
      nullptr, static_cast<Py_ssize_t>(values.size() * sizeof(Int))));
  char* out = PyBytes_AsString(bytes.get());
  if constexpr (std::endian::native == std::endian::little) {
    if (!values.empty()) {
      std::memcpy(out, values.data(), values.size() * sizeof(Int));
    }
  } else {
    for (const Int value : values) {
      auto bits = static_cast<std::make_unsigned_t<Int>>(value);
      for (std::size_t k = 0; k < sizeof(Int); ++k) {
        *out++ = static_cast<char>(bits & 0xFF);
        bits = static_cast<decltype(bits)>(bits >> 8);
      }
    }
  }
  return bytes;
}

template <class Int>
Int read_little_endian(const char* in) noexcept {
  std::make_unsigned_t<Int> bits = 0;
  for (std::size_t k = sizeof(Int); k-- > 0;) {
    bits = static_cast<decltype(bits)>((bits << 8) |
                                       static_cast<unsigned char>(in[k]));
  }
  return static_cast<Int>(bits);
}

PyObject* column_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ColumnData& data = data_of(self);
    PyRef module(PyImport_ImportModule("tarnwick._extras"));
    if (!module) return nullptr;
    PyRef rebuild(PyObject_GetAttrString(module.get(),
                                         rebuild_column_method_def.ml_name));
    if (!rebuild) return nullptr;
    PyRef offsets = little_endian_bytes(data.offsets);
    PyRef json = require_object(PyBytes_FromStringAndSize(
        data.json.data(), static_cast<Py_ssize_t>(data.json.size())));
    PyRef strategy = require_object(PyBytes_FromStringAndSize(
        reinterpret_cast<const char*>(data.strategy.data()),
        static_cast<Py_ssize_t>(data.strategy.size())));
    PyRef fixes = data.has_fixes ? little_endian_bytes(data.fixes)
                                 : PyRef::borrow(Py_None);
    PyRef fields = require_object(
        PyTuple_Pack(5, data.has_fixes ? Py_True : Py_False, offsets.get(),
                     json.get(), strategy.get(), fixes.get()));
    return require_object(PyTuple_Pack(2, rebuild.get(), fields.get()))
        .release();
  });
}

std::string_view bytes_of(PyObject* bytes) noexcept {
  return {PyBytes_AsString(bytes),
          static_cast<std::size_t>(PyBytes_Size(bytes))};
}

// The column the rebuild arguments describe; false with ValueError set
// when they do not make one.
bool rebuild_data(PyObject* args, ColumnData& data) {
  int has_fixes;
  PyObject* offsets;
  PyObject* json;
  PyObject* strategy;
  PyObject* fixes;
  if (!PyArg_ParseTuple(args, "pSSSO:_rebuild_column", &has_fixes, &offsets,
                        &json, &strategy, &fixes)) {
    return false;
  }
  auto invalid = [](const char* why) {
    PyErr_Format(PyExc_ValueError, "invalid column data: %s", why);
    return false;
  };
  const std::string_view offset_bytes = bytes_of(offsets);
  const std::string_view codes = bytes_of(strategy);
  const std::size_t rows = codes.size();
  if (offset_bytes.size() != (rows + 1) * sizeof(std::int64_t)) {
    return invalid("offsets and strategies differ in length");
  }
  data.has_fixes = has_fixes != 0;
  if (data.has_fixes != (fixes != Py_None)) {
    return invalid("fixes do not match has_fixes");
  }
  if (data.has_fixes) {
    if (!PyBytes_Check(fixes)) return invalid("fixes are not bytes");
    const std::string_view fix_bytes = bytes_of(fixes);
    if (fix_bytes.size() != rows * sizeof(std::uint32_t)) {
      return invalid("fixes and strategies differ in length");
    }
    data.fixes.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
      data.fixes[i] =
          read_little_endian<std::uint32_t>(fix_bytes.data() + 4 * i);
      if ((data.fixes[i] & ~kRowFlags) >> FIX_COUNT != 0) {
        return invalid("unknown fix");
      }
    }
  }
  data.json.assign(bytes_of(json));
  data.offsets.resize(rows + 1);
  data.strategy.assign(codes.begin(), codes.end());
  for (std::size_t i = 0; i <= rows; ++i) {
    data.offsets[i] =
        read_little_endian<std::int64_t>(offset_bytes.data() + 8 * i);
  }
  if (data.offsets[0] != 0 ||
      data.offsets[rows] != static_cast<std::int64_t>(data.json.size())) {
    return invalid("offsets do not span the json text");
  }
  for (std::size_t i = 0; i < rows; ++i) {
    const std::int64_t length = data.offsets[i + 1] - data.offsets[i];
    if (length < 0) return invalid("offsets decrease");
    const std::uint8_t code = data.strategy[i];
    if (code == kNullRow) {
      if (length != 0 || (data.has_fixes && data.fixes[i] != 0)) {
        return invalid("a null row holds data");
      }
      ++data.null_count;
    } else if (code >= kStrategyCount) {
      return invalid("unknown strategy");
    }
  }
  if (utf8_error_offset(data.json) != data.json.size()) {
    return invalid("json text is not UTF-8");
  }
  data.chunk_ends.push_back(static_cast<std::int64_t>(rows));
  return true;
}

PyObject* rebuild_column(PyObject* /*module*/, PyObject* args) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    ColumnRef data = ColumnRef::make();
    if (!rebuild_data(args, data.data())) return nullptr;
    return new_repaired_column(std::move(data)).release();
  });
}

// ---------------------------------------------------------------------------
// The class

Py_ssize_t column_length(PyObject* self) {
  return static_cast<Py_ssize_t>(data_of(self).rows());
}

PyObject* get_column_names(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    const ColumnData& data = data_of(self);
    PyRef names = require_object(
        PyTuple_New(static_cast<Py_ssize_t>(column_count(data))));
    for (std::size_t i = 0; i < column_count(data); ++i) {
      if (PyTuple_SetItem(names.get(), static_cast<Py_ssize_t>(i),
                          text_object(kColumnNames[i]).release()) != 0) {
        PyErr_WriteUnraisable(nullptr);
        panic("could not store a tuple item");
      }
    }
    return names.release();
  });
}

PyObject* get_null_count(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return require_object(PyLong_FromLongLong(data_of(self).null_count))
        .release();
  });
}

PyObject* column_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const ColumnData& data = data_of(self);
    std::string text = "RepairedColumn(rows=" + std::to_string(data.rows()) +
                       ", nulls=" + std::to_string(data.null_count) +
                       ", columns=(";
    for (std::size_t i = 0; i < column_count(data); ++i) {
      if (i != 0) text += ", ";
      text += std::string("'") + kColumnNames[i] + "'";
    }
    text += "))";
    return text_object(text).release();
  });
}

// Equal when every row is: the same json texts, strategies and fixes.
PyObject* column_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) {
      return PyRef::borrow(Py_NotImplemented).release();
    }
    const ColumnData& a = data_of(self);
    const ColumnData& b = data_of(other);
    const bool equal = a.has_fixes == b.has_fixes && a.offsets == b.offsets &&
                       a.strategy == b.strategy && a.fixes == b.fixes &&
                       a.json == b.json;
    return bool_object(equal == (op == Py_EQ)).release();
  });
}

void column_dealloc(PyObject* self) {
  guard_void([&] {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<ColumnObject*>(self)->data.~ColumnRef();
    free_instance(self, type, "RepairedColumn");
  });
}

PyGetSetDef column_getset[] = {
    {"column_names", get_column_names, nullptr,
     "The column names in order: json, strategy, ok, changed (and fixes "
     "and\nguessed after an extraction).",
     nullptr},
    {"null_count", get_null_count, nullptr,
     "How many rows are null (a null input row gives a null row).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef column_methods[] = {
    {"column", column_method, METH_O,
     "column(name, /)\n--\n\nOne column as a list, None for a null row: "
     "\"json\" (str), \"strategy\"\n(str), \"ok\" and \"changed\" (bool), "
     "\"fixes\" (tuple of str), \"guessed\"\n(bool)."},
    {"to_pydict", to_pydict, METH_NOARGS,
     "to_pydict()\n--\n\nEvery column as a list, by name."},
    {"to_pylist", to_pylist, METH_NOARGS,
     "to_pylist()\n--\n\nOne dict per row, by column name; None for a null "
     "row."},
    {"__arrow_c_array__",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(arrow_c_array)),
     METH_VARARGS | METH_KEYWORDS,
     "__arrow_c_array__(requested_schema=None)\n--\n\nThe columns as one "
     "Arrow struct array (a null row is null in it and in\nevery column): "
     "(schema capsule, array capsule)."},
    {"__arrow_c_stream__",
     reinterpret_cast<PyCFunction>(
         reinterpret_cast<void (*)()>(arrow_c_stream)),
     METH_VARARGS | METH_KEYWORDS,
     "__arrow_c_stream__(requested_schema=None)\n--\n\nThe columns as an "
     "Arrow stream of record batches (a capsule)."},
    {"__reduce__", column_reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot column_slots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "The result of `repair_column`: per row, the json text, the "
         "strategy, ok and\nchanged (and fixes and guessed after an "
         "extraction), "
         "null where the input row was.\nExports the Arrow PyCapsule "
         "interface; pickles; compares equal row by row.")},
    {Py_tp_repr, reinterpret_cast<void*>(column_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(column_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_sq_length, reinterpret_cast<void*>(column_length)},
    {Py_tp_getset, column_getset},
    {Py_tp_methods, column_methods},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(column_dealloc)},
    {0, nullptr},
};

}  // namespace

SharedClass repaired_column_class("tarnwick.RepairedColumn",
                                  sizeof(ColumnObject), column_slots);

PyRef new_repaired_column(ColumnRef data) {
  PyRef instance = repaired_column_class.new_instance();
  if (!instance) return PyRef();
  auto* object = reinterpret_cast<ColumnObject*>(instance.get());
  new (&object->data) ColumnRef(std::move(data));
  return instance;
}

PyMethodDef rebuild_column_method_def = {
    "_rebuild_column",
    rebuild_column,
    METH_VARARGS,
    "_rebuild_column(has_fixes, offsets, json, strategy, fixes, /)\n--\n\n"
    "A RepairedColumn made from its buffers; what pickle calls to restore "
    "one.",
};

}  // namespace tarnwick::python
