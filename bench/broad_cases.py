"""A broad corpus of broken JSON, written as a reader of model output would meet it.

`broad_families()` returns families of (text, intended value). Each intended value is what the writer of the text
meant, decided by reading the text, never by running a repairer. Values are plain JSON types (dict, list, str, int,
float, bool, None); 1, 1.0 and True differ, as in bench/lenient_recovery.py's `same()`.

Conventions where the writer's intent is open, chosen once for the whole corpus:
- No JSON at all ("", whitespace, prose, an empty fence, a lone closer) gives None, the default fallback.
- An opener cut by the end gives its empty container: "{" is {}, "[" is [], "[{" is [{}].
- Truncation keeps what was written and closes it: a string cut by the end keeps its text; a member cut inside
  its key, or before its value starts, is dropped; a literal cut inside ("tr", "nul") is the literal; a number cut
  by the end is the number as written; an escape cut by the end is dropped.
- NaN, Infinity, -Infinity, undefined, nil and Python's None are null (JSON has no other spelling for them).
- Tuples and Python sets are arrays, in the written order.
- Numbers: a leading + or leading zeros are dropped, .5 is 0.5, 5. is the float 5.0, 1_000 is 1000, 0x/0o/0b
  prefixes are read in their base. A number glued to a unit (10px, 50%, 72kg) is the string as written, as is a
  dotted version or address (1.2.3, 192.168.0.1).
- An unquoted value runs to the next comma or closer of its container, spaces included ("São Paulo").
- Adjacent strings in an array are separate elements (a comma left out), not a concatenation.
- A doubled comma is a typo for one; it never makes a hole or a null element.
- A string written as a Windows path keeps each single backslash as a backslash, even where one happens to
  spell a JSON escape (C:\\new\\table is not C:<newline>ew<tab>able); a doubled one stays one backslash.
- An invalid escape keeps its backslash (\\d, \\s, \\w in a regular expression); \\' is an apostrophe and
  \\xNN the code point NN.
- A top-level JSON string, or single-quoted text, that holds a JSON document is that document. A string member
  inside a valid document stays a string, whatever it holds.
- Several values in one text are avoided here: no convention for them is assumed.
- Prose, fences, reasoning blocks and code around the value are not part of it; when the text names a final
  answer after a draft, the final answer is the value.
"""

from __future__ import annotations

from typing import List, NamedTuple, Tuple

Case = Tuple[str, object]


class Family(NamedTuple):
    name: str
    cases: List[Case]


def _unquoted() -> list[Case]:
    return [
        ('{name: "Ada", age: 36}', {"name": "Ada", "age": 36}),
        ("{status: ok}", {"status": "ok"}),
        ("{user_id: 42, role: admin, active: true}", {"user_id": 42, "role": "admin", "active": True}),
        ("{city: São Paulo, country: Brazil}", {"city": "São Paulo", "country": "Brazil"}),
        ("[apple, banana, cherry]", ["apple", "banana", "cherry"]),
        ("{tags: [red, green], size: M}", {"tags": ["red", "green"], "size": "M"}),
        ('{first-name: "Jo", last-name: "Li"}', {"first-name": "Jo", "last-name": "Li"}),
        ('{$ref: "#/definitions/Pet"}', {"$ref": "#/definitions/Pet"}),
        ("{_private: 1, __meta: 2}", {"_private": 1, "__meta": 2}),
        ("{nested: {inner: {deep: value}}}", {"nested": {"inner": {"deep": "value"}}}),
        ('{ключ: "значение"}', {"ключ": "значение"}),
        ('{名前: "太郎", 年齢: 20}', {"名前": "太郎", "年齢": 20}),
        ("{emoji: 🎉, count: 3}", {"emoji": "🎉", "count": 3}),
        ("{answer: yes, confidence: high}", {"answer": "yes", "confidence": "high"}),
        ("{date: 2024-03-01, id: 9}", {"date": "2024-03-01", "id": 9}),
        ("{release: 1.2.3}", {"release": "1.2.3"}),
        ("{ip: 192.168.0.1, port: 8080}", {"ip": "192.168.0.1", "port": 8080}),
        ("{uuid: 3f2a9c1e-0b4d-4e8f-9a7c-2d1e5b6f7a80}", {"uuid": "3f2a9c1e-0b4d-4e8f-9a7c-2d1e5b6f7a80"}),
        ("{sku: A-1002, qty: 3}", {"sku": "A-1002", "qty": 3}),
        ("{path: /usr/local/bin}", {"path": "/usr/local/bin"}),
        ("{email: ada@example.com}", {"email": "ada@example.com"}),
        ("{ a : 1 , b : 2 }", {"a": 1, "b": 2}),
        ("{\n  name: Widget,\n  price: 9.99,\n  inStock: true\n}", {"name": "Widget", "price": 9.99, "inStock": True}),
        ("{key1: value one, key2: value two}", {"key1": "value one", "key2": "value two"}),
        ("{mode: read-only}", {"mode": "read-only"}),
        (
            "{items: [{id: 1, label: first}, {id: 2, label: second}]}",
            {"items": [{"id": 1, "label": "first"}, {"id": 2, "label": "second"}]},
        ),
        ("{camelCase: \"x\", snake_case: 'y'}", {"camelCase": "x", "snake_case": "y"}),
        ("{lang: C++, year: 1985}", {"lang": "C++", "year": 1985}),
        ("{enabled: false, mode: auto}", {"enabled": False, "mode": "auto"}),
        ("{time: 12:30}", {"time": "12:30"}),
        ("{homepage: https://example.com/docs?page=2}", {"homepage": "https://example.com/docs?page=2"}),
        ("{x: 1, y: -2.5, label: origin shifted}", {"x": 1, "y": -2.5, "label": "origin shifted"}),
        ("[one, 2, three, 4.0]", ["one", 2, "three", 4.0]),
        ('{ "quoted": 1, unquoted: 2 }', {"quoted": 1, "unquoted": 2}),
        ("{a.b.c: 1}", {"a.b.c": 1}),
        ('{100: "hundred", 200: "two hundred"}', {"100": "hundred", "200": "two hundred"}),
        ('{status: "ok", data: {count: 3, next: null}}', {"status": "ok", "data": {"count": 3, "next": None}}),
        ("{Straße: Hauptstraße 5}", {"Straße": "Hauptstraße 5"}),
        (
            "{sentiment: negative, reason: the parcel arrived late}",
            {"sentiment": "negative", "reason": "the parcel arrived late"},
        ),
        ("[{name: a}, {name: b}]", [{"name": "a"}, {"name": "b"}]),
        ("{color: #ff8800}", {"color": "#ff8800"}),
        ("{\n\tid: 7,\n\ttitle: Untitled draft\n}", {"id": 7, "title": "Untitled draft"}),
    ]


def _quotes() -> list[Case]:
    return [
        ("{'a': 1}", {"a": 1}),
        (r"{'name': 'O\'Brien'}", {"name": "O'Brien"}),
        ("{'text': \"it's fine\"}", {"text": "it's fine"}),
        ('{"text": \'say "hi"\'}', {"text": 'say "hi"'}),
        ("['don't', 'won't']", ["don't", "won't"]),
        ("{'msg': 'I can't do that, Dave'}", {"msg": "I can't do that, Dave"}),
        ("{“name”: “Ada”}", {"name": "Ada"}),
        ("{‘key’: ‘value’}", {"key": "value"}),
        ("{`cmd`: `ls -la`}", {"cmd": "ls -la"}),
        ("{'a': 'x', \"b\": \"y\", 'c': \"z\"}", {"a": "x", "b": "y", "c": "z"}),
        ("{'nested': {'list': ['a', 'b'], 'n': 2}}", {"nested": {"list": ["a", "b"], "n": 2}}),
        ("{'code': 'print(\"hello\")'}", {"code": 'print("hello")'}),
        (
            r"{'sql': 'SELECT * FROM users WHERE name = \'bob\''}",
            {"sql": "SELECT * FROM users WHERE name = 'bob'"},
        ),
        (r"{'regex': '^\\d{3}-\\d{4}$'}", {"regex": r"^\d{3}-\d{4}$"}),
        ('{"title": "Rock ’n’ Roll"}', {"title": "Rock ’n’ Roll"}),
        ("{'quote': 'He said “yes”'}", {"quote": "He said “yes”"}),
        ("{“text”: “It’s 5 o’clock”}", {"text": "It’s 5 o’clock"}),
        (r"['it\'s', 'ok']", ["it's", "ok"]),
        ("{'émoji': '😀', 'ü': 'ß'}", {"émoji": "😀", "ü": "ß"}),
        ("{'empty': '', 'space': ' '}", {"empty": "", "space": " "}),
        ("{'path': 'C:/Users/ada'}", {"path": "C:/Users/ada"}),
        (
            "{\n    'id': 7,\n    'title': 'The Hitchhiker's Guide',\n    'year': 1979,\n}",
            {"id": 7, "title": "The Hitchhiker's Guide", "year": 1979},
        ),
        ("{'a': 'b', 'c': ['d', 'e', 'f']}", {"a": "b", "c": ["d", "e", "f"]}),
        ("[“one”, “two”, “three”]", ["one", "two", "three"]),
        ("{'k': \"mixed 'inner' quotes\"}", {"k": "mixed 'inner' quotes"}),
        (r"{'k': 'tab\there'}", {"k": "tab\there"}),
        ("{'html': '<a href=\"/x\">link</a>'}", {"html": '<a href="/x">link</a>'}),
        ("{'ratio': '3:2', 'time': '10:45'}", {"ratio": "3:2", "time": "10:45"}),
        ("{'json': '{\"a\": 1}'}", {"json": '{"a": 1}'}),
        ("'just a string'", "just a string"),
        (
            "{'users': [{'name': 'Zoë', 'admin': true}, {'name': 'Ana', 'admin': false}]}",
            {"users": [{"name": "Zoë", "admin": True}, {"name": "Ana", "admin": False}]},
        ),
        ("{\"a\": 'single', 'b': \"double\", `c`: `back`}", {"a": "single", "b": "double", "c": "back"}),
        (
            "{'summary': 'The user's account wasn't charged.'}",
            {"summary": "The user's account wasn't charged."},
        ),
        ("{'genres': ['rock 'n' roll', 'jazz']}", {"genres": ["rock 'n' roll", "jazz"]}),
        ("{'name': 'Ada', 'age': 36, 'city': 'London'}", {"name": "Ada", "age": 36, "city": "London"}),
        (r"{'multi': 'line one\nline two'}", {"multi": "line one\nline two"}),
        ("[{'q': 'What's 2+2?', 'a': '4'}]", [{"q": "What's 2+2?", "a": "4"}]),
        ("{'key with spaces': 'v'}", {"key with spaces": "v"}),
        ("{\"say\": \"hi\", 'reply': 'hello there, friend'}", {"say": "hi", "reply": "hello there, friend"}),
        (r"{'unicode': '\u00e9t\u00e9'}", {"unicode": "été"}),
        ("{“model”: “gpt”, “reply”: “I’m sure”}", {"model": "gpt", "reply": "I’m sure"}),
        ("{'children's books': 12}", {"children's books": 12}),
    ]


