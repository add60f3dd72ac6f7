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
  const auto kept = [end](const Edit& e) {
    return e.pos < end || (e.pos == end && e.len == 0);
  };
  FixSet fixes = 0;
  // Most texts end where their value does: nothing to drop, one sweep.
  if (sorted_ && (edits_.empty() || kept(edits_.back()))) {
    for (const Edit& e : edits_) fixes |= e.fix;
    return fixes;
  }
  std::size_t keep = 0;
  for (const Edit& e : edits_) {
    if (kept(e)) {
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
  // Sixteen bytes of slack let short pieces be copied as one block.
  constexpr std::size_t kBlock = 16;
  std::string out(size + kBlock, '\0');
  char* w = out.data();
  const char* text = t_.data();
  const std::size_t text_size = t_.size();
  // Most pieces are a few bytes (a quote, the text between two quotes): one
  // fixed-size copy each rather than a call that loops on the length.
  auto copy_text = [&w, text, text_size](std::size_t from, std::size_t n) {
    if (n <= kBlock && text_size - from >= kBlock) {
      std::memcpy(w, text + from, kBlock);
    } else {
      std::memcpy(w, text + from, n);
    }
    w += n;
  };
  std::memcpy(w, prefix.data(), prefix.size());
  w += prefix.size();
  cursor = 0;
  for (const Edit& e : edits_) {
    if (e.pos < cursor) continue;
    copy_text(cursor, e.pos - cursor);
    if (e.size <= sizeof e.off) {
      std::memcpy(w, &e.off, sizeof e.off);
    } else {
      std::memcpy(w, arena_.data() + e.off, e.size);
    }
    w += e.size;
    cursor = e.pos + e.len;
  }
  if (cursor < end) {
    std::memcpy(w, text + cursor, end - cursor);
    w += end - cursor;
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

}  // namespace tarnwick::detail::lenient
