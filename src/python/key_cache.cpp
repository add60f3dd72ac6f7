#include "key_cache.h"

#include <cstdint>  // uint64_t
#include <cstring>  // memcpy

#include "module_support.h"

namespace tarnwick::python {

PyRef KeyCache::get(std::string_view utf8) {
  if (disabled_ || utf8.empty() || utf8.size() > kMaxKeyBytes) {
    return text_object(utf8);
  }
  Words words{};
  std::memcpy(words.data(), utf8.data(), utf8.size());
  // The slot: the key's words through a multiply, its length mixed in
  // first; only the words it reaches are read.
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = (utf8.size() + 1) * kMul;
  const std::size_t used = (utf8.size() + 7) / 8;
  for (std::size_t i = 0; i < used; ++i) h = (h ^ words[i]) * kMul;
  Slot& slot = slots_[static_cast<std::size_t>(h >> 32) & (kSlots - 1)];
  if (slot.text != nullptr && slot.length == utf8.size() &&
      slot.words == words) {
    return PyRef::borrow(slot.text);
  }
  PyRef text = text_object(utf8);
  Py_XDECREF(slot.text);
  slot.text = PyRef::borrow(text.get()).release();
  slot.length = utf8.size();
  slot.words = words;
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