def _inner_quotes() -> list[Case]:
    return [
        ('{"key": "apple "bee" carrot"}', {"key": 'apple "bee" carrot'}),
        ('{"quote": "She said "hello" to me"}', {"quote": 'She said "hello" to me'}),
        ('{"title": "The "Best" Movie", "year": 2020}', {"title": 'The "Best" Movie', "year": 2020}),
        ('{"html": "<div class="row">x</div>"}', {"html": '<div class="row">x</div>'}),
        ('{"cmd": "echo "done""}', {"cmd": 'echo "done"'}),
        ('{"a": "x", "b": "he said "no", then left"}', {"a": "x", "b": 'he said "no", then left'}),
        ('["a "quoted" word", "plain"]', ['a "quoted" word', "plain"]),
        ('{"height": "6" tall"}', {"height": '6" tall'}),
        ('{"size": "12" x 18""}', {"size": '12" x 18"'}),
        ('{"nickname": "Robert "Bob" Smith", "id": 3}', {"nickname": 'Robert "Bob" Smith', "id": 3}),
        ('{"msg": "Use "--force" to override"}', {"msg": 'Use "--force" to override'}),
        ('{"sql": "SELECT * FROM t WHERE name = "bob""}', {"sql": 'SELECT * FROM t WHERE name = "bob"'}),
        (
            '{"answer": "The word "ok" means fine.", "score": 0.9}',
            {"answer": 'The word "ok" means fine.', "score": 0.9},
        ),
        ('{"he said": "I "think" so"}', {"he said": 'I "think" so'}),
        ('{"review": "5 stars — "amazing"!"}', {"review": '5 stars — "amazing"!'}),
        ('{"outer": {"inner": "a "b" c"}}', {"outer": {"inner": 'a "b" c'}}),
        ('{"list": ["say "cheese"", "smile"]}', {"list": ['say "cheese"', "smile"]}),
        (
            '{"description": "A "smart" phone with a 6.1" screen"}',
            {"description": 'A "smart" phone with a 6.1" screen'},
        ),
        ('{"regex": "^"[a-z]+"$"}', {"regex": '^"[a-z]+"$'}),
        ('{\n  "name": "Widget "Pro"",\n  "price": 10\n}', {"name": 'Widget "Pro"', "price": 10}),
        ('{"reply": "Yes, "definitely"."}', {"reply": 'Yes, "definitely".'}),
        ('{"a": "b"c"}', {"a": 'b"c'}),
        ('{"translation": "«Bonjour» means "hello""}', {"translation": '«Bonjour» means "hello"'}),
        ('{"code": "print("hi")"}', {"code": 'print("hi")'}),
        ('{"code": "x = {"a": 1}"}', {"code": 'x = {"a": 1}'}),
        ('{"story": "He yelled "Stop!" and ran.", "words": 5}', {"story": 'He yelled "Stop!" and ran.', "words": 5}),
        ('{"key "with" quotes": 1}', {'key "with" quotes': 1}),
        (
            '{"q": "what does "idempotent" mean?", "a": "same result when repeated"}',
            {"q": 'what does "idempotent" mean?', "a": "same result when repeated"},
        ),
        ('[{"t": "a "b""}, {"t": "c"}]', [{"t": 'a "b"'}, {"t": "c"}]),
        ('{"label": "Click "Save"", "enabled": true}', {"label": 'Click "Save"', "enabled": True}),
        ('{"csv": "name,"city, state",zip"}', {"csv": 'name,"city, state",zip'}),
        ('{"title": "“Fancy” and "plain""}', {"title": '“Fancy” and "plain"'}),
        ('{"msg": "path is "C:/tmp""}', {"msg": 'path is "C:/tmp"'}),
        ('{"arg": "--name="x y""}', {"arg": '--name="x y"'}),
        ('{"text": "He said: "go""}', {"text": 'He said: "go"'}),
        ('{"error": "unexpected token "}" at line 3"}', {"error": 'unexpected token "}" at line 3'}),
        ('{"a": "1", "b": "the "2"nd one", "c": "3"}', {"a": "1", "b": 'the "2"nd one', "c": "3"}),
        (
            '{"name": "Dwayne "The Rock" Johnson", "born": 1972}',
            {"name": 'Dwayne "The Rock" Johnson', "born": 1972},
        ),
        (
            '{"instructions": "Type "yes" or "no"", "default": "no"}',
            {"instructions": 'Type "yes" or "no"', "default": "no"},
        ),
        ('{"phrase": "so-called "experts""}', {"phrase": 'so-called "experts"'}),
        ('{"emoji": "the "🔥" one"}', {"emoji": 'the "🔥" one'}),
        (
            '{\n  "feedback": "The "Submit" button is grey",\n  "severity": "low"\n}',
            {"feedback": 'The "Submit" button is grey', "severity": "low"},
        ),
    ]


def _missing_commas() -> list[Case]:
    return [
        ('{"a": 1 "b": 2}', {"a": 1, "b": 2}),
        ("[1 2 3]", [1, 2, 3]),
        ('["a" "b" "c"]', ["a", "b", "c"]),
        ('{\n  "name": "Ada"\n  "age": 36\n  "city": "London"\n}', {"name": "Ada", "age": 36, "city": "London"}),
        ('[{"id": 1} {"id": 2}]', [{"id": 1}, {"id": 2}]),
        ('{"a": {"x": 1} "b": [1, 2] "c": 3}', {"a": {"x": 1}, "b": [1, 2], "c": 3}),
        ('{"list": [1, 2] "flag": true}', {"list": [1, 2], "flag": True}),
        ("[[1, 2] [3, 4]]", [[1, 2], [3, 4]]),
        ('{"a": true "b": false "c": null}', {"a": True, "b": False, "c": None}),
        ('{"a": "x"\n"b": "y"}', {"a": "x", "b": "y"}),
        ('[\n  "red"\n  "green"\n  "blue"\n]', ["red", "green", "blue"]),
        ('{"nums": [1.5 2.5 -3]}', {"nums": [1.5, 2.5, -3]}),
        (
            '{"user": {"name": "A" "email": "a@x.io"} "ok": true}',
            {"user": {"name": "A", "email": "a@x.io"}, "ok": True},
        ),
        ('[{"a": 1}{"b": 2}]', [{"a": 1}, {"b": 2}]),
        ('{"a": "1""b": "2"}', {"a": "1", "b": "2"}),
        ('{"k1": "v1", "k2": "v2" "k3": "v3"}', {"k1": "v1", "k2": "v2", "k3": "v3"}),
        ("[true false true]", [True, False, True]),
        ('{"matrix": [[1 0] [0 1]]}', {"matrix": [[1, 0], [0, 1]]}),
        (
            '{"title": "Dune" "author": "Frank Herbert" "year": 1965}',
            {"title": "Dune", "author": "Frank Herbert", "year": 1965},
        ),
        (
            '[\n  {"step": 1, "do": "mix"}\n  {"step": 2, "do": "bake"}\n]',
            [{"step": 1, "do": "mix"}, {"step": 2, "do": "bake"}],
        ),
        ('{"a": [1, 2, 3]\n "b": {"c": 4}\n}', {"a": [1, 2, 3], "b": {"c": 4}}),
        ('{"emoji": "🍕" "count": 2}', {"emoji": "🍕", "count": 2}),
        ('{"x": -1 "y": 2}', {"x": -1, "y": 2}),
        ('["https://a.example/x" "https://b.example/y"]', ["https://a.example/x", "https://b.example/y"]),
        ('{"a": null "b": "c"}', {"a": None, "b": "c"}),
        ('{"nested": {"deep": {"v": 1} "w": 2} "z": 3}', {"nested": {"deep": {"v": 1}, "w": 2}, "z": 3}),
        ('["one", "two" "three", "four"]', ["one", "two", "three", "four"]),
        ('{"ids": [101 102 103], "total": 3}', {"ids": [101, 102, 103], "total": 3}),
        ('{"name": "José" "lang": "es"}', {"name": "José", "lang": "es"}),
        ('{"path": "C:/x" "size": 10}', {"path": "C:/x", "size": 10}),
        ('[{"q": "a?"} {"q": "b?"} {"q": "c?"}]', [{"q": "a?"}, {"q": "b?"}, {"q": "c?"}]),
        ('{"start": "09:00" "end": "17:30"}', {"start": "09:00", "end": "17:30"}),
        ('{"a": 1,\n  "b": 2\n  "c": 3,\n  "d": 4}', {"a": 1, "b": 2, "c": 3, "d": 4}),
        ("[1, [2 3], 4]", [1, [2, 3], 4]),
        ('{"status": "ok" "data": []}', {"status": "ok", "data": []}),
        ('{"data": {} "meta": {"page": 1}}', {"data": {}, "meta": {"page": 1}}),
        ('{"s": "a,b" "t": "c"}', {"s": "a,b", "t": "c"}),
        ("[0.1 0.2 0.3]", [0.1, 0.2, 0.3]),
        ("[null null]", [None, None]),
        ('{"pairs": [["a" 1] ["b" 2]]}', {"pairs": [["a", 1], ["b", 2]]}),
        ('{"first": "Grace"\n\t"last": "Hopper"}', {"first": "Grace", "last": "Hopper"}),
        (
            '{"sql": "SELECT id FROM t" "params": [1 2]}',
            {"sql": "SELECT id FROM t", "params": [1, 2]},
        ),
    ]


