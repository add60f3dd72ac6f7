// The ladder's strict reads done by the template reader with any builder:
// the engine's tree here, interpreter objects in the binding. (Private)
#pragma once

#include <string>       // string
#include <string_view>  // string_view
#include <type_traits>  // is_same_v
#include <utility>      // move

#include "json/reader_impl.h"
#include "tarnwick/reader.h"
#include "tarnwick/repair.h"
#include "tolerant/tolerant_parser.h"

namespace tarnwick::detail {

// Besides the reader's requirements, the builder answers failed() (it
// stopped a read; no read counts afterwards) and is_null(value).
template <class Builder>
class BuildingReader final : public DocumentReader {
 public:
  using Value = typename Builder::Value;

  explicit BuildingReader(Builder& builder) noexcept : builder_(builder) {}

  Shape read(std::string_view text, bool containers_only,
             std::string* content) override {
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
    Reader<Builder> reader(text, builder_, &canonical);
    Value value;
    if (!reader.read_document(value)) return Shape::NotADocument;
    if (!reader.canonical_exact()) {
      // A repeated key: the engine's writer applies the rule, to the value
      // itself when it is the tree, else to the text read again into one
      // (rare enough that the second read costs nothing that matters).
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

  bool read_tolerant(std::string_view text) override {
    // The engine's tree is written once the parser and its code points (four
    // bytes per input byte) are gone, which keeps the peak of a large repair
    // lower; other forms have no tree to write, so the parser writes them.
    std::string canonical;
    Value value;
    bool exact = true;
    {
      BasicTolerantParser<Builder> parser(text, builder_,
                                          kTree ? nullptr : &canonical);
      if constexpr (!kTree) canonical.reserve(text.size());
      parser.skip_whitespace();
      value = parser.parse_value();
      exact = parser.canonical_exact();
    }
    if (builder_.failed() || Builder::is_null(value)) {
      value_ = std::move(value);
      canonical_ = "null";
      return false;
    }
    if constexpr (kTree) {
      canonical = to_canonical_text(value);
    } else if (!exact) {
      canonical = to_canonical_text(parse_tolerant(text));  // a repeated key
    }
    value_ = std::move(value);
    canonical_ = std::move(canonical);
    return true;
  }

  // What the last successful read left.
  Value& value() noexcept { return value_; }
  std::string& canonical() noexcept { return canonical_; }

 private:
  static constexpr bool kTree = std::is_same_v<Builder, TreeBuilder>;

  Builder& builder_;
  Value value_;
  std::string canonical_;
};

}  // namespace tarnwick::detail
