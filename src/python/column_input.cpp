#include "column_input.h"

#include <cstdint>      // int64_t, uint8_t, uint32_t
#include <memory>       // unique_ptr, make_unique
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "arguments.h"
#include "column/arrow_abi.h"
#include "guard.h"
#include "py_ref.h"
#include "tarnwick/lenient.h"

namespace tarnwick::python {

using tarnwick::detail::ChunkRun;
using tarnwick::detail::RowProblem;
using tarnwick::detail::TextChunk;

namespace {

// Capsule names fixed by the Arrow PyCapsule interface.
constexpr const char* kSchemaCapsule = "arrow_schema";
constexpr const char* kArrayCapsule = "arrow_array";
constexpr const char* kStreamCapsule = "arrow_array_stream";

// Rows of a Python iterable encoded and repaired at a time, so that the
// copy of the texts stays small however long the input is.
constexpr std::int64_t kSequenceChunkRows = std::int64_t{1} << 16;

// A schema or array this module received from a stream and must release.
struct OwnedSchema {
  ArrowSchema schema{};
  OwnedSchema() = default;
  OwnedSchema(const OwnedSchema&) = delete;
  OwnedSchema& operator=(const OwnedSchema&) = delete;
  ~OwnedSchema() {
    if (schema.release != nullptr) schema.release(&schema);
  }
};
struct OwnedArray {
  ArrowArray array{};
  OwnedArray() = default;
  OwnedArray(const OwnedArray&) = delete;
  OwnedArray& operator=(const OwnedArray&) = delete;
  ~OwnedArray() { reset(); }
  void reset() {
    if (array.release != nullptr) array.release(&array);
    array = ArrowArray{};
  }
};

// str(type(object).__qualname__), or "?" when it cannot be had.
PyRef type_name(PyObject* object) {
  PyRef name(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  PyRef text(name ? PyObject_Str(name.get()) : nullptr);
  if (!text) {
    PyErr_Clear();
    text = require_object(PyUnicode_FromString("?"));
  }
  return text;
}

// Arrow's name of the common types, for messages; the format string else.
std::string arrow_type(std::string_view format) {
  struct Name {
    std::string_view format;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {"b", "bool"},   {"c", "int8"},        {"C", "uint8"},   {"s", "int16"},
      {"S", "uint16"}, {"i", "int32"},       {"I", "uint32"},  {"l", "int64"},
      {"L", "uint64"}, {"e", "float16"},     {"f", "float32"}, {"g", "float64"},
      {"+l", "list"},  {"+L", "large_list"}, {"+s", "struct"},
  };
  for (const Name& n : kNames) {
    if (n.format == format) return n.name;
  }
  if (format.starts_with("tdD")) return "date32";
  if (format.starts_with("ts")) return "timestamp";
  if (format.starts_with("d:")) return "decimal";
  return "format '" + std::string(format) + "'";
}

// The layout of the texts of an Arrow column of `format`; false for a
// format that holds no texts.
bool layout_of(std::string_view format, TextChunk::Layout& layout) {
  if (format == "u" || format == "z") {
    layout = TextChunk::Layout::Offsets32;
  } else if (format == "U" || format == "Z") {
    layout = TextChunk::Layout::Offsets64;
  } else if (format == "vu" || format == "vz") {
    layout = TextChunk::Layout::Views;
  } else if (format == "n") {
    layout = TextChunk::Layout::AllNull;
  } else {
    return false;
  }
  return true;
}

// What a schema says of the texts: their layout, and whether they are the
// one column of a struct (a record batch, a table). False with TypeError.
struct ColumnShape {
  TextChunk::Layout layout = TextChunk::Layout::AllNull;
  bool in_struct = false;
};

bool shape_of(const ArrowSchema& schema, ColumnShape& shape) {
  const ArrowSchema* column = &schema;
  const std::string_view format = schema.format;
  if (format == "+s") {
    if (schema.n_children != 1) {
      PyErr_Format(PyExc_TypeError,
                   "texts: an Arrow table or struct of %lld columns; pass "
                   "the one column that holds the texts",
                   static_cast<long long>(schema.n_children));
      return false;
    }
    column = schema.children[0];
    shape.in_struct = true;
  }
  if (column->dictionary != nullptr) {
    PyErr_SetString(PyExc_TypeError,
                    "texts: a dictionary-encoded Arrow column; cast it to "
                    "strings first");
    return false;
  }
  if (!layout_of(column->format, shape.layout)) {
    const std::string type = arrow_type(column->format);
    PyErr_Format(PyExc_TypeError,
                 "texts: an Arrow column of %s holds no texts; expected "
                 "strings or binary data",
                 type.c_str());
    return false;
  }
  return true;
}

// Fills `chunk` from an array of a schema of `shape`. False with
// ValueError when the array does not have the buffers its type needs.
bool describe(const ArrowArray& array, const ColumnShape& shape,
              TextChunk& chunk) {
  const ArrowArray* column = &array;
  chunk = TextChunk{};
  chunk.layout = shape.layout;
  chunk.length = array.length;
  chunk.offset = array.offset;
  if (shape.in_struct) {
    if (array.n_children != 1) {
      PyErr_SetString(PyExc_ValueError,
                      "texts: an Arrow struct array without its column");
      return false;
    }
    if (array.null_count != 0 && array.n_buffers > 0) {
      chunk.outer_validity = static_cast<const std::uint8_t*>(array.buffers[0]);
      chunk.outer_offset = array.offset;
    }
    column = array.children[0];
    chunk.offset = array.offset + column->offset;
  }
  const std::int64_t needed =
      shape.layout == TextChunk::Layout::AllNull ? 0 : 3;
  if (array.length < 0 || chunk.offset < 0 || column->n_buffers < needed ||
      (shape.layout != TextChunk::Layout::Views && needed != 0 &&
       column->n_buffers != needed) ||
      (needed != 0 && array.length > 0 && column->buffers[1] == nullptr)) {
    PyErr_SetString(PyExc_ValueError,
                    "texts: an Arrow array whose buffers do not match its "
                    "type");
    return false;
  }
  if (shape.layout == TextChunk::Layout::AllNull) return true;
  if (column->null_count != 0) {
    chunk.validity = static_cast<const std::uint8_t*>(column->buffers[0]);
  }
  chunk.offsets = column->buffers[1];
  if (shape.layout == TextChunk::Layout::Views) {
    chunk.variadic = reinterpret_cast<const char* const*>(column->buffers + 2);
    chunk.variadic_count = column->n_buffers - 3;
    chunk.variadic_sizes = static_cast<const std::int64_t*>(
        column->buffers[column->n_buffers - 1]);
  } else {
    chunk.data = static_cast<const char*>(column->buffers[2]);
    if (chunk.data == nullptr) chunk.data = "";  // every text is empty
  }
  return true;
}

// Sets the ValueError of a row that could not be read.
void raise_problem(const RowProblem& problem, std::int64_t first_row) {
  const auto row = static_cast<long long>(first_row + problem.row);
  if (problem.kind == RowProblem::Kind::InvalidUtf8) {
    PyErr_Format(PyExc_ValueError,
                 "texts[%lld]: not valid UTF-8 (byte 0x%02x at offset %zu)",
                 row, static_cast<unsigned>(problem.value), problem.byte);
  } else {
    PyErr_Format(PyExc_ValueError,
                 "texts[%lld]: the Arrow buffers are inconsistent (offsets "
                 "that decrease or a view outside its buffer)",
                 row);
  }
}

// Finishes `run` with the interpreter lock released. The waiting thread
// takes the lock back about every 50 ms to run signal handlers, so that
// Ctrl-C stops a long column. False with the exception set.
bool finish_released(ChunkRun& run, std::int64_t first_row) {
  RowProblem problem;
  bool interrupted = false;
  bool done = false;
  PyThreadState* state = PyEval_SaveThread();
  try {
    done = run.finish(
        [&] {
          PyEval_RestoreThread(state);
          interrupted = PyErr_CheckSignals() != 0;
          state = PyEval_SaveThread();
          return !interrupted;
        },
        problem);
  } catch (...) {
    PyEval_RestoreThread(state);
    throw;
  }
  PyEval_RestoreThread(state);
  if (done) return true;
  if (!interrupted) raise_problem(problem, first_row);
  return false;
}

// Chunks repaired one after another, each on the worker threads while the
// calling thread, which holds the interpreter lock, prepares the next.
class Pipeline {
 public:
  Pipeline(const RowOptions& options, unsigned threads, ColumnData& out)
      : options_(options), threads_(threads), out_(out) {}

  // Waits for the chunk that runs, then starts `chunk` (rows from
  // `first_row` of the column), which must stay as it is until the next
  // call. False with the exception set when the chunk that ran failed.
  bool next(const TextChunk& chunk, std::int64_t first_row) {
    if (!wait()) return false;
    running_ = std::make_unique<ChunkRun>(chunk, options_, threads_, out_);
    first_row_ = first_row;
    return true;
  }

  // Waits for the chunk that runs, if one does. False with the exception
  // set when it failed. (Dropped without it, the pipeline stops the work.)
  bool wait() {
    if (!running_) return true;
    const std::unique_ptr<ChunkRun> run = std::move(running_);
    return finish_released(*run, first_row_);
  }

 private:
  const RowOptions& options_;
  const unsigned threads_;
  ColumnData& out_;
  std::unique_ptr<ChunkRun> running_;
  std::int64_t first_row_ = 0;
};

// ---------------------------------------------------------------------------
// Arrow input

// The capsule's pointer, or null with TypeError set when the object is no
// capsule of that name.
void* capsule_pointer(PyObject* capsule, const char* name) {
  if (!PyCapsule_IsValid(capsule, name)) {
    PyErr_Format(PyExc_TypeError,
                 "texts: the Arrow PyCapsule interface gave no '%s' capsule",
                 name);
    return nullptr;
  }
  return PyCapsule_GetPointer(capsule, name);
}

bool repair_array(PyObject* method, const RowOptions& options, unsigned threads,
                  ColumnData& out) {
  PyRef pair(PyObject_CallObject(method, nullptr));
  if (!pair) return false;
  if (!PyTuple_Check(pair.get()) || PyTuple_Size(pair.get()) != 2) {
    PyErr_SetString(PyExc_TypeError,
                    "texts: __arrow_c_array__ returned no (schema, array) "
                    "pair");
    return false;
  }
  // The capsules stay with `pair`, which releases them: the array is read
  // where it is, not moved.
  auto* schema = static_cast<ArrowSchema*>(
      capsule_pointer(PyTuple_GetItem(pair.get(), 0), kSchemaCapsule));
  if (schema == nullptr) return false;
  auto* array = static_cast<ArrowArray*>(
      capsule_pointer(PyTuple_GetItem(pair.get(), 1), kArrayCapsule));
  if (array == nullptr) return false;
  ColumnShape shape;
  if (!shape_of(*schema, shape)) return false;
  TextChunk chunk;
  if (!describe(*array, shape, chunk)) return false;
  Pipeline pipeline(options, threads, out);
  return pipeline.next(chunk, 0) && pipeline.wait();
}

// Sets RuntimeError with the stream's own message for error code `code`.
void raise_stream_error(ArrowArrayStream* stream, int code) {
  const char* message = stream->get_last_error(stream);
  PyErr_Format(PyExc_RuntimeError,
               "texts: the Arrow stream failed (error %d): %s", code,
               message != nullptr ? message : "no message");
}

bool repair_stream(PyObject* method, const RowOptions& options,
                   unsigned threads, ColumnData& out) {
  PyRef capsule(PyObject_CallObject(method, nullptr));
  if (!capsule) return false;
  auto* stream = static_cast<ArrowArrayStream*>(
      capsule_pointer(capsule.get(), kStreamCapsule));
  if (stream == nullptr) return false;
  if (stream->release == nullptr) {
    PyErr_SetString(PyExc_ValueError, "texts: the Arrow stream was released");
    return false;
  }
  OwnedSchema schema;
  if (const int code = stream->get_schema(stream, &schema.schema)) {
    raise_stream_error(stream, code);
    return false;
  }
  ColumnShape shape;
  if (!shape_of(schema.schema, shape)) return false;
  // Two batches at a time: the next one is fetched while the workers
  // repair the one before it.
  OwnedArray arrays[2];
  TextChunk chunks[2];
  Pipeline pipeline(options, threads, out);
  std::int64_t first_row = 0;
  for (int at = 0;; at = 1 - at) {
    // The producer's callbacks run with the lock held: one that is written
    // in Python needs it.
    arrays[at].reset();
    if (const int code = stream->get_next(stream, &arrays[at].array)) {
      raise_stream_error(stream, code);
      return false;
    }
    if (arrays[at].array.release == nullptr) return pipeline.wait();  // end
    if (!describe(arrays[at].array, shape, chunks[at])) return false;
    if (!pipeline.next(chunks[at], first_row)) return false;
    first_row += chunks[at].length;
  }
}

// ---------------------------------------------------------------------------
// Python iterables

// The texts of part of an iterable, encoded back to back.
struct EncodedTexts {
  std::string data;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> validity;  // bitmap, kept when a row is null
  std::vector<std::uint32_t> fixes;    // per row, once a row has some
  std::int64_t rows = 0;
  bool has_null = false;

  void clear() {
    data.clear();
    offsets.assign(1, 0);
    validity.clear();
    fixes.clear();
    rows = 0;
    has_null = false;
  }

  void end_row(bool valid) {
    if ((rows & 7) == 0) validity.push_back(0);
    if (valid) {
      validity.back() |= static_cast<std::uint8_t>(1u << (rows & 7));
    } else {
      has_null = true;
    }
    offsets.push_back(static_cast<std::int64_t>(data.size()));
    ++rows;
    if (!fixes.empty()) fixes.push_back(0);
  }

  TextChunk chunk() const {
    TextChunk chunk;
    chunk.layout = TextChunk::Layout::Offsets64;
    chunk.length = rows;
    chunk.validity = has_null ? validity.data() : nullptr;
    chunk.offsets = offsets.data();
    chunk.data = data.data();
    chunk.check_utf8 = false;  // the interpreter's own encoding
    chunk.extra_fixes = fixes.empty() ? nullptr : fixes.data();
    return chunk;
  }
};

// Replaces the pending UnicodeEncodeError by the same error with
// " in texts[row]" after its reason; leaves it as it was if that fails.
void name_row_in_encode_error(std::int64_t row) {
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef owned_type(type), owned_value(value), owned_traceback(traceback);
  PyRef named;
  if (value != nullptr) {
    PyRef encoding(PyObject_GetAttrString(value, "encoding"));
    PyRef object(PyObject_GetAttrString(value, "object"));
    PyRef start(PyObject_GetAttrString(value, "start"));
    PyRef end(PyObject_GetAttrString(value, "end"));
    PyRef reason(PyObject_GetAttrString(value, "reason"));
    if (encoding && object && start && end && reason) {
      PyRef longer(PyUnicode_FromFormat("%S in texts[%lld]", reason.get(),
                                        static_cast<long long>(row)));
      if (longer) {
        named.reset(PyObject_CallFunctionObjArgs(
            PyExc_UnicodeEncodeError, encoding.get(), object.get(), start.get(),
            end.get(), longer.get(), nullptr));
      }
    }
  }
  if (!named) {
    PyErr_Clear();
    PyErr_Restore(owned_type.release(), owned_value.release(),
                  owned_traceback.release());
    return;
  }
  PyErr_SetObject(PyExc_UnicodeEncodeError, named.get());
}

// Encodes one item of the iterable as row `row`. False with the exception
// set: TypeError for an item that is neither str nor None; for lone
// surrogates, UnicodeEncodeError unless extraction's lenient pass replaces
// them (then the row carries the fix, as extract() reports it).
bool encode_item(PyObject* item, std::int64_t row, const RowOptions& options,
                 EncodedTexts& texts) {
  if (item == Py_None) {
    texts.end_row(false);
    return true;
  }
  if (!PyUnicode_Check(item)) {
    PyRef name = type_name(item);
    PyErr_Format(PyExc_TypeError,
                 "texts[%lld]: '%U' object is not an instance of 'str' or "
                 "None",
                 static_cast<long long>(row), name.get());
    return false;
  }
  PyRef utf8(PyUnicode_AsUTF8String(item));
  if (utf8) {
    texts.data += bytes_view(utf8.get());
    texts.end_row(true);
    return true;
  }
  if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
  if (!options.extract || !options.options.lenient) {
    name_row_in_encode_error(row);
    return false;
  }
  PyErr_Clear();
  PyRef passed(PyUnicode_AsEncodedString(item, "utf-8", "surrogatepass"));
  if (!passed) return false;
  append_replacing_surrogates(bytes_view(passed.get()), texts.data);
  texts.end_row(true);
  if (texts.fixes.empty()) {
    texts.fixes.assign(static_cast<std::size_t>(texts.rows), 0);
  }
  texts.fixes.back() = fix_bit(Fix::LoneSurrogates);
  return true;
}

bool repair_iterable(PyObject* texts, const RowOptions& options,
                     unsigned threads, ColumnData& out) {
  PyRef iterator(PyObject_GetIter(texts));
  if (!iterator) {
    PyErr_Clear();
    PyRef name = type_name(texts);
    PyErr_Format(PyExc_TypeError,
                 "texts: expected an Arrow column (__arrow_c_array__ or "
                 "__arrow_c_stream__) or an iterable of str and None, got "
                 "'%U'",
                 name.get());
    return false;
  }
  // Two pieces at a time: the next one is encoded while the workers repair
  // the one before it.
  EncodedTexts pieces[2];
  TextChunk chunks[2];
  Pipeline pipeline(options, threads, out);
  std::int64_t first_row = 0;
  for (int at = 0;; at = 1 - at) {
    EncodedTexts& piece = pieces[at];
    piece.clear();
    bool ended = false;
    while (!ended && piece.rows < kSequenceChunkRows) {
      // Encoding a piece of long texts takes a while; Ctrl-C stops it (the
      // pipeline then stops the workers).
      if (PyErr_CheckSignals() != 0) return false;
      PyRef item(PyIter_Next(iterator.get()));
      if (!item && PyErr_Occurred()) return false;
      ended = !item;
      if (item &&
          !encode_item(item.get(), first_row + piece.rows, options, piece)) {
        return false;
      }
    }
    if (piece.rows > 0) {
      chunks[at] = piece.chunk();
      if (!pipeline.next(chunks[at], first_row)) return false;
      first_row += piece.rows;
    }
    if (ended) return pipeline.wait();
  }
}

// The attribute `name` of `object`, or null without an error when it has
// none. Null with the error set when looking failed otherwise.
PyRef optional_attribute(PyObject* object, const char* name, bool& failed) {
  PyRef attribute(PyObject_GetAttrString(object, name));
  failed = false;
  if (!attribute) {
    if (PyErr_ExceptionMatches(PyExc_AttributeError)) {
      PyErr_Clear();
    } else {
      failed = true;
    }
  }
  return attribute;
}

}  // namespace

bool repair_texts(PyObject* texts, const RowOptions& options, unsigned threads,
                  ColumnData& out) {
  out.has_fixes = options.extract;
  if (PyUnicode_Check(texts) || PyBytes_Check(texts) ||
      PyByteArray_Check(texts)) {
    PyRef name = type_name(texts);
    PyErr_Format(PyExc_TypeError,
                 "texts: expected a column of texts, got a single '%U'",
                 name.get());
    return false;
  }
  bool failed;
  if (PyRef method = optional_attribute(texts, "__arrow_c_array__", failed)) {
    return repair_array(method.get(), options, threads, out);
  }
  if (failed) return false;
  if (PyRef method = optional_attribute(texts, "__arrow_c_stream__", failed)) {
    return repair_stream(method.get(), options, threads, out);
  }
  if (failed) return false;
  return repair_iterable(texts, options, threads, out);
}

}  // namespace tarnwick::python