def _missing_colons() -> list[Case]:
    return [
        ('{"a" 1}', {"a": 1}),
        ('{"name" "Ada", "age" 36}', {"name": "Ada", "age": 36}),
        ('{"a" = 1, "b" = 2}', {"a": 1, "b": 2}),
        ('{"key"  "value"}', {"key": "value"}),
        ('{"x": 1, "y" 2}', {"x": 1, "y": 2}),
        ('{"obj" {"inner" true}}', {"obj": {"inner": True}}),
        ('{"list" [1, 2]}', {"list": [1, 2]}),
        ('{\n  "host" "localhost",\n  "port" 5432\n}', {"host": "localhost", "port": 5432}),
        ('{name = "Ada", age = 36}', {"name": "Ada", "age": 36}),
        ('{"url" "https://example.com:8080/path"}', {"url": "https://example.com:8080/path"}),
        ('{"time" "12:00", "tz": "UTC"}', {"time": "12:00", "tz": "UTC"}),
        ('{"é" "è"}', {"é": "è"}),
        ('[{"id" 1}, {"id" 2}]', [{"id": 1}, {"id": 2}]),
        ('{"flag" false, "count" 0}', {"flag": False, "count": 0}),
        ('{"a" null}', {"a": None}),
        ('{"price" -4.5}', {"price": -4.5}),
        ('{"k": "v", "k2" "v2", "k3": "v3"}', {"k": "v", "k2": "v2", "k3": "v3"}),
        ('{"nested": {"a" "b", "c": "d"}}', {"nested": {"a": "b", "c": "d"}}),
        ('{"a" => 1, "b" => 2}', {"a": 1, "b": 2}),
        ('{"x"=1,"y"=2}', {"x": 1, "y": 2}),
        ('{"msg" "Hello, world!"}', {"msg": "Hello, world!"}),
        ('{"sql" "SELECT 1"}', {"sql": "SELECT 1"}),
        ('{key "value"}', {"key": "value"}),
        ('{"a": 1, "b" [true, false]}', {"a": 1, "b": [True, False]}),
        ('{"emoji" "🚀", "n" 1}', {"emoji": "🚀", "n": 1}),
        ('{"date" "2024-01-01", "ok" true}', {"date": "2024-01-01", "ok": True}),
        ('{"a" {"b" {"c" 1}}}', {"a": {"b": {"c": 1}}}),
        ('{"one" 1 "two" 2}', {"one": 1, "two": 2}),
        ('{"path" "/var/log/app.log"}', {"path": "/var/log/app.log"}),
        ('{"first_name" "Ana", "last_name": "Lima"}', {"first_name": "Ana", "last_name": "Lima"}),
        ("{'k' 'v'}", {"k": "v"}),
        ('{"a": "x", "b" "y" }', {"a": "x", "b": "y"}),
        ('{"ratio" 0.75}', {"ratio": 0.75}),
        (
            '{"long" "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod"}',
            {"long": "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod"},
        ),
        ('{"list" [], "obj" {}}', {"list": [], "obj": {}}),
        ('{"key" : "v", "key2" "v2"}', {"key": "v", "key2": "v2"}),
        ('{"w" 1e3}', {"w": 1000.0}),
        ('{"Ω" "ohm"}', {"Ω": "ohm"}),
        ('{"a" = "b"; "c" = "d"}', {"a": "b", "c": "d"}),
        ('{"code" "if (a) { b(); }"}', {"code": "if (a) { b(); }"}),
        ('{"x" 1, "y" 2, "z" 3}', {"x": 1, "y": 2, "z": 3}),
        (
            '[{"label" "cat", "score" 0.91}, {"label" "dog", "score" 0.09}]',
            [
                {"label": "cat", "score": 0.91},
                {"label": "dog", "score": 0.09},
            ],
        ),
    ]


def _extra_commas() -> list[Case]:
    return [
        ('{"a": 1,}', {"a": 1}),
        ("[1, 2, 3,]", [1, 2, 3]),
        ('{"a": 1,, "b": 2}', {"a": 1, "b": 2}),
        ("[1,, 2]", [1, 2]),
        ("[,1, 2]", [1, 2]),
        ('{, "a": 1}', {"a": 1}),
        ('{"a": [1, 2,], "b": {"c": 3,},}', {"a": [1, 2], "b": {"c": 3}}),
        ('{\n  "name": "x",\n  "tags": [\n    "a",\n    "b",\n  ],\n}', {"name": "x", "tags": ["a", "b"]}),
        ("[,]", []),
        ("{,}", {}),
        ("[1, 2, 3,,,]", [1, 2, 3]),
        ('{"a": 1,\n}', {"a": 1}),
        ('[{"a": 1,}, {"b": 2,},]', [{"a": 1}, {"b": 2}]),
        ('{"a": "x,",}', {"a": "x,"}),
        ('["a", "b", ,"c"]', ["a", "b", "c"]),
        ('{"k": [,,]}', {"k": []}),
        ('{"a": 1 , , "b": 2 ,}', {"a": 1, "b": 2}),
        ('[ "x" , ]', ["x"]),
        ('{"deep": {"deeper": {"deepest": [1,],},},}', {"deep": {"deeper": {"deepest": [1]}}}),
        ('{"emoji": "✅",}', {"emoji": "✅"}),
        ('{"url": "https://x.io/a,b",}', {"url": "https://x.io/a,b"}),
        ("[1.5,]", [1.5]),
        ('{"a": true,, }', {"a": True}),
        ("[[1,],[2,],]", [[1], [2]]),
        ('{"list": ["a",\n  "b",\n  ],\n  "n": 1,\n}', {"list": ["a", "b"], "n": 1}),
        ('{"a": null,,,}', {"a": None}),
        ('[,,"only",,]', ["only"]),
        ('{"x": 1, // one\n "y": 2, // two\n}', {"x": 1, "y": 2}),
        ('{"sql": "SELECT a, b, FROM t",}', {"sql": "SELECT a, b, FROM t"}),
        ('["€", "£", "¥",]', ["€", "£", "¥"]),
        ('{"a":[{"b":[{"c":1,},],},],}', {"a": [{"b": [{"c": 1}]}]}),
        ("[1 , 2 , ]", [1, 2]),
        ('{"key": "value" ,}', {"key": "value"}),
        ('{"a": 1,\t}', {"a": 1}),
        ('{\r\n  "a": 1,\r\n  "b": 2,\r\n}', {"a": 1, "b": 2}),
        ('```json\n{"fenced": 1,}\n```', {"fenced": 1}),
        ('[{"id": 1, "tags": ["x",],},]', [{"id": 1, "tags": ["x"]}]),
        ('{"n": -0.5,}', {"n": -0.5}),
        ('{"a": [], "b": {},}', {"a": [], "b": {}}),
        ('{"a": 1, "b": 2, , }', {"a": 1, "b": 2}),
        ("{'x': 'y',}", {"x": "y"}),
        (
            '{"items": [\n  {"sku": "A1", "qty": 2},\n  {"sku": "B7", "qty": 1},\n],\n"total": 3,}',
            {
                "items": [{"sku": "A1", "qty": 2}, {"sku": "B7", "qty": 1}],
                "total": 3,
            },
        ),
    ]


def _truncated() -> list[Case]:
    return [
        ('{"a": 1', {"a": 1}),
        ("[1, 2, 3", [1, 2, 3]),
        ('{"a": {"b": {"c": 1', {"a": {"b": {"c": 1}}}),
        ('{"name": "Ada", "bio": "Mathematician and wri', {"name": "Ada", "bio": "Mathematician and wri"}),
        ('{"items": [{"id": 1}, {"id": 2', {"items": [{"id": 1}, {"id": 2}]}),
        ('{"a": [1, 2, {"b": "c"', {"a": [1, 2, {"b": "c"}]}),
        ('{"a": 1, "b', {"a": 1}),
        ('{"a": 1, "b":', {"a": 1}),
        ('{"a": 1, "b": ', {"a": 1}),
        ('{"ok": tr', {"ok": True}),
        ('{"v": nul', {"v": None}),
        ('{"f": fals', {"f": False}),
        ("[1, 2, 3,", [1, 2, 3]),
        ('{"a": 1,', {"a": 1}),
        ('{"s": "caf\\u00', {"s": "caf"}),
        ('{"s": "line\\', {"s": "line"}),
        ('{"count": 12', {"count": 12}),
        ('{"price": 3.14', {"price": 3.14}),
        (
            'Here is the JSON:\n```json\n{\n  "title": "Report",\n  "sections": [\n'
            '    {"heading": "Intro", "body": "This report covers',
            {"title": "Report", "sections": [{"heading": "Intro", "body": "This report covers"}]},
        ),
        ('[{"a": 1}, {"b": [true, false', [{"a": 1}, {"b": [True, False]}]),
        ('{"k": ["x", "y', {"k": ["x", "y"]}),
        ('{"url": "https://example.com/pa', {"url": "https://example.com/pa"}),
        ('{"a": {"b": [1, [2, [3', {"a": {"b": [1, [2, [3]]]}}),
        ('{"emoji": "🎉🎊', {"emoji": "🎉🎊"}),
        ('{"msg": "He said \\"hi', {"msg": 'He said "hi'}),
        (
            '{"data": {"users": [{"name": "A", "roles": ["admin"',
            {"data": {"users": [{"name": "A", "roles": ["admin"]}]}},
        ),
        ('["a", "b", "c', ["a", "b", "c"]),
        ('{"a": 1, "b": {', {"a": 1, "b": {}}),
        ('{"a": 1, "b": [', {"a": 1, "b": []}),
        ('{"key": "value", "other"', {"key": "value"}),
        ('{"text": "multi\\nline', {"text": "multi\nline"}),
        ('{"path": "C:\\\\Users\\\\', {"path": "C:\\Users\\"}),
        (
            '[{"id": 1, "tags": []}, {"id": 2, "tags": ["n',
            [{"id": 1, "tags": []}, {"id": 2, "tags": ["n"]}],
        ),
        ('{"a": true, "b": false, "c": n', {"a": True, "b": False, "c": None}),
        (
            '{"reply": "Sure! Here\'s the plan:\\n1. Wake up\\n2. ',
            {"reply": "Sure! Here's the plan:\n1. Wake up\n2. "},
        ),
        ('{"a": [1, 2], "b": "x"', {"a": [1, 2], "b": "x"}),
        ('{"ö": "ü", "ä": "ß', {"ö": "ü", "ä": "ß"}),
        ("[[[[1", [[[[1]]]]),
        ('{"nums": [1.5, 2.25, 3', {"nums": [1.5, 2.25, 3]}),
        (
            '{"deeply": {"nested": {"object": {"with": {"many": "levels"',
            {"deeply": {"nested": {"object": {"with": {"many": "levels"}}}}},
        ),
        ('{"code": "def f(x):\\n    return {', {"code": "def f(x):\n    return {"}),
        ("{'name': 'Zoë', 'langs': ['fr', 'de", {"name": "Zoë", "langs": ["fr", "de"]}),
        ('{\n  "step": 3,\n  "thought": "I need to check the', {"step": 3, "thought": "I need to check the"}),
    ]


