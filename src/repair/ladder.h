// The repair ladder over any builder of values: the engine's tree for
// run_ladder, interpreter objects in the binding, nothing but the canonical
// text for a column. One climb, written once. (Private)
#pragma once

#include <concepts>     // same_as, movable
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <optional>     // optional
#include <string>       // string
#include <string_view>  // string_view
#include <type_traits>  // is_same_v
#include <utility>      // move
#include <vector>       // vector

#include "json/reader_impl.h"
#include "repair/cleanup.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tarnwick/writer.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick::detail {

// What the ladder and its readers ask of a builder, each hook with its one
// return type. A false return stops the read: the builder failed, keeps why,
// and answers failed() from then on, which ends the climb at the fallback.
// A builder may also take string buffers over (adopt_string, adopt_key), as
// the tree does; the tolerant parser uses them where they exist.
template <class B>
concept LadderBuilder =
    requires(B& b, typename B::Value& value, typename B::Key& key,
             const typename B::Value& held, const JsonNumber& number,
             std::string_view text, std::vector<typename B::Value>& values,
             std::vector<Member<typename B::Key, typename B::Value>>& members,
             std::size_t base, bool& repeated) {
      requires std::default_initializable<typename B::Value>;
      requires std::movable<typename B::Value>;
      { b.failed() } -> std::same_as<bool>;
      { B::is_null(held) } -> std::same_as<bool>;
      { b.null_value(value) } -> std::same_as<bool>;
      { b.bool_value(true, value) } -> std::same_as<bool>;
      { b.number_value(number, value) } -> std::same_as<bool>;
      { b.string_value(text, value) } -> std::same_as<bool>;
      { b.key(text, key) } -> std::same_as<bool>;
      { b.array_value(values, base, value) } -> std::same_as<bool>;
      { b.object_value(members, base, value, repeated) } -> std::same_as<bool>;
    };

// The ladder's answer: the value as the builder made it, its canonical text
// and the rung. `ok` and `changed` follow from the rung alone.
template <class Value>
struct LadderAnswer {
  Value value;
  std::string json;
  Strategy strategy = Strategy::Fallback;

  bool ok() const noexcept { return strategy != Strategy::Fallback; }
  bool changed() const noexcept { return strategy != Strategy::Parse; }
};

// How far a climb goes: all the way, only the rungs that take the text as
// it stands ("parse", "unwrap-double", "strip-fences"), which is all that
// extraction needs to know before it rewrites a text itself, or only the
// strict read of an array or object document, which builds the value of a
// valid text in the one pass that finds it strict.
enum class LadderRungs : std::uint8_t { All, AsItStands, Strict };

// The canonical text, and which way makes it when:
// - a strict rung: the reader copies it from the input while it reads
//   (whitespace cut, escaped strings and odd floats respelled);
// - a repeated key breaks that copy (the member it drops was copied): the
//   writer writes the tree, read again from the text by a builder that has
//   none of its own;
// - the tolerant rung: the parser as it goes, or the writer as above after
//   a repeated key;
// - the fallback: "null" or "{}".
template <LadderBuilder Builder>
class Ladder {
 public:
  using Value = typename Builder::Value;

  // Without `with_json`, a strict rung makes no canonical text: the
  // answer's json is empty when that rung answers.
  Ladder(const RepairOptions& options, Builder& builder,
         bool with_json = true) noexcept
      : options_(options), builder_(builder), with_json_(with_json) {}

  LadderAnswer<Value> climb(std::string_view input, LadderRungs rungs) {
    // 0. Size guard, before any scan or copy.
    if (input.size() > options_.max_len) return fallback();

    if (rungs == LadderRungs::Strict) {
      return read(input, /*containers_only=*/true, nullptr) == Shape::Container
                 ? answer(Strategy::Parse)
                 : fallback();
    }

    // 1. Strict parse of the unaltered input, one level of unwrapping: a
    // string document whose content is an array or object document.
    {
      std::string content;
      const Shape shape =
          read(input, /*containers_only=*/false,
               options_.unwrap_double_encoded ? &content : nullptr);
      if (shape != Shape::NotADocument) {
        if (shape == Shape::String && options_.unwrap_double_encoded &&
            read(content, /*containers_only=*/true, nullptr) ==
                Shape::Container) {
          return answer(Strategy::UnwrapDouble);
        }
        return answer(Strategy::Parse);
      }
    }

    // Rungs 2 to 4 work on a view of the input until a rung that changed
    // the text fails its parse; from then on on that rung's output, which
    // is moved in, never copied.
    std::string owned;
    std::string_view working = input;
    auto attempt = [&](std::optional<std::string> candidate) -> bool {
      if (!candidate) return false;
      if (read(*candidate, /*containers_only=*/false, nullptr) !=
          Shape::NotADocument) {
        return true;
      }
      owned = std::move(*candidate);
      working = owned;
      return false;
    };

    // 2. Code fences.
    if (options_.strip_code_fences && attempt(strip_fences(working))) {
      return answer(Strategy::StripFences);
    }
    if (rungs == LadderRungs::AsItStands) return fallback();
    // 3. Raw control characters in strings; 4. trailing commas. One scan
    // tells which of the two has anything to change.
    const CleanupNeeds needs = cleanup_needs(working);
    if (needs.controls && attempt(strip_controls_if_changed(working))) {
      return answer(Strategy::StripControls);
    }
    if (needs.trailing_commas &&
        attempt(strip_trailing_commas_if_changed(working))) {
      return answer(Strategy::StripTrailingCommas);
    }

    // 5. Tolerant parse, from the first non-White_Space code point. A null
    // result counts only when the text is exactly "null".
    if (read_tolerant(working) || trim_whitespace(working) == "null") {
      return answer(Strategy::Tolerant);
    }

    // 6. Fallback.
    return fallback();
  }

