"""A fourth held-out corpus of whole model replies, written apart from the other three.

`fresh_families()` returns families of (text, intended value) in the shape of bench/broad_cases.py and follows the
conventions at the top of bench/broad_cases.py and bench/reply_cases.py. Each intended value was decided by reading
the reply as its writer meant it. Where those two leave intent open, this corpus fixes it as follows:

- A value after the answer that the reply's own words call old, previous, original, for comparison, or what an
  empty or default result would look like, is not the answer: the first value is. In a before/after pair the
  "after" is the answer; in a draft/revision pair the revision.
- Two or more JSON strings, one per bulleted or numbered item, are the array of them; objects separated by a line
  of `---` or `***` are the array of them, as with blank lines.
- Each line of a Markdown blockquote (`> `) loses its marker; an indented code block loses its indent; HTML
  `<pre>`/`<code>` tags around the value are not part of it, and &quot; &lt; &gt; &amp; inside them are the
  characters they name.
- Full-width ｛ ｝ ［ ］ and the ideographic space between tokens are a brace, a bracket and a blank, like the full-width
  colon and comma.
- A currency sign or unit before or after a number (US$12, €9.99, 12 kg) makes the string as written; in a reply
  written in a language that puts a decimal comma (German, French, ...), a single comma inside a number that is the
  last member of its object, with other than three digits after it, is the decimal point.
- Code that assigns, prints or sends a literal (Python dict, JavaScript object, shell `echo '...'`, a curl body) is
  that literal read as JSON: True/False/None are true/false/null and unquoted keys are strings.
- `key = value` inside braces is a member, like `key: value`.
"""

from __future__ import annotations

import json
from typing import List

from broad_cases import Case, Family


def _p(value: object, indent: int = 2) -> str:
    return json.dumps(value, indent=indent, ensure_ascii=False)


def _c(value: object) -> str:
    return json.dumps(value, ensure_ascii=False)


def _fence(body: str, lang: str = "json") -> str:
    return f"```{lang}\n{body}\n```"


def _swap(text: str, old: str, new: str) -> str:
    """text with old, which must appear once, written as new."""
    assert text.count(old) == 1, old
    return text.replace(old, new)


def _cut(text: str, marker: str) -> str:
    """text up to the end of marker, which must appear once: where the output stopped."""
    assert text.count(marker) == 1, marker
    return text[: text.index(marker) + len(marker)]


def _several_values() -> list[Case]:
    a = {"city": "Lyon", "population": 522250}
    b = {"status": "approved", "amount": 1200}
    rec = {"id": 17, "tags": ["urgent", "billing"], "owner": "m.kaur"}
    schema = {"type": "object", "properties": {"name": {"type": "string"}, "age": {"type": "integer"}}}
    person = {"name": "Aiko Tanaka", "age": 34}
    return [
        (
            f"Here's my first attempt:\n{_c({'city': 'Lyon', 'population': 500000})}\n\nWait, I misremembered the "
            f"census figure. Corrected:\n{_c(a)}",
            a,
        ),
        (
            f"```json\n{_c({'status': 'pending', 'amount': 1200})}\n```\n\n**Update:** the request went through, so "
            f"the final object is:\n\n```json\n{_c(b)}\n```",
            b,
        ),
        (
            f"Schema you asked me to follow:\n{_fence(_p(schema))}\n\nFilled in from the bio:\n{_fence(_p(person))}",
            person,
        ),
        (
            f"Input:\n{_c({'text': 'I loved it!'})}\nOutput:\n{_c({'sentiment': 'positive', 'score': 0.94})}",
            {"sentiment": "positive", "score": 0.94},
        ),
        (
            'Before:\n```json\n{"retries": 3, "timeout": 30}\n```\nAfter:\n```json\n{"retries": 5, "timeout": 60}\n```',
            {"retries": 5, "timeout": 60},
        ),
        (f"{_c(rec)}\n\nFor comparison, the old record was {_c({'id': 17, 'tags': [], 'owner': None})}.", rec),
        (
            f"```json\n{_c(['alpha', 'beta'])}\n```\nNote: if nothing matched, the result would be `[]`.",
            ["alpha", "beta"],
        ),
        (
            'Template:\n{"title": "<string>", "year": <int>}\n\nAnswer:\n{"title": "Stalker", "year": 1979}',
            {"title": "Stalker", "year": 1979},
        ),
        (
            'Draft v1: {"q": "capital of Peru", "a": "Cusco"}\nRevised (v2): {"q": "capital of Peru", "a": "Lima"}',
            {"q": "capital of Peru", "a": "Lima"},
        ),
        (
            'The answer is {"primes": [2, 3, 5, 7]}.\n\nAn example of the format with a single value would be '
            '{"primes": [2]}.',
            {"primes": [2, 3, 5, 7]},
        ),
        ('Sorry, the previous output was wrong:\n~~{"total": 41}~~\n\nCorrect output: {"total": 42}', {"total": 42}),
        (
            'Here is an example of the expected shape:\n```\n{"sku": "ABC-1", "qty": 1}\n```\n'
            'And here is the actual order extracted from the email:\n```\n{"sku": "ZX-908", "qty": 12}\n```',
            {"sku": "ZX-908", "qty": 12},
        ),
        (
            'Original config:\n    {"debug": true, "workers": 1}\nUpdated config:\n    {"debug": false, "workers": 8}',
            {"debug": False, "workers": 8},
        ),
        (
            '✅ Result: {"valid": true, "errors": []}\n\n(Previously it returned {"valid": false, "errors": '
            '["missing field"]}, which was the bug you reported.)',
            {"valid": True, "errors": []},
        ),
        (
            'Ursprüngliche Daten: {"stadt": "Köln", "plz": "5066"}\nKorrigiert: {"stadt": "Köln", "plz": "50667"}',
            {"stadt": "Köln", "plz": "50667"},
        ),
        (
            'Voici la réponse finale :\n{"langue": "fr", "confiance": 0.88}\n\nÀ titre de comparaison, '
            'l\'ancienne valeur était {"langue": "it", "confiance": 0.41}.',
            {"langue": "fr", "confiance": 0.88},
        ),
        (
            'Request body:\n{"query": "weather in Oslo"}\n\nResponse:\n{"temp_c": -3, "condition": "snow"}',
            {"temp_c": -3, "condition": "snow"},
        ),
        (
            '1. Draft\n```json\n["red", "green"]\n```\n2. Final (added the missing colour)\n```json\n'
            '["red", "green", "blue"]\n```',
            ["red", "green", "blue"],
        ),
        (
            'Extracted entities:\n{"people": ["Ada Lovelace"], "places": ["London"]}\n\nFor reference, an '
            'empty result looks like {"people": [], "places": []}.',
            {"people": ["Ada Lovelace"], "places": ["London"]},
        ),
        ("You gave me: [3, 1, 2]\nSorted: [1, 2, 3]", [1, 2, 3]),
        ('My earlier answer {"ok": false} was a mistake — here\'s the fixed one:\n{"ok": true}', {"ok": True}),
        (
            'Expected format (do not copy): `{"label": "...", "p": 0.0}`\n\n**Prediction**\n'
            '```json\n{"label": "spam", "p": 0.97}\n```',
            {"label": "spam", "p": 0.97},
        ),
        (
            '```json\n{"version": "2.4.1", "breaking": false}\n```\nThe previous release was '
            '`{"version": "2.4.0", "breaking": false}` for comparison.',
            {"version": "2.4.1", "breaking": False},
        ),
        ('Diff:\n- {"port": 8080}\n+ {"port": 9090}\n\nSo the new value is {"port": 9090}.', {"port": 9090}),
        (
            'Let me redo that.\n\nAttempt 1: {"sum": 10, "count": 3}\nAttempt 2 (final, recounted): '
            '{"sum": 10, "count": 4}',
            {"sum": 10, "count": 4},
        ),
        (
            'JSON:\n{"lang": "pt-BR", "greeting": "Olá"}\n\nIf the language were unknown you\'d get '
            '{"lang": null, "greeting": null} instead.',
            {"lang": "pt-BR", "greeting": "Olá"},
        ),
        ('入力：{"文": "今日は晴れ"}\n出力：{"天気": "晴れ", "確信度": 0.9}', {"天気": "晴れ", "確信度": 0.9}),
        ('Here\'s the cleaned list: ["apple", "pear"]\n(the raw one was ["apple ", " pear", ""])', ["apple", "pear"]),
        (
            'Schema:\n```json\n{"$schema": "http://json-schema.org/draft-07/schema#", "type": "array", '
            '"items": {"type": "string"}}\n```\nValid instance:\n```json\n["x", "y"]\n```',
            ["x", "y"],
        ),
        (
            'Final answer after review: {"risk": "low"}\n\nInitial assessment (superseded): {"risk": "high"}',
            {"risk": "low"},
        ),
        (
            'Example output:\n{"tokens": ["the", "cat"]}\n\nNow for your sentence "Dogs bark loudly":\n'
            '{"tokens": ["Dogs", "bark", "loudly"]}',
            {"tokens": ["Dogs", "bark", "loudly"]},
        ),
    ]