def _extra_closers() -> list[Case]:
    return [
        ('{"a": 1}}', {"a": 1}),
        ("[1, 2]]", [1, 2]),
        ('{"a": [1, 2]]}', {"a": [1, 2]}),
        ('{"a": {"b": 1}}}', {"a": {"b": 1}}),
        ('[{"a": 1}]}', [{"a": 1}]),
        ('{"a": 1}]', {"a": 1}),
        ('{"a": [1, 2}', {"a": [1, 2]}),
        ('[{"a": 1]', [{"a": 1}]),
        ('{"a": [1, {"b": 2]]}', {"a": [1, {"b": 2}]}),
        ('{"x": "y"}}}}', {"x": "y"}),
        ("[[1, 2]]]", [[1, 2]]),
        ('{"list": [1, 2, 3]]], "n": 1}', {"list": [1, 2, 3], "n": 1}),
        ('{"a": {"b": "c"}}, "d": 1}', {"a": {"b": "c"}, "d": 1}),
        ('{"a": 1, "b": 2}}\n', {"a": 1, "b": 2}),
        ('{\n  "name": "x",\n  "meta": {\n    "v": 1\n  }\n  }\n}', {"name": "x", "meta": {"v": 1}}),
        (']{"a": 1}', {"a": 1}),
        ('}{"a": 1}', {"a": 1}),
        ("[1, 2, 3]}", [1, 2, 3]),
        ('{"s": "}"}}', {"s": "}"}),
        ('{"s": "]"]}', {"s": "]"}),
        ('{"users": [{"id": 1}}, {"id": 2}]}', {"users": [{"id": 1}, {"id": 2}]}),
        ('[{"a": [1, 2]}]]', [{"a": [1, 2]}]),
        ('{"a": [1, 2, 3)}', {"a": [1, 2, 3]}),
        ('{"k": "v"}]}]', {"k": "v"}),
        ('{"matrix": [[1, 2], [3, 4]]]}', {"matrix": [[1, 2], [3, 4]]}),
        ('{"a": {"b": {"c": {}}}}}', {"a": {"b": {"c": {}}}}),
        ("[]]", []),
        ("{}}", {}),
        ('{"emoji": "😀"}}', {"emoji": "😀"}),
        ('{"a": 1}\n}', {"a": 1}),
        ('{"a": {"b": 1}, "c": 2}}}', {"a": {"b": 1}, "c": 2}),
        ('```json\n{"fenced": 1}}\n```', {"fenced": 1}),
        ("[1, 2]\n]", [1, 2]),
        ('{"text": "done"}} thanks!', {"text": "done"}),
        ('{"a": [1]}]', {"a": [1]}),
        ('{"items": ["a", "b"]], "count": 2}', {"items": ["a", "b"], "count": 2}),
        ('{"a": {"x": 1}}, "b": {"y": 2}}', {"a": {"x": 1}, "b": {"y": 2}}),
        ('{"a": [{"b": 1}]}]}', {"a": [{"b": 1}]}),
        ("[[[]]]]", [[[]]]),
        ('{"n": 0}}}}}}', {"n": 0}),
        ("{'a': 'b' }} ", {"a": "b"}),
        ('{"cfg": {"debug": true}}}\n// end of config', {"cfg": {"debug": True}}),
    ]


def _comments() -> list[Case]:
    return [
        ('{"a": 1 // note\n}', {"a": 1}),
        ('{/* c */ "a": 1}', {"a": 1}),
        ('{"a": 1, # comment\n "b": 2}', {"a": 1, "b": 2}),
        ('// header\n{"a": 1}', {"a": 1}),
        ('{"a": 1}\n// trailing', {"a": 1}),
        ("[1, /* two */ 2, 3]", [1, 2, 3]),
        ('{"url": "http://x.io"} // link', {"url": "http://x.io"}),
        ('{"s": "/* not a comment */", // real\n "t": 1}', {"s": "/* not a comment */", "t": 1}),
        ('{"a": /* inline */ true}', {"a": True}),
        (
            '{\n  // the user\'s name\n  "name": "Ada",\n  /* age in years */\n  "age": 36\n}',
            {"name": "Ada", "age": 36},
        ),
        ('# config\n{"debug": false}', {"debug": False}),
        ('{"a": 1 /* unterminated', {"a": 1}),
        ('{"k": "v" # python style\n}', {"k": "v"}),
        ('[\n  "a", // first\n  "b"  // second\n]', ["a", "b"]),
        ('{"path": "C:/dir//sub"} // a path with two slashes', {"path": "C:/dir//sub"}),
        ('/* multi\nline\ncomment */ {"x": 1}', {"x": 1}),
        ('{"a": 1, /* "b": 2, */ "c": 3}', {"a": 1, "c": 3}),
        ('{"a": [1, 2 /* , 3 */]}', {"a": [1, 2]}),
        ('{"color": "#fff", # hex\n "size": 2}', {"color": "#fff", "size": 2}),
        ('{"a": 1} /* end */', {"a": 1}),
        ('{"regex": "a//b", // slashes inside\n "n": 1}', {"regex": "a//b", "n": 1}),
        ('// Response:\n[\n  {"id": 1}, // first\n  {"id": 2}  // second\n]', [{"id": 1}, {"id": 2}]),
        ('{"a": "x" /* comment with } brace */, "b": "y"}', {"a": "x", "b": "y"}),
        ('{"a": 1, // comment with "quotes" and {braces}\n "b": 2}', {"a": 1, "b": 2}),
        ('{"ключ": "значение" // комментарий\n}', {"ключ": "значение"}),
        ('{"a": 1, // comment\n}', {"a": 1}),
        ('{"a": /* 1 */ 2}', {"a": 2}),
        ('{"x": 10, /* px */ "y": 20 /* px */}', {"x": 10, "y": 20}),
        (
            '{\n  "name": "app", // app name\n  "version": "1.0.0", // semver\n  "private": true // don\'t publish\n}',
            {"name": "app", "version": "1.0.0", "private": True},
        ),
        ("[1, 2, 3] # numbers", [1, 2, 3]),
        ('{"a": "b"} # that\'s it', {"a": "b"}),
        ('{"email": "a@b.c" /* work */}', {"email": "a@b.c"}),
        ('{"a": 1,\n  // "b": 2,\n  "c": 3}', {"a": 1, "c": 3}),
        (
            '{"sql": "SELECT * FROM t -- all rows", /* query */ "limit": 10}',
            {"sql": "SELECT * FROM t -- all rows", "limit": 10},
        ),
        ('{"a": 1 //no space\n,"b": 2}', {"a": 1, "b": 2}),
        ('/**\n * Generated file\n */\n{"gen": true}', {"gen": True}),
        ('{"a": [ // list\n 1,\n 2\n ]}', {"a": [1, 2]}),
        ('{"a": 1, "b": 2 # trailing hash', {"a": 1, "b": 2}),
        ('{"price": 9.99 /* USD */, "qty": 1 /* each */}', {"price": 9.99, "qty": 1}),
        ('{"emoji": "🙂" // smile\n}', {"emoji": "🙂"}),
        ('{"a": {"b": 1 /* inner */} // outer\n}', {"a": {"b": 1}}),
        ('{"k": "v"} // comment with { brace', {"k": "v"}),
        ('```jsonc\n{\n  // retries before giving up\n  "retries": 3\n}\n```', {"retries": 3}),
    ]


