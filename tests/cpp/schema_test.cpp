// Schema compilation, validation against the JSON Schema Test Suite, and
// the engine side of coercion (the Python tests hold the per-rule tables).
#include "tarnwick/schema.h"

#include <algorithm>  // sort
#include <map>        // map
#include <string>     // string
#include <vector>     // vector

#include "test_util.h"

namespace tarnwick {
namespace {

using test::slurp;

JsonValue read(std::string_view text) {
  ReadResult<JsonValue> r = parse_document(text);
  EXPECT_TRUE(r.ok()) << text;
  return r.ok() ? std::move(r.value()) : JsonValue();
}

Schema compiled(std::string_view text) {
  CompiledSchema c = Schema::compile(text);
  EXPECT_TRUE(c.ok()) << text << ": " << c.error();
  return c.schema();
}

// Keys that move the base URI or name dynamic scopes: a group whose schema
// holds one is outside local JSON Pointer references.
bool uses_identifiers(const JsonValue& v) {
  if (v.kind() == ValueKind::Array) {
    for (const JsonValue& item : v.as_array()) {
      if (uses_identifiers(item)) return true;
    }
  } else if (v.kind() == ValueKind::Object) {
    for (const auto& entry : v.as_object()) {
      if (entry.key == "$id" || entry.key == "$anchor" ||
          entry.key == "$dynamicAnchor" || entry.key == "$vocabulary" ||
          uses_identifiers(entry.value)) {
        return true;
      }
    }
  }
  return false;
}

// Every group whose schema compiles, enforces every assertion it holds and
// uses only local references: validate and coerce-none agree with `valid`
// on each test. Files none of whose groups qualify are listed.
TEST(SchemaSuite, Draft2020_12) {
  const std::filesystem::path dir =
      std::filesystem::path(TARNWICK_SCHEMA_SUITE_DIR) / "draft2020-12";
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 40u);
  std::size_t groups_run = 0, tests_run = 0, groups_skipped = 0;
  std::map<std::string, std::string> skipped_files;
  for (const auto& file : files) {
    const JsonValue suite = read(slurp(file));
    std::size_t run_here = 0;
    std::string why;
    for (const JsonValue& group : suite.as_array()) {
      const JsonValue& schema_value = *group.as_object().find("schema");
      const std::string text = to_canonical_text(schema_value);
      CompiledSchema c = Schema::compile(text);
      if (!c.ok() || !c.schema().ignored().empty() ||
          uses_identifiers(schema_value)) {
        ++groups_skipped;
        why = !c.ok() ? c.error()
              : uses_identifiers(schema_value)
                  ? std::string("$id/$anchor/$dynamicAnchor")
                  : "unenforced " + c.schema().ignored()[0].keyword;
        continue;
      }
      ++groups_run;
      ++run_here;
      const Schema schema = c.schema();
      for (const JsonValue& t : group.as_object().find("tests")->as_array()) {
        const JsonValue& data = *t.as_object().find("data");
        const bool valid = t.as_object().find("valid")->as_bool();
        SCOPED_TRACE(file.filename().string() + ": " + text + " on " +
                     to_canonical_text(data));
        EXPECT_EQ(schema.validate(data), valid);
        EXPECT_EQ(schema.validate_text(to_canonical_text(data)), valid);
        const Coercion none = schema.coerce(data.clone(), CoerceMode::None);
        EXPECT_EQ(none.conforms, valid);
        EXPECT_EQ(none.value, data);
        EXPECT_EQ(none.changed, false);
        EXPECT_EQ(none.issues.empty(), valid);
        ++tests_run;
      }
    }
    if (run_here == 0) skipped_files[file.filename().string()] = why;
  }
  std::printf("schema suite: %zu groups (%zu tests) run, %zu groups skipped\n",
              groups_run, tests_run, groups_skipped);
  for (const auto& [name, why] : skipped_files) {
    std::printf("  skipped file %s: %s\n", name.c_str(), why.c_str());
  }
  EXPECT_GE(groups_run, 140u);
}

TEST(SchemaCompile, RefusesWhatItCannotRead) {
  const char* const bad[] = {
      R"({"$ref": "#"})",  // cycle
      R"({"$defs": {"a": {"$ref": "#/$defs/b"}, "b": {"allOf": [{"$ref": "#/$defs/a"}]}}, "$ref": "#/$defs/a"})",
      R"({"$ref": "other.json#/a"})",    // not local
      R"({"$ref": "#/$defs/nowhere"})",  // dangling
      R"({"$ref": "#anchor"})",          // anchors
      R"({"$schema": "http://json-schema.org/draft-04/schema#"})",
      R"({"type": "integr"})",
      R"({"type": 3})",
      R"({"properties": []})",
      R"({"anyOf": []})",
      R"({"minLength": -1})",
      R"({"multipleOf": 0})",
      R"({"required": [1]})",
      R"(3)",
      R"({"a": )",
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    CompiledSchema c = Schema::compile(text);
    EXPECT_FALSE(c.ok());
    EXPECT_FALSE(c.error().empty());
  }
}

TEST(SchemaCompile, ReadsDraft07AndListsIgnoredKeywords) {
  const Schema s = compiled(
      R"({"$schema": "http://json-schema.org/draft-07/schema#",
          "definitions": {"n": {"type": "integer"}},
          "type": "array", "items": [{"$ref": "#/definitions/n"}],
          "additionalItems": {"type": "string", "pattern": "^a"},
          "format": "x"})");
  EXPECT_TRUE(s.validate(read(R"([1, "ab", "ac"])")));
  EXPECT_FALSE(s.validate(read(R"(["1"])")));
  EXPECT_FALSE(s.validate(read(R"([1, 2])")));
  ASSERT_EQ(s.ignored().size(), 2u);
  EXPECT_EQ(s.ignored()[0].path, "");
  EXPECT_EQ(s.ignored()[0].keyword, "format");
  EXPECT_EQ(s.ignored()[1].path, "/additionalItems");
  EXPECT_EQ(s.ignored()[1].keyword, "pattern");
}