def _record_lists() -> list[Case]:
    users = [{"id": 1, "name": "Ana"}, {"id": 2, "name": "Ben"}, {"id": 3, "name": "Chloé"}]
    jsonl = "\n".join(_c(u) for u in users)
    evs = [{"ts": "2024-05-01T10:00:00Z", "level": "INFO"}, {"ts": "2024-05-01T10:00:02Z", "level": "WARN"}]
    return [
        (f"Here are the users as JSON Lines:\n\n{jsonl}", users),
        (f"```jsonl\n{jsonl}\n```", users),
        (f"Sure! Each line is one record:\n```\n{jsonl}\n```\nLet me know if you need CSV instead.", users),
        ('- {"id": 1, "name": "Ana"}\n- {"id": 2, "name": "Ben"}\n- {"id": 3, "name": "Chloé"}', users),
        ('1. {"id": 1, "name": "Ana"}\n2. {"id": 2, "name": "Ben"}\n3. {"id": 3, "name": "Chloé"}', users),
        (
            'Found 2 events:\n\n* `{"ts": "2024-05-01T10:00:00Z", "level": "INFO"}`\n'
            '* `{"ts": "2024-05-01T10:00:02Z", "level": "WARN"}`',
            evs,
        ),
        ('Keywords:\n- "latency"\n- "throughput"\n- "tail latency"', ["latency", "throughput", "tail latency"]),
        ('1. "Paris"\n2. "Berlin"\n3. "Madrid"', ["Paris", "Berlin", "Madrid"]),
        (_p(evs[0]) + "\n\n" + _p(evs[1]), evs),
        (_p(evs[0]) + "\n---\n" + _p(evs[1]), evs),
        ("Record A\n" + _c(users[0]) + "\n\nRecord B\n" + _c(users[1]), users[:2]),
        (
            'Here is each product on its own paragraph.\n\n{"sku": "T-01", "price": 9.5}\n\n'
            '{"sku": "T-02", "price": 12}\n\n{"sku": "T-03", "price": 0.99}',
            [{"sku": "T-01", "price": 9.5}, {"sku": "T-02", "price": 12}, {"sku": "T-03", "price": 0.99}],
        ),
        ('{"q": 1, "ok": true}\n{"q": 2, "ok": false}', [{"q": 1, "ok": True}, {"q": 2, "ok": False}]),
        ('Only one match:\n\n{"id": 99, "name": "Zoë"}', {"id": 99, "name": "Zoë"}),
        (
            'The three reviews, classified:\n\n1. **Review 1** → {"sentiment": "positive"}\n'
            '2. **Review 2** → {"sentiment": "negative"}\n3. **Review 3** → {"sentiment": "neutral"}',
            [{"sentiment": "positive"}, {"sentiment": "negative"}, {"sentiment": "neutral"}],
        ),
        (
            '• {"word": "gato", "en": "cat"}\n• {"word": "perro", "en": "dog"}',
            [{"word": "gato", "en": "cat"}, {"word": "perro", "en": "dog"}],
        ),
        ('{"a": 1}\n***\n{"a": 2}\n***\n{"a": 3}', [{"a": 1}, {"a": 2}, {"a": 3}]),
        (
            '```json\n{"step": 1, "action": "open"}\n{"step": 2, "action": "read"}\n'
            '{"step": 3, "action": "close"}\n```',
            [{"step": 1, "action": "open"}, {"step": 2, "action": "read"}, {"step": 3, "action": "close"}],
        ),
        (
            'Output (one JSON object per line):\n{"file": "a.py", "lines": 120}\n{"file": "b.py", '
            '"lines": 48}\n\nTotal: 168 lines.',
            [{"file": "a.py", "lines": 120}, {"file": "b.py", "lines": 48}],
        ),
        ('Tags:\n\n- `"rust"`\n- `"wasm"`\n- `"ffi"`', ["rust", "wasm", "ffi"]),
        ('1) {"x": 0, "y": 0}\n2) {"x": 3, "y": 4}', [{"x": 0, "y": 0}, {"x": 3, "y": 4}]),
        (
            'Candidates ranked:\n\n1. {"name": "Option B", "score": 0.91}\n\n2. {"name": "Option A", '
            '"score": 0.77}\n\nI\'d go with B.',
            [{"name": "Option B", "score": 0.91}, {"name": "Option A", "score": 0.77}],
        ),
        ('{"id":"e1","v":[1,2]}\r\n{"id":"e2","v":[]}\r\n', [{"id": "e1", "v": [1, 2]}, {"id": "e2", "v": []}]),
        (
            'Here you go:\n\n```json\n{\n  "title": "Dune",\n  "year": 1965\n}\n{\n  "title": "Solaris",\n'
            '  "year": 1961\n}\n```',
            [{"title": "Dune", "year": 1965}, {"title": "Solaris", "year": 1961}],
        ),
        ('- "Déjà vu"\n- "Fiancée"\n- "Naïve"', ["Déjà vu", "Fiancée", "Naïve"]),
        (
            'Entities found —\n\n```json\n{"type": "ORG", "text": "ACME Corp"}\n```\n```json\n'
            '{"type": "PER", "text": "Jane Roe"}\n```',
            [{"type": "ORG", "text": "ACME Corp"}, {"type": "PER", "text": "Jane Roe"}],
        ),
        (
            'Ergebnisse:\n1. {"frage": 1, "richtig": true}\n2. {"frage": 2, "richtig": true}\n'
            '3. {"frage": 3, "richtig": false}',
            [{"frage": 1, "richtig": True}, {"frage": 2, "richtig": True}, {"frage": 3, "richtig": False}],
        ),
        ('{"n": 1}\n\n---\n\n{"n": 2}', [{"n": 1}, {"n": 2}]),
        (
            'Results\n=======\n\n- {"host": "web-1", "up": true}\n- {"host": "web-2", "up": false}\n\n'
            "1 of 2 hosts is down.",
            [{"host": "web-1", "up": True}, {"host": "web-2", "up": False}],
        ),
        (
            'Aquí están los registros:\n{"país": "Chile", "capital": "Santiago"}\n{"país": "Perú", "capital": "Lima"}',
            [{"país": "Chile", "capital": "Santiago"}, {"país": "Perú", "capital": "Lima"}],
        ),
    ]