def _literals() -> list[Case]:
    return [
        ("{'a': True, 'b': False, 'c': None}", {"a": True, "b": False, "c": None}),
        ("[True, False, None]", [True, False, None]),
        ('{"x": undefined}', {"x": None}),
        ('{"x": NaN}', {"x": None}),
        ('{"x": Infinity, "y": -Infinity}', {"x": None, "y": None}),
        ("(1, 2, 3)", [1, 2, 3]),
        ("{'point': (3, 4)}", {"point": [3, 4]}),
        ("{'single': (1,)}", {"single": [1]}),
        ("[('a', 1), ('b', 2)]", [["a", 1], ["b", 2]]),
        ("{'empty': ()}", {"empty": []}),
        ('{"ok": TRUE, "bad": FALSE}', {"ok": True, "bad": False}),
        ('{"v": Null}', {"v": None}),
        ('{"v": nil}', {"v": None}),
        (
            "{'name': 'Ada', 'tags': ['math', 'code'], 'active': True}",
            {"name": "Ada", "tags": ["math", "code"], "active": True},
        ),
        ("{'nested': {'flag': False, 'items': [None, None]}}", {"nested": {"flag": False, "items": [None, None]}}),
        ('{"a": 1, "b": undefined, "c": 3}', {"a": 1, "b": None, "c": 3}),
        ("{'x': 1.0, 'y': 2, 'z': -0.5}", {"x": 1.0, "y": 2, "z": -0.5}),
        ("{'ids': {1, 2, 3}}", {"ids": [1, 2, 3]}),
        ("{'s': u'unicode'}", {"s": "unicode"}),
        ("{'t': True, 'f': False, 'text': 'True story'}", {"t": True, "f": False, "text": "True story"}),
        ("[None]", [None]),
        ('{"count": NaN, "mean": 2.5}', {"count": None, "mean": 2.5}),
        ("{name: 'x', enabled: true, callback: undefined}", {"name": "x", "enabled": True, "callback": None}),
        (
            "{'result': {'score': 0.93, 'label': 'positive', 'extra': None}}",
            {"result": {"score": 0.93, "label": "positive", "extra": None}},
        ),
        ('{"a": True, "b": "False"}', {"a": True, "b": "False"}),
        ("{'matrix': ((1, 0), (0, 1))}", {"matrix": [[1, 0], [0, 1]]}),
        ("[1, None, 3]", [1, None, 3]),
        ("{'k': None,}", {"k": None}),
        (
            "{'id': 17,\n 'name': 'sensor-3',\n 'readings': [21.5, 21.7, None],\n 'ok': True}",
            {"id": 17, "name": "sensor-3", "readings": [21.5, 21.7, None], "ok": True},
        ),
        ('{"enabled":True,"retries":3,"backoff":None}', {"enabled": True, "retries": 3, "backoff": None}),
        ("{'unicode': 'naïve café', 'ok': True}", {"unicode": "naïve café", "ok": True}),
        ("[undefined, null, NaN]", [None, None, None]),
        ("{'msg': \"it's True that None came\"}", {"msg": "it's True that None came"}),
        ('{"items": (1, "two", 3.0)}', {"items": [1, "two", 3.0]}),
        (
            "{'users': [{'id': 1, 'admin': False}, {'id': 2, 'admin': True}]}",
            {"users": [{"id": 1, "admin": False}, {"id": 2, "admin": True}]},
        ),
        ("{'a': True, 'b': [True, (False, None)]}", {"a": True, "b": [True, [False, None]]}),
        ("{'float': 1e-05, 'int': 100000}", {"float": 1e-05, "int": 100000}),
        ("{'k': 'v', 'n': None, 't': (), 'l': []}", {"k": "v", "n": None, "t": [], "l": []}),
        ("{'score': -1, 'valid': False, 'reason': None}", {"score": -1, "valid": False, "reason": None}),
        ('{"enabled": True, "note": "Set to True to enable"}', {"enabled": True, "note": "Set to True to enable"}),
        ("{'bounds': (-Infinity, Infinity)}", {"bounds": [None, None]}),
        (
            "[{'title': 'Ok', 'done': True}, {'title': 'No', 'done': False}]",
            [
                {"title": "Ok", "done": True},
                {"title": "No", "done": False},
            ],
        ),
    ]


def _numbers() -> list[Case]:
    return [
        ('{"a": +1}', {"a": 1}),
        ('{"a": 007}', {"a": 7}),
        ('{"a": .5}', {"a": 0.5}),
        ('{"a": 1.}', {"a": 1.0}),
        ('{"a": 1_000}', {"a": 1000}),
        ('{"a": 0x1F}', {"a": 31}),
        ("[-.25, +.75]", [-0.25, 0.75]),
        ('{"a": 1E+3, "b": .1e2}', {"a": 1000.0, "b": 10.0}),
        ('{"pct": 50%}', {"pct": "50%"}),
        ('{"height": 180cm}', {"height": "180cm"}),
        ('{"perm": 0o17}', {"perm": 15}),
        ('{"flags": 0b101}', {"flags": 5}),
        ('{"a": 00}', {"a": 0}),
        ('{"x": 1_000_000.5}', {"x": 1000000.5}),
        ('{"version": 1.2.3}', {"version": "1.2.3"}),
        ('{"temp": -.5}', {"temp": -0.5}),
        ("[5., 10.]", [5.0, 10.0]),
        ('{"n": +0.5e-3}', {"n": 0.0005}),
        ('{"hex": 0xff, "HEX": 0XFF}', {"hex": 255, "HEX": 255}),
        ('{"lat": +48.8566, "lon": +2.3522}', {"lat": 48.8566, "lon": 2.3522}),
        ('{"lr": .001, "momentum": .9}', {"lr": 0.001, "momentum": 0.9}),
        ('{"steps": 10_000, "warmup": 500}', {"steps": 10000, "warmup": 500}),
        ('{"mask": 0xFFFF0000}', {"mask": 4294901760}),
        ('{"prob": 0.95, "alt": .05}', {"prob": 0.95, "alt": 0.05}),
        ("[+1, -1, +0]", [1, -1, 0]),
        ('{"x": 01.5}', {"x": 1.5}),
        ('{"a": -007}', {"a": -7}),
        ('{"amount": 1_234.56}', {"amount": 1234.56}),
        ('{"scores": [.1, .2, .3]}', {"scores": [0.1, 0.2, 0.3]}),
        ('{"values": [1., 2., 3.]}', {"values": [1.0, 2.0, 3.0]}),
        ('{"color": 0x00ff00}', {"color": 65280}),
        ('{"size": "10", "count": +10}', {"size": "10", "count": 10}),
        ('{"year": 02024}', {"year": 2024}),
        ('{"e": 6.02e+23, "h": .6626e-33}', {"e": 6.02e23, "h": 6.626e-34}),
        ('{"n": -.0}', {"n": -0.0}),
        ('{"neg_hex": -0x10}', {"neg_hex": -16}),
        ('{"weight": 72kg}', {"weight": "72kg"}),
        ('{"duration": 30s, "retries": 3}', {"duration": "30s", "retries": 3}),
        ('{"mem": 512MB}', {"mem": "512MB"}),
        ("{'n': +5, 'm': .5, 'o': 5.}", {"n": 5, "m": 0.5, "o": 5.0}),
        ("[0x0A, 0x0B]", [10, 11]),
        ('{"pi": 3.14159,\n "tau": +6.28318,\n "half": .5}', {"pi": 3.14159, "tau": 6.28318, "half": 0.5}),
        ('{"version": 2.0.1, "build": 0042}', {"version": "2.0.1", "build": 42}),
        ('{"offset": +.5e1}', {"offset": 5.0}),
        ('{"ints": [01, 02, 03]}', {"ints": [1, 2, 3]}),
    ]


