#include "key_cache.h"

#include <cstdint>  // uint64_t
#include <cstring>  // memcpy, memcmp

#include "module_support.h"

namespace tarnwick::python {
namespace {

// The slot of a key of at most kMaxKeyBytes bytes: eight bytes at a time
// through a multiply, the length mixed in first.
std::size_t slot_of(std::string_view utf8) noexcept {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = (utf8.size() + 1) * kMul;
  std::size_t i = 0;
  for (; i + 8 <= utf8.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, utf8.data() + i, 8);
    h = (h ^ word) * kMul;
  }
  if (i < utf8.size()) {
    std::uint64_t word = 0;
    std::memcpy(&word, utf8.data() + i, utf8.size() - i);
    h = (h ^ word) * kMul;
  }
  return static_cast<std::size_t>(h >> 32) & (KeyCache::kSlots - 1);
}

}  // namespace

PyRef KeyCache::get(std::string_view utf8) {
  if (disabled_ || utf8.empty() || utf8.size() > kMaxKeyBytes) {
    return text_object(utf8);
  }
  Slot& slot = slots_[slot_of(utf8)];
  if (slot.text != nullptr && slot.length == utf8.size() &&
      std::memcmp(slot.bytes, utf8.data(), utf8.size()) == 0) {
    return PyRef::borrow(slot.text);
  }
  PyRef text = text_object(utf8);
  Py_XDECREF(slot.text);
  slot.text = PyRef::borrow(text.get()).release();
  slot.length = static_cast<std::uint8_t>(utf8.size());
  std::memcpy(slot.bytes, utf8.data(), utf8.size());
  return text;
}

void KeyCache::clear() noexcept {
  for (Slot& slot : slots_) {
    PyObject* text = slot.text;
    slot.text = nullptr;
    Py_XDECREF(text);
  }
}

std::size_t KeyCache::size() const noexcept {
  std::size_t n = 0;
  for (const Slot& slot : slots_) n += slot.text != nullptr;
  return n;
}

namespace {

PyObject* key_cache_entry(PyObject* module, PyObject* args) {
  PyObject* enabled = Py_None;  // borrowed
  if (!PyArg_ParseTuple(args, "|O:_key_cache", &enabled)) return nullptr;
  KeyCache& cache = KeyCache::of(module);
  if (enabled != Py_None) {
    const int on = PyObject_IsTrue(enabled);
    if (on < 0) return nullptr;
    if (on == 0) cache.clear();
    cache.set_enabled(on != 0);
  }
  return Py_BuildValue("(nnO)", static_cast<Py_ssize_t>(cache.size()),
                       static_cast<Py_ssize_t>(KeyCache::kSlots),
                       cache.enabled() ? Py_True : Py_False);
}

}  // namespace

PyMethodDef key_cache_method_def = {
    "_key_cache", key_cache_entry, METH_VARARGS,
    "_key_cache(enabled=None)\n--\n\nThe shared key cache, for tests: turns "
    "it on or off (off empties it)\nwhen `enabled` is given; returns (keys "
    "held, slots, enabled)."};

}  // namespace tarnwick::python
