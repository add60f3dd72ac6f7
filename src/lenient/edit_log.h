// The lenient pass's edits: replace a byte range of the text by new bytes.
// Text that needs no edit is never copied; otherwise the edits are applied
// in one pass at the end. Speculative work is undone only through
// checkpoints, so that no reading can leave half of itself behind. (Private)
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <cstring>      // memcpy
#include <string>       // string
#include <string_view>  // string_view
#include <vector>       // vector

#include "tarnwick/lenient.h"  // Fix, FixSet

namespace tarnwick::detail::lenient {

class EditLog {
 public:
  // The log of edits to `text`, which must be below 4 GiB.
  explicit EditLog(std::string_view text) noexcept : t_(text) {}

  // Replaces [pos, pos + len) by `with`; `fix` is the family it belongs to
  // (0 for layout that changes no value).
  void replace(std::size_t pos, std::size_t len, std::string_view with,
               FixSet fix);
  void replace(std::size_t pos, std::size_t len, std::string_view with,
               Fix fix) {
    replace(pos, len, with, fix_bit(fix));
  }
  void erase(std::size_t pos, std::size_t len, Fix fix) {
    replace(pos, len, {}, fix);
  }
  void insert(std::size_t pos, std::string_view with, Fix fix) {
    replace(pos, 0, with, fix);
  }

  // A point to come back to: the edits made so far.
  struct Checkpoint {
    std::size_t count = 0;
  };
  Checkpoint checkpoint() const noexcept { return {edits_.size()}; }
  // Undoes the edits made after `since` at `pos` or after it in the text,
  // whatever their order; those before `pos` stay.
  void drop_from(Checkpoint since, std::size_t pos);
  // Undoes every edit made after `point`.
  void rollback(Checkpoint point) noexcept { edits_.resize(point.count); }

  // Gives the edit made right after `point` other bytes (at most four) and
  // family, in place, so that a decision taken later (a tuple that turns out
  // to be a value in parentheses) costs no sort.
  void amend(Checkpoint point, std::string_view with, FixSet fix) noexcept;

  bool empty() const noexcept { return edits_.empty(); }
  // Whether the last edit inserted exactly `with` at `pos`.
  bool last_inserted(std::size_t pos, std::string_view with) const noexcept;

  // Drops the edits past `end` (those of text that was left out) and
  // returns the families of those kept.
  FixSet keep_before(std::size_t end);
  // The text up to `end` with every edit applied, after `prefix`.
  std::string apply(std::size_t end, std::string_view prefix);

 private:
  // Texts are below 4 GiB (lenient_rewrite refuses longer ones), so 32 bits
  // hold every length and offset but the position. Replacements of up to
  // four bytes (most are one quote) are kept in `off` itself.
  struct Edit {
    std::size_t pos;
    std::uint32_t len;
    std::uint32_t off;
    std::uint32_t size;
    FixSet fix;

    const char* bytes(const std::string& arena) const noexcept {
      return size <= sizeof off ? reinterpret_cast<const char*>(&off)
                                : arena.data() + off;
    }
  };

  std::string_view t_;
  std::vector<Edit> edits_;
  bool sorted_ = true;  // edits_ is in the order apply needs
  std::string arena_;
};

inline void EditLog::replace(std::size_t pos, std::size_t len,
                             std::string_view with, FixSet fix) {
  if (edits_.empty()) {
    edits_.reserve(t_.size() / 32 + 8);
  } else {
    // Most edits come in text order; the few that do not (a comma found to
    // be trailing, the bracket of values made one array) ask for a sort.
    const Edit& last = edits_.back();
    if (pos < last.pos || (pos == last.pos && len == 0 && last.len != 0)) {
      sorted_ = false;
    }
  }
  Edit& e =
      edits_.emplace_back(Edit{pos, static_cast<std::uint32_t>(len), 0,
                               static_cast<std::uint32_t>(with.size()), fix});
  if (with.size() <= sizeof e.off) {
    if (!with.empty()) std::memcpy(&e.off, with.data(), with.size());
  } else {
    e.off = static_cast<std::uint32_t>(arena_.size());
    arena_ += with;
  }
}

}  // namespace tarnwick::detail::lenient
