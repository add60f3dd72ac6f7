#include "stream_class.h"

#include <array>          // array
#include <cstddef>        // size_t
#include <cstdint>        // uint64_t
#include <optional>       // optional
#include <string>         // string
#include <string_view>    // string_view
#include <unordered_map>  // unordered_map
#include <utility>        // move
#include <vector>         // vector

#include "arguments.h"
#include "guard.h"
#include "py_ref.h"
#include "python_builder.h"
#include "stream_event.h"
#include "tarnwick/stream.h"

namespace tarnwick::python {
namespace {

// The text slot is unused: Stream() takes the options alone.
enum : std::size_t { kLenientSlot = kRepairSlotCount, kSlotCount };
constexpr std::array<std::string_view, kSlotCount> kParamNames = {
    "text",
    "max_len",
    "fallback",
    "strip_code_fences",
    "unwrap_double_encoded",
    "lenient"};
constexpr Signature kStreamSignature = {"Stream", kParamNames};

// A new str from UTF-8 the engine made. The strict path checks every
// sequence; the lenient path's reading of bytes keeps what is no UTF-8,
// read here as U+FFFD, as close() reads the text.
PyRef str_of(std::string_view utf8) {
  return require_object(PyUnicode_DecodeUTF8(
      utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace"));
}

// The interpreter's form of an engine value (the lenient path's reading).
PyRef python_value(const JsonValue& value, PythonBuilder& builder) {
  PyRef out;
  switch (value.kind()) {
    case ValueKind::Null:
      return PyRef::borrow(Py_None);
    case ValueKind::Bool:
      return bool_object(value.as_bool());
    case ValueKind::Number:
      (void)builder.number_value(value.as_number(), out);
      return out;
    case ValueKind::String:
      return str_of(value.as_string());
    case ValueKind::Array: {
      const JsonArray& items = value.as_array();
      out = require_object(PyList_New(static_cast<Py_ssize_t>(items.size())));
      for (std::size_t i = 0; i < items.size(); ++i) {
        // PyList_SetItem steals the reference; a fresh list cannot refuse.
        PyList_SetItem(out.get(), static_cast<Py_ssize_t>(i),
                       python_value(items[i], builder).release());
      }
      return out;
    }
    case ValueKind::Object:
      out = require_object(PyDict_New());
      for (const JsonObject::Entry& entry : value.as_object()) {
        if (PyDict_SetItem(out.get(), str_of(entry.key).get(),
                           python_value(entry.value, builder).get()) != 0) {
          PyErr_WriteUnraisable(nullptr);
          panic("could not store a dict item");
        }
      }
      return out;
  }
  panic("invalid value kind");
}

// An open container: its completed members (a private list or dict that no
// one else sees until it completes), its path, and the step of its open
// member.
struct Frame {
  bool object = false;
  PyRef items;
  PyRef path;
  std::size_t member = SIZE_MAX;  // the member `key` and `member_path` are of
  PyRef key;                      // its key (object) or index (array)
  PyRef member_path;
};

// Keys looked up by their UTF-8 without making a string of it.
struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view key) const noexcept {
    return std::hash<std::string_view>{}(key);
  }
};

// What an instance owns, behind one pointer.
class StreamCore {
 public:
  StreamCore(const ExtractOptions& options, PyRef kwargs)
      : parser_(options),
        kwargs_(std::move(kwargs)),
        max_len_(options.repair.max_len) {}

  PyRef feed(PyObject* chunk);
  PyRef value();
  PyRef close();
  bool done() const noexcept { return parser_.done(); }
  bool incremental() const noexcept { return parser_.incremental(); }

 private:
  bool take_chunk(PyObject* chunk, PyRef& encoded, std::string& replaced,
                  std::string_view& utf8);
  bool keep_chunk(PyObject* chunk, std::string_view utf8);
  PyRef past_max_len();
  PyRef apply(const StreamEvent& event);
  PyRef completed(const StreamEvent& event);
  void place(const StreamEvent& event, PyObject* value);
  void enter_member(const StreamEvent& event);
  PyObject* member_path(const StreamEvent& event);
  PyRef event_object(const StreamEvent& event, PyRef value);
  PyRef key_object(std::string_view key);
  PyRef string_snapshot();
  PyRef snapshot_of(Frame& frame, PyRef inner);

  StreamParser parser_;
  PyRef kwargs_;   // the options, as close() passes them to extract()
  PyRef chunks_;   // every chunk as given, for close()
  int input_ = 0;  // 0 none yet, 1 str, 2 bytes
  // The text's length so far, in UTF-8 bytes and in code points. Past
  // max_len the chunks are no longer kept: close() gives the fallback over
  // all of it, as extract() would, and memory stays bounded.
  std::uint64_t max_len_;
  std::uint64_t bytes_ = 0;
  Py_ssize_t code_points_ = 0;
  PyRef closed_;  // close()'s answer, once made