def _markdown() -> list[Case]:
    cfg = {"host": "db.internal", "port": 5432, "ssl": True}
    quoted = "\n".join("> " + line for line in _p(cfg).splitlines())
    indented = "\n".join("    " + line for line in _p(cfg).splitlines())
    return [
        (f"> **Answer**\n>\n{quoted}", cfg),
        ("> ```json\n" + "\n".join("> " + x for x in _p(cfg).splitlines()) + "\n> ```", cfg),
        (f"Config:\n\n{indented}\n\nRestart the service afterwards.", cfg),
        (f"<pre>{_c(cfg)}</pre>", cfg),
        (f'<pre><code class="language-json">{_p(cfg)}</code></pre>', cfg),
        (
            "<code>{&quot;host&quot;: &quot;db.internal&quot;, &quot;port&quot;: 5432, &quot;ssl&quot;: true}</code>",
            cfg,
        ),
        (
            "| field | value |\n|---|---|\n| host | db.internal |\n| port | 5432 |\n\nAs JSON:\n\n"
            f"```json\n{_c(cfg)}\n```",
            cfg,
        ),
        (f"```json\n{_c(cfg)}\n```\n\n| key | meaning |\n|-----|---------|\n| ssl | TLS on |", cfg),
        (
            '## Result\n\n**JSON:**\n\n```json\n{"winner": "Team Blue", "margin": 3}\n```\n\n---\n\n*Generated '
            "automatically.*",
            {"winner": "Team Blue", "margin": 3},
        ),
        (
            '1. Run the query.\n2. The output will be:\n   ```json\n   {"rows": 3, "elapsed_ms": 12}\n   ```\n3. Done.',
            {"rows": 3, "elapsed_ms": 12},
        ),
        (
            '- Step one: call the API\n- Response:\n\n  ```json\n  {\n    "ok": true,\n    "id": "a1"\n  }\n  ```',
            {"ok": True, "id": "a1"},
        ),
        (
            '### 📦 Package info\n\n```JSON\n{"name": "left-pad", "version": "1.3.0"}\n```',
            {"name": "left-pad", "version": "1.3.0"},
        ),
        ('**Output**\n```js\n{"done": true}\n```', {"done": True}),
        ("*Here's the data:*\n\n~~~json\n[1, 2, 3]\n~~~", [1, 2, 3]),
        ('__Result__: `{"match": false}`', {"match": False}),
        (
            '> Note: values are in metres.\n\n```json\n{"height": 8849, "peak": "Everest"}\n```',
            {"height": 8849, "peak": "Everest"},
        ),
        ('<details><summary>JSON</summary>\n\n```json\n{"hidden": "yes"}\n```\n</details>', {"hidden": "yes"}),
        ("<p>Result:</p>\n<pre><code>[&quot;a&lt;b&quot;, &quot;c&amp;d&quot;]</code></pre>", ["a<b", "c&d"]),
        ('Sure!\n\n    [\n      "north",\n      "south"\n    ]\n', ["north", "south"]),
        (
            '> {"quote": "To be or not to be", "author": "Shakespeare"}',
            {"quote": "To be or not to be", "author": "Shakespeare"},
        ),
        (
            '**Step 3 — Final JSON**\n\n```json\n{\n  "steps": 3,\n  "status": "complete"\n}\n```\n\n'
            "_Hope this helps!_ 🙂",
            {"steps": 3, "status": "complete"},
        ),
        ('```\n```json\n{"nested_fence": true}\n```\n```', {"nested_fence": True}),
        ('Response ⬇️\n\n```json\n{"emoji": "🎉", "count": 2}\n```', {"emoji": "🎉", "count": 2}),
        (
            '| id | json |\n|----|------|\n| 1 | see below |\n\n<pre>\n{\n  "id": 1,\n  "note": "see below"\n}\n</pre>',
            {"id": 1, "note": "see below"},
        ),
        ('#### Answer\n> ```\n> ["x", "y"]\n> ```', ["x", "y"]),
        ('Result: <code>{"ok":1}</code>', {"ok": 1}),
        (
            '- **Name:** Widget\n- **Price:** 9.99\n\n```json\n{"name": "Widget", "price": 9.99}\n```',
            {"name": "Widget", "price": 9.99},
        ),
        ('```json title="response.json"\n{"title": "ok"}\n```', {"title": "ok"}),
        ('> [!NOTE]\n> The response is below.\n\n```json\n{"admonition": true}\n```', {"admonition": True}),
        ('Result:\n\n\t{"indent": "tab", "n": 1}\n', {"indent": "tab", "n": 1}),
    ]


def _typography() -> list[Case]:
    nb = "\u00a0"
    zw = "\u200b"
    ide = "\u3000"
    return [
        ('｛"名前"："山田太郎"，"年齢"：42｝', {"名前": "山田太郎", "年齢": 42}),
        ('结果如下：\n{"城市"："上海"，"人口"：24870895}', {"城市": "上海", "人口": 24870895}),
        ('［"苹果"，"香蕉"，"橙子"］', ["苹果", "香蕉", "橙子"]),
        ("{“name”: “Léa”, “role”: “admin”}", {"name": "Léa", "role": "admin"}),
        ("Here it is: {“title”: “It’s fine”, “ok”: true}", {"title": "It’s fine", "ok": True}),
        (f'{{"a":{nb}1,{nb}"b":{nb}2}}', {"a": 1, "b": 2}),
        (f'{{{ide}"키": "값",{ide}"숫자": 7{ide}}}', {"키": "값", "숫자": 7}),
        (f'{zw}{{"x": 1{zw}, "y": 2}}{zw}', {"x": 1, "y": 2}),
        ('\ufeff{"bom": true}', {"bom": True}),
        ('{"ar": "مرحبا بالعالم", "he": "שלום"}', {"ar": "مرحبا بالعالم", "he": "שלום"}),
        ('{"mixed": "\u200fسعر: 25 ريال\u200f"}', {"mixed": "\u200fسعر: 25 ريال\u200f"}),
        (f'{{"text": "a{zw}b"}}', {"text": f"a{zw}b"}),
        (f'{{"space": "1{nb}000{nb}€"}}', {"space": f"1{nb}000{nb}€"}),
        ("{'日本語': 'こんにちは'}", {"日本語": "こんにちは"}),
        ("｛“品名”：“ノートPC”，“価格”：128000｝", {"品名": "ノートPC", "価格": 128000}),
        ('答案：\n```json\n{"问题"："1+1"，"答案"：2}\n```', {"问题": "1+1", "答案": 2}),
        ("[“one”, “two”, “three”]", ["one", "two", "three"]),
        ("{‘k’: ‘v’}", {"k": "v"}),
        (f'{{\n{ide}{ide}"a": [1,{ide}2]\n}}', {"a": [1, 2]}),
        ('{"quote": "« Bonjour », dit-il."}', {"quote": "« Bonjour », dit-il."}),
        ('{"de": "„Guten Tag“"}', {"de": "„Guten Tag“"}),
        ('{"fa": "۱۲۳", "hi": "नमस्ते"}', {"fa": "۱۲۳", "hi": "नमस्ते"}),
        ('Ответ: {"город": "Москва", "население": 13010112}', {"город": "Москва", "население": 13010112}),
        (f'{{"a"{nb}:{nb}"b"}}', {"a": "b"}),
        ('｛"ok"：true，"list"：［1，2］｝', {"ok": True, "list": [1, 2]}),
        ('\u2060{"wj": 1}', {"wj": 1}),
        ('{"emoji": "👩‍💻 coder", "flag": "🇯🇵"}', {"emoji": "👩‍💻 coder", "flag": "🇯🇵"}),
        ('«{"a": 1}»', {"a": 1}),
        ('{"name"："Ørsted"，"country"："Denmark"}', {"name": "Ørsted", "country": "Denmark"}),
        ('回答：［｛"id"：1｝，｛"id"：2｝］', [{"id": 1}, {"id": 2}]),
    ]


