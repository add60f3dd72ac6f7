"""The package as a user meets it: every name imported from tarnwick is in __all__ (the stub's too), resolves and is
shown by help(tarnwick); the promises the README makes about results beyond their fields."""

import ast
import inspect
import pydoc
import re
import types
from pathlib import Path

import pytest
import tarnwick
from tarnwick import extract, repair


def stub_all():
    """__all__ as the installed __init__.pyi spells it."""
    tree = ast.parse(Path(tarnwick.__file__).with_name("__init__.pyi").read_text(encoding="utf-8"))
    for node in tree.body:
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "__all__" for t in node.targets):
            return ast.literal_eval(node.value)
    raise AssertionError("__init__.pyi has no __all__")


class TestSurface:
    def test_all_lists_every_public_name_once(self):
        public = {name for name, obj in vars(tarnwick).items() if not name.startswith("_")}
        public -= {name for name in public if isinstance(getattr(tarnwick, name), types.ModuleType)}
        assert len(set(tarnwick.__all__)) == len(tarnwick.__all__)
        assert set(tarnwick.__all__) == public | {"__version__"}
        assert stub_all() == tarnwick.__all__

    @pytest.mark.parametrize("name", tarnwick.__all__)
    def test_help_shows_each_name(self, name):
        text = pydoc.render_doc(tarnwick, renderer=pydoc.plaintext)
        if name == "__version__":
            assert f"\nVERSION\n    {tarnwick.__version__}\n" in text
        else:  # an entry of its own: "class Name(", "name(" or "Name = "
            assert re.search(rf"^ +(class |async )?{name}(\(| = )", text, re.MULTILINE), name
        assert getattr(tarnwick, name) is not None


class TestHelp:
    def test_package_docstring_maps_the_api_in_a_screen(self):
        doc = tarnwick.__doc__
        assert len(doc.splitlines()) <= 30
        assert all(f"{name}(" in doc for name in ("loads", "extract", "repair", "repair_column"))

    @pytest.mark.parametrize("function", [tarnwick.extract, tarnwick.extract_all, tarnwick.loads, tarnwick.repair_column])
    def test_docstring_says_what_each_none_default_means(self, function):
        defaults = function.__doc__.split("takes its default:")[1]
        nones = [p.name for p in inspect.signature(function).parameters.values() if p.default is None]
        assert nones and [name for name in nones if f"{name} " not in " ".join(defaults.split())] == []

    @pytest.mark.parametrize("stub", ["_extras.pyi", "_tarnwick.pyi"])
    def test_stubs_say_what_each_none_default_means(self, stub):
        tree = ast.parse(Path(tarnwick.__file__).with_name(stub).read_text(encoding="utf-8"))
        for node in tree.body:
            if isinstance(node, ast.FunctionDef):
                args = node.args.kwonlyargs
                nones = [a.arg for a, d in zip(args, node.args.kw_defaults) if isinstance(d, ast.Constant) and d.value is None]
                said = " ".join(ast.get_docstring(node).split("takes its default:")[1].split())
                assert [name for name in nones if f"{name} " not in said] == [], node.name


class TestResultPromises:
    @pytest.mark.parametrize("read", [repair, extract])
    @pytest.mark.parametrize("text", ['{"tags": ["a"]}', '```json\n{"tags": ["a",],}\n```'])
    def test_value_is_one_mutable_object_json_stays(self, read, text):
        result = read(text)
        canonical = result.json
        assert result.value is result.value
        result.value["tags"].append("b")
        assert (result.value, result.json) == ({"tags": ["a", "b"]}, canonical)
        assert read(text).value == {"tags": ["a"]}  # every call builds its own objects

    # ok tells which rung answered, not whether the value is what the text meant: the same {} on either side.
    @pytest.mark.parametrize(
        "text, options, strategy, ok",
        [
            ("{'a': 1}", {}, "tolerant", True),
            ("{a: 1}", {}, "tolerant", True),
            ("{}", {}, "parse", True),
            ("", {"fallback": "empty-object"}, "fallback", False),
            ("'a': 1", {"fallback": "empty-object"}, "fallback", False),
        ],
    )
    def test_ok_with_an_empty_object(self, text, options, strategy, ok):
        result = repair(text, **options)
        assert (result.value, result.strategy, result.ok) == ({}, strategy, ok)