  std::vector<Frame> frames_;  // the open containers
  PyRef root_;                 // the top value, once complete
  bool started_ = false;
  // The open string: its UTF-8 so far, the last str made of it and the
  // bytes that covered, the one piece it had if it came in one Append.
  bool in_string_ = false;
  std::string string_;
  PyRef string_object_;
  std::size_t string_object_bytes_ = 0;
  PyRef string_piece_;
  std::size_t string_pieces_ = 0;
  PyRef root_path_;  // (), the top value's path

  // The str of each key seen, as the standard library's decoder keeps them:
  // records repeat their keys, and one object serves every record.
  static constexpr std::size_t kMaxKeys = 4096, kMaxKeyBytes = 64;
  std::unordered_map<std::string, PyRef, KeyHash, std::equal_to<>> keys_;

  PyRef snapshot_;  // the last value handed out, while nothing changed
  std::uint64_t generation_ = 0;
  PyRef fallback_;
};

// Checks the chunk's type (str or bytes, the same as the first chunk's) and
// keeps it; `utf8` gets what the engine reads, held by `encoded` or
// `replaced`. False with an error set.
bool StreamCore::take_chunk(PyObject* chunk, PyRef& encoded,
                            std::string& replaced, std::string_view& utf8) {
  const int kind = PyUnicode_Check(chunk) ? 1 : (PyBytes_Check(chunk) ? 2 : 0);
  if (kind == 0) {
    set_type_mismatch(chunk, "str or bytes");
    return false;
  }
  if (input_ != 0 && kind != input_) {
    PyErr_SetString(PyExc_TypeError,
                    input_ == 1 ? "feed() takes str, as the first chunk was"
                                : "feed() takes bytes, as the first chunk was");
    return false;
  }
  input_ = kind;
  if (kind == 2) {
    utf8 = bytes_view(chunk);
    return keep_chunk(chunk, utf8);
  }
  encoded.reset(PyUnicode_AsUTF8String(chunk));
  if (encoded) {
    utf8 = bytes_view(encoded.get());
    return keep_chunk(chunk, utf8);
  }
  // Lone surrogates: read as U+FFFD, as extract() reads them.
  PyErr_Clear();
  PyRef passed(PyUnicode_AsEncodedString(chunk, "utf-8", "surrogatepass"));
  if (!passed) return false;
  append_replacing_surrogates(bytes_view(passed.get()), replaced);
  utf8 = replaced;
  return keep_chunk(chunk, utf8);
}

// Keeps `chunk` for close() while the text is within max_len, and counts
// it: `utf8` is what the engine reads of it. False with an error set.
bool StreamCore::keep_chunk(PyObject* chunk, std::string_view utf8) {
  for (const char c : utf8) {  // code points of the decoded text
    code_points_ += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }
  bytes_ += utf8.size();
  if (bytes_ > max_len_) {
    chunks_.reset();
    return true;
  }
  if (!chunks_) chunks_ = require_object(PyList_New(0));
  return PyList_Append(chunks_.get(), chunk) == 0;
}

PyRef StreamCore::feed(PyObject* chunk) {
  if (closed_) {
    PyErr_SetString(PyExc_ValueError, "feed() after close()");
    return PyRef();
  }
  PyRef encoded;
  std::string replaced;
  std::string_view utf8;
  if (!take_chunk(chunk, encoded, replaced, utf8)) return PyRef();
  const auto events = parser_.feed(utf8);
  // A tuple: the empty one, the common answer, is shared.
  PyRef list =
      require_object(PyTuple_New(static_cast<Py_ssize_t>(events.size())));
  for (std::size_t i = 0; i < events.size(); ++i) {
    PyTuple_SetItem(list.get(), static_cast<Py_ssize_t>(i),
                    apply(events[i]).release());
  }
  if (!events.empty() || !parser_.incremental()) snapshot_.reset();
  return list;
}

// Makes the frame of the event's parent hold the event's member: its key
// (or index), and its path once asked for. Nothing at the top.
void StreamCore::enter_member(const StreamEvent& event) {
  if (event.depth == 0) return;
  Frame& frame = frames_[event.depth - 1];
  if (frame.member == event.index && frame.key) return;
  frame.key = frame.object ? key_object(event.key)
                           : require_object(PyLong_FromSize_t(event.index));
  frame.member_path.reset();
  frame.member = event.index;
}

// The path of the event's value, kept in its frame while the member is
// open. Borrowed.
PyObject* StreamCore::member_path(const StreamEvent& event) {
  if (event.depth == 0) {
    if (!root_path_) root_path_ = require_object(PyTuple_New(0));
    return root_path_.get();
  }
  Frame& frame = frames_[event.depth - 1];
  if (!frame.member_path) {
    frame.member_path = path_with_step(frame.path.get(), frame.key.get());
  }
  return frame.member_path.get();
}

// A new StreamEvent for `event`. Its path is the one kept in the frame when
// there is one (containers and the values at the top have theirs made);
// else the event makes it when first asked, from the parent's path and the
// step, so that events read only for their kind or value make none.
PyRef StreamCore::event_object(const StreamEvent& event, PyRef value) {
  if (event.depth == 0 || frames_[event.depth - 1].member_path) {
    return new_stream_event(event.kind, PyRef::borrow(member_path(event)),
                            PyRef(), PyRef(), std::move(value));
  }
  const Frame& frame = frames_[event.depth - 1];
  return new_stream_event(event.kind, PyRef(), PyRef::borrow(frame.path.get()),
                          PyRef::borrow(frame.key.get()), std::move(value));
}

// The str of a key: the one made for it before, while there is room.
PyRef StreamCore::key_object(std::string_view key) {
  if (key.size() > kMaxKeyBytes) return str_of(key);
  const auto found = keys_.find(key);
  if (found != keys_.end()) return PyRef::borrow(found->second.get());
  PyRef made = str_of(key);
  if (keys_.size() < kMaxKeys) {
    keys_.emplace(std::string(key), PyRef::borrow(made.get()));
  }
  return made;
}

// The StreamEvent of `event`, applied to the value first.
PyRef StreamCore::apply(const StreamEvent& event) {
  started_ = true;
  enter_member(event);
  PyRef value;
  switch (event.kind) {
    case StreamEventKind::Open: {
      const bool object = event.value_kind == ValueKind::Object;
      Frame frame;
      frame.object = object;
      frame.items = require_object(object ? PyDict_New() : PyList_New(0));
      frame.path = PyRef::borrow(member_path(event));
      frames_.push_back(std::move(frame));
      value = require_object(object ? PyDict_New() : PyList_New(0));
      break;
    }
    case StreamEventKind::Append:
      if (!in_string_) {
        in_string_ = true;
        string_.clear();
        string_object_.reset();
        string_object_bytes_ = 0;
        string_pieces_ = 0;
      }
      string_.append(event.text);
      value = str_of(event.text);
      if (string_pieces_++ == 0) string_piece_ = PyRef::borrow(value.get());
      break;
    case StreamEventKind::Complete:
      value = completed(event);
      place(event, value.get());
      break;
  }
  return event_object(event, std::move(value));
}

// The value that `event` completes.
PyRef StreamCore::completed(const StreamEvent& event) {
  PyRef out;
  switch (event.value_kind) {
    case ValueKind::Null:
      return PyRef::borrow(Py_None);
    case ValueKind::Bool:
      return bool_object(event.boolean);
    case ValueKind::Number: {
      PythonBuilder builder;
      (void)builder.number_value(event.number, out);
      return out;
    }
    case ValueKind::String:
      in_string_ = false;
      // A string that came in one piece is that piece.
      if (string_pieces_ == 1) return std::move(string_piece_);
      string_piece_.reset();
      return str_of(event.text);
    default:
      out = std::move(frames_.back().items);
      frames_.pop_back();
      return out;
  }
}

// Stores a completed value in its parent, or as the top value.
void StreamCore::place(const StreamEvent& event, PyObject* value) {
  if (event.depth == 0) {
    root_ = PyRef::borrow(value);
    return;
  }
  Frame& parent = frames_[event.depth - 1];
  const int stored = parent.object ? PyDict_SetItem(parent.items.get(),
                                                    parent.key.get(), value)
                                   : PyList_Append(parent.items.get(), value);
  if (stored != 0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not store a completed value");
  }
}

// The open string as a str: the last one made, extended by what came since.
PyRef StreamCore::string_snapshot() {
  if (string_object_bytes_ < string_.size() || !string_object_) {
    PyRef tail = str_of(std::string_view(string_).substr(string_object_bytes_));
    string_object_ =
        string_object_
            ? require_object(PyUnicode_Concat(string_object_.get(), tail.get()))
            : std::move(tail);
    string_object_bytes_ = string_.size();
  }
  return PyRef::borrow(string_object_.get());
}

// A copy of the frame's completed members, with `inner` (the snapshot of
// its open member, or null) after them.
PyRef StreamCore::snapshot_of(Frame& frame, PyRef inner) {
  if (frame.object) {
    PyRef copy = require_object(PyDict_Copy(frame.items.get()));
    if (inner &&
        PyDict_SetItem(copy.get(), frame.key.get(), inner.get()) != 0) {
      PyErr_WriteUnraisable(nullptr);
      panic("could not store a dict item");
    }
    return copy;
  }
  PyRef copy = require_object(
      PyList_GetSlice(frame.items.get(), 0, PyList_Size(frame.items.get())));
  if (inner && PyList_Append(copy.get(), inner.get()) != 0) {
    PyErr_WriteUnraisable(nullptr);
    panic("could not append to a list");
  }
  return copy;
}

PyRef StreamCore::value() {
  if (!parser_.incremental()) {
    if (!fallback_ || generation_ != parser_.fallback_generation()) {
      PythonBuilder builder;
      fallback_ = python_value(parser_.fallback_value(), builder);
      generation_ = parser_.fallback_generation();
    }
    return PyRef::borrow(fallback_.get());
  }
  if (snapshot_) return PyRef::borrow(snapshot_.get());
  PyRef inner;
  if (in_string_) inner = string_snapshot();
  for (std::size_t k = frames_.size(); k-- > 0;) {
    inner = snapshot_of(frames_[k], std::move(inner));
  }
  if (!inner) inner = PyRef::borrow(root_ ? root_.get() : Py_None);
  snapshot_ = PyRef::borrow(inner.get());
  return inner;
}

PyRef StreamCore::close() {
  if (closed_) return PyRef::borrow(closed_.get());
  if (bytes_ > max_len_) {
    closed_ = past_max_len();
    return closed_ ? PyRef::borrow(closed_.get()) : PyRef();
  }
  PyRef empty = require_object(input_ == 2 ? PyBytes_FromStringAndSize("", 0)
                                           : PyUnicode_FromString(""));
  PyRef text(chunks_
                 ? PyObject_CallMethod(empty.get(), "join", "O", chunks_.get())
                 : PyRef::borrow(empty.get()).release());
  if (!text) return PyRef();
  if (input_ == 2) {
    // Bytes that are no UTF-8 read as U+FFFD: close() never raises on them.
    text.reset(PyUnicode_DecodeUTF8(PyBytes_AsString(text.get()),
                                    PyBytes_Size(text.get()), "replace"));
    if (!text) return PyRef();
  }
  PyRef module(PyImport_ImportModule("tarnwick._extras"));
  PyRef extract(module ? PyObject_GetAttrString(module.get(), "extract")
                       : nullptr);
  PyRef args(extract ? PyTuple_Pack(1, text.get()) : nullptr);
  if (!args) return PyRef();
  PyRef answer(PyObject_Call(extract.get(), args.get(), kwargs_.get()));
  if (!answer) return PyRef();
  closed_ = PyRef::borrow(answer.get());
  return answer;
}

// The text passed max_len: extract() would give the fallback unread, over
// all of it. Its answer for no text, with the whole text's span.
PyRef StreamCore::past_max_len() {
  PyRef module(PyImport_ImportModule("tarnwick._extras"));
  if (!module) return PyRef();
  PyRef extract(PyObject_GetAttrString(module.get(), "extract"));
  PyRef rebuild(
      extract ? PyObject_GetAttrString(module.get(), "_rebuild_extraction")
              : nullptr);
  PyRef empty = require_object(PyUnicode_FromString(""));
  PyRef args(rebuild ? PyTuple_Pack(1, empty.get()) : nullptr);
  if (!args) return PyRef();
  PyRef none(PyObject_Call(extract.get(), args.get(), kwargs_.get()));
  if (!none) return PyRef();
  PyRef fields(PyObject_CallMethod(none.get(), "__reduce__", nullptr));
  PyObject* parts = fields ? PyTuple_GetItem(fields.get(), 1) : nullptr;
  if (parts == nullptr) return PyRef();  // borrowed
  PyRef span(Py_BuildValue("(nn)", Py_ssize_t{0}, code_points_));
  if (!span) return PyRef();
  PyRef rebuilt(Py_BuildValue(
      "(OOOOOO)", PyTuple_GetItem(parts, 0), PyTuple_GetItem(parts, 1),
      PyTuple_GetItem(parts, 2), PyTuple_GetItem(parts, 3), span.get(),
      PyTuple_GetItem(parts, 5)));
  if (!rebuilt) return PyRef();
  return PyRef(PyObject_Call(rebuild.get(), rebuilt.get(), nullptr));
}

// MARK: the class

struct StreamObject {
  PyObject ob_base;
  StreamCore* core;  // owned
};

StreamCore& core_of(PyObject* self) noexcept {
  return *reinterpret_cast<StreamObject*>(self)->core;
}

// The options, converted as extract() converts them, and the dict that
// close() passes on. Nothing, with the error set, on the first that fails.
std::optional<ExtractOptions> stream_options(PyObject* args, PyObject* kwargs) {
  if (PyTuple_Size(args) != 0) {
    PyErr_SetString(PyExc_TypeError, "Stream() takes no positional arguments");
    return std::nullopt;
  }
  // The binding helpers expect the text in the first slot.
  PyRef text = require_object(PyUnicode_FromString(""));
  PyRef with_text = require_object(PyTuple_Pack(1, text.get()));
  std::array<PyObject*, kSlotCount> slots;  // borrowed
  if (!bind_arguments(kStreamSignature, with_text.get(), kwargs, slots)) {
    return std::nullopt;
  }
  ConvertedOptions converted;
  if (!convert_repair_options(kStreamSignature, slots, converted)) {
    return std::nullopt;
  }
  const std::optional<bool> lenient = convert_flag(slots[kLenientSlot]);
  if (!lenient) {
    add_processing_note(kParamNames[kLenientSlot]);
    return std::nullopt;
  }
  if (!validate_fallback(converted)) return std::nullopt;
  ExtractOptions options;
  options.repair = converted.options;
  options.lenient = *lenient;
  return options;
}

PyObject* stream_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const std::optional<ExtractOptions> options = stream_options(args, kwargs);
    if (!options) return nullptr;
    PyRef kept = require_object(kwargs ? PyDict_Copy(kwargs) : PyDict_New());
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyRef self(alloc(type, 0));
    if (!self) return nullptr;
    reinterpret_cast<StreamObject*>(self.get())->core =
        new StreamCore(*options, std::move(kept));
    return self.release();
  });
}