def _human_numbers() -> list[Case]:
    return [
        ('{"population": 1,234,567, "country": "X"}', {"population": 1234567, "country": "X"}),
        ('{\n  "revenue": 12,500,000,\n  "year": 2023\n}', {"revenue": 12500000, "year": 2023}),
        ('{"price": "$1,299"}', {"price": "$1,299"}),
        ('{"price": $19.99, "sku": "K1"}', {"price": "$19.99", "sku": "K1"}),
        ('{"weight": 72kg, "height": 180cm}', {"weight": "72kg", "height": "180cm"}),
        ('{"growth": 12.5%}', {"growth": "12.5%"}),
        ('{"delta": +3, "trend": "up"}', {"delta": 3, "trend": "up"}),
        ('{"change": +0.25}', {"change": 0.25}),
        ('{"temp": -4.5, "unit": "C"}', {"temp": -4.5, "unit": "C"}),
        ('{"ratio": .75}', {"ratio": 0.75}),
        (
            'Die Temperatur beträgt 21,5 Grad.\n{"stadt": "Bern", "temperatur": 21,5}',
            {"stadt": "Bern", "temperatur": 21.5},
        ),
        ('Le prix moyen est de 3,75.\n{"produit": "pain", "prix": 3,75}', {"produit": "pain", "prix": 3.75}),
        ('{"amount": "1.234,56 €"}', {"amount": "1.234,56 €"}),
        ('{"cost": €9.99}', {"cost": "€9.99"}),
        ('{"distance": 42.195 km}', {"distance": "42.195 km"}),
        ('{"count": 007}', {"count": 7}),
        ('{"big": 1_000_000}', {"big": 1000000}),
        ('{"hex": 0xFF}', {"hex": 255}),
        ('{"sci": 6.022e23}', {"sci": 6.022e23}),
        ('{"items": 3, "total": 2,450, "currency": "USD"}', {"items": 3, "total": 2450, "currency": "USD"}),
        (
            '{"users": 10,000,000, "active": 7,250,000, "region": "EU"}',
            {"users": 10000000, "active": 7250000, "region": "EU"},
        ),
        ('{"share": "45%"}', {"share": "45%"}),
        ('{"score": 5.}', {"score": 5.0}),
        ('{"level": +1, "name": "gain"}', {"level": 1, "name": "gain"}),
        ('{"salary": 85,000, "currency": "USD"}', {"salary": 85000, "currency": "USD"}),
        ('{"latency": 250ms, "p99": 1.2s}', {"latency": "250ms", "p99": "1.2s"}),
        ('{"version": 3.11.4}', {"version": "3.11.4"}),
        ('{"ip": 10.0.0.1, "port": 22}', {"ip": "10.0.0.1", "port": 22}),
        (
            'Die Durchschnittsnote liegt bei 2,3.\n```json\n{"klasse": "7b", "durchschnitt": 2,3}\n```',
            {"klasse": "7b", "durchschnitt": 2.3},
        ),
        ('{"visitors": 3,400,000, "month": "July"}', {"visitors": 3400000, "month": "July"}),
    ]


def _truncated() -> list[Case]:
    doc = {
        "id": "rpt-2024-07",
        "title": "Quarterly report",
        "published": True,
        "draft": False,
        "reviewer": None,
        "score": 87.5,
        "pages": 42,
        "authors": [{"name": "Ines Ortega", "email": "ines@example.org"}, {"name": "Tom Kwan", "email": None}],
        "sections": ["Summary", "Revenue", "Outlook"],
        "summary": "Revenue rose 12% on strong demand.\nMargins held.",
        "path": "C:\\reports\\q2",
    }
    text = "```json\n" + _p(doc)
    head = {"id": "rpt-2024-07", "title": "Quarterly report"}
    flags = {**head, "published": True, "draft": False, "reviewer": None}
    upto_pages = {**flags, "score": 87.5, "pages": 42}
    ines = {"name": "Ines Ortega", "email": "ines@example.org"}
    upto_sections = {**upto_pages, "authors": [ines, {"name": "Tom Kwan", "email": None}]}
    full_sections = {**upto_sections, "sections": ["Summary", "Revenue", "Outlook"]}
    return [
        (_cut(text, "```json\n{"), {}),
        (_cut(text, '{\n  "i'), {}),
        (_cut(text, '"id"'), {}),
        (_cut(text, '"id":'), {}),
        (_cut(text, '"rpt-20'), {"id": "rpt-20"}),
        (_cut(text, '"rpt-2024-07",'), {"id": "rpt-2024-07"}),
        (_cut(text, '"Quarterly report"'), head),
        (_cut(text, '"published": tr'), {**head, "published": True}),
        (_cut(text, '"draft": fal'), {**head, "published": True, "draft": False}),
        (_cut(text, '"reviewer": n'), flags),
        (_cut(text, '"score": 87.'), {**flags, "score": 87.0}),
        (_cut(text, '"score": 87.5'), {**flags, "score": 87.5}),
        (_cut(text, '"pages": 4'), {**flags, "score": 87.5, "pages": 4}),
        (_cut(text, '"authors": ['), {**upto_pages, "authors": []}),
        (_cut(text, '"authors": [\n    {'), {**upto_pages, "authors": [{}]}),
        (_cut(text, '"name": "Ines Ort'), {**upto_pages, "authors": [{"name": "Ines Ort"}]}),
        (_cut(text, '"ines@example.org"\n    }'), {**upto_pages, "authors": [ines]}),
        (_cut(text, '"Tom Kwan",\n      "em'), {**upto_pages, "authors": [ines, {"name": "Tom Kwan"}]}),
        (_cut(text, '"sections": [\n    "Summary",\n    "Rev'), {**upto_sections, "sections": ["Summary", "Rev"]}),
        (_cut(text, "Revenue rose 12"), {**full_sections, "summary": "Revenue rose 12"}),
        (_cut(text, "strong demand.\\"), {**full_sections, "summary": "Revenue rose 12% on strong demand."}),
        (_cut(text, "strong demand.\\nMar"), {**full_sections, "summary": "Revenue rose 12% on strong demand.\nMar"}),
        (_cut(text, '"C:\\\\rep'), {**full_sections, "summary": doc["summary"], "path": "C:\\rep"}),
        (_cut(text, '"C:\\\\'), {**full_sections, "summary": doc["summary"], "path": "C:\\"}),
        (
            'Sure, here\'s the full list of 3 items:\n\n```json\n[\n  {"n": 1, "ok": true},\n  {"n": 2, "ok": f',
            [{"n": 1, "ok": True}, {"n": 2, "ok": False}],
        ),
        ('{"emoji": "caf\\u00', {"emoji": "caf"}),
        ('{"a": [1, 2, [3, [4', {"a": [1, 2, [3, [4]]]}),
        ('[{"k": "v"}, {"k"', [{"k": "v"}, {}]),
        ('{"matrix": [[1, 0], [0, 1]], "det": ', {"matrix": [[1, 0], [0, 1]]}),
        ('{"msg": "He said \\"hi', {"msg": 'He said "hi'}),
        ('Answer: {"values": [0.5, 0.25, 0.125, 0.06', {"values": [0.5, 0.25, 0.125, 0.06]}),
        ('```json\n[\n  "one",\n  "two",\n  "thr', ["one", "two", "thr"]),
        (
            '{"ok": true, "data": {"list": [{"id": 1, "tags": ["a"',
            {"ok": True, "data": {"list": [{"id": 1, "tags": ["a"]}]}},
        ),
    ]


