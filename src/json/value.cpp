#include "tarnwick/value.h"

#include <cmath>    // isfinite, signbit
#include <cstring>  // memcpy, memcmp
#include <new>      // placement new

#include "text/swar.h"  // load_u64

namespace tarnwick {

// MARK: - Numbers

std::optional<JsonNumber> JsonNumber::from_f64(double v) noexcept {
  if (!std::isfinite(v)) return std::nullopt;
  return JsonNumber(FloatTag{}, v);
}

bool operator==(const JsonNumber& a, const JsonNumber& b) noexcept {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case NumberKind::UnsignedInt:
      return a.u_ == b.u_;
    case NumberKind::NegativeInt:
      return a.i_ == b.i_;
    case NumberKind::Float:
      // Bitwise, so 0.0 and -0.0 differ as they do in the written text.
      return std::memcmp(&a.d_, &b.d_, sizeof(double)) == 0;
  }
  return false;
}

// MARK: - Objects (Private)

namespace detail {

// Open addressing with linear probing; a slot holds entry position + 1, 0 is
// empty. Capacity is a power of two kept at least twice the entry count.
struct ObjectIndex {
  std::vector<std::uint32_t> slots;
  std::size_t mask = 0;
};

void ObjectIndexDeleter::operator()(ObjectIndex* p) const noexcept { delete p; }

namespace {

// Up to this many entries a linear scan over the stored hashes beats an
// index, whose two allocations cost more than the scan on records of a few
// dozen fields (callgrind on arrays of 10-field records).
constexpr std::size_t kIndexThreshold = 32;

__extension__ typedef unsigned __int128 u128;  // 64x64->128 multiply

std::uint64_t mix(std::uint64_t a, std::uint64_t b) noexcept {
  const u128 r = static_cast<u128>(a) * b;
  return static_cast<std::uint64_t>(r) ^ static_cast<std::uint64_t>(r >> 64);
}

// A fixed-seed multiply-mix hash, eight bytes per step. Iteration order never
// depends on it, so no per-process seed is needed.
std::uint64_t hash_key(std::string_view key) noexcept {
  constexpr std::uint64_t k0 = 0xa0761d6478bd642fULL;
  constexpr std::uint64_t k1 = 0xe7037ed1a0b428dbULL;
  std::uint64_t h = k0 ^ key.size();
  const char* p = key.data();
  std::size_t n = key.size();
  while (n >= 8) {
    h = mix(h ^ load_u64(p), k1);
    p += 8;
    n -= 8;
  }
  // The last 1..7 bytes in at most two loads, overlapping when n < 8; short
  // keys are the common case and a variable-length memcpy is a call.
  std::uint64_t tail = 0;
  if (n >= 4) {
    std::uint32_t lo;
    std::uint32_t hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    tail = lo | static_cast<std::uint64_t>(hi) << 32;
  } else if (n > 0) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    tail = u[0] | static_cast<std::uint64_t>(u[n / 2]) << 8 |
           static_cast<std::uint64_t>(u[n - 1]) << 16;
  }
  return mix(h ^ tail, k1 ^ (n + 1));
}

}  // namespace
}  // namespace detail

JsonObject::~JsonObject() = default;

std::size_t JsonObject::locate(std::string_view key,
                               std::uint64_t hash) const noexcept {
  const std::size_t n = entries_.size();
  if (!index_) {
    for (std::size_t i = 0; i < n; ++i) {
      const Entry& e = entries_[i];
      if (e.hash == hash && e.key == key) return i;
    }
    return n;
  }
  const auto& slots = index_->slots;
  for (std::size_t s = hash & index_->mask;; s = (s + 1) & index_->mask) {
    const std::uint32_t v = slots[s];
    if (v == 0) return n;
    const Entry& e = entries_[v - 1];
    if (e.hash == hash && e.key == key) return v - 1;
  }
}

void JsonObject::index_entry(std::size_t pos) {
  auto& slots = index_->slots;
  std::size_t s = entries_[pos].hash & index_->mask;
  while (slots[s] != 0) s = (s + 1) & index_->mask;
  slots[s] = static_cast<std::uint32_t>(pos + 1);
}

void JsonObject::build_index() {
  std::size_t cap = 16;
  while (cap < entries_.size() * 2) cap *= 2;
  if (!index_) index_.reset(new detail::ObjectIndex);
  index_->slots.assign(cap, 0);
  index_->mask = cap - 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) index_entry(i);
}

std::optional<JsonValue> JsonObject::insert(std::string key, JsonValue value) {
  const std::uint64_t hash = detail::hash_key(key);
  const std::size_t pos = locate(key, hash);
  if (pos < entries_.size()) {
    JsonValue old = std::move(entries_[pos].value);
    entries_[pos].value = std::move(value);
    return old;
  }
  entries_.emplace_back(std::move(key), std::move(value), hash);
  if (index_) {
    if (entries_.size() * 2 > index_->slots.size()) {
      build_index();
    } else {
      index_entry(entries_.size() - 1);
    }
  } else if (entries_.size() > detail::kIndexThreshold) {
    build_index();
  }
  return std::nullopt;
}

const JsonValue* JsonObject::find(std::string_view key) const noexcept {
  const std::size_t pos = locate(key, detail::hash_key(key));
  return pos < entries_.size() ? &entries_[pos].value : nullptr;
}

JsonObject JsonObject::clone() const {
  JsonObject out;
  out.entries_.reserve(entries_.size());
  for (const Entry& e : entries_) {
    out.entries_.push_back(Entry{e.key, e.value.clone(), e.hash});
  }
  if (index_) out.build_index();
  return out;
}

// MARK: - Values

void JsonValue::destroy_owned() noexcept {
  switch (kind_) {
    case ValueKind::String:
      s_.~basic_string();
      break;
    case ValueKind::Array:
      a_.~vector();
      break;
    case ValueKind::Object:
      o_.~JsonObject();
      break;
    default:
      break;
  }
}

JsonValue JsonValue::clone() const {
  switch (kind_) {
    case ValueKind::Null:
      return JsonValue();
    case ValueKind::Bool:
      return JsonValue(b_);
    case ValueKind::Number:
      return JsonValue(n_);
    case ValueKind::String:
      return JsonValue(s_);
    case ValueKind::Array: {
      JsonArray a;
      a.reserve(a_.size());
      for (const JsonValue& v : a_) a.push_back(v.clone());
      return JsonValue(std::move(a));
    }
    case ValueKind::Object:
      return JsonValue(o_.clone());
  }
  return JsonValue();
}

bool operator==(const JsonValue& a, const JsonValue& b) noexcept {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case ValueKind::Null:
      return true;
    case ValueKind::Bool:
      return a.b_ == b.b_;
    case ValueKind::Number:
      return a.n_ == b.n_;
    case ValueKind::String:
      return a.s_ == b.s_;
    case ValueKind::Array:
      if (a.a_.size() != b.a_.size()) return false;
      for (std::size_t i = 0; i < a.a_.size(); ++i) {
        if (!(a.a_[i] == b.a_[i])) return false;
      }
      return true;
    case ValueKind::Object: {
      if (a.o_.size() != b.o_.size()) return false;
      const JsonObject::Entry* y = b.o_.begin();
      for (const JsonObject::Entry& x : a.o_) {
        if (x.key != y->key || !(x.value == y->value)) return false;
        ++y;
      }
      return true;
    }
  }
  return false;
}

}  // namespace tarnwick