 private:
  enum class Shape : std::uint8_t { NotADocument, String, Container, Scalar };
  static constexpr bool kTree = std::is_same_v<Builder, TreeBuilder>;

  LadderAnswer<Value> answer(Strategy strategy) {
    return LadderAnswer<Value>{std::move(value_), std::move(canonical_),
                               strategy};
  }

  LadderAnswer<Value> fallback() {
    LadderAnswer<Value> out;
    if (options_.fallback == FallbackKind::EmptyObject) {
      std::vector<Member<typename Builder::Key, Value>> none;
      bool repeated = false;
      (void)builder_.object_value(none, 0, out.value, repeated);
      out.json = "{}";
    } else {
      (void)builder_.null_value(out.value);
      out.json = "null";
    }
    return out;
  }

  // Reads `text` as exactly one strict JSON document; with
  // `containers_only`, a document that is no array or object does not
  // count. On success holds the value and its canonical text and, for a
  // string document with `content` non-null, stores the decoded string
  // there. A builder that has failed reads nothing more.
  Shape read(std::string_view text, bool containers_only,
             std::string* content) {
    // A text whose ends rule out a document (a cut-off reply, prose) is
    // refused before anything is built.
    if (builder_.failed() || !may_be_document(text)) {
      return Shape::NotADocument;
    }
    std::size_t first = 0;
    while (is_json_ws(static_cast<unsigned char>(text[first]))) ++first;
    const char head = text[first];
    const Shape shape = head == '[' || head == '{' ? Shape::Container
                        : head == '"'              ? Shape::String
                                                   : Shape::Scalar;
    if (containers_only && shape != Shape::Container) {
      return Shape::NotADocument;
    }
    std::string canonical;
    Reader<Builder> reader(text, builder_, with_json_ ? &canonical : nullptr);
    Value value;
    if (!reader.read_document(value)) return Shape::NotADocument;
    if (with_json_ && !reader.canonical_exact()) {
      if constexpr (kTree) {
        canonical = to_canonical_text(value);
      } else {
        ReadResult<JsonValue> tree = parse_document(text);
        if (!tree.ok()) return Shape::NotADocument;  // cannot happen
        canonical = to_canonical_text(tree.value());
      }
    }
    if (shape == Shape::String && content != nullptr) {
      content->assign(reader.last_string());
    }
    value_ = std::move(value);
    canonical_ = std::move(canonical);
    return shape;
  }

  // The tolerant rung: reads one value from the start of `text` (leading
  // White_Space skipped) and holds it with its canonical text. False when
  // that value is null, which the parser also gives when it recognised
  // nothing.
  bool read_tolerant(std::string_view text) {
    std::string canonical;
    canonical.reserve(text.size());
    Value value;
    bool exact = true;
    {
      BasicTolerantParser<Builder> parser(text, builder_, &canonical);
      parser.skip_whitespace();
      value = parser.parse_value();
      exact = parser.canonical_exact();
    }
    if (builder_.failed() || Builder::is_null(value)) {
      value_ = std::move(value);
      canonical_ = "null";
      return false;
    }
    if (!exact) {
      if constexpr (kTree) {
        canonical = to_canonical_text(value);
      } else {
        canonical = to_canonical_text(parse_tolerant(text));  // a repeated key
      }
    }
    value_ = std::move(value);
    canonical_ = std::move(canonical);
    return true;
  }

  const RepairOptions& options_;
  Builder& builder_;
  bool with_json_;
  Value value_;  // what the last successful read left
  std::string canonical_;
};

// Climbs the ladder on `input` with the values made by `builder`. When the
// builder failed on the way (builder.failed()), the answer is the fallback
// and the builder holds why.
template <LadderBuilder Builder>
LadderAnswer<typename Builder::Value> climb_ladder(
    std::string_view input, const RepairOptions& options, Builder& builder,
    LadderRungs rungs = LadderRungs::All, bool with_json = true) {
  return Ladder<Builder>(options, builder, with_json).climb(input, rungs);
}

}  // namespace tarnwick::detail