def _tool_calls() -> list[Case]:
    w = {"location": "Paris", "unit": "celsius"}
    call = {"name": "get_weather", "arguments": w}
    return [
        (f"[TOOL_CALLS] [{_c(call)}]", [call]),
        (
            f"[TOOL_CALLS][{_c({'name': 'search', 'arguments': {'q': 'llama 3 paper'}})}]</s>",
            [{"name": "search", "arguments": {"q": "llama 3 paper"}}],
        ),
        (
            f"<|python_tag|>{_c({'name': 'get_weather', 'parameters': w})}<|eom_id|>",
            {"name": "get_weather", "parameters": w},
        ),
        (f"<tool_call>\n{_c(call)}\n</tool_call>", call),
        (f"I'll check the weather.\n<tool_call>\n{_c(call)}\n</tool_call>", call),
        (
            'Thought: I need the current price.\nAction: stock_quote\nAction Input: {"ticker": "NVDA"}',
            {"ticker": "NVDA"},
        ),
        (
            'Thought: I know the answer now.\nFinal Answer: {"price": 128.4, "currency": "USD"}',
            {"price": 128.4, "currency": "USD"},
        ),
        (
            'Action: search\nAction Input: {"query": "population of Lagos"}\nObservation:',
            {"query": "population of Lagos"},
        ),
        (
            _c({"name": "send_email", "arguments": '{"to": "a@b.co", "subject": "Hi"}'}),
            {"name": "send_email", "arguments": '{"to": "a@b.co", "subject": "Hi"}'},
        ),
        (
            _c({"id": "call_7", "type": "function", "function": {"name": "lookup", "arguments": '{"id":42}'}}),
            {"id": "call_7", "type": "function", "function": {"name": "lookup", "arguments": '{"id":42}'}},
        ),
        (
            _c(json.dumps({"name": "get_time", "arguments": {"tz": "UTC"}})),
            {"name": "get_time", "arguments": {"tz": "UTC"}},
        ),
        ('<function=get_weather>{"location": "Paris", "unit": "celsius"}</function>', w),
        (
            '```json\n{\n  "action": "Calculator",\n  "action_input": "2 + 2"\n}\n```',
            {"action": "Calculator", "action_input": "2 + 2"},
        ),
        (
            'Action:\n```\n{"action": "Final Answer", "action_input": "Paris is the capital."}\n```',
            {"action": "Final Answer", "action_input": "Paris is the capital."},
        ),
        (
            '<tool_call>\n{"name": "create_event", "arguments": {"title": "Standup", "time": "09:30"}}\n'
            "</tool_call><|im_end|>",
            {"name": "create_event", "arguments": {"title": "Standup", "time": "09:30"}},
        ),
        (
            '<|tool_calls_section_begin|>{"name": "fetch", "args": {"url": "https://example.com"}}'
            "<|tool_calls_section_end|>",
            {"name": "fetch", "args": {"url": "https://example.com"}},
        ),
        ('functions.get_stock_price:0\n{"symbol": "AAPL"}', {"symbol": "AAPL"}),
        (
            "<|start|>assistant<|channel|>commentary to=functions.lookup <|constrain|>json<|message|>"
            '{"id": 42}<|call|>',
            {"id": 42},
        ),
        ('✿FUNCTION✿: image_gen\n✿ARGS✿: {"prompt": "a red fox in snow"}', {"prompt": "a red fox in snow"}),
        (
            '{"thoughts": {"text": "search first"}, "command": {"name": "google", "args": {"input": "AI news"}}}',
            {"thoughts": {"text": "search first"}, "command": {"name": "google", "args": {"input": "AI news"}}},
        ),
        (
            'Calling tool...\n\n```tool_call\n{"tool": "read_file", "path": "/etc/hosts"}\n```',
            {"tool": "read_file", "path": "/etc/hosts"},
        ),
        (
            "<tool_call>\n{'name': 'translate', 'arguments': {'text': 'hello', 'to': 'es'}}\n</tool_call>",
            {"name": "translate", "arguments": {"text": "hello", "to": "es"}},
        ),
        ('<tool_call>\n{"name": "sum", "arguments": {"a": 2, "b": 3}}', {"name": "sum", "arguments": {"a": 2, "b": 3}}),
        (
            '[TOOL_CALLS] [{"name": "book", "arguments": {"seats": 2, "date": "2025-01-04",}}]',
            [{"name": "book", "arguments": {"seats": 2, "date": "2025-01-04"}}],
        ),
        ('Action Input: {"city": "Nairobi", "days": 3}\n', {"city": "Nairobi", "days": 3}),
        (
            '{"tool_calls": [{"function": {"name": "f", "arguments": "{}"}}]}',
            {"tool_calls": [{"function": {"name": "f", "arguments": "{}"}}]},
        ),
        (
            '<|tool▁call▁begin|>function<|tool▁sep|>get_time\n```json\n{"tz": "Asia/Tokyo"}\n```<|tool▁call▁end|>',
            {"tz": "Asia/Tokyo"},
        ),
        ('Invoking `search_docs` with `{"query": "rate limits", "top_k": 5}`', {"query": "rate limits", "top_k": 5}),
        ('TOOL: calculator\nINPUT: {"expression": "3*7"}', {"expression": "3*7"}),
        ('<tool_call>\n{"name": "get_time", "arguments": {}}\n</tool_call>', {"name": "get_time", "arguments": {}}),
    ]


