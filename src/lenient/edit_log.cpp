// The lenient pass's edit log (see edit_log.h).

#include "lenient/edit_log.h"

#include <algorithm>    // min, stable_sort
#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <cstring>      // memcpy
#include <string>       // string
#include <string_view>  // string_view

namespace tarnwick::detail::lenient {

void EditLog::amend(Checkpoint point, std::string_view with,
                    FixSet fix) noexcept {
  Edit& e = edits_[point.count];
  e.size = static_cast<std::uint32_t>(with.size());
  e.off = 0;
  if (!with.empty()) std::memcpy(&e.off, with.data(), with.size());
  e.fix = fix;
}

void EditLog::drop_from(Checkpoint since, std::size_t pos) {
  std::size_t keep = since.count;
  for (std::size_t k = since.count; k < edits_.size(); ++k) {
    if (edits_[k].pos < pos) edits_[keep++] = edits_[k];
  }
  edits_.resize(keep);
}

bool EditLog::last_inserted(std::size_t pos,
                            std::string_view with) const noexcept {
  if (edits_.empty()) return false;
  const Edit& e = edits_.back();
  return e.pos == pos && e.len == 0 &&
         std::string_view(e.bytes(arena_), e.size) == with;
}

FixSet EditLog::keep_before(std::size_t end) {
  FixSet fixes = 0;
  std::size_t keep = 0;
  for (const Edit& e : edits_) {
    if (e.pos < end || (e.pos == end && e.len == 0)) {
      edits_[keep++] = e;
      fixes |= e.fix;
    }
  }
  edits_.resize(keep);
  return fixes;
}

std::string EditLog::apply(std::size_t end, std::string_view prefix) {
  if (!sorted_) {
    std::stable_sort(edits_.begin(), edits_.end(),
                     // At one position, insertions go before a replacement
                     // that starts there: they belong in front of its text.
                     [](const Edit& a, const Edit& b) {
                       return a.pos < b.pos ||
                              (a.pos == b.pos && a.len == 0 && b.len != 0);
                     });
  }
  // The size first, then one pass of copies into place.
  std::size_t size = prefix.size() + end;
  std::size_t cursor = 0;
  for (const Edit& e : edits_) {
    if (e.pos < cursor) continue;  // inside a range already replaced
    size = size + e.size - std::min<std::size_t>(e.len, end - e.pos);
    cursor = e.pos + e.len;
  }
  std::string out(size, '\0');
  char* w = out.data();
  // Most pieces are a few bytes (a quote, the text between two quotes):
  // copied in place rather than through a call each.
  auto copy = [&w](const char* from, std::size_t n) {
    if (n <= 16) {
      for (std::size_t k = 0; k < n; ++k) w[k] = from[k];
    } else {
      std::memcpy(w, from, n);
    }
    w += n;
  };
  copy(prefix.data(), prefix.size());
  cursor = 0;
  for (const Edit& e : edits_) {
    if (e.pos < cursor) continue;
    copy(t_.data() + cursor, e.pos - cursor);
    copy(e.bytes(arena_), e.size);
    cursor = e.pos + e.len;
  }
  if (cursor < end) {
    std::memcpy(w, t_.data() + cursor, end - cursor);
    w += end - cursor;
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

}  // namespace tarnwick::detail::lenient