// A recursive schema whose every level holds an anyOf of two branches that
// both reach the next level: without memoisation each level doubles the
// work, so 40 levels would not finish.
TEST(SchemaValidate, NestedAnyOfThroughRefsStaysPolynomial) {
  const Schema s = compiled(
      R"({"$defs": {"t": {"anyOf": [
            {"type": "array", "items": {"$ref": "#/$defs/t"}, "maxItems": 1},
            {"type": "array", "items": {"$ref": "#/$defs/t"}, "minItems": 1}
          ]}}, "$ref": "#/$defs/t"})");
  const std::string deep = test::nest(40, "[\"x\"]");
  EXPECT_FALSE(s.validate(read(deep)));
  EXPECT_TRUE(s.validate(read(test::nest(40, "[]"))));
  const Coercion c = s.coerce(read(deep), CoerceMode::Lenient);
  EXPECT_FALSE(c.conforms && !s.validate(c.value));
}

// A decode or a wrap never nests a value deeper than the strict reader
// reads, so the coerced value's text always reads back.
TEST(SchemaCoerce, NeverNestsPastTheReadersLimit) {
  const Schema s = compiled(R"({"type": "array", "items": {"$ref": "#"}})");
  for (const std::string& text :
       {test::nest(126, R"("[[[]]]")"), test::nest(127, "1"),
        test::nest(120, R"("[[[[[[[[[[]]]]]]]]]]")")}) {
    SCOPED_TRACE(text.substr(text.size() - 30));
    const Coercion c = s.coerce(read(text), CoerceMode::Safe);
    EXPECT_TRUE(parse_document(to_canonical_text(c.value)).ok());
    EXPECT_FALSE(c.conforms);
  }
  const Coercion shallow =
      s.coerce(read(test::nest(3, R"("[[]]")")), CoerceMode::Safe);
  EXPECT_TRUE(shallow.conforms);
}

TEST(SchemaValidate, NumbersCompareByValue) {
  struct Row {
    const char* schema;
    const char* value;
    bool valid;
  };
  const Row rows[] = {
      {R"({"maximum": 18446744073709551615})", "18446744073709551615", true},
      {R"({"maximum": 18446744073709551614})", "18446744073709551615", false},
      {R"({"minimum": -9223372036854775808})", "-9223372036854775808", true},
      {R"({"exclusiveMaximum": 9007199254740993})", "9007199254740992.0", true},
      {R"({"exclusiveMaximum": 9007199254740992})", "9007199254740992.0",
       false},
      {R"({"multipleOf": 3})", "-9223372036854775806", true},
      {R"({"multipleOf": 3})", "-9223372036854775808", false},
      {R"({"multipleOf": 0.5})", "1e307", true},
      {R"({"multipleOf": 0.5})", "1e308", false},  // the quotient overflows
      {R"({"type": "integer"})", "1.0", true},
      {R"({"type": "integer"})", "1.5", false},
      {R"({"enum": [1]})", "1.0", true},
      {R"({"const": {"a": [1, 2]}})", R"({"a": [1.0, 2]})", true},
      {R"({"uniqueItems": true})", R"([{"a": 1, "b": 2}, {"b": 2, "a": 1.0}])",
       false},
      {R"({"maxLength": 2})", "\"\xC3\xA9\xE2\x82\xAC\"", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.schema) + " " + row.value);
    EXPECT_EQ(compiled(row.schema).validate(read(row.value)), row.valid);
    EXPECT_EQ(compiled(row.schema).validate_text(row.value), row.valid);
  }
}