void stream_dealloc(PyObject* self) {
  guard_void([&] {
    delete reinterpret_cast<StreamObject*>(self)->core;
    free_instance(self, Py_TYPE(self), "Stream");
  });
}

PyObject* stream_feed(PyObject* self, PyObject* chunk) {
  return guarded<PyObject*>(
      nullptr, [&] { return core_of(self).feed(chunk).release(); });
}

PyObject* stream_close(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return core_of(self).close().release(); });
}

PyObject* get_value(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return core_of(self).value().release(); });
}

PyObject* get_done(PyObject* self, void*) {
  return bool_object(core_of(self).done()).release();
}

PyObject* get_incremental(PyObject* self, void*) {
  return bool_object(core_of(self).incremental()).release();
}

PyMethodDef stream_methods[] = {
    {"feed", stream_feed, METH_O,
     "feed(chunk, /)\n--\n\nReads the next chunk (str or bytes, the same as "
     "the first one's; it may end\nanywhere) and returns its events, a tuple "
     "of StreamEvent. Never raises on\ncontent; ValueError after close()."},
    {"close", stream_close, METH_NOARGS,
     "close()\n--\n\nThe Extraction that extract() makes of the whole text "
     "(bytes decoded as\nUTF-8, a byte that is no UTF-8 read as U+FFFD). "
     "The same object on every call."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef stream_getset[] = {
    {"value", get_value, nullptr,
     "The value so far (None before it starts). It never changes "
     "afterwards;\ncompleted containers in it are shared with later values: "
     "copy one before\nchanging it.",
     nullptr},
    {"done", get_done, nullptr,
     "Whether the first value is complete (or its closing fence arrived, "
     "or\nthe text passed max_len); later text only matters to close().",
     nullptr},
    {"incremental", get_incremental, nullptr,
     "False once the text left strict JSON (or passed max_len): no "
     "more\nevents; the value is the lenient path's reading, taken again "
     "whenever the\ntext has grown by half.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot stream_slots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "Stream(*, max_len=None, fallback=None, strip_code_fences=None, "
         "unwrap_double_encoded=None, lenient=None)\n--\n\nReads a reply "
         "chunk by chunk: after each, `value` is the value so far, in\ntime "
         "proportional to the chunk. The options are extract()'s.")},
    {Py_tp_new, reinterpret_cast<void*>(stream_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(stream_dealloc)},
    {Py_tp_methods, stream_methods},
    {Py_tp_getset, stream_getset},
    {0, nullptr},
};

}  // namespace

SharedClass stream_class("tarnwick.Stream", sizeof(StreamObject), stream_slots);

}  // namespace tarnwick::python
