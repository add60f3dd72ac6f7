// The strict reader's entry points over the engine's tree; the reader itself
// is a template shared with the binding (json/reader_impl.h).
#include "tarnwick/reader.h"

#include <optional>  // optional
#include <utility>   // move

#include "json/reader_impl.h"

namespace tarnwick {

ReadResult<JsonValue> parse_document(std::string_view text) {
  detail::TreeBuilder builder;
  detail::Reader<detail::TreeBuilder> reader(text, builder);
  JsonValue value;
  if (!reader.read_document(value)) return reader.error();
  return value;
}

std::optional<JsonValue> parse_container(std::string_view text) {
  ReadResult<JsonValue> r = parse_document(text);
  if (!r.ok()) return std::nullopt;
  const ValueKind k = r.value().kind();
  if (k != ValueKind::Array && k != ValueKind::Object) return std::nullopt;
  return std::move(r.value());
}

bool may_be_document(std::string_view text) noexcept {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last &&
         detail::is_json_ws(static_cast<unsigned char>(text[first]))) {
    ++first;
  }
  while (last > first &&
         detail::is_json_ws(static_cast<unsigned char>(text[last - 1]))) {
    --last;
  }
  if (first == last) return false;
  const unsigned char head = static_cast<unsigned char>(text[first]);
  const unsigned char tail = static_cast<unsigned char>(text[last - 1]);
  // One value spans the whole text, so its first byte fixes its last: a
  // reply cut off inside an object starts with '{' but does not end in '}'.
  switch (head) {
    case '{':
      return tail == '}';
    case '[':
      return tail == ']';
    case '"':
      return tail == '"' && last - first >= 2;
    case 't':
    case 'f':
      return tail == 'e';
    case 'n':
      return tail == 'l';
    case '-':
      return detail::is_digit(tail);
    default:
      return detail::is_digit(head) && detail::is_digit(tail);
  }
}

ReadResult<JsonNumber> parse_number_document(std::string_view text) {
  detail::TreeBuilder builder;
  detail::Reader<detail::TreeBuilder> reader(text, builder);
  JsonNumber n;
  if (!reader.read_number_document(n)) return reader.error();
  return n;
}

}  // namespace tarnwick
