// Schema compilation, validation and coercion over random schemas and texts.
// Invariants:
//   - compiling never fails on content other than by an error value;
//   - validation over text agrees with validation over the value;
//   - `conforms` is the validator's verdict on the coerced value, and the
//     feedback is empty exactly when it conforms;
//   - coercion "none" changes nothing;
//   - coercion is idempotent: coercing its output again changes nothing.
// The first byte picks the coercion mode (bits 0-1) and where the schema
// comes from (bit 2): a schema built from the following bytes over the
// enforced keywords, or the text up to the first line feed as it stands.
// The rest is the reply, read by run_extract.

#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string>       // string
#include <string_view>  // string_view

#include "invariants.h"
#include "tarnwick/extract.h"
#include "tarnwick/schema.h"

namespace {

using namespace tarnwick;

// Builds a schema's text from bytes, one choice per byte; the bytes it did
// not use are the reply.
class SchemaMaker {
 public:
  explicit SchemaMaker(std::string_view bytes) : bytes_(bytes) {}

  std::string root() {
    std::string body = schema(3);
    // A definition that reads input before it can recur.
    return "{\"$defs\": {\"d\": {\"type\": \"array\", \"items\": " + schema(1) +
           "}}, \"allOf\": [" + body + "]}";
  }
  std::string_view rest() const { return bytes_.substr(at_); }

 private:
  unsigned next() {
    return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : 0;
  }
  std::string pick(std::initializer_list<const char*> options) {
    const unsigned i = next() % static_cast<unsigned>(options.size());
    return *(options.begin() + i);
  }
  std::string scalar() {
    return pick({"null", "true", "1", "-2", "2.5", "0", "\"a\"", "\"Red\"",
                 "\"yes\"", "\"1\"", "[]", "{}"});
  }
  std::string names() {
    return pick({"\"a\"", "\"b\"", "\"user_id\"", "\"A\""});
  }

  std::string schema(int depth) {
    const unsigned shape = next();
    if (shape % 16 == 0) return shape & 16 ? "true" : "false";
    std::string out = "{";
    const unsigned count = 1 + next() % 4;
    for (unsigned k = 0; k < count; ++k) {
      if (k != 0) out += ", ";
      out += keyword(depth);
    }
    return out + "}";
  }

  std::string sub(int depth) {
    return depth > 0 ? schema(depth - 1)
                     : "{\"type\": " +
                           pick({"\"null\"", "\"boolean\"", "\"integer\"",
                                 "\"number\"", "\"string\"", "\"array\"",
                                 "\"object\""}) +
                           "}";
  }

  std::string keyword(int depth) {
    switch (next() % 16) {
      case 0:
        return "\"type\": " +
               pick({"\"integer\"", "\"number\"", "\"string\"", "\"boolean\"",
                     "\"array\"", "\"object\"", "[\"string\", \"null\"]",
                     "[\"integer\", \"array\"]"});
      case 1:
        return "\"enum\": [" + scalar() + ", " + scalar() + "]";
      case 2:
        return "\"const\": " + scalar();
      case 3:
        return "\"properties\": {" + names() + ": " + sub(depth) + ", " +
               names() + ": " + sub(depth) + "}";
      case 4:
        return "\"required\": [" + names() + "]";
      case 5:
        return "\"additionalProperties\": " + sub(depth);
      case 6:
        return "\"items\": " + sub(depth);
      case 7:
        return "\"prefixItems\": [" + sub(depth) + "]";
      case 8:
        return pick({"\"anyOf\"", "\"oneOf\"", "\"allOf\""}) + ": [" +
               sub(depth) + ", " + sub(depth) + "]";
      case 9:
        return pick({"\"minimum\"", "\"maximum\"", "\"exclusiveMinimum\"",
                     "\"exclusiveMaximum\""}) +
               ": " + pick({"0", "1", "-1.5", "3"});
      case 10:
        return "\"multipleOf\": " + pick({"2", "0.5", "3"});
      case 11:
        return pick({"\"minLength\"", "\"maxLength\"", "\"minItems\"",
                     "\"maxItems\""}) +
               ": " + pick({"0", "1", "2"});
      case 12:
        return "\"uniqueItems\": true";
      case 13:
        return "\"$ref\": \"#/$defs/d\"";
      case 14:
        return "\"default\": " + scalar();
      default:
        return "\"discriminator\": {\"propertyName\": " + names() + "}";
    }
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
};

void check(const Schema& schema, std::string_view reply, CoerceMode mode) {
  ExtractOptions options;
  const Extraction found = run_extract(reply, options);
  const JsonValue& value = found.outcome.value;
  const Coercion none = schema.coerce(value.clone(), CoerceMode::None);
  TARNWICK_FUZZ_CHECK(none.value == value && !none.changed);
  TARNWICK_FUZZ_CHECK(none.conforms == schema.validate(value));
  bool floats = false;
  TARNWICK_FUZZ_CHECK(schema.validate_text(found.outcome.json, &floats) ==
                      none.conforms);
  if (parse_document(reply).ok()) {
    TARNWICK_FUZZ_CHECK(schema.validate_text(reply) == none.conforms);
  }
  const Coercion c = schema.coerce(value.clone(), mode);
  TARNWICK_FUZZ_CHECK(c.conforms == schema.validate(c.value));
  TARNWICK_FUZZ_CHECK(c.conforms == schema.feedback(c).empty());
  if (mode == CoerceMode::None) TARNWICK_FUZZ_CHECK(c.value == value);
  (void)fuzz::check_round_trip(c.value);
  const Coercion again = schema.coerce(c.value.clone(), mode);
  TARNWICK_FUZZ_CHECK(again.value == c.value);
  TARNWICK_FUZZ_CHECK(!again.changed);
  TARNWICK_FUZZ_CHECK(again.conforms == c.conforms);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input = fuzz::as_text(data + 1, size - 1);
  const auto mode = static_cast<CoerceMode>(data[0] % 3);
  std::string schema_text;
  std::string_view reply;
  if ((data[0] & 4) != 0) {
    const std::size_t cut = input.find('\n');
    schema_text = std::string(input.substr(0, cut));
    reply = cut == std::string_view::npos ? std::string_view()
                                          : input.substr(cut + 1);
  } else {
    SchemaMaker maker(input);
    schema_text = maker.root();
    reply = maker.rest();
  }
  const CompiledSchema compiled = Schema::compile(schema_text);
  if (!compiled) {
    TARNWICK_FUZZ_CHECK(!compiled.error().empty());
    return 0;
  }
  check(compiled.schema(), reply, mode);
  return 0;
}