def _reasoning() -> list[Case]:
    ans = {"category": "billing", "priority": "high"}
    return [
        (f'<think>\nThe user mentions a double charge... maybe {{"category": "refund"\n</think>\n\n{_c(ans)}', ans),
        (
            f'<think>Let me draft: {{"category": "billing", "priority": "low"}} — no, they said urgent.'
            f"</think>{_c(ans)}",
            ans,
        ),
        (f"Okay, so I need to classify this. Hmm, [billing or account?\n</think>\n\n```json\n{_c(ans)}\n```", ans),
        (
            f'<reasoning>\nStep 1: read ticket.\nStep 2: {{"draft": true}}\n</reasoning>\n<answer>\n{_c(ans)}\n'
            "</answer>",
            ans,
        ),
        (
            f"Thought: The ticket is about money.\nThought: It says ASAP so priority is high.\nFinal Answer: {_c(ans)}",
            ans,
        ),
        ("<thinking>\nList so far: [1, 2, 3\nWait, 4 is also prime? No.\n</thinking>\n[2, 3, 5, 7]", [2, 3, 5, 7]),
        ('<think>\n\n</think>\n\n{"ok": true}', {"ok": True}),
        (
            '<|channel|>analysis<|message|>Need JSON with name and age. {"name": ?<|end|><|start|>assistant'
            '<|channel|>final<|message|>{"name": "Omar", "age": 29}',
            {"name": "Omar", "age": 29},
        ),
        ('<think>\n用户问的是首都。草稿：{"首都": "上海"}？不对。\n</think>\n{"首都": "北京"}', {"首都": "北京"}),
        (
            '**Reasoning:** The total is 3 + 4 = 7, so the JSON is below.\n\n**Answer:**\n```json\n{"total": 7}\n```',
            {"total": 7},
        ),
        ('<think>The schema wants {"a": int, "b": [str]}.</think>\n{"a": 5, "b": ["x"]}', {"a": 5, "b": ["x"]}),
        (
            'Thinking...\n> checking dates {\n> done\n\nResult: {"date": "2024-02-29", "leap": true}',
            {"date": "2024-02-29", "leap": True},
        ),
        (
            '<think>\nI\'ll structure it as\n{\n  "steps": [\n</think>\n{"steps": ["mix", "bake", "cool"]}',
            {"steps": ["mix", "bake", "cool"]},
        ),
        ('<reflection>The previous {"x": 1} was wrong.</reflection>\n{"x": 2}', {"x": 2}),
        (
            "Let's think step by step.\n1. Parse the date.\n2. Convert to ISO.\n\nFinal answer:\n"
            '{"iso": "2023-11-05"}',
            {"iso": "2023-11-05"},
        ),
        ('<think>\nhmm the list ["a", "b"] is incomplete; add c\n</think>\n\n["a", "b", "c"]', ["a", "b", "c"]),
        ('<scratchpad>{{{ noisy draft</scratchpad>\n{"clean": true}', {"clean": True}),
        (
            "Thought: I should call the tool.\nAction: none\nThought: Actually I can answer directly.\n"
            'Final Answer: ["Mercury", "Venus"]',
            ["Mercury", "Venus"],
        ),
        (
            "<think>Wait, does the user want an array or object? Object.\n```json\n[1]\n```\nNo.</think>\n"
            '```json\n{"n": 1}\n```',
            {"n": 1},
        ),
        (
            '<think>\nRésumé: {"ville": "Nice"\n</think>\nRéponse : {"ville": "Nice", "pays": "France"}',
            {"ville": "Nice", "pays": "France"},
        ),
        ('<thought>count vowels: a,e → 2</thought>{"vowels": 2}', {"vowels": 2}),
        (
            '<think>\nIs "tomato" a fruit? Botanically yes.\n</think>\n**Answer**\n'
            '{"item": "tomato", "is_fruit": true}',
            {"item": "tomato", "is_fruit": True},
        ),
        (
            'The user wants JSON. I\'ll output {"lang":\n\nHmm, let me reconsider: the text is Catalan, not Spanish.'
            '\n</think>\n{"lang": "ca"}',
            {"lang": "ca"},
        ),
        (
            '<think>First guess: {"year": 1998}. Checking... the film came out in 1999.</think>\n\n'
            'Final: {"year": 1999}',
            {"year": 1999},
        ),
        ('[Internal reasoning omitted]\n\n{"decision": "approve"}', {"decision": "approve"}),
        (
            '<think>\nneed: name, qty\n</think>\n<answer>{"name": "bolt", "qty": 40}</answer>',
            {"name": "bolt", "qty": 40},
        ),
        ('<think>\nOptions: {"a": 1} or {"a": 2}? The second fits.\n</think>\n\n{"a": 2}', {"a": 2}),
        ("Thought: the list needs sorting [5, 3\nThought: sorted now.\nFinal Answer: [3, 5]", [3, 5]),
        (
            '<think>\nKeys: id, name, tags.\n</think>\nHere you go:\n```json\n{"id": 1, "name": "x", "tags": []}\n```',
            {"id": 1, "name": "x", "tags": []},
        ),
    ]


def _code_around() -> list[Case]:
    u = {"name": "Kai", "active": True, "team": None}
    return [
        ('```python\ndata = {"name": "Kai", "active": True, "team": None}\n```', u),
        (
            "```python\nimport json\n\npayload = {'name': 'Kai', 'active': True, 'team': None}\n"
            "print(json.dumps(payload))\n```",
            u,
        ),
        ('```js\nconst user = { name: "Kai", active: true, team: null };\nconsole.log(JSON.stringify(user));\n```', u),
        ('console.log(JSON.stringify({"ok": true, "n": 3}))', {"ok": True, "n": 3}),
        ('```bash\necho \'{"level": "debug", "json": true}\' | jq .\n```', {"level": "debug", "json": True}),
        (
            "```sh\ncurl -X POST https://api.example.com/v1/items \\\n  -H 'Content-Type: application/json' \\\n"
            '  -d \'{"title": "New item", "qty": 2}\'\n```',
            {"title": "New item", "qty": 2},
        ),
        ("curl -s localhost:8080/api --data '{\"ping\": 1}'", {"ping": 1}),
        (
            '```python\nresult = json.dumps({"score": 0.8, "label": "cat"}, indent=2)\n```',
            {"score": 0.8, "label": "cat"},
        ),
        (
            "```ts\nexport const config = {\n  retries: 3,\n  backoff: 'exponential',\n};\n```",
            {"retries": 3, "backoff": "exponential"},
        ),
        ("```python\nCOLORS = ['red', 'green', 'blue']\n```", ["red", "green", "blue"]),
        (
            'You can load it like this:\n\n```python\nobj = json.loads(\'{"a": [1, 2], "b": "x"}\')\n```',
            {"a": [1, 2], "b": "x"},
        ),
        ('```javascript\nmodule.exports = {\n  "port": 3000,\n  "env": "dev"\n};\n```', {"port": 3000, "env": "dev"}),
        ('```python\nreturn {"status": "ok", "items": []}\n```', {"status": "ok", "items": []}),
        ('```go\nbody := `{"user": "gopher", "id": 7}`\n```', {"user": "gopher", "id": 7}),
        ('```php\n$json = \'{"lang": "php", "v": 8}\';\n```', {"lang": "php", "v": 8}),
        ('```ruby\nputs({ "gem" => "rails", "v" => 7 }.to_json)\n```', {"gem": "rails", "v": 7}),
        ('res.json({ success: false, error: "Not found" });', {"success": False, "error": "Not found"}),
        (
            '```python\nresponse = {\n    "model": "m1",\n    "tokens": 512,\n    "stream": False,\n}\n```',
            {"model": "m1", "tokens": 512, "stream": False},
        ),
        ('$ cat result.json\n{"passed": 41, "failed": 1}\n$', {"passed": 41, "failed": 1}),
        (">>> json.loads(s)\n{'x': 1, 'y': [True, False]}", {"x": 1, "y": [True, False]}),
        ("```js\nlet arr = [1, 2, 3,];\n```", [1, 2, 3]),
        ('```java\nString body = "{\\"id\\": 5, \\"kind\\": \\"order\\"}";\n```', {"id": 5, "kind": "order"}),
        (
            'In PowerShell:\n```powershell\n$body = \'{"name":"svc","enabled":true}\'\n```',
            {"name": "svc", "enabled": True},
        ),
        (
            '```python\nfixtures = [\n    {"id": 1, "ok": True},\n    {"id": 2, "ok": False},\n]\n```',
            [{"id": 1, "ok": True}, {"id": 2, "ok": False}],
        ),
        ("```js\nconst data = { a: 1, b: undefined };\n```", {"a": 1, "b": None}),
        ('```python\nprint({"emoji": "\\u2764", "n": 1})\n```', {"emoji": "\u2764", "n": 1}),
        ('```kotlin\nval json = """{"k": "kotlin", "n": 2}"""\n```', {"k": "kotlin", "n": 2}),
        ('```python\nrequests.post(url, json={"user": "li", "admin": False})\n```', {"user": "li", "admin": False}),
        ('```bash\ncat <<EOF > config.json\n{"port": 8443, "tls": true}\nEOF\n```', {"port": 8443, "tls": True}),
    ]


