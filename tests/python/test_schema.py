"""tarnwick.Schema and schema-guided extract/loads: the sources a schema is read from, every coercion rule and
its order, the Extraction fields, and two oracles (jsonschema for validity, Pydantic for conforming values)."""

import json
import os
import pickle
import threading
from typing import Dict, List, Literal, Optional

import pytest
from conftest import assert_same_json
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from tarnwick import Schema, SchemaIssue, extract, extract_all, loads

jsonschema = pytest.importorskip("jsonschema")
# More examples for a longer local run: TARNWICK_SCHEMA_SCALE=10.
SCALE = int(os.environ.get("TARNWICK_SCHEMA_SCALE", "1"))
pydantic = pytest.importorskip("pydantic")

PERSON = {
    "type": "object",
    "properties": {
        "user_id": {"type": "integer"},
        "name": {"type": "string"},
        "score": {"type": "number"},
        "active": {"type": "boolean"},
        "tags": {"type": "array", "items": {"type": "string"}},
        "color": {"enum": ["red", "Dark Blue"]},
        "note": {"type": ["string", "null"]},
    },
    "required": ["user_id", "name"],
}
STRICT = {**PERSON, "additionalProperties": False}
POINT = {
    "type": "object",
    "properties": {"x": {"type": "integer"}, "y": {"type": "integer"}},
    "required": ["x", "y"],
}
ROWS = {"type": "array", "items": POINT}


class Item(pydantic.BaseModel):
    sku: str
    qty: int = 1


class Order(pydantic.BaseModel):
    order_id: int
    items: List[Item]


def kinds(issues):
    return [(issue.path, issue.kind) for issue in issues]