def _escapes() -> list[Case]:
    return [
        (r'{"path": "C:\Users\ada\Documents"}', {"path": r"C:\Users\ada\Documents"}),
        (r'{"path": "C:\new\table"}', {"path": r"C:\new\table"}),
        (r'{"path": "C:\Program Files\App\bin"}', {"path": r"C:\Program Files\App\bin"}),
        (r'{"path": "C:\temp\file.txt"}', {"path": r"C:\temp\file.txt"}),
        (r'{"paths": ["C:\a", "D:\b\c"]}', {"paths": [r"C:\a", r"D:\b\c"]}),
        (r"{'path': 'C:\Windows\System32'}", {"path": r"C:\Windows\System32"}),
        (r'{"file": "D:\\data\logs\app.log"}', {"file": r"D:\data\logs\app.log"}),
        (r'{"dir": "..\src\main.c"}', {"dir": r"..\src\main.c"}),
        (
            r'{"registry": "HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft"}',
            {"registry": r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft"},
        ),
        (r'{"user": "CORP\jsmith"}', {"user": r"CORP\jsmith"}),
        (r'{"log": "C:\logs\2024\jan.txt"}', {"log": r"C:\logs\2024\jan.txt"}),
        (r'{"re": "\d+\.\d+"}', {"re": r"\d+\.\d+"}),
        (r'{"regex": "^[A-Z]\w*$"}', {"regex": r"^[A-Z]\w*$"}),
        (r'{"pattern": "\s+\S*"}', {"pattern": r"\s+\S*"}),
        (r'{"cmd": "find . -name \*.py"}', {"cmd": r"find . -name \*.py"}),
        (r'{"re": "[0-9]{3}\-[0-9]{4}"}', {"re": r"[0-9]{3}\-[0-9]{4}"}),
        (r'{"esc": "\g\h\i"}', {"esc": r"\g\h\i"}),
        (r'{"a": "x\y\z"}', {"a": r"x\y\z"}),
        (r'{"s": "\x41BC"}', {"s": "ABC"}),
        (r'{"s": "\xe9t\xe9"}', {"s": "été"}),
        (r'{"s": "\'quoted\'"}', {"s": "'quoted'"}),
        (r'{"xml": "<a attr=\'1\'/>"}', {"xml": "<a attr='1'/>"}),
        (r'{"text": "He said \"hi\" and \'bye\'"}', {"text": "He said \"hi\" and 'bye'"}),
        (r"{'s': 'it\'s here\nnext'}", {"s": "it's here\nnext"}),
        (r'{"tex": "\alpha + \beta"}', {"tex": r"\alpha + \beta"}),
        (
            r'{"ps": "Get-ChildItem C:\Logs | Where-Object {$_.Length -gt 1kb}"}',
            {"ps": r"Get-ChildItem C:\Logs | Where-Object {$_.Length -gt 1kb}"},
        ),
        ('{"msg": "line1\nline2"}', {"msg": "line1\nline2"}),
        ('{"msg": "col1\tcol2"}', {"msg": "col1\tcol2"}),
        ('{"poem": "Roses are red,\nViolets are blue"}', {"poem": "Roses are red,\nViolets are blue"}),
        ('{"sql": "SELECT *\nFROM users\nWHERE id = 1"}', {"sql": "SELECT *\nFROM users\nWHERE id = 1"}),
        ('{"code": "def f():\n    return 1"}', {"code": "def f():\n    return 1"}),
        ('{"note": "first line\n\tindented second"}', {"note": "first line\n\tindented second"}),
        ('{"s": "a\r\nb"}', {"s": "a\r\nb"}),
        ('{"js": "if (x) {\n  y();\n}"}', {"js": "if (x) {\n  y();\n}"}),
        ('{"csv": "a,b,c\n1,2,3"}', {"csv": "a,b,c\n1,2,3"}),
        ('{"lines": ["one\ntwo", "three"]}', {"lines": ["one\ntwo", "three"]}),
        ('{"tab": "a\tb\tc", "nl": "d\ne"}', {"tab": "a\tb\tc", "nl": "d\ne"}),
        ('{"sql": "WHERE name LIKE \'a%\'\n  AND id > 5"}', {"sql": "WHERE name LIKE 'a%'\n  AND id > 5"}),
        ('{"u": "\\u00e9\\u00e8", "raw": "é\nè"}', {"u": "éè", "raw": "é\nè"}),
        (
            '{"msg": "Multi-line\nmessage with \\"quotes\\"\nand tabs\there"}',
            {"msg": 'Multi-line\nmessage with "quotes"\nand tabs\there'},
        ),
        ('{"md": "# Title\n\nParagraph"}', {"md": "# Title\n\nParagraph"}),
        ('{"yaml": "key: value\nlist:\n  - a"}', {"yaml": "key: value\nlist:\n  - a"}),
        ('{"bell": "ding\x07"}', {"bell": "ding\x07"}),
    ]


def _surroundings() -> list[Case]:
    return [
        ('Here is the JSON:\n{"a": 1}', {"a": 1}),
        ('{"a": 1}\nLet me know if you need anything else.', {"a": 1}),
        ('```json\n{"a": 1}\n```', {"a": 1}),
        ("```\n[1, 2]\n```", [1, 2]),
        ('Sure! ```json\n{"ok": true}\n``` Hope this helps.', {"ok": True}),
        ('The answer is {"x": 5}.', {"x": 5}),
        ("Result: [1, 2, 3] (three items)", [1, 2, 3]),
        ("{\"a\": 1}\n\nNote: in Python you'd write {'a': 1} instead.", {"a": 1}),
        ("```python\nprint('hi')\n```\n```json\n{\"a\": 1}\n```", {"a": 1}),
        ('<json>{"a": 1}</json>', {"a": 1}),
        ('JSON:\n\n```JSON\n{"Name": "Z"}\n```', {"Name": "Z"}),
        ('<think>The user wants a list. Maybe {"draft": 1}?</think>\n{"final": 2}', {"final": 2}),
        ('I think the answer is:\n\n    {"indented": true}\n', {"indented": True}),
        ('```json\n{"a": 1}', {"a": 1}),
        ('Answer: `{"a": 1}`', {"a": 1}),
        (
            'Output:\n```\n{\n  "name": "test",\n  "values": [1, 2]\n}\n```\nThe `values` field holds {1, 2}.',
            {"name": "test", "values": [1, 2]},
        ),
        ('Here\'s your data —\n\n[{"id": 1}, {"id": 2}]\n\nEach object has an "id".', [{"id": 1}, {"id": 2}]),
        ('json\n{"a": 1}', {"a": 1}),
        ('```json {"a": 1} ```', {"a": 1}),
        ('~~~json\n{"tilde": true}\n~~~', {"tilde": True}),
        ('Response: {"status": "done", "msg": "ok"} — that\'s all.', {"status": "done", "msg": "ok"}),
        ('Der Wert ist {"preis": 12.5} Euro.', {"preis": 12.5}),
        ('Voici le résultat : {"ville": "Montréal"}', {"ville": "Montréal"}),
        ('结果如下：{"名称": "测试"}', {"名称": "测试"}),
        (
            'Sure, here\'s the JSON you asked for:\n\n```json\n[\n  {"q": "2+2", "a": 4},\n'
            '  {"q": "3*3", "a": 9}\n]\n```\n\nLet me know if you want more like {"q": ..., "a": ...}.',
            [{"q": "2+2", "a": 4}, {"q": "3*3", "a": 9}],
        ),
        ('Thinking... the array [1,2] is not it. Final answer: {"result": [3, 4]}', {"result": [3, 4]}),
        ('```json\n{"a": "contains ``` backticks"}\n```', {"a": "contains ``` backticks"}),
        ('Here:\n```json\n\n{"a": 1}\n\n```\n', {"a": 1}),
        (
            "Of course! Below is the configuration.\n```yaml\nkey: value\n```\nand as JSON:\n```json\n"
            '{"key": "value"}\n```',
            {"key": "value"},
        ),
        ('> {"quoted": true}', {"quoted": True}),
        ('1. First, the object: {"step": 1}', {"step": 1}),
        (
            'The config is:\n{\n  "debug": true\n}\nRemember: set debug to false in production!',
            {"debug": True},
        ),
        ('Here is the list: ["a", "b"]. Also note [sic].', ["a", "b"]),
        ('**Result:**\n```json\n{"bold": false}\n```', {"bold": False}),
        ('Assistant: {"reply": "hi"}', {"reply": "hi"}),
        ('```json\n{"a": 1}\n```\n```json\n{"a": 1}\n```', {"a": 1}),
        ('The function returns `null` when empty, otherwise {"count": 3}.', {"count": 3}),
        ('\ufeff{"bom": 1}', {"bom": 1}),
        ('data = {"x": 1}', {"x": 1}),
        ("const config = {\n  port: 8080,\n  host: 'localhost',\n};", {"port": 8080, "host": "localhost"}),
        ('Here you go 👉 {"emoji": "👍"} 😊', {"emoji": "👍"}),
        (
            '```json\n// answer\n{"a": 1}\n```\nExplanation: the key `a` maps to 1; {a} is a set in Python.',
            {"a": 1},
        ),
    ]


def _double_encoded() -> list[Case]:
    return [
        (r'"{\"a\": 1}"', {"a": 1}),
        (r'"[1, 2, 3]"', [1, 2, 3]),
        (r"{\"a\": 1}", {"a": 1}),
        (r'"{\"name\": \"Ada\", \"tags\": [\"x\"]}"', {"name": "Ada", "tags": ["x"]}),
        (r'"{\\\"a\\\": 1}"', {"a": 1}),
        ("'{\"a\": 1}'", {"a": 1}),
        ("```json\n" + r'"{\"ok\": true}"' + "\n```", {"ok": True}),
        (r"{\"user\": {\"id\": 7}}", {"user": {"id": 7}}),
        (r'"{\"a\": 1,}"', {"a": 1}),
        ("\"{'a': 1}\"", {"a": 1}),
        (r"[\"a\", \"b\"]", ["a", "b"]),
        (r'"{\"msg\": \"line\\nbreak\"}"', {"msg": "line\nbreak"}),
        (r'The API returned: "{\"status\": \"ok\"}"', {"status": "ok"}),
        (r"{\"a\": \"b\"}" + "\n", {"a": "b"}),
        (r'"{\"n\": 1.5, \"ok\": false, \"x\": null}"', {"n": 1.5, "ok": False, "x": None}),
        (r'"{\"a\": 1}', {"a": 1}),
        (r'"{\"a\": {\"b\": [1, {\"c\": \"d\"}]}}"', {"a": {"b": [1, {"c": "d"}]}}),
        (r'"{\"path\": \"C:\\\\tmp\"}"', {"path": "C:\\tmp"}),
        (r'"{\"emoji\": \"\\ud83d\\ude00\"}"', {"emoji": "😀"}),
        (r"{\"k\": [\"v1\", \"v2\"], \"n\": 2}", {"k": ["v1", "v2"], "n": 2}),
        (r'{"data": "{\"a\": 1}"}', {"data": '{"a": 1}'}),
        (r'"[{\"id\": 1}, {\"id\": 2}]"', [{"id": 1}, {"id": 2}]),
        (r'"{\"a\":1}"', {"a": 1}),
        (r'"{\n  \"a\": 1\n}"', {"a": 1}),
        ('{\n  \\"a\\": 1,\n  \\"b\\": 2\n}', {"a": 1, "b": 2}),
        (r'"{\"text\": \"He said \\\"hi\\\"\"}"', {"text": 'He said "hi"'}),
        (r'"{\"ключ\": \"значение\"}"', {"ключ": "значение"}),
        (r'Output: "{\"a\": true}"', {"a": True}),
        (r'["{\"a\": 1}", "{\"b\": 2}"]', ['{"a": 1}', '{"b": 2}']),
        (r"{\"url\": \"https://x.io/?q=1&r=2\"}", {"url": "https://x.io/?q=1&r=2"}),
        (r'"{\"list\": [1, 2, 3]"', {"list": [1, 2, 3]}),
        (r'"{\"a\": \"1\", \"b\": \"2\"}"', {"a": "1", "b": "2"}),
        (r"{\"nested\": \"{\\\"x\\\": 1}\"}", {"nested": '{"x": 1}'}),
        (r'"{\"a\": [true, false]}"', {"a": [True, False]}),
        (r'"{\"price\": 9.99, \"currency\": \"EUR\"}"', {"price": 9.99, "currency": "EUR"}),
        (r'"{\"a\": null}"', {"a": None}),
        (r'"{\"s\": \"tab\\there\"}"', {"s": "tab\there"}),
        (r"""'{"name": "O\'Brien"}'""", {"name": "O'Brien"}),
        (r'"{\"items\": []}"', {"items": []}),
        ("```json\n" + r"{\"a\": 1}" + "\n```", {"a": 1}),
        (r'"{\"sizes\": {\"s\": 1, \"m\": 2}}"', {"sizes": {"s": 1, "m": 2}}),
        (r'"{\"a\": 1, \"b\": {\"c\": [\"d\", \"e\"]}}"', {"a": 1, "b": {"c": ["d", "e"]}}),
    ]


def _syntax_in_values() -> list[Case]:
    return [
        ('{"url": "https://example.com/a?b=1&c=2#frag",}', {"url": "https://example.com/a?b=1&c=2#frag"}),
        ("{'time': '10:30:00', 'tz': 'UTC+02:00'}", {"time": "10:30:00", "tz": "UTC+02:00"}),
        ('{"http://schema.org/name": "Ada",}', {"http://schema.org/name": "Ada"}),
        ("{'a:b': 1, 'c:d': 2}", {"a:b": 1, "c:d": 2}),
        ('{"ipv6": "2001:db8::1",}', {"ipv6": "2001:db8::1"}),
        ("{\"mailto\": 'mailto:a@b.co'}", {"mailto": "mailto:a@b.co"}),
        ('{"k": "a, b, c", \'l\': "x: y"}', {"k": "a, b, c", "l": "x: y"}),
        (
            r"{'sql': 'SELECT a, b FROM t WHERE c = \'x\' AND d IN (1, 2);'}",
            {"sql": "SELECT a, b FROM t WHERE c = 'x' AND d IN (1, 2);"},
        ),
        (r'{"regex": "^(https?://)?[\\w.-]+(:\\d+)?$",}', {"regex": r"^(https?://)?[\w.-]+(:\d+)?$"}),
        ("{'cron': '*/5 * * * *'}", {"cron": "*/5 * * * *"}),
        ("{'glob': 'src/**/*.ts'}", {"glob": "src/**/*.ts"}),
        ('{"path": "//server/share",}', {"path": "//server/share"}),
        ("{'c_comment': '/* keep me */'}", {"c_comment": "/* keep me */"}),
        ("{'hash': '#not-a-comment', 'n': 1,}", {"hash": "#not-a-comment", "n": 1}),
        ('{"md_link": "[text](http://x.io)",}', {"md_link": "[text](http://x.io)"}),
        ("{'braces': '{}', 'brackets': '[]', 'both': '{[()]}'}", {"braces": "{}", "brackets": "[]", "both": "{[()]}"}),
        (
            '{"template": "Hello, {name}! You have {count} messages.",}',
            {"template": "Hello, {name}! You have {count} messages."},
        ),
        ("{'js': 'function(a, b) { return a + b; }'}", {"js": "function(a, b) { return a + b; }"}),
        ('{"css": "a:hover { color: red; }",}', {"css": "a:hover { color: red; }"}),
        ("{'shell': 'ls -la | grep \"^d\" > out.txt'}", {"shell": 'ls -la | grep "^d" > out.txt'}),
        ("{'py': 'd = {\"k\": [1, 2]}'}", {"py": 'd = {"k": [1, 2]}'}),
        (
            '{"ratio": "16:9" "url": "ftp://files.example.org/pub/"}',
            {"ratio": "16:9", "url": "ftp://files.example.org/pub/"},
        ),
        ('{data: "a,b;c:d"}', {"data": "a,b;c:d"}),
        ("{'windows': 'C:/Program Files (x86)/App'}", {"windows": "C:/Program Files (x86)/App"}),
        ('{"s3": "s3://bucket/key/with:colon",}', {"s3": "s3://bucket/key/with:colon"}),
        ("{'equation': 'E = mc^2, F = ma'}", {"equation": "E = mc^2, F = ma"}),
        ('{"html": \'<p class="x">Hi, <b>you</b>!</p>\'}', {"html": '<p class="x">Hi, <b>you</b>!</p>'}),
        ("{'xpath': '//div[@id=\"main\"]/p[1]'}", {"xpath": '//div[@id="main"]/p[1]'}),
        ("{\"quote\": 'a \"b\" c', 'd': \"e 'f' g\",}", {"quote": 'a "b" c', "d": "e 'f' g"}),
        ("{\"emoji_key_🔑\": 'value 🔓'}", {"emoji_key_🔑": "value 🔓"}),
        (
            "{'jwt': 'eyJhbGciOiJIUzI1NiJ9.eyJzdWIiOiIxIn0.abc-_xyz'}",
            {"jwt": "eyJhbGciOiJIUzI1NiJ9.eyJzdWIiOiIxIn0.abc-_xyz"},
        ),
        ("{'b64': 'SGVsbG8sIFdvcmxkIQ==', 'n': 2,}", {"b64": "SGVsbG8sIFdvcmxkIQ==", "n": 2}),
        (
            "{\"dsn\": 'postgres://user:p@ss@db:5432/app?sslmode=require'}",
            {"dsn": "postgres://user:p@ss@db:5432/app?sslmode=require"},
        ),
        ("{'log': '2024-01-01T00:00:00Z [INFO] start: ok'}", {"log": "2024-01-01T00:00:00Z [INFO] start: ok"}),
        ('{"k": "trailing comma, inside,",}', {"k": "trailing comma, inside,"}),
        ('{\'nested_quotes\': "it\'s \\"fine\\""}', {"nested_quotes": 'it\'s "fine"'}),
        ("{\"key\": \"value\" , 'url' : 'http://a.b/c?d=e:f'}", {"key": "value", "url": "http://a.b/c?d=e:f"}),
        ("{\"ternary\": 'a ? b : c',}", {"ternary": "a ? b : c"}),
        ("{'dict_like': 'a: 1, b: 2'}", {"dict_like": "a: 1, b: 2"}),
        ("{\"semver\": '^1.2.3 || ~2.0.0'}", {"semver": "^1.2.3 || ~2.0.0"}),
        (r"{'latex': '$\\frac{a}{b}$'}", {"latex": r"$\frac{a}{b}$"}),
        ("{\"phone\": '+1 (555) 010-9999'}", {"phone": "+1 (555) 010-9999"}),
    ]


def _degenerate() -> list[Case]:
    return [
        ("", None),
        ("   ", None),
        ("\n\t\n", None),
        ("{", {}),
        ("[", []),
        ("{}", {}),
        ("[]", []),
        ("null", None),
        ("true", True),
        ("false", False),
        ("0", 0),
        ("-1.5", -1.5),
        ('"hi"', "hi"),
        ("}", None),
        ("]", None),
        ("[[", [[]]),
        ("[{", [{}]),
        ('{"', {}),
        ('{"a"', {}),
        ('{"a":', {}),
        ("[1,", [1]),
        ("No JSON here.", None),
        ("```json\n```", None),
        ("```json\n{}\n```", {}),
        ("```\n[]\n```", []),
        (" { } ", {}),
        ("\ufeff", None),
        ("None", None),
        ("True", True),
        ("''", ""),
        ('""', ""),
        ("undefined", None),
        ("NaN", None),
        ("{\n", {}),
        ("[\n  ", []),
        ("{'':''}", {"": ""}),
        ("[null", [None]),
        ('{"": 1', {"": 1}),
        ("```", None),
        ("{ // empty\n}", {}),
        ("/* nothing */", None),
        ("[ /* none */ ]", []),
        ("()", []),
        ("[[]", [[]]),
        ("{},", {}),
    ]


_SUMMARY = (
    "The committee met on Tuesday to review the budget for the next fiscal year. After a long discussion about "
    "infrastructure, education and health, members agreed to postpone the vote until more data is available from "
    "the regional offices, which are expected to report by the end of the month"
)


def _model_replies() -> list[Case]:
    return [
        (
            "Sure! Here's the result:\n```json\n{\n  name: 'Ada',\n  skills: ['math', 'poetry',],\n}\n```",
            {"name": "Ada", "skills": ["math", "poetry"]},
        ),
        (
            '```json\n{"answer": "The capital is "Paris"", "confidence": .92}\n```',
            {"answer": 'The capital is "Paris"', "confidence": 0.92},
        ),
        (
            "{'entities': [{'text': 'Apple', 'type': 'ORG'}, {'text': 'Cupertino', 'type': 'LOC'}], 'count': 2",
            {"entities": [{"text": "Apple", "type": "ORG"}, {"text": "Cupertino", "type": "LOC"}], "count": 2},
        ),
        (
            'Here you go:\n{\n  "title": "Quarterly report"\n  "pages": 12 // approx\n  "draft": True\n}',
            {"title": "Quarterly report", "pages": 12, "draft": True},
        ),
        ('{"summary": "' + _SUMMARY + '", "words": 57,}', {"summary": _SUMMARY, "words": 57}),
        (
            '```json\n[\n  {"id": 1, "name": "Widget", "price": 9.99},\n  {"id": 2, "name": "Gadget", "price": 19.99},\n'
            '  {"id": 3, "name": "Doohickey", "price": 4.5\n',
            [
                {"id": 1, "name": "Widget", "price": 9.99},
                {"id": 2, "name": "Gadget", "price": 19.99},
                {"id": 3, "name": "Doohickey", "price": 4.5},
            ],
        ),
        (
            '{"tool": "search", "args": {"query": "weather in São Paulo", "units": \'metric\'}}}',
            {"tool": "search", "args": {"query": "weather in São Paulo", "units": "metric"}},
        ),
        (
            '<tool_call>\n{"name": "get_weather", "arguments": {"city": "Tokyo",}}\n</tool_call>',
            {"name": "get_weather", "arguments": {"city": "Tokyo"}},
        ),
        (
            '{\n  "sql": "SELECT name, email\nFROM users\nWHERE created_at > \'2024-01-01\'",\n'
            '  "explanation": "Selects recent users"\n}',
            {
                "sql": "SELECT name, email\nFROM users\nWHERE created_at > '2024-01-01'",
                "explanation": "Selects recent users",
            },
        ),
        (
            r'{"steps": ["Open C:\Program Files\Tool", "Run setup.exe"],}',
            {"steps": [r"Open C:\Program Files\Tool", "Run setup.exe"]},
        ),
        (
            '{"code": "```python\\nprint(\'hi\')\\n```", "lang": "python"}',
            {"code": "```python\nprint('hi')\n```", "lang": "python"},
        ),
        (
            '```json\n{"regex": "^\\d{5}(-\\d{4})?$", "example": "12345-6789"}\n```',
            {"regex": r"^\d{5}(-\d{4})?$", "example": "12345-6789"},
        ),
        (
            '{"emoji": "🚀", "tags": ["launch" "space"], "count": 1_000}',
            {"emoji": "🚀", "tags": ["launch", "space"], "count": 1000},
        ),
        (
            '{\n  "user": {\n    "name": "Zoë",\n    "roles": ["admin", "editor"\n  },\n  "active": true\n}',
            {"user": {"name": "Zoë", "roles": ["admin", "editor"]}, "active": True},
        ),
        ('{"a": 1, "b": [1, 2, 3}, "c": {"d": 4]}', {"a": 1, "b": [1, 2, 3], "c": {"d": 4}}),
        (
            'Final JSON:\n{"status": "error", "message": "File not found: C:\\Users\\bob\\report.pdf"}',
            {"status": "error", "message": r"File not found: C:\Users\bob\report.pdf"},
        ),
        (
            "{'question': 'What's the capital of France?', 'answer': 'Paris', 'sources': None}",
            {"question": "What's the capital of France?", "answer": "Paris", "sources": None},
        ),
        (
            '{\n  // model output\n  "label": "spam",\n  "score": 0.97,\n'
            '  "reasons": ["contains \'free money\'", "unknown sender"],\n}',
            {"label": "spam", "score": 0.97, "reasons": ["contains 'free money'", "unknown sender"]},
        ),
        (
            '{"items": [{"name": "apple", "qty": 3}, {"name": "pear" "qty": 2}], "total": 5',
            {"items": [{"name": "apple", "qty": 3}, {"name": "pear", "qty": 2}], "total": 5},
        ),
        (
            '```\n{\n"reply": "Hello! How can I help you today?",\n"intent": greeting\n}\n```',
            {"reply": "Hello! How can I help you today?", "intent": "greeting"},
        ),
        (
            '{"html": "<a href="https://example.com">Example</a>", "ok": true}',
            {"html": '<a href="https://example.com">Example</a>', "ok": True},
        ),
        (
            '{"translation": {"en": "Good morning", "ja": "おはようございます", "ar": "صباح الخير"}',
            {"translation": {"en": "Good morning", "ja": "おはようございます", "ar": "صباح الخير"}},
        ),
        (
            '{"date": 2024-05-17, "temp_c": -3.5, "conditions": light snow}',
            {"date": "2024-05-17", "temp_c": -3.5, "conditions": "light snow"},
        ),
        (
            '{"matrix": [[1, 2, 3], [4, 5, 6], [7, 8, 9]], "det": 0,}',
            {"matrix": [[1, 2, 3], [4, 5, 6], [7, 8, 9]], "det": 0},
        ),
        (
            'JSON output:\n\n{"name": "John", "age": 30, "city": "New York"}\n\nThis JSON object represents a '
            'person named John who is 30 years old. You can access fields like data["name"].',
            {"name": "John", "age": 30, "city": "New York"},
        ),
        (
            '{"cmd": "git commit -m "fix: handle null"", "cwd": "/repo"}',
            {"cmd": 'git commit -m "fix: handle null"', "cwd": "/repo"},
        ),
        (
            '[\n  {"role": "user", "content": "hi"},\n  {"role": "assistant", "content": "hello"},\n]',
            [{"role": "user", "content": "hi"}, {"role": "assistant", "content": "hello"}],
        ),
        (
            '{"keywords": ("json", "repair", "llm"), "lang": \'en\'}',
            {"keywords": ["json", "repair", "llm"], "lang": "en"},
        ),
        (
            '{"price": "$1,299.00", "discount": 15%, "final": 1104.15}',
            {"price": "$1,299.00", "discount": "15%", "final": 1104.15},
        ),
        (
            '{\n  "name": "config",\n  "values": {\n    "timeout": 30,\n    "retries": 3,\n',
            {"name": "config", "values": {"timeout": 30, "retries": 3}},
        ),
        (
            '{"text": "Line one\\nLine two\\tTabbed", \'done\': True}',
            {"text": "Line one\nLine two\tTabbed", "done": True},
        ),
        (
            'Based on the analysis, here is the output: {"positive": 0.7, "negative": 0.1, "neutral": 0.2}. '
            "These scores sum to 1.",
            {"positive": 0.7, "negative": 0.1, "neutral": 0.2},
        ),
        (
            '{"query": "SELECT * FROM orders WHERE status = \'shipped\' AND total > 100;" "rows": 42}',
            {"query": "SELECT * FROM orders WHERE status = 'shipped' AND total > 100;", "rows": 42},
        ),
        (
            '{\n  "name": "Résumé parser",\n  "version": 2.1.0,\n  "dependencies": ["pdfminer", "spaCy"]\n}',
            {"name": "Résumé parser", "version": "2.1.0", "dependencies": ["pdfminer", "spaCy"]},
        ),
        (
            '```json\n{\n  "path": "D:\\Projects\\new_app\\src",\n  "files": 12\n}\n```',
            {"path": r"D:\Projects\new_app\src", "files": 12},
        ),
        (
            '{"a": {"b": {"c": {"d": {"e": [1, 2, {"f": "deep"}]}}}}}}',
            {"a": {"b": {"c": {"d": {"e": [1, 2, {"f": "deep"}]}}}}},
        ),
        (
            '{"response": "I\'d recommend the 15" laptop", "budget": 1200}',
            {"response": "I'd recommend the 15\" laptop", "budget": 1200},
        ),
        (
            "{'id': 'a1b2', 'scores': [0.1, 0.2, NaN], 'valid': False}",
            {"id": "a1b2", "scores": [0.1, 0.2, None], "valid": False},
        ),
        (
            'Here\'s the fixed version:\n\n```json\n{\n  "name": "test",\n  "items": [1, 2, 3],\n'
            '  "nested": {"key": "value"}\n}\n```\n\nI removed the trailing comma after `3` and the extra `}` at the end.',
            {"name": "test", "items": [1, 2, 3], "nested": {"key": "value"}},
        ),
        ('{"emoji_reactions": {"👍": 12, "❤️": 7, "😂": 3,}}', {"emoji_reactions": {"👍": 12, "❤️": 7, "😂": 3}}),
        (
            '{"summary": "' + _SUMMARY + '", "next_meeting": "2024-06-04"',
            {"summary": _SUMMARY, "next_meeting": "2024-06-04"},
        ),
        (
            '{"steps": ["Install deps", "Run `npm test`", "Deploy"] "done": false}',
            {"steps": ["Install deps", "Run `npm test`", "Deploy"], "done": False},
        ),
    ]


def _placeholders_and_wrappers() -> list[Case]:
    return [
        ("[1, 2, 3, ...]", [1, 2, 3]),
        ('{"a": 1, ...}', {"a": 1}),
        ('{"items": ["x", "y", ...], "total": 2}', {"items": ["x", "y"], "total": 2}),
        ('[\n  {"id": 1},\n  {"id": 2},\n  ...\n]', [{"id": 1}, {"id": 2}]),
        ('{"a": 1,\n  // ... more fields\n}', {"a": 1}),
        ("[1, 2, …]", [1, 2]),
        ('callback({"a": 1});', {"a": 1}),
        ("JSON.parse('{\"a\": 1}')", {"a": 1}),
        ("json.loads('{\"b\": 2}')", {"b": 2}),
        ('{"_id": ObjectId("507f1f77bcf86cd799439011")}', {"_id": "507f1f77bcf86cd799439011"}),
        ('{"n": NumberLong(42)}', {"n": 42}),
        ('{"when": ISODate("2024-01-01T00:00:00Z")}', {"when": "2024-01-01T00:00:00Z"}),
        ('module.exports = {\n  name: "pkg",\n  version: "1.0.0"\n};', {"name": "pkg", "version": "1.0.0"}),
        ("export default { a: 1, b: [2, 3] };", {"a": 1, "b": [2, 3]}),
        ("var data = [1, 2, 3];", [1, 2, 3]),
        ('let cfg = {"debug": true}', {"debug": True}),
        ('window.__DATA__ = {"page": 1};', {"page": 1}),
        ('print({"p": 1})', {"p": 1}),
        ('return {"ok": true};', {"ok": True}),
        ('{"a": "x" + "y"}', {"a": "xy"}),
        ('"Hello, " + "world"', "Hello, world"),
        ('{"msg": "line one " +\n  "line two"}', {"msg": "line one line two"}),
        ('{"list": [...]}', {"list": []}),
        ('{"a": [1, 2, /* ... */]}', {"a": [1, 2]}),
        ('res.json({"status": "ok"})', {"status": "ok"}),
        ('console.log({a: 1, b: "two"})', {"a": 1, "b": "two"}),
        ('$json = \'{"k": "v"}\';', {"k": "v"}),
        ("JSON.stringify({a: 1})", {"a": 1}),
        ('data: {"event": "update", "id": 3}', {"event": "update", "id": 3}),
        ('{"users": [{"name": "A"}, ...], "page": 1}', {"users": [{"name": "A"}], "page": 1}),
        ('{"a": 1, "b": 2, /* etc */}', {"a": 1, "b": 2}),
        ("Response({'ok': True})", {"ok": True}),
        ('jsonp_cb_123({"items": []})', {"items": []}),
        ('{"a": 1}; // end', {"a": 1}),
        ('(\n  {"wrapped": true}\n)', {"wrapped": True}),
        ('const items = [\n  "a",\n  "b",\n] as const;', ["a", "b"]),
        ("echo '{\"a\": 1}' | jq .", {"a": 1}),
        ('curl -X POST -d \'{"name": "x"}\' https://api.example.com/users', {"name": "x"}),
        ("Object { a: 1, b: 2 }", {"a": 1, "b": 2}),
        ("dict(a=1, b='x')", {"a": 1, "b": "x"}),
        ('{\n  "name": "x",\n  ...\n  "age": 3\n}', {"name": "x", "age": 3}),
    ]


def broad_families() -> list[Family]:
    """Every family, in a fixed order; the same texts and values on every call."""
    return [
        Family("unquoted", _unquoted()),
        Family("quotes", _quotes()),
        Family("inner-quotes", _inner_quotes()),
        Family("missing-commas", _missing_commas()),
        Family("missing-colons", _missing_colons()),
        Family("extra-commas", _extra_commas()),
        Family("truncated", _truncated()),
        Family("extra-closers", _extra_closers()),
        Family("comments", _comments()),
        Family("literals", _literals()),
        Family("numbers", _numbers()),
        Family("escapes", _escapes()),
        Family("surroundings", _surroundings()),
        Family("double-encoded", _double_encoded()),
        Family("syntax-in-values", _syntax_in_values()),
        Family("degenerate", _degenerate()),
        Family("placeholders-wrappers", _placeholders_and_wrappers()),
        Family("model-replies", _model_replies()),
    ]