def _language_isms() -> list[Case]:
    return [
        ('{\n  // the user\'s id\n  "id": 12,\n  "name": "Rita" // from profile\n}', {"id": 12, "name": "Rita"}),
        ('{\n  /* block comment */\n  "enabled": true\n}', {"enabled": True}),
        ('{\n  # YAML-style comment\n  "retries": 2\n}', {"retries": 2}),
        ("{'a': 'x', 'b': 'y'}", {"a": "x", "b": "y"}),
        ('{"list": [1, 2, 3,], "obj": {"k": 1,},}', {"list": [1, 2, 3], "obj": {"k": 1}}),
        ('{"flag": True, "other": False, "none": None}', {"flag": True, "other": False, "none": None}),
        ('{name: "Zed", age: 40}', {"name": "Zed", "age": 40}),
        ('{name = "Zed", age = 40}', {"name": "Zed", "age": 40}),
        ('{\n  host = "localhost"\n  port = 8080\n}', {"host": "localhost", "port": 8080}),
        ('{"value": undefined}', {"value": None}),
        ('{"v": NaN, "w": Infinity}', {"v": None, "w": None}),
        ("{`template`: `literal`}", {"template": "literal"}),
        ("[\n  'a', // first\n  'b', // second\n]", ["a", "b"]),
        ("{'nested': {'deep': [None, True]}}", {"nested": {"deep": [None, True]}}),
        ('{"tuple": (1, 2, 3)}', {"tuple": [1, 2, 3]}),
        ('{unquoted_key: \'single\', "quoted": "double"}', {"unquoted_key": "single", "quoted": "double"}),
        ('{"x": 1, /* the y coordinate */ "y": 2}', {"x": 1, "y": 2}),
        ('{\n  "debug": false, // TODO: turn on\n  "level": "info",\n}', {"debug": False, "level": "info"}),
        ("{'it\\'s': 'ok'}", {"it's": "ok"}),
        ('{"path": \'/usr/bin\', "mode": 755}', {"path": "/usr/bin", "mode": 755}),
        ('{ok: true, items: ["a", "b"], meta: {count: 2}}', {"ok": True, "items": ["a", "b"], "meta": {"count": 2}}),
        ('{"set": {1, 2, 3}}', {"set": [1, 2, 3]}),
        ('{"a": 1 "b": 2}', {"a": 1, "b": 2}),
        ('{"nil": nil}', {"nil": None}),
        ("[True, False, None]", [True, False, None]),
        (
            "{\n  'title': 'Config',\n  'owner': {'name': 'Tom', 'dob': '1979-05-27'},\n}",
            {"title": "Config", "owner": {"name": "Tom", "dob": "1979-05-27"}},
        ),
        ('{"key": "value";}', {"key": "value"}),
        ("{a: 1, b: 2, c: 3}", {"a": 1, "b": 2, "c": 3}),
        ('{\n  "a": 1,\n  // "b": 2,\n  "c": 3\n}', {"a": 1, "c": 3}),
        (
            "{'price': 9.5, 'in_stock': False, 'tags': ('new', 'sale')}",
            {"price": 9.5, "in_stock": False, "tags": ["new", "sale"]},
        ),
    ]


def _hard_strings() -> list[Case]:
    return [
        ('{"code": "def f(x):\n    return x * 2\n"}', {"code": "def f(x):\n    return x * 2\n"}),
        ('{"regex": "^\\d{3}-\\d{4}$"}', {"regex": "^\\d{3}-\\d{4}$"}),
        ('{"path": "C:\\Users\\nina\\Documents\\table.csv"}', {"path": "C:\\Users\\nina\\Documents\\table.csv"}),
        ('{"html": "<a href="/docs">Docs</a>"}', {"html": '<a href="/docs">Docs</a>'}),
        (
            "{\"sql\": \"SELECT * FROM users WHERE name = 'O''Brien';\"}",
            {"sql": "SELECT * FROM users WHERE name = 'O''Brien';"},
        ),
        ('{"quote": "She said "yes" twice."}', {"quote": 'She said "yes" twice.'}),
        ('{"poem": "Roses are red,\nViolets are blue."}', {"poem": "Roses are red,\nViolets are blue."}),
        ('{"js": "const x = {a: 1, b: [2, 3]};"}', {"js": "const x = {a: 1, b: [2, 3]};"}),
        ('{"json_in_text": "use {\\"k\\": 1} as input"}', {"json_in_text": 'use {"k": 1} as input'}),
        (
            '{"unix": "/var/log/nginx/access.log", "glob": "*.json"}',
            {"unix": "/var/log/nginx/access.log", "glob": "*.json"},
        ),
        ('{"tab": "a\tb"}', {"tab": "a\tb"}),
        ('{"md": "**bold** and `code` and [link](http://x.y)"}', {"md": "**bold** and `code` and [link](http://x.y)"}),
        ('{"shell": "grep -E \'^(foo|bar)\' file.txt | wc -l"}', {"shell": "grep -E '^(foo|bar)' file.txt | wc -l"}),
        (
            '{"url": "https://example.com/search?q=a%20b&lang=en#top"}',
            {"url": "https://example.com/search?q=a%20b&lang=en#top"},
        ),
        ('{"re": "\\s+\\w+\\.txt"}', {"re": "\\s+\\w+\\.txt"}),
        ('{"fence": "```python\\nprint(1)\\n```"}', {"fence": "```python\nprint(1)\n```"}),
        ('{"answer": "The word "JSON" has 4 letters.", "n": 4}', {"answer": 'The word "JSON" has 4 letters.', "n": 4}),
        ('{"xml": "<note id=\\"1\\"><to>Tove</to></note>"}', {"xml": '<note id="1"><to>Tove</to></note>'}),
        (
            '{"comment": "// not a comment", "hash": "# nor this"}',
            {"comment": "// not a comment", "hash": "# nor this"},
        ),
        ('{"braces": "}{][", "ok": true}', {"braces": "}{][", "ok": True}),
        ('{"unc": "\\\\\\\\server\\\\share"}', {"unc": "\\\\server\\share"}),
        ('{"lines": "first\nsecond\nthird"}', {"lines": "first\nsecond\nthird"}),
        ('{"css": "a:hover { color: #f00; }"}', {"css": "a:hover { color: #f00; }"}),
        ('{"emoji_esc": "\\ud83d\\ude00"}', {"emoji_esc": "😀"}),
        ("{'msg': \"it's here\", 'q': 'say \"hi\"'}", {"msg": "it's here", "q": 'say "hi"'}),
        ('{"snippet": "if (a < b && c > d) { return; }"}', {"snippet": "if (a < b && c > d) { return; }"}),
        ('{"win": "D:\\data\\raw\\2024"}', {"win": "D:\\data\\raw\\2024"}),
        ('{"cmd": "echo \\"done\\" > out.txt"}', {"cmd": 'echo "done" > out.txt'}),
        ('{"dialog": "Q: "Is it safe?"\nA: "Yes.""}', {"dialog": 'Q: "Is it safe?"\nA: "Yes."'}),
    ]


