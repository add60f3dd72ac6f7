// The object keys that loads() and extract() share across calls. Replies of
// one schema repeat their keys on every call; a cached key is one reference
// count instead of a UTF-8 decode, and it carries its hash from the first
// dict it went into. repair() does not use it: its keys stay separate
// objects.
#pragma once

#include <array>        // array
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // string_view

#include "py_ref.h"
#include "python_api.h"

namespace tarnwick::python {

// A direct-mapped table of short keys: a fixed number of slots, each holding
// one str and its UTF-8 bytes; a new key takes its slot over from whatever
// held it. So the cache never holds more than kSlots strs of at most
// kMaxKeyBytes bytes, whatever the replies hold. Lives in the `_extras`
// module's state (zero-filled memory is an empty cache) and is read and
// filled under the GIL only.
class KeyCache {
 public:
  static constexpr std::size_t kSlots = 1024;      // a power of two
  static constexpr std::size_t kMaxKeyBytes = 32;  // longer keys are not kept

  // A new reference to the str of `utf8`: the cached one, or a new one that
  // the cache keeps when the key is short. Panics if it cannot be made.
  PyRef get(std::string_view utf8);

  // Drops every str; the cache stays usable.
  void clear() noexcept;

  // Slots that hold a str.
  std::size_t size() const noexcept;

  bool enabled() const noexcept { return !disabled_; }
  void set_enabled(bool on) noexcept { disabled_ = !on; }

  // The cache in the state of an `_extras` module object (borrowed).
  static KeyCache& of(PyObject* module) noexcept {
    return *static_cast<KeyCache*>(PyModule_GetState(module));
  }

 private:
  static constexpr std::size_t kWords = kMaxKeyBytes / 8;

  // A key's bytes as words, zero after its end: the slot's hash and its
  // comparison read them in place of the bytes.
  using Words = std::array<std::uint64_t, kWords>;

  struct Slot {
    PyObject* text;  // owned, or null
    std::size_t length;
    Words words;
  };

  std::array<Slot, kSlots> slots_;
  bool disabled_;  // for the tests that compare results with and without
};

// _key_cache(enabled=None): for the tests. Turns the cache of the module on
// or off when `enabled` is given (off empties it), and returns (strs held,
// slots, enabled).
extern PyMethodDef key_cache_method_def;

}  // namespace tarnwick::python