class TestSources:
    def test_dict_text_and_boolean_schemas_compile_alike(self):
        for source in (PERSON, json.dumps(PERSON)):
            assert Schema(source).coerce({"user_id": 1, "name": "a"}) == ({"user_id": 1, "name": "a"}, ())
        assert Schema(True).coerce([1]) == ([1], ())
        assert kinds(Schema(False).coerce(1)[1]) == [((), "mismatch")]

    def test_draft07_definitions_and_array_items(self):
        schema = Schema(
            {
                "$schema": "http://json-schema.org/draft-07/schema#",
                "definitions": {"n": {"type": "integer"}},
                "type": "array",
                "items": [{"$ref": "#/definitions/n"}],
                "additionalItems": {"type": "string"},
            }
        )
        assert schema.coerce(["4", 5]) == ([4, "5"], schema.coerce(["4", 5])[1])
        assert [i.kind for i in schema.coerce(["4", 5])[1]] == ["converted", "converted"]

    @pytest.mark.parametrize(
        "source",
        [
            3,
            [PERSON],
            None,
            "{not json",
            {"$schema": "http://json-schema.org/draft-04/schema#"},
            {"$ref": "other.json#/a"},
            {"$ref": "#/$defs/missing"},
            {"$ref": "#"},
            {"$defs": {"a": {"anyOf": [{"$ref": "#/$defs/a"}]}}, "$ref": "#/$defs/a"},
            {"type": "whole number"},
            {"minimum": "1"},
            {"enum": [float("nan")]},
        ],
    )
    def test_what_cannot_be_compiled_raises_value_error_at_once(self, source):
        with pytest.raises(ValueError):
            Schema(source)

    def test_ignored_lists_unenforced_assertions_with_their_place(self):
        schema = Schema({"properties": {"a": {"type": "string", "pattern": "^x", "format": "email"}}, "not": {}})
        assert sorted(schema.ignored) == [("", "not"), ("/properties/a", "format"), ("/properties/a", "pattern")]
        assert Schema(PERSON).ignored == ()

    def test_immutable_picklable_and_shared_between_threads(self):
        schema = Schema(PERSON)
        with pytest.raises(AttributeError):
            schema._core = None
        again = pickle.loads(pickle.dumps(schema))
        text = '{"user_id": "1", "name": "a"}'
        assert extract(text, schema=again) == extract(text, schema=schema)
        results = []

        def work():
            results.append([loads(text, schema=schema) for _ in range(200)])

        threads = [threading.Thread(target=work) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert all(r == [{"user_id": 1, "name": "a"}] * 200 for r in results)

    def test_pydantic_model_and_type_adapter(self):
        schema = Schema(Order)
        e = extract('Here: {"Order-ID": "12", "items": {"sku": 7}}', schema=schema)
        assert e.conforms
        assert schema.model(e) == Order(order_id=12, items=[Item(sku="7")])
        assert pickle.loads(pickle.dumps(schema)).model(e) == schema.model(e)
        adapter = pydantic.TypeAdapter(List[int])
        assert Schema(adapter).model(extract('["1", 2.0]', schema=adapter)) == [1, 2]
        with pytest.raises(TypeError):
            Schema(PERSON).model(e)


# (schema, value, coerce, coerced value, [(path, kind)]): each rule alone, then rules meeting in their order.
RULES = [
    # 1. a JSON string holding the expected object or array
    (POINT, '{"x": 1, "y": 2}', "safe", {"x": 1, "y": 2}, [((), "decoded")]),
    (ROWS, '[{"x": 1, "y": "2"}]', "safe", [{"x": 1, "y": 2}], [((), "decoded"), ((0, "y"), "converted")]),
    ({"type": ["object", "string"]}, '{"x": 1}', "safe", '{"x": 1}', []),
    (POINT, '{"x": 1,', "safe", '{"x": 1,', [((), "mismatch")]),
    # 2. at the root only: a one-member wrapper, or a one-element array where an object is expected
    (POINT, {"result": {"x": 1, "y": 2}}, "safe", {"x": 1, "y": 2}, [((), "unwrapped")]),
    (POINT, [{"x": 1, "y": 2}], "safe", {"x": 1, "y": 2}, [((), "unwrapped")]),
    (POINT, {"data": {"x": "1", "y": 2}}, "safe", {"x": 1, "y": 2}, [((), "unwrapped"), (("x",), "converted")]),
    ({"type": "object", "properties": {"p": POINT}}, {"p": {"r": {"x": 1, "y": 2}}}, "safe",
     {"p": {"r": {"x": 1, "y": 2}}}, [(("p", "x"), "mismatch"), (("p", "y"), "mismatch")]),
    (POINT, {"result": {"x": 1, "y": 2}, "more": 1}, "safe", {"result": {"x": 1, "y": 2}, "more": 1},
     [(("x",), "mismatch"), (("y",), "mismatch")]),
    # 3. keys snapped: case, spaces, _ - . ignored; not when ambiguous or when the target is there
    (POINT, {"X": 1, "Y": 2}, "safe", {"x": 1, "y": 2}, [(("x",), "snapped"), (("y",), "snapped")]),
    (PERSON, {"User ID": 1, "NAME": "a"}, "safe", {"user_id": 1, "name": "a"},
     [(("user_id",), "snapped"), (("name",), "snapped")]),
    ({"properties": {"ab": {}, "a_b": {}}, "required": ["ab"]}, {"A-B": 1}, "safe", {"A-B": 1},
     [(("ab",), "mismatch")]),
    (POINT, {"x": 1, "X": 2}, "safe", {"x": 1, "X": 2}, [(("y",), "mismatch")]),
    # 4. recursion into members and items
    ({"type": "object", "properties": {"p": POINT}}, {"p": {"x": "1", "y": "2"}}, "safe",
     {"p": {"x": 1, "y": 2}}, [(("p", "x"), "converted"), (("p", "y"), "converted")]),
    # 5. a single value wrapped where an array is expected; its item coerced after
    (PERSON, {"user_id": 1, "name": "a", "tags": "x"}, "safe", {"user_id": 1, "name": "a", "tags": ["x"]},
     [(("tags",), "wrapped")]),
    ({"type": "array", "items": {"type": "integer"}}, "5", "safe", [5], [((), "wrapped"), ((0,), "converted")]),
    (ROWS, {"x": 1, "y": 2}, "safe", [{"x": 1, "y": 2}], [((), "wrapped")]),
    ({"type": "array"}, None, "safe", None, [((), "mismatch")]),
    # 6. scalars converted
    (PERSON, {"user_id": " 12 ", "name": 5, "score": "1e3", "active": "YES"}, "safe",
     {"user_id": 12, "name": "5", "score": 1000.0, "active": True},
     [(("user_id",), "converted"), (("name",), "converted"), (("score",), "converted"), (("active",), "converted")]),
    ({"type": "integer"}, "2.0", "safe", 2, [((), "converted")]),
    ({"type": "integer"}, "2.5", "safe", "2.5", [((), "mismatch")]),
    ({"type": "boolean"}, "no", "safe", False, [((), "converted")]),
    ({"type": "boolean"}, "nope", "safe", "nope", [((), "mismatch")]),
    ({"type": "string"}, True, "safe", "true", [((), "converted")]),
    ({"type": "string"}, 1.5, "safe", "1.5", [((), "converted")]),
    ({"type": ["string", "integer"]}, "7", "safe", "7", []),
    # an integral float where only integers are allowed, the one change to a value that conforms
    ({"type": "integer"}, 3.0, "safe", 3, [((), "converted")]),
    ({"type": "number"}, 3.0, "safe", 3.0, []),
    ({"type": "integer"}, 3.0, "none", 3.0, []),
    # enum strings snapped like keys
    (PERSON, {"user_id": 1, "name": "a", "color": "dark_blue"}, "safe",
     {"user_id": 1, "name": "a", "color": "Dark Blue"}, [(("color",), "snapped")]),
    ({"const": "on"}, "ON", "safe", "on", [((), "snapped")]),
    ({"enum": ["ab", "a_b"]}, "AB", "safe", "AB", [((), "mismatch")]),
    # lenient: disallowed members and invalid items dropped, required members filled
    (STRICT, {"user_id": 1, "name": "a", "extra": 1}, "safe", {"user_id": 1, "name": "a", "extra": 1},
     [(("extra",), "mismatch")]),
    (STRICT, {"user_id": 1, "name": "a", "extra": 1}, "lenient", {"user_id": 1, "name": "a"},
     [(("extra",), "dropped")]),
    ({"type": "array", "items": {"type": "integer"}}, [1, "x", "3"], "lenient", [1, 3],
     [((1,), "dropped"), ((1,), "converted")]),
    ({"type": "array", "prefixItems": [{"type": "integer"}], "items": {"type": "integer"}}, ["x", "y"], "lenient",
     ["x"], [((1,), "dropped"), ((0,), "mismatch")]),
    ({"type": "object", "properties": {"a": {"default": 5}, "b": {"const": "k"}, "c": {"type": ["null", "string"]},
                                        "d": {"type": "string"}}, "required": ["a", "b", "c", "d"]}, {}, "lenient",
     {"a": 5, "b": "k", "c": None},
     [(("a",), "filled"), (("b",), "filled"), (("c",), "filled"), (("d",), "mismatch")]),
    (PERSON, {"name": "a"}, "safe", {"name": "a"}, [(("user_id",), "mismatch")]),
    # none: validate only
    (POINT, {"X": "1", "y": 2}, "none", {"X": "1", "y": 2}, [(("x",), "mismatch")]),
    # combinators: the first branch that conforms once coerced; a discriminator picks its branch
    ({"anyOf": [{"type": "integer"}, {"type": "null"}]}, "4", "safe", 4, [((), "converted")]),
    ({"oneOf": [POINT, {"type": "string"}]}, {"X": 1, "y": 2}, "safe", {"x": 1, "y": 2}, [(("x",), "snapped")]),
    (
        {
            "oneOf": [
                {"type": "object", "properties": {"k": {"const": "a"}, "v": {"type": "integer"}}, "required": ["k"]},
                {"type": "object", "properties": {"k": {"const": "b"}, "v": {"type": "boolean"}}, "required": ["k"]},
            ],
            "discriminator": {"propertyName": "k"},
        },
        {"k": "b", "v": "yes"}, "safe", {"k": "b", "v": True}, [(("v",), "converted")],
    ),
    ({"$defs": {"p": POINT}, "type": "array", "items": {"$ref": "#/$defs/p"}}, [{"x": "1", "y": 2}], "safe",
     [{"x": 1, "y": 2}], [((0, "x"), "converted")]),
]


class TestCoercionRules:
    @pytest.mark.parametrize(("schema", "value", "mode", "expected", "issues"), RULES)
    def test_rule(self, schema, value, mode, expected, issues):
        compiled = Schema(schema)
        out, found = compiled.coerce(value, mode)
        assert_same_json(out, expected)
        assert kinds(found) == issues
        assert all(isinstance(i, SchemaIssue) and i.detail for i in found)

    @pytest.mark.parametrize(("schema", "value", "mode", "expected", "issues"), RULES)
    def test_coercing_again_changes_nothing(self, schema, value, mode, expected, issues):
        compiled = Schema(schema)
        out, found = compiled.coerce(value, mode)
        again, found_again = compiled.coerce(out, mode)
        assert_same_json(again, out)
        assert [i for i in found_again if i.kind != "mismatch"] == []
        assert [i for i in found_again if i.kind == "mismatch"] == [i for i in found if i.kind == "mismatch"]

    @pytest.mark.parametrize("mode", ["NONE", "strict", 1, ""])
    def test_unknown_coerce_mode(self, mode):
        with pytest.raises((ValueError, TypeError)):
            Schema(POINT).coerce({}, mode)
        with pytest.raises((ValueError, TypeError)):
            extract("{}", schema=Schema(POINT), coerce=mode)

    @pytest.mark.parametrize("value", [{1: 2}, {"a": {1, 2}}, [object()], float("inf"), 2**64, -(2**63) - 1, b"x"])
    def test_values_that_are_not_json_shaped(self, value):
        with pytest.raises(TypeError):
            Schema(True).coerce(value)


class TestExtraction:
    def test_without_a_schema_the_fields_are_empty(self):
        e = extract('{"a": 1}')
        assert (e.conforms, e.issues, e.missing, e.feedback()) == (None, (), (), "")

    def test_conforming_text_comes_back_unchanged(self):
        text = '{"user_id": 7, "name": "Ann", "tags": ["x"]}'
        e = extract(text, schema=PERSON)
        assert (e.conforms, e.issues, e.changed, e.strategy) == (True, (), False, "parse")
        assert e == extract(text, schema=PERSON) and e.json == extract(text).json

    def test_coercion_sets_changed_and_the_record(self):
        e = extract('Result:\n```json\n{"User_Id": "7", "name": "Ann"}\n```', schema=PERSON)
        assert e.conforms and e.changed and e.strategy == "parse"
        assert e.value == {"user_id": 7, "name": "Ann"} and e.json == '{"user_id":7,"name":"Ann"}'
        assert kinds(e.issues) == [(("user_id",), "snapped"), (("user_id",), "converted")]
        assert pickle.loads(pickle.dumps(e)) == e
        assert e != extract('Result:\n```json\n{"User_Id": "7", "name": "Ann"}\n```')

    def test_mismatch_gives_missing_and_feedback(self):
        e = extract('{"name": ["a"], "color": "green"}', schema=PERSON, coerce="lenient")
        assert e.conforms is False
        assert e.missing == (("user_id",),)
        feedback = e.feedback()
        for part in ("$.user_id", "$.name", "expected string", '"red", "Dark Blue"', "green"):
            assert part in feedback

    def test_feedback_lists_at_most_ten_enum_values(self):
        e = extract('"z"', schema={"enum": [f"v{i}" for i in range(30)]})
        assert '"v9"' in e.feedback() and '"v10"' not in e.feedback()

    def test_a_fallback_never_conforms(self):
        for schema in ({"type": "null"}, True):
            e = extract("no json here", schema=schema)
            assert (e.ok, e.conforms) == (False, False)
            assert kinds(e.issues) == [((), "mismatch")]

    def test_loads_returns_the_coerced_value(self):
        assert loads('["1", "2"]', schema={"type": "array", "items": {"type": "integer"}}) == [1, 2]
        assert loads('{"a": "1"}', schema={"properties": {"a": {"type": "integer"}}}, coerce="none") == {"a": "1"}

    def test_the_first_candidate_that_conforms_is_chosen(self):
        text = 'For example {"x": "a"}; the answer:\n```json\n{"X": 1, "y": "2"}\n```'
        every = extract_all(text, schema=POINT)
        assert [c.span for c in every] == [c.span for c in extract_all(text)]
        assert [c.conforms for c in every[:2]] == [False, True]
        chosen = extract(text, schema=POINT)
        assert (chosen.value, chosen.span) == ({"x": 1, "y": 2}, every[1].span)
        assert loads(text, schema=POINT) == chosen.value
        neither = '{"q": 1} and {"r": 2}'
        assert extract(neither, schema=POINT).span == extract(neither).span
        assert extract(neither, schema=POINT).conforms is False

    def test_schema_sources_accepted_directly_and_errors_noted(self):
        assert loads('{"X": 1, "y": 2}', schema=json.dumps(POINT)) == {"x": 1, "y": 2}
        with pytest.raises(ValueError):
            extract("{}", schema=3)


# --- jsonschema as the oracle of validity -------------------------------------------------------------------------

scalars = st.one_of(
    st.none(),
    st.booleans(),
    st.integers(-(2**63), 2**64 - 1),
    st.floats(allow_nan=False, allow_infinity=False),
    st.text(max_size=6),
)
values = st.recursive(
    scalars,
    lambda inner: st.one_of(st.lists(inner, max_size=4), st.dictionaries(st.sampled_from("abcA_"), inner, max_size=4)),
    max_leaves=12,
)
TYPES = ["null", "boolean", "integer", "number", "string", "array", "object"]


@st.composite
def subschemas(draw, depth):
    """A random schema over the enforced keywords; "$ref" names the root's only definition."""
    if draw(st.integers(0, 9)) == 0:
        return draw(st.booleans())
    out = {}
    sub = subschemas(depth - 1) if depth > 0 else st.just({"type": draw(st.sampled_from(TYPES))})
    keys = draw(st.sets(st.sampled_from(
        ["type", "enum", "const", "properties", "required", "additionalProperties", "items", "prefixItems", "anyOf",
         "oneOf", "allOf", "minimum", "maximum", "exclusiveMinimum", "exclusiveMaximum", "multipleOf", "minLength",
         "maxLength", "minItems", "maxItems", "uniqueItems", "$ref"]), max_size=4))
    number = st.one_of(st.integers(-5, 5), st.sampled_from([0.5, 1.5, -2.5, 2.0]))
    for key in keys:
        if key == "type":
            out[key] = draw(st.one_of(st.sampled_from(TYPES), st.lists(st.sampled_from(TYPES), min_size=1, max_size=3)))
        elif key == "enum":
            out[key] = draw(st.lists(scalars, min_size=1, max_size=3))
        elif key == "const":
            out[key] = draw(values)
        elif key == "properties":
            out[key] = draw(st.dictionaries(st.sampled_from("abA"), sub, max_size=3))
        elif key == "required":
            out[key] = draw(st.lists(st.sampled_from("abA"), max_size=2, unique=True))
        elif key in ("additionalProperties", "items"):
            out[key] = draw(sub)
        elif key in ("prefixItems", "anyOf", "oneOf", "allOf"):
            out[key] = draw(st.lists(sub, min_size=1, max_size=3))
        elif key == "multipleOf":
            out[key] = draw(st.sampled_from([1, 2, 3, 0.5, 2.5]))
        elif key in ("minimum", "maximum", "exclusiveMinimum", "exclusiveMaximum"):
            out[key] = draw(number)
        elif key == "uniqueItems":
            out[key] = draw(st.booleans())
        elif key == "$ref":
            if depth < 2:  # below the root: a recursive reference that reads input first
                out[key] = "#/$defs/d"
        else:
            out[key] = draw(st.integers(0, 3))
    return out


@st.composite
def schemas(draw):
    out = draw(subschemas(2))
    if isinstance(out, dict) and draw(st.booleans()):
        out["$defs"] = {"d": {"type": "array", "items": draw(subschemas(1))}}
    elif isinstance(out, dict):
        out["$defs"] = {"d": {"type": draw(st.sampled_from(TYPES))}}
    return out


@settings(max_examples=400 * SCALE, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(schemas(), values)
def test_validity_agrees_with_jsonschema(schema, value):
    expected = jsonschema.Draft202012Validator(schema).is_valid(value)
    compiled = Schema(schema)
    out, issues = compiled.coerce(value, "none")
    assert out == value
    assert (not issues) == expected
    assert extract(json.dumps(value), schema=compiled, coerce="none").conforms == expected


@settings(max_examples=200 * SCALE, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(schemas(), values, st.sampled_from(["safe", "lenient"]))
def test_coercion_settles_and_conforms_is_validity(schema, value, mode):
    compiled = Schema(schema)
    out, issues = compiled.coerce(value, mode)
    conforms = not [i for i in issues if i.kind == "mismatch"]
    assert conforms == jsonschema.Draft202012Validator(schema).is_valid(out)
    again, issues_again = compiled.coerce(out, mode)
    assert json.dumps(again) == json.dumps(out)
    assert [i for i in issues_again if i.kind != "mismatch"] == []


# --- Pydantic as the oracle of conforming values --------------------------------------------------------------------

LEAF_TYPES = [int, float, str, bool, Optional[int], List[str], Literal["red", "green"], Dict[str, int]]


@st.composite
def models(draw, depth=1):
    """A Pydantic model over LEAF_TYPES, optionally nesting another model (plain or in a list)."""
    fields = {}
    for i in range(draw(st.integers(1, 4))):
        kind = draw(st.sampled_from(LEAF_TYPES + (["model", "models"] if depth else [])))
        if kind in ("model", "models"):
            inner = draw(models(depth - 1))
            kind = inner if kind == "model" else List[inner]
        default = draw(st.sampled_from([..., None])) if kind is Optional[int] else ...
        fields[f"field_{i}"] = (kind, default)
    return pydantic.create_model(f"M{draw(st.integers(0, 999))}", **fields)


@st.composite
def reply_for(draw, model):
    """A value shaped like the model (keys respelled, numbers as text, pieces missing or of another type)."""

    def shaped(annotation):
        if isinstance(annotation, type) and issubclass(annotation, pydantic.BaseModel):
            out = {}
            for name, field in annotation.model_fields.items():
                if draw(st.integers(0, 9)) == 0:
                    continue
                key = draw(st.sampled_from([name, name.upper(), name.replace("_", " "), name.replace("_", "-")]))
                out[key] = shaped(field.annotation)
            return out
        return draw(st.one_of(values, st.sampled_from(["1", "2.0", "yes", "RED", "green", "[1]", 3, 4.0])))

    return shaped(model)


@settings(max_examples=150 * SCALE, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.data())
def test_pydantic_accepts_what_conforms(data):
    model = data.draw(models())
    schema = Schema(model)
    text = json.dumps(data.draw(reply_for(model)))
    for mode in ("safe", "lenient"):
        e = extract(text, schema=schema, coerce=mode)
        if e.conforms:
            schema.model(e)