def _bracket_slips() -> list[Case]:
    order = {
        "order_id": "A-1009",
        "customer": {"name": "Priya Shah", "tier": "gold"},
        "items": [{"sku": "P-1", "qty": 2}, {"sku": "P-7", "qty": 1}],
        "shipping": {"method": "express", "cost": 12.5},
        "notes": ["leave at door", "fragile"],
        "paid": True,
    }
    t = _p(order)
    return [
        (_swap(t, '"gold"\n  },', '"gold"\n  ,'), order),
        (_swap(t, '"qty": 1\n    }\n  ],', '"qty": 1\n    }\n  ,'), order),
        (_swap(t, '"qty": 1\n    }\n  ],', '"qty": 1\n    }\n  },'), order),
        (_swap(t, '"fragile"\n  ],', '"fragile"\n  },'), order),
        (_swap(t, '"paid": true\n}', '"paid": true\n}}'), order),
        (_swap(t, '"paid": true\n}', '"paid": true\n}\n]'), order),
        (_swap(t, '"paid": true\n}', '"paid": true'), order),
        (_swap(t, '"A-1009",', '"A-1009"'), order),
        (_swap(t, '"express",', '"express"'), order),
        (_swap(t, '"leave at door",', '"leave at door"'), order),
        (_swap(t, '"qty": 2\n    },', '"qty": 2\n    }'), order),
        (_swap(t, '"shipping": {', '"shipping": {{'), order),
        (_swap(t, '"cost": 12.5\n  },', '"cost": 12.5\n  }},'), order),
        (_swap(t, '"P-7",', '"P-7",,'), order),
        (_swap(_swap(t, '"A-1009",', '"A-1009"'), '"express",', '"express"'), order),
        ("Here is the order:\n```json\n" + _swap(t, '"tier": "gold"\n  },', '"tier": "gold"\n  ]') + "\n```", order),
        ('{\n  "a": [1, 2, 3},\n  "b": 4\n}', {"a": [1, 2, 3], "b": 4}),
        ('{\n  "matrix": [\n    [1, 2],\n    [3, 4]\n  \n}', {"matrix": [[1, 2], [3, 4]]}),
        ('[\n  {"id": 1},\n  {"id": 2}\n  {"id": 3}\n]', [{"id": 1}, {"id": 2}, {"id": 3}]),
        ('[\n  {"id": 1,\n  {"id": 2}\n]', [{"id": 1}, {"id": 2}]),
        ('{\n  "x": 1\n  "y": 2\n  "z": 3\n}', {"x": 1, "y": 2, "z": 3}),
        ('{\n  "list": [\n    "a"\n    "b"\n  ]\n}', {"list": ["a", "b"]}),
        ('{"outer": {"inner": {"v": 1}}}}', {"outer": {"inner": {"v": 1}}}),
        ("[[1, 2], [3, 4]]]", [[1, 2], [3, 4]]),
        (
            '{\n  "name": "test",\n  "tags": ["a", "b"\n  "count": 2\n}',
            {"name": "test", "tags": ["a", "b"], "count": 2},
        ),
        ('{"users": [{"n": "a"}, {"n": "b"}}', {"users": [{"n": "a"}, {"n": "b"}]}),
        (
            '{\n  "meta": {\n    "page": 1,\n    "total": 9\n  "data": []\n}',
            {"meta": {"page": 1, "total": 9}, "data": []},
        ),
        ('{"a": 1,, "b": 2}', {"a": 1, "b": 2}),
        ('["x",, "y"]', ["x", "y"]),
        ('{\n  "title": "Report"\n  , "year": 2024\n}', {"title": "Report", "year": 2024}),
    ]


def _escaped_docs() -> list[Case]:
    doc = {"user": "ana", "roles": ["admin", "dev"], "active": True}
    enc = json.dumps(_c(doc))
    return [
        (enc, doc),
        (f"```json\n{enc}\n```", doc),
        (f"Output: {enc}", doc),
        ('{\\"user\\": \\"ana\\", \\"roles\\": [\\"admin\\", \\"dev\\"], \\"active\\": true}', doc),
        (json.dumps(enc), doc),
        (f"'{_c(doc)}'", doc),
        (_c({"result": _c(doc)}), {"result": _c(doc)}),
        (_c({"status": 200, "body": _c({"ok": True})}), {"status": 200, "body": '{"ok": true}'}),
        (f"The API returned the string {enc}", doc),
        ('"[1, 2, 3]"', [1, 2, 3]),
        ('"{\\n  \\"a\\": 1,\\n  \\"b\\": [true, null]\\n}"', {"a": 1, "b": [True, None]}),
        ('Here\'s the escaped JSON:\n\n`{\\"id\\": 3, \\"name\\": \\"Lin\\"}`', {"id": 3, "name": "Lin"}),
        (f"<output>{enc}</output>", doc),
        (f"response = {enc}", doc),
        ('"{\\"msg\\": \\"He said \\\\\\"hi\\\\\\"\\"}"', {"msg": 'He said "hi"'}),
        ('{\\"emoji\\": \\"\\u00e9t\\u00e9\\"}', {"emoji": "été"}),
        ('\'["a", "b"]\'', ["a", "b"]),
        (
            _c({"tool": "fetch", "args": _c({"url": "https://x.y"})}),
            {"tool": "fetch", "args": '{"url": "https://x.y"}'},
        ),
        ('json_str = "{\\"k\\": [1, 2]}"', {"k": [1, 2]}),
        (f"Result:\n\n{json.dumps(_p(doc))}", doc),
        ('"{\\"nested\\": {\\"deep\\": {\\"x\\": 1}}}"', {"nested": {"deep": {"x": 1}}}),
        ('Raw model output → "{\\"answer\\": 42}"', {"answer": 42}),
        (_c([_c({"a": 1}), _c({"b": 2})]), ['{"a": 1}', '{"b": 2}']),
        ('{\\"path\\": \\"C:\\\\\\\\temp\\"}', {"path": "C:\\temp"}),
        (_c(_c({"lang": "ja", "text": "こんにちは"})), {"lang": "ja", "text": "こんにちは"}),
        ('```\n"{\\"done\\": true, \\"items\\": 3}"\n```', {"done": True, "items": 3}),
        ('The tool returned: \'{"city": "Accra", "temp": 31}\'', {"city": "Accra", "temp": 31}),
        ('{\\n  \\"a\\": 1\\n}', {"a": 1}),
        ('Output: "[{\\"x\\": 1}, {\\"x\\": 2}]"', [{"x": 1}, {"x": 2}]),
    ]


def _no_json() -> list[Case]:
    return [
        ("I'm sorry, but I can't help with that request.", None),
        ("As an AI language model, I don't have access to real-time data.", None),
        ("```json\n```", None),
        ("```\n\n```", None),
        ("", None),
        ("   \n\t  ", None),
        ("Error: context length exceeded (8192 tokens).", None),
        ("<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>", None),
        ("I couldn't find any matching records, so there's nothing to return.", None),
        ("Je suis désolé, je ne peux pas répondre à cette question.", None),
        ("申し訳ありませんが、その情報は提供できません。", None),
        ("<think>\nThe user asks for private data. I must refuse.\n</think>\nSorry, I can't share that.", None),
        ("Could you clarify what fields you want in the JSON?", None),
        ("Here is the JSON you asked for:\n\n```json\n\n```", None),
        ("[Request interrupted by user]", None),
        (
            'Traceback (most recent call last):\n  File "main.py", line 3, in <module>\n    x = 1/0\n'
            "ZeroDivisionError: division by zero",
            None,
        ),
        ("I need more information before I can produce the output.", None),
        ("Lo siento, no puedo generar ese contenido.", None),
        ("**Note:** I can't browse the internet, so I can't fetch that page.", None),
        ("<|im_end|>", None),
        ("…", None),
        ("Unfortunately the document you uploaded appears to be empty.", None),
        ("I'm not able to comply with that.\n\n```\n```", None),
        ("抱歉，我无法完成这个请求。", None),
        ("Thought: I cannot answer this.\nFinal Answer: I don't know.", None),
        ("Rate limit reached for requests. Please try again in 20s.", None),
        ("null", None),
        ("I'd rather not guess the numbers; please share the spreadsheet first.", None),
    ]


def fresh_families() -> List[Family]:
    """Every family, in a fixed order; the same texts and values on every call."""
    return [
        Family("several-values", _several_values()),
        Family("record-lists", _record_lists()),
        Family("markdown", _markdown()),
        Family("typography", _typography()),
        Family("human-numbers", _human_numbers()),
        Family("truncated", _truncated()),
        Family("tool-calls", _tool_calls()),
        Family("reasoning", _reasoning()),
        Family("code-around", _code_around()),
        Family("language-isms", _language_isms()),
        Family("hard-strings", _hard_strings()),
        Family("bracket-slips", _bracket_slips()),
        Family("escaped-docs", _escaped_docs()),
        Family("no-json", _no_json()),
    ]
