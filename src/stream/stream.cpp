// The public stream: the parser's face over its state, the value that its
// events build, and the prefix relation.
#include "tarnwick/stream.h"

#include <optional>  // optional
#include <utility>   // move

#include "stream/stream_state.h"

namespace tarnwick {

// MARK: StreamParser

StreamParser::StreamParser(const ExtractOptions& options)
    : state_(std::make_unique<detail::StreamState>(options)) {}
StreamParser::StreamParser(StreamParser&&) noexcept = default;
StreamParser& StreamParser::operator=(StreamParser&&) noexcept = default;
StreamParser::~StreamParser() = default;

std::span<const StreamEvent> StreamParser::feed(std::string_view chunk) {
  return state_->feed(chunk);
}
bool StreamParser::done() const noexcept { return state_->done(); }
bool StreamParser::incremental() const noexcept {
  return state_->incremental();
}
const JsonValue& StreamParser::fallback_value() const noexcept {
  return state_->fallback_value();
}
std::uint64_t StreamParser::fallback_generation() const noexcept {
  return state_->generation();
}
std::string_view StreamParser::text() const noexcept { return state_->text(); }
std::uint64_t StreamParser::fed() const noexcept { return state_->fed(); }
Extraction StreamParser::close() const { return state_->close(); }

// MARK: StreamValue

namespace {

// Puts `value` into the open container `into` at the event's step.
void put(JsonValue& into, std::string_view key, JsonValue value) {
  if (into.kind() == ValueKind::Object) {
    into.as_object().insert(std::string(key), std::move(value));
  } else {
    into.as_array().push_back(std::move(value));
  }
}

JsonValue scalar_of(const StreamEvent& event) {
  switch (event.value_kind) {
    case ValueKind::Bool:
      return JsonValue(event.boolean);
    case ValueKind::Number:
      return JsonValue(event.number);
    case ValueKind::String:
      return JsonValue(std::string(event.text));
    default:
      return JsonValue();
  }
}

}  // namespace

void StreamValue::apply(const StreamEvent& event) {
  started_ = true;
  switch (event.kind) {
    case StreamEventKind::Open:
      open_.push_back({event.value_kind == ValueKind::Object
                           ? JsonValue(JsonObject())
                           : JsonValue(JsonArray()),
                       std::string(event.key)});
      return;
    case StreamEventKind::Append:
      if (!in_string_) {
        in_string_ = true;
        string_.clear();
        string_key_.assign(event.key);
      }
      string_.append(event.text);
      return;
    case StreamEventKind::Complete:
      break;
  }
  JsonValue value;
  if (event.value_kind == ValueKind::Array ||
      event.value_kind == ValueKind::Object) {
    value = std::move(open_.back().container);
    open_.pop_back();
  } else {
    in_string_ = false;
    value = scalar_of(event);
  }
  if (open_.empty()) {
    root_ = std::move(value);
  } else {
    put(open_.back().container, event.key, std::move(value));
  }
}

bool StreamValue::started() const noexcept { return started_; }

JsonValue StreamValue::value() const {
  // From the innermost open value out: each open container's copy gets the
  // copy of the one inside it.
  std::optional<JsonValue> inner;
  std::string_view inner_key;
  if (in_string_) {
    inner = JsonValue(string_);
    inner_key = string_key_;
  }
  for (std::size_t k = open_.size(); k-- > 0;) {
    JsonValue copy = open_[k].container.clone();
    if (inner) put(copy, inner_key, std::move(*inner));
    inner = std::move(copy);
    inner_key = open_[k].key;
  }
  return inner ? std::move(*inner) : root_.clone();
}

// MARK: the prefix relation

bool extends(const JsonValue& earlier, const JsonValue& later) noexcept {
  if (earlier.kind() != later.kind()) return false;
  switch (earlier.kind()) {
    case ValueKind::String:
      return later.as_string().starts_with(earlier.as_string());
    case ValueKind::Array: {
      const JsonArray& a = earlier.as_array();
      const JsonArray& b = later.as_array();
      if (b.size() < a.size()) return false;
      if (a.empty()) return true;
      for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        if (!(a[i] == b[i])) return false;
      }
      return extends(a.back(), b[a.size() - 1]);
    }
    case ValueKind::Object: {
      const JsonObject& a = earlier.as_object();
      const JsonObject& b = later.as_object();
      if (b.size() < a.size()) return false;
      const JsonObject::Entry* x = a.begin();
      const JsonObject::Entry* y = b.begin();
      for (; x != a.end(); ++x, ++y) {
        if (x->key != y->key) return false;
        const bool last = x + 1 == a.end();
        if (last ? !extends(x->value, y->value) : !(x->value == y->value)) {
          return false;
        }
      }
      return true;
    }
    default:
      return earlier == later;
  }
}

}  // namespace tarnwick