// The engine's promises over a table of schemas and values: a conforming
// value is returned as it is with no issue (but for integral floats where
// only integers are allowed); `conforms` is the validator's verdict on the
// result; coercing the result again changes nothing and records no change.
TEST(SchemaCoerce, ConformsIsValidityAndCoercionSettles) {
  const char* const schemas[] = {
      R"({"type": "object", "properties": {"user_id": {"type": "integer"},
          "tags": {"type": "array", "items": {"enum": ["red", "Blue"]}},
          "ok": {"type": "boolean"}, "note": {"type": ["string", "null"]}},
          "required": ["user_id", "note"], "additionalProperties": false})",
      R"({"anyOf": [{"type": "integer"}, {"type": "array",
          "items": {"type": "number"}}]})",
      R"({"oneOf": [{"type": "object", "properties": {"k": {"const": "a"},
          "x": {"type": "integer"}}, "required": ["k"]}, {"type": "object",
          "properties": {"k": {"const": "b"}, "x": {"type": "string"}},
          "required": ["k"]}], "discriminator": {"propertyName": "k"}})",
      R"({"type": "array", "prefixItems": [{"type": "string"}],
          "items": {"type": "integer", "maximum": 5}, "minItems": 1})",
  };
  const char* const values[] = {
      R"({"User ID": "7", "tags": "blue", "ok": "Yes", "extra": 1})",
      R"({"result": {"user_id": 1.0, "note": null}})",
      R"("{\"user_id\": 2, \"note\": 3}")",
      R"([{"user_id": 5, "note": "x"}])",
      R"({"k": "b", "x": 4})",
      R"({"k": "a", "x": "4"})",
      R"(["a", "1", 9, 2.0, "z"])",
      R"("5")",
      R"(3.0)",
      R"(null)",
      R"([])",
  };
  for (const char* st : schemas) {
    const Schema s = compiled(st);
    for (const char* vt : values) {
      for (const CoerceMode mode :
           {CoerceMode::None, CoerceMode::Safe, CoerceMode::Lenient}) {
        SCOPED_TRACE(std::string(st) + " <- " + vt + " mode " +
                     std::to_string(static_cast<int>(mode)));
        const JsonValue v = read(vt);
        EXPECT_EQ(s.validate_text(vt), s.validate(v));
        const Coercion c = s.coerce(v.clone(), mode);
        EXPECT_EQ(c.conforms, s.validate(c.value));
        EXPECT_EQ(c.conforms, s.feedback(c).empty());
        if (s.validate(v) && mode != CoerceMode::None) {
          for (const SchemaIssue& issue : c.issues) {
            EXPECT_EQ(issue.kind, IssueKind::Converted);
          }
        }
        if (mode == CoerceMode::None) {
          EXPECT_EQ(c.value, v);
        }
        const Coercion again = s.coerce(c.value.clone(), mode);
        EXPECT_EQ(again.value, c.value);
        EXPECT_FALSE(again.changed);
        EXPECT_EQ(again.conforms, c.conforms);
      }
    }
  }
}

TEST(SchemaCoerce, RecordsEachChangeAtItsPath) {
  const Schema s = compiled(
      R"({"type": "object", "properties": {"user_id": {"type": "integer"},
          "tags": {"type": "array", "items": {"enum": ["red", "Blue"]}}},
          "required": ["user_id", "name"], "additionalProperties": false})");
  const Coercion c = s.coerce(
      read(R"({"User-Id": "7", "tags": "blue", "x": 1})"), CoerceMode::Lenient);
  EXPECT_EQ(to_canonical_text(c.value), R"({"user_id":7,"tags":["Blue"]})");
  std::vector<std::string> seen;
  for (const SchemaIssue& i : c.issues) {
    seen.push_back(path_text(i.path) + " " +
                   std::string(issue_kind_name(i.kind)));
  }
  const std::vector<std::string> expected = {
      "$.user_id snapped", "$.user_id converted", "$.tags wrapped",
      "$.tags[0] snapped", "$.x dropped",         "$.name mismatch"};
  EXPECT_EQ(seen, expected);
  ASSERT_EQ(c.missing.size(), 1u);
  EXPECT_EQ(path_text(c.missing[0]), "$.name");
  EXPECT_FALSE(c.conforms);
  EXPECT_NE(s.feedback(c).find("$.name"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
