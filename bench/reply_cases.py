"""Whole model replies, as chat models and agent frameworks print them, with the value each writer meant.

`reply_families()` returns families of (text, intended value) in the shape of bench/broad_cases.py, and follows
the conventions written at the top of that module. Where bench/broad_cases.py leaves intent open, this corpus
fixes it once more:

- A string with a raw newline or tab inside keeps it as that character.
- A double quote inside a string value that is plainly part of the sentence ("He said "no" and left.") is text.
- Smart quotes (“ ” ‘ ’) used where JSON's quotes belong delimit strings; inside a string they are text. A byte
  order mark, non-breaking spaces and zero-width spaces between tokens are blank; full-width ： and ， between
  tokens are a colon and a comma. Inside strings every character stays as written.
- Digits grouped by commas in threes where a number belongs ("population": 2,148,000,) are one number when
  the next member starts with a quoted key; inside quotes "1,000" stays a string.
- Several values in one reply: a draft followed by one named as corrected, updated or final gives the last;
  an example or schema shown before a filled answer gives the answer, as does an input echoed before the
  output; an answer followed by an illustrative
  example the prose calls an example gives the answer.
- Two or more objects printed one per line (JSON Lines), one per numbered or bulleted item, or separated only
  by commas or blank lines, are the array of them in order; one lone object is that object.
- Reasoning (<think>, <thinking>, a reply that opens with thoughts and closes them with </think>, an analysis
  channel) is not part of the answer, whatever it holds.
- A tool call is the JSON between its tags, or after `Action Input:` / `Final Answer:`; arguments encoded as a
  JSON string inside a valid call stay a string; a tool call given as a lone JSON string is the document it holds.
- A document printed with its inner quotes escaped but no outer quotes ({\\"a\\": 1}) is that document.
"""

from __future__ import annotations

import json
from typing import List

from broad_cases import Case, Family


def _pretty(value: object, indent: int = 2, ascii_only: bool = False) -> str:
    return json.dumps(value, indent=indent, ensure_ascii=ascii_only)


def _swap(text: str, old: str, new: str) -> str:
    """text with old, which must appear once, written as new: one slip in an otherwise sound document."""
    assert text.count(old) == 1, old
    return text.replace(old, new)


def _cut_after(text: str, marker: str) -> str:
    """text up to the end of marker, which must appear once: where the reply stopped."""
    assert text.count(marker) == 1, marker
    return text[: text.index(marker) + len(marker)]


# Documents of the kind structured outputs carry; the families print and break them.
INVOICE = {
    "invoice_id": "INV-2024-0042",
    "customer": {
        "name": "Müller & Söhne GmbH",
        "vat_id": "DE123456789",
        "address": {"street": "Hauptstraße 5", "city": "München", "zip": "80331"},
    },
    "lines": [
        {"sku": "A-17", "description": "Schrauben M4 × 20", "qty": 200, "unit_price": 0.12},
        {"sku": "B-3", "description": "Dübel 6 mm", "qty": 150, "unit_price": 0.08},
    ],
    "total": 36.0,
    "currency": "EUR",
    "paid": False,
    "notes": None,
}
PERSON = {
    "name": "山田 花子",
    "age": 34,
    "occupation": "ソフトウェアエンジニア",
    "languages": ["日本語", "English"],
    "email": "hanako.yamada@example.jp",
    "remote": True,
}
RECIPE = {
    "titre": "Crêpes bretonnes",
    "portions": 4,
    "ingrédients": [
        {"nom": "farine de blé noir", "quantité": 250, "unité": "g"},
        {"nom": "œufs", "quantité": 2, "unité": None},
        {"nom": "lait", "quantité": 0.5, "unité": "l"},
    ],
    "étapes": ["Mélanger la farine et les œufs.", "Ajouter le lait petit à petit.", "Laisser reposer 1 h."],
    "végétarien": True,
}
REVIEW = {
    "label": "negative",
    "confidence": 0.87,
    "aspects": [
        {"aspect": "battery", "sentiment": "negative", "evidence": "dies after two hours"},
        {"aspect": "screen", "sentiment": "positive", "evidence": "bright and sharp"},
    ],
    "language": "en",
}
SEARCH = {
    "query": "cheap flights Lisbon to Kraków",
    "results": [
        {"title": "Lisbon → Kraków from €49", "url": "https://example.com/flights/lis-krk", "score": 0.93},
        {"title": "Kraków travel guide", "url": "https://example.org/krakow?ref=search&lang=en", "score": 0.71},
    ],
    "total": 2,
}
EVENT = {
    "event": "Квартальный отчёт",
    "start": "2024-05-06T09:30:00+03:00",
    "duration_min": 45,
    "attendees": [{"name": "Ольга", "optional": False}, {"name": "Дмитрий", "optional": True}],
    "recurrence": {"freq": "weekly", "by_day": ["MO"], "until": None},
}
GEO = {
    "type": "Feature",
    "geometry": {"type": "Point", "coordinates": [-122.4194, 37.7749]},
    "properties": {"name": "San Francisco", "population": 815201, "tags": [], "meta": {}},
}
MOVIE = {
    "title": "El laberinto del fauno",
    "year": 2006,
    "director": "Guillermo del Toro",
    "rating": 8.2,
    "genres": ["fantasía", "drama", "bélico"],
    "awards": {"oscars": 3, "nominations": 6},
}
DOCS = [INVOICE, PERSON, RECIPE, REVIEW, SEARCH, EVENT, GEO, MOVIE]


def _prose_and_fences() -> list[Case]:
    wrappers = [
        "Here is the JSON you asked for:\n\n```json\n@@\n```\n\nLet me know if you need anything else!",
        "Sure! Here's the extracted data:\n```\n@@\n```",
        "~~~json\n@@\n~~~\n\nI kept the field names exactly as in your schema.",
        "Voici le résultat au format JSON :\n\n~~~\n@@\n~~~\n\nN'hésitez pas si vous avez des questions.",
        "以下が抽出結果です。\n\n```JSON\n@@\n```\n\nご確認ください。",
        "Вот результат:\n\n@@\n\nЕсли нужно, могу добавить поля.",
        "Certainly. @@",
        "@@\n\nThis object follows the requested format. Note: numbers are plain, not strings.",
        "```json\n@@",
        "Okay — here it is (validated against your example):\n\n```javascript\n@@\n```\n",
        "**Result**\n\n```json\n@@\n```\n\nSee [the docs](https://example.com/schema) for the field meanings.",
        "Using the format {name, fields} you described, here is the output:\n\n```json\n@@\n```",
        "Here you go:\n```jsonc\n@@\n```\nAnything else? 😊",
        "The answer is below.\n\n    @@\n\nThat's all.",
    ]
    cases = []
    for i, wrapper in enumerate(wrappers):
        for j in (0, 1):
            doc = DOCS[(i + j * 3) % len(DOCS)]
            body = _pretty(doc, indent=2 if j == 0 else 4, ascii_only=(i + j) % 5 == 0)
            if wrapper.startswith("The answer is below."):
                body = body.replace("\n", "\n    ")
            cases.append((wrapper.replace("@@", body), doc))
    return cases


def _markdown_layout() -> list[Case]:
    def indent(text: str, pad: str) -> str:
        return "\n".join(pad + line if line else line for line in text.splitlines())

    cases = []
    for k, doc in enumerate(DOCS):
        body = _pretty(doc)
        fence = "```json\n" + body + "\n```"
        cases.append((f"1. Parse the record.\n2. Normalise the fields:\n\n{indent(fence, '   ')}\n\n3. Done.", doc))
        cases.append((f"- Output:\n  {indent(fence, '  ').lstrip()}\n- Status: ok", doc))
        cases.append((f"> Result from the extractor:\n>\n{indent(body, '> ')}\n", doc))
        if k % 2 == 0:
            cases.append((f"### Extracted\n\n| field | ok |\n|---|---|\n| all | yes |\n\n{fence}\n\n---\n", doc))
        else:
            cases.append((f"<details>\n<summary>JSON</summary>\n\n{fence}\n\n</details>", doc))
    return cases


def _tool_calls() -> list[Case]:
    weather = {"name": "get_weather", "arguments": {"city": "Paris", "unit": "celsius"}}
    book = {"name": "book_table", "arguments": {"restaurant": "Trattoria Da Enzo", "people": 4, "time": "20:30"}}
    send = {"name": "send_email", "arguments": {"to": ["li.wei@example.cn"], "subject": "会议纪要", "cc": []}}
    sql = {"name": "run_sql", "arguments": {"query": "SELECT name FROM users WHERE id = 7;", "readonly": True}}
    code = {"name": "python", "arguments": {"code": 'print("{} items".format(len(xs)))\nreturn {"ok": True}'}}
    args_w = weather["arguments"]
    encoded = json.dumps(args_w)
    return [
        ("<tool_call>\n" + json.dumps(weather) + "\n</tool_call>", weather),
        ("I'll check the forecast.\n<tool_call>\n" + _pretty(weather) + "\n</tool_call>", weather),
        ("<tool_call>" + json.dumps(book, ensure_ascii=False) + "</tool_call>", book),
        ("<function_call>" + _pretty(send, ascii_only=False) + "</function_call>", send),
        ("<|tool_call|>" + json.dumps(sql) + "<|/tool_call|>", sql),
        ("<tool_call>\n" + _pretty(code) + "\n</tool_call>", code),
        ("<function=get_weather>" + json.dumps(args_w) + "</function>", args_w),
        ("<function=book_table>\n" + _pretty(book["arguments"]) + "\n</function>", book["arguments"]),
        ("[TOOL_CALLS] [" + json.dumps(weather) + "]", [weather]),
        ("[TOOL_CALLS] [" + json.dumps(weather) + ", " + json.dumps(sql) + "]", [weather, sql]),
        ("<tool_call>\n" + json.dumps(encoded) + "\n</tool_call>", args_w),
        (
            "<tool_call>\n" + json.dumps({"name": "get_weather", "arguments": encoded}) + "\n</tool_call>",
            {"name": "get_weather", "arguments": encoded},
        ),
        (
            json.dumps(
                {
                    "tool_calls": [
                        {
                            "id": "call_8f2",
                            "type": "function",
                            "function": {"name": "get_weather", "arguments": encoded},
                        }
                    ]
                },
                indent=2,
            ),
            {
                "tool_calls": [
                    {"id": "call_8f2", "type": "function", "function": {"name": "get_weather", "arguments": encoded}}
                ]
            },
        ),
        ("<tool_call>\n" + _pretty(weather) + "\n", weather),
        (
            '<tool_call>\n{\n  "name": "get_weather",\n  "arguments": {\n    "city": "Paris",\n'
            '    "unit": "celsius",\n  },\n}\n</tool_call>',
            weather,
        ),
        ("<tool_call>{'name': 'get_weather', 'arguments': {'city': 'Paris', 'unit': 'celsius'}}</tool_call>", weather),
        (
            '<tool_call>\n{"name": "get_weather", "arguments": {"city": "Paris", "unit": "celsius"}\n</tool_call>',
            weather,
        ),
        (
            '<tool_call>\n{"name": "run_sql", "arguments": {"query": "SELECT * FROM logs WHERE msg LIKE '
            "'%</tool_call>%'\"}}\n</tool_call>",
            {"name": "run_sql", "arguments": {"query": "SELECT * FROM logs WHERE msg LIKE '%</tool_call>%'"}},
        ),
        ("<tools>\n" + json.dumps(book, ensure_ascii=False) + "\n</tools>", book),
        ("```tool_code\n" + _pretty(sql) + "\n```", sql),
        (
            "functions.get_weather:0 <|tool_call_argument_begin|>" + json.dumps(args_w) + "<|tool_call_end|>",
            args_w,
        ),
        (
            '<tool_call>\n{"name": "book_table", "arguments": {"restaurant": "Trattoria Da Enzo", '
            '"people": 4, "time": "20:3',
            {"name": "book_table", "arguments": {"restaurant": "Trattoria Da Enzo", "people": 4, "time": "20:3"}},
        ),
        (
            '<tool_call>\n{name: "send_email", arguments: {to: ["li.wei@example.cn"], subject: "会议纪要", '
            "cc: []}}\n</tool_call>",
            send,
        ),
        (
            '<tool_call>\n{"name": "get_weather", "arguments": {"city": "Paris" "unit": "celsius"}}\n</tool_call>',
            weather,
        ),
        ("Calling the tool now.\n\n<tool_call>\n" + json.dumps(sql) + "\n</tool_call>\n\nWaiting for the result.", sql),
        (
            "<tool_call>\n" + json.dumps({"name": "noop", "arguments": {}}) + "\n</tool_call>",
            {"name": "noop", "arguments": {}},
        ),
    ]


def _agent_lines() -> list[Case]:
    q = {"query": "population of Reykjavík 2023"}
    calc = {"expression": "(17.5 * 3) / 4", "precision": 2}
    final = {"answer": "About 139,875 people.", "sources": ["https://example.is/stats"], "confidence": 0.8}
    autogpt = {
        "thoughts": {
            "text": "I should search for the file first.",
            "reasoning": "The user mentioned a report, but not its path.",
            "plan": "- search\n- read\n- summarise",
            "criticism": "Do not guess the path.",
        },
        "command": {"name": "search_files", "args": {"pattern": "*.pdf", "directory": "/home/ana/reports"}},
    }
    return [
        (
            "Thought: I need the current figure.\nAction: web_search\nAction Input: "
            + json.dumps(q, ensure_ascii=False),
            q,
        ),
        (
            "Thought: I need the current figure.\nAction: web_search\nAction Input: "
            + json.dumps(q, ensure_ascii=False)
            + "\nObservation:",
            q,
        ),
        ("Action: calculator\nAction Input: " + json.dumps(calc), calc),
        ("Action: calculator\nAction Input:\n" + _pretty(calc), calc),
        ("Action: calculator\nAction Input: {'expression': '(17.5 * 3) / 4', 'precision': 2}", calc),
        ('Action: calculator\nAction Input: {"expression": "(17.5 * 3) / 4", "precision": 2,}', calc),
        ("Action: calculator\nAction Input: " + json.dumps(json.dumps(calc)), calc),
        ("Thought: I now know the final answer.\nFinal Answer: " + json.dumps(final), final),
        ("Thought: I now know the final answer.\nFinal Answer:\n```json\n" + _pretty(final) + "\n```", final),
        ("Thought: Done.\nFinal Answer: " + _pretty(final) + "\n\nI hope this helps!", final),
        (_pretty(autogpt), autogpt),
        ("```json\n" + _pretty(autogpt, indent=4) + "\n```", autogpt),
        ("Here is my next step:\n" + _pretty(autogpt), autogpt),
        (
            _cut_after(_pretty(autogpt), '"pattern": "*.pdf"'),
            {"thoughts": autogpt["thoughts"], "command": {"name": "search_files", "args": {"pattern": "*.pdf"}}},
        ),
        (
            '```json\n{\n  "action": "Final Answer",\n  "action_input": "Kraków is in Poland."\n}\n```',
            {"action": "Final Answer", "action_input": "Kraków is in Poland."},
        ),
        (
            'Question: What is 2^10?\nThought: Use the calculator.\n```\n{\n  "action": "calculator",\n'
            '  "action_input": {"expression": "2**10"}\n}\n```',
            {"action": "calculator", "action_input": {"expression": "2**10"}},
        ),
        (
            'Action:\n```\n{\n  "action": "search",\n  "action_input": "Lisboa -> Kraków"\n}\n```\nObservation: ',
            {"action": "search", "action_input": "Lisboa -> Kraków"},
        ),
        (
            'Action: lookup\nAction Input: {"id": 42, "fields": ["name", "email"]}\n',
            {"id": 42, "fields": ["name", "email"]},
        ),
        (
            'Action: lookup\nAction Input: {"id": 42, "fields": ["name", "email"',
            {"id": 42, "fields": ["name", "email"]},
        ),
        ('Final Answer: {"result": true}', {"result": True}),
        ('Final Answer: ["Ljubljana", "Zagreb", "Sarajevo"]', ["Ljubljana", "Zagreb", "Sarajevo"]),
        (
            'ACTION: translate\nINPUT: {"text": "Guten Morgen", "target": "es"}',
            {"text": "Guten Morgen", "target": "es"},
        ),
        (
            'Step 1 — call `geocode` with:\n\n```json\n{"address": "Rua Augusta 100, Lisboa"}\n```',
            {"address": "Rua Augusta 100, Lisboa"},
        ),
        (
            'Action Input: {"query": "weather in São Paulo", "days": 3}\n\nThought: waiting for the tool.',
            {"query": "weather in São Paulo", "days": 3},
        ),
        (
            'Final Answer: {\n  "summary": "Rain expected",\n  "days": [\n    {"day": "Mon", "mm": 12},\n'
            '    {"day": "Tue", "mm": 3}\n  ]\n}',
            {"summary": "Rain expected", "days": [{"day": "Mon", "mm": 12}, {"day": "Tue", "mm": 3}]},
        ),
    ]


ORDER_CUSTOMER = {"name": "Beatriz Souza", "email": "bia@example.com.br", "city": "São Paulo"}
ORDER_ITEM1 = {"sku": "TSH-RED-M", "title": "Camiseta vermelha", "qty": 2, "price": 59.9}
ORDER_ITEM2 = {"sku": "CAP-BLK", "title": "Boné preto", "qty": 1, "price": 39.5}
ORDER_SHIPPING = {"method": "express", "cost": 15.75, "tracking": None}
ORDER = {
    "order_id": "A-99812",
    "customer": ORDER_CUSTOMER,
    "items": [ORDER_ITEM1, ORDER_ITEM2],
    "shipping": ORDER_SHIPPING,
    "gift": False,
    "tags": ["promo", "first-order"],
}
NOTE = {
    "id": 7,
    "title": "Release notes",
    "body": 'Fixed the "save" button.\nAdded café mode.\tTabs work.',
    "path": "C:\\builds\\v2",
    "matrix": [[1, 2, 3], [4, 5, 6], [7, 8, 9]],
    "author": {"name": "Zoë", "roles": ["dev", "qa"]},
}


def _cut_off() -> list[Case]:
    order = _pretty(ORDER)
    note = _pretty(NOTE, ascii_only=True)
    head = {"order_id": "A-99812", "customer": ORDER_CUSTOMER}
    upto_items = {**head, "items": [ORDER_ITEM1, ORDER_ITEM2]}
    upto_ship = {**upto_items, "shipping": ORDER_SHIPPING}
    note_head = {"id": 7, "title": "Release notes"}
    note_mid = {**note_head, "body": NOTE["body"], "path": NOTE["path"]}
    cases = [
        (_cut_after(order, '"ord'), {}),
        (_cut_after(order, '"order_id":'), {}),
        (_cut_after(order, '"order_id": "A-99'), {"order_id": "A-99"}),
        (_cut_after(order, '"customer": {'), {"order_id": "A-99812", "customer": {}}),
        (
            _cut_after(order, '"email": "bia@exam'),
            {"order_id": "A-99812", "customer": {"name": "Beatriz Souza", "email": "bia@exam"}},
        ),
        (_cut_after(order, '"city": "São Paulo"\n  }'), head),
        (_cut_after(order, '"city": "São Paulo"\n  },'), head),
        (_cut_after(order, '"items": ['), {**head, "items": []}),
        (_cut_after(order, '"items": [\n    {'), {**head, "items": [{}]}),
        (_cut_after(order, '"items": [\n    {\n      "sk'), {**head, "items": [{}]}),
        (
            _cut_after(order, '"qty": 2,'),
            {**head, "items": [{"sku": "TSH-RED-M", "title": "Camiseta vermelha", "qty": 2}]},
        ),
        (_cut_after(order, '"price": 59.'), {**head, "items": [{**ORDER_ITEM1, "price": 59.0}]}),
        (_cut_after(order, '"price": 59.9'), {**head, "items": [ORDER_ITEM1]}),
        (_cut_after(order, '"price": 59.9\n    },'), {**head, "items": [ORDER_ITEM1]}),
        (
            _cut_after(order, '"title": "Boné pr'),
            {**head, "items": [ORDER_ITEM1, {"sku": "CAP-BLK", "title": "Boné pr"}]},
        ),
        (
            _cut_after(order, '"qty": 1'),
            {**head, "items": [ORDER_ITEM1, {"sku": "CAP-BLK", "title": "Boné preto", "qty": 1}]},
        ),
        (_cut_after(order, '"shipping"'), upto_items),
        (_cut_after(order, '"shipping": '), upto_items),
        (_cut_after(order, '"cost": 15'), {**upto_items, "shipping": {"method": "express", "cost": 15}}),
        (_cut_after(order, '"tracking": nu'), upto_ship),
        (_cut_after(order, '"gift": fa'), {**upto_ship, "gift": False}),
        (_cut_after(order, '"tags": [\n    "promo",'), {**upto_ship, "gift": False, "tags": ["promo"]}),
        (_cut_after(order, '"first-or'), {**upto_ship, "gift": False, "tags": ["promo", "first-or"]}),
        (order[:-1], ORDER),
        (order[:-2], ORDER),
        (_cut_after(note, '"body": "Fixed the \\"sa'), {**note_head, "body": 'Fixed the "sa'}),
        (_cut_after(note, '"body": "Fixed the \\'), {**note_head, "body": "Fixed the "}),
        (_cut_after(note, "Added caf\\u00"), {**note_head, "body": 'Fixed the "save" button.\nAdded caf'}),
        (_cut_after(note, '"path": "C:\\\\builds\\\\'), {**note_head, "body": NOTE["body"], "path": "C:\\builds\\"}),
        (_cut_after(note, "      4,\n      5"), {**note_mid, "matrix": [[1, 2, 3], [4, 5]]}),
        (_cut_after(note, "      6\n    ],"), {**note_mid, "matrix": [[1, 2, 3], [4, 5, 6]]}),
        (
            _cut_after(note, '"name": "Zo\\u00eb",\n    "roles": [\n      "dev"'),
            {**note_mid, "matrix": NOTE["matrix"], "author": {"name": "Zoë", "roles": ["dev"]}},
        ),
        (
            "Sure, here's the order:\n\n```json\n" + _cut_after(order, '"qty": 2,\n      "price": 5'),
            {**head, "items": [{**ORDER_ITEM1, "price": 5}]},
        ),
        ("```json\n" + _cut_after(order, '"method": "exp'), {**upto_items, "shipping": {"method": "exp"}}),
    ]
    return cases


def _string_content() -> list[Case]:
    js = 'function greet(name) {\n  return "Hello, " + name + "!";\n}'
    html = '<a href="https://example.com" class="btn">Click {here}</a>'
    return [
        (
            "```json\n" + _pretty({"language": "javascript", "code": js}) + "\n```",
            {"language": "javascript", "code": js},
        ),
        (
            "Here it is: " + json.dumps({"snippet": "if (a[0] == '}') { b = \"]\"; }", "lines": 1}) + " — done.",
            {"snippet": "if (a[0] == '}') { b = \"]\"; }", "lines": 1},
        ),
        (json.dumps({"html": html, "escaped": True}), {"html": html, "escaped": True}),
        (
            "```json\n"
            + _pretty({"markdown": "# Title\n\n- item `code`\n- [link](http://x.y)\n\n```py\nx = 1\n```"})
            + "\n```",
            {"markdown": "# Title\n\n- item `code`\n- [link](http://x.y)\n\n```py\nx = 1\n```"},
        ),
        ('{"pattern": "^\\\\d{3}-\\\\d{4}$", "flags": "i"}', {"pattern": "^\\d{3}-\\d{4}$", "flags": "i"}),
        ('{"pattern": "^\\d{3}-\\d{4}$", "flags": "i"}', {"pattern": "^\\d{3}-\\d{4}$", "flags": "i"}),
        (
            '{\n  "regex": "\\w+@\\w+\\.com",\n  "example": "ana@site.com"\n}',
            {"regex": "\\w+@\\w+\\.com", "example": "ana@site.com"},
        ),
        ('{"grep": "grep -E \\"[0-9]{2,}\\" log.txt"}', {"grep": 'grep -E "[0-9]{2,}" log.txt'}),
        (
            '{"path": "C:\\Users\\Hanna\\Documents\\Q3 report.docx"}',
            {"path": "C:\\Users\\Hanna\\Documents\\Q3 report.docx"},
        ),
        (
            '{\n  "source": "D:\\data\\new\\table.csv",\n  "rows": 1200\n}',
            {"source": "D:\\data\\new\\table.csv", "rows": 1200},
        ),
        ('{"share": "\\\\\\\\fileserver\\\\public\\\\team"}', {"share": "\\\\fileserver\\public\\team"}),
        (
            '{"exe": "C:\\\\Program Files\\\\App\\\\app.exe", "args": ["--quiet"]}',
            {"exe": "C:\\Program Files\\App\\app.exe", "args": ["--quiet"]},
        ),
        (
            '{"poem": "Roses are red,\nViolets are blue,\nJSON is strict,\nAnd so are you.", "lines": 4}',
            {"poem": "Roses are red,\nViolets are blue,\nJSON is strict,\nAnd so are you.", "lines": 4},
        ),
        ('{\n  "tsv": "name\tage\nAna\t31",\n  "ok": true\n}', {"tsv": "name\tage\nAna\t31", "ok": True}),
        (
            '```json\n{\n  "address": "Calle Mayor 3\n28013 Madrid\nEspaña"\n}\n```',
            {"address": "Calle Mayor 3\n28013 Madrid\nEspaña"},
        ),
        ('{"summary": "He said "no" and left.", "score": 3}', {"summary": 'He said "no" and left.', "score": 3}),
        (
            '{\n  "title": "The "Big Five" personality traits",\n  "year": 1990\n}',
            {"title": 'The "Big Five" personality traits', "year": 1990},
        ),
        (
            '{"quote": "She called it "the best café in town", and I agree.", "stars": 5}',
            {"quote": 'She called it "the best café in town", and I agree.', "stars": 5},
        ),
        (
            '{\n  "review": "Battery is "okay" at best",\n  "rating": 2,\n  "verified": true\n}',
            {"review": 'Battery is "okay" at best', "rating": 2, "verified": True},
        ),
        (
            json.dumps({"sql": "SELECT * FROM t WHERE name = 'O''Brien' AND x IN (1, 2);"}),
            {"sql": "SELECT * FROM t WHERE name = 'O''Brien' AND x IN (1, 2);"},
        ),
        (
            json.dumps({"json_example": '{"a": [1, 2]}', "note": "a string, not an object"}),
            {"json_example": '{"a": [1, 2]}', "note": "a string, not an object"},
        ),
        (json.dumps({"latex": "\\frac{a}{b} + \\sqrt{x^2}"}), {"latex": "\\frac{a}{b} + \\sqrt{x^2}"}),
        (
            json.dumps({"emoji": "🚀✨ launch day 🎉", "flag": "🇵🇹"}, ensure_ascii=True),
            {"emoji": "🚀✨ launch day 🎉", "flag": "🇵🇹"},
        ),
        (
            json.dumps({"rtl": "مرحبا بالعالم", "mixed": "שלום world"}, ensure_ascii=False),
            {"rtl": "مرحبا بالعالم", "mixed": "שלום world"},
        ),
        ('{"cmd": "echo \'hello world\' | tr a-z A-Z"}', {"cmd": "echo 'hello world' | tr a-z A-Z"}),
        (
            '{"template": "Dear {name},\\nYour order #{id} has shipped.", "vars": ["name", "id"]}',
            {"template": "Dear {name},\nYour order #{id} has shipped.", "vars": ["name", "id"]},
        ),
        (
            'Result:\n{"comment": "// not a comment", "glob": "src/**/*.ts", "block": "/* keep */"}',
            {"comment": "// not a comment", "glob": "src/**/*.ts", "block": "/* keep */"},
        ),
        (
            '{"url": "https://example.com/search?q=a%20b&lang=fr#top"}',
            {"url": "https://example.com/search?q=a%20b&lang=fr#top"},
        ),
    ]


def _js_style() -> list[Case]:
    profile = {"name": "Lena", "age": 29, "hobbies": ["climbing", "chess"], "address": {"city": "Graz", "zip": "8010"}}
    return [
        (
            "{\n  name: 'Lena',\n  age: 29,\n  hobbies: ['climbing', 'chess'],\n  address: { city: 'Graz', zip: '8010' }"
            "\n}",
            profile,
        ),
        (
            '{\n  // the user\'s profile\n  name: "Lena",\n  age: 29, // years\n  hobbies: ["climbing", "chess"],\n'
            '  address: {\n    city: "Graz",\n    zip: "8010",\n  },\n}',
            profile,
        ),
        (
            "```js\nconst profile = {\n  name: 'Lena',\n  age: 29,\n  hobbies: ['climbing', 'chess',],\n"
            "  address: { city: 'Graz', zip: '8010', },\n};\n```",
            profile,
        ),
        (
            '/* generated */\n{\n  "name": "Lena",\n  /* age in years */\n  "age": 29,\n  "hobbies": [\n'
            '    "climbing", // outdoors\n    "chess"\n  ],\n  "address": {"city": "Graz", "zip": "8010"}\n}',
            profile,
        ),
        (
            '{\n  "name": "Lena",\n  "age": 29,\n  "hobbies": ["climbing", "chess",],\n'
            '  "address": {"city": "Graz", "zip": "8010",},\n}',
            profile,
        ),
        ("{name:'Lena',age:29,hobbies:['climbing','chess'],address:{city:'Graz',zip:'8010'}}", profile),
        (
            "{\n  'name': 'Lena',\n  'age': 29,\n  'hobbies': ['climbing', 'chess'],\n"
            "  'address': {'city': 'Graz', 'zip': '8010'}\n}",
            profile,
        ),
        (
            "{\n  title: 'L\\'Étranger',\n  author: 'Albert Camus',\n  year: 1942,\n}",
            {"title": "L'Étranger", "author": "Albert Camus", "year": 1942},
        ),
        (
            "{\n  title: \"L'Étranger\",\n  author: 'Albert Camus',\n  year: 1942\n}",
            {"title": "L'Étranger", "author": "Albert Camus", "year": 1942},
        ),
        ("{ id: 3, value: undefined, next: null }", {"id": 3, "value": None, "next": None}),
        (
            "{\n  enabled: true,\n  retries: 3,\n  backoff: 1.5, // seconds\n  hosts: [\n    'a.example.com',\n"
            "    'b.example.com', // fallback\n  ],\n}",
            {"enabled": True, "retries": 3, "backoff": 1.5, "hosts": ["a.example.com", "b.example.com"]},
        ),
        (
            "[\n  { id: 1, label: 'uno' },\n  { id: 2, label: 'dos' },\n  { id: 3, label: 'tres' },\n]",
            [{"id": 1, "label": "uno"}, {"id": 2, "label": "dos"}, {"id": 3, "label": "tres"}],
        ),
        (
            "module.exports = {\n  port: 8080,\n  host: 'localhost',\n  debug: false,\n};",
            {"port": 8080, "host": "localhost", "debug": False},
        ),
        ('{\n  // TODO: fill in\n  "todo": [],\n  "done": ["setup"] // first step\n}', {"todo": [], "done": ["setup"]}),
        (
            '{\n  "url": "https://example.com/a//b", // the mirror\n  "ok": true\n}',
            {"url": "https://example.com/a//b", "ok": True},
        ),
        (
            "{\n  name: 'Иван',\n  city: 'Новосибирск',\n  langs: ['ru', 'en'],\n}",
            {"name": "Иван", "city": "Новосибирск", "langs": ["ru", "en"]},
        ),
        ("{\n  '名前': '李雷',\n  '年龄': 25,\n}", {"名前": "李雷", "年龄": 25}),
        (
            "{\n  status: 'ok', /* inline */ count: 2,\n  items: [ /* none yet */ ],\n}",
            {"status": "ok", "count": 2, "items": []},
        ),
        ('{\n  # config\n  "threads": 4,\n  "verbose": false  # quiet by default\n}', {"threads": 4, "verbose": False}),
        ("{\n  quote: 'He said \"hi\" twice',\n  n: 2\n}", {"quote": 'He said "hi" twice', "n": 2}),
        (
            "```typescript\nconst user: User = {\n  id: 17,\n  email: 'kim@example.kr',\n  roles: ['admin'],\n};\n```",
            {"id": 17, "email": "kim@example.kr", "roles": ["admin"]},
        ),
        (
            '{\n  "a": 1,\n  "b": [\n    1,\n    2,\n  ],\n  "c": {\n    "d": {\n      "e": "f",\n    },\n  },\n}',
            {"a": 1, "b": [1, 2], "c": {"d": {"e": "f"}}},
        ),
        (
            "{\n  $schema: 'https://json-schema.org/draft/2020-12/schema',\n  type: 'object',\n}",
            {"$schema": "https://json-schema.org/draft/2020-12/schema", "type": "object"},
        ),
        (
            "{\n  width: 640,\n  height: 480,\n  ratio: .75,\n  offset: -.5,\n}",
            {"width": 640, "height": 480, "ratio": 0.75, "offset": -0.5},
        ),
        ('{\n  "key": "value", /* a comment with "quotes" and { braces } */\n  "n": 1\n}', {"key": "value", "n": 1}),
        ("{ timeout: 30, unit: 's', }", {"timeout": 30, "unit": "s"}),
    ]


def _python_and_yaml() -> list[Case]:
    return [
        ("{'name': 'Ana', 'active': True, 'score': None}", {"name": "Ana", "active": True, "score": None}),
        ("{'point': (1.5, -2.0), 'label': 'A'}", {"point": [1.5, -2.0], "label": "A"}),
        (
            "{'id': 12,\n 'tags': ['a', 'b'],\n 'meta': {'created': '2024-01-02', 'deleted': False},\n"
            " 'scores': [0.5, 0.75, 1.0]}",
            {
                "id": 12,
                "tags": ["a", "b"],
                "meta": {"created": "2024-01-02", "deleted": False},
                "scores": [0.5, 0.75, 1.0],
            },
        ),
        (
            "```python\nresult = {\n    'city': 'Zürich',\n    'temp_c': 21.5,\n    'rain': False,\n}\n```",
            {"city": "Zürich", "temp_c": 21.5, "rain": False},
        ),
        ("{'quote': \"it's fine\", 'who': 'Maggie'}", {"quote": "it's fine", "who": "Maggie"}),
        ("{'text': 'don\\'t panic', 'n': 42}", {"text": "don't panic", "n": 42}),
        ("[{'x': 1, 'y': 2}, {'x': 3, 'y': 4}]", [{"x": 1, "y": 2}, {"x": 3, "y": 4}]),
        (
            "{'items': [], 'total': 0, 'next_page': None, 'has_more': False}",
            {"items": [], "total": 0, "next_page": None, "has_more": False},
        ),
        ('{"ok": True, "error": None}', {"ok": True, "error": None}),
        ("{'rgb': (255, 128, 0), 'alpha': 0.5}", {"rgb": [255, 128, 0], "alpha": 0.5}),
        (
            "Here's the dict:\n\n{'nombre': 'José', 'edad': 41, 'casado': True}\n",
            {"nombre": "José", "edad": 41, "casado": True},
        ),
        ("{'matrix': [[1, 0], [0, 1]], 'det': 1.0}", {"matrix": [[1, 0], [0, 1]], "det": 1.0}),
        ("{'empty_tuple': (), 'single': (5,)}", {"empty_tuple": [], "single": [5]}),
        (
            "{\n    'user': {\n        'id': 5,\n        'name': 'Ola',\n        'admin': False,\n    },\n"
            "    'groups': ['staff', 'ops'],\n}",
            {"user": {"id": 5, "name": "Ola", "admin": False}, "groups": ["staff", "ops"]},
        ),
        ('{\n  "timeout" = 30,\n  "retries" = 2\n}', {"timeout": 30, "retries": 2}),
        ('{\n  "name": "svc",\n  "port" = 8080,\n  "tls": true\n}', {"name": "svc", "port": 8080, "tls": True}),
        (
            '{\n  "host": "db.local",\n  user = "admin",\n  "pool": 10\n}',
            {"host": "db.local", "user": "admin", "pool": 10},
        ),
        (
            '{\n  "log_level" = "debug",\n  "paths" = ["/var/log", "/tmp"]\n}',
            {"log_level": "debug", "paths": ["/var/log", "/tmp"]},
        ),
        (
            "{'a': 1, 'b': None, 'c': True, 'd': False, 'e': 'None'}",
            {"a": 1, "b": None, "c": True, "d": False, "e": "None"},
        ),
        (
            "{'title': 'Les Misérables', 'pages': 1463, 'translations': ('en', 'de', 'ja')}",
            {"title": "Les Misérables", "pages": 1463, "translations": ["en", "de", "ja"]},
        ),
        (
            "{'nested': {'deeper': {'deepest': [None, True, 'x']}}}",
            {"nested": {"deeper": {"deepest": [None, True, "x"]}}},
        ),
        ("{'path': '/usr/local/bin', 'mode': '0755'}", {"path": "/usr/local/bin", "mode": "0755"}),
        ('{\n  "retry" = {\n    "max" = 5,\n    "delay_ms" = 250\n  }\n}', {"retry": {"max": 5, "delay_ms": 250}}),
        ("{'ratio': 3.14, 'count': 10, 'flag': True,}", {"ratio": 3.14, "count": 10, "flag": True}),
        ("print(result)\n{'status': 'done', 'elapsed_s': 1.25}", {"status": "done", "elapsed_s": 1.25}),
    ]


def _several_values() -> list[Case]:
    draft = {"name": "Tom Müller", "age": 23}
    fixed = {"name": "Tom Müller", "age": 32}
    schema = {"name": "string", "age": "integer", "email": "string"}
    filled = {"name": "Priya Nair", "age": 27, "email": "priya@example.in"}
    return [
        (
            "Draft:\n```json\n"
            + _pretty(draft)
            + "\n```\nWait, I swapped the digits of the age. Corrected:\n```json\n"
            + _pretty(fixed)
            + "\n```",
            fixed,
        ),
        (
            json.dumps(draft, ensure_ascii=False)
            + "\n\nCorrection — the age is 32:\n\n"
            + json.dumps(fixed, ensure_ascii=False),
            fixed,
        ),
        ("First attempt: " + json.dumps(draft) + "\nFinal answer: " + json.dumps(fixed), fixed),
        (
            "The schema is:\n```json\n"
            + _pretty(schema)
            + "\n```\nAnd here is the filled object:\n```json\n"
            + _pretty(filled)
            + "\n```",
            filled,
        ),
        ("Expected format: " + json.dumps(schema) + "\n\nOutput:\n" + _pretty(filled), filled),
        (
            'Example:\n{"name": "Jane Doe", "age": 0, "email": "jane@example.com"}\n\nYour data:\n' + _pretty(filled),
            filled,
        ),
        (
            "```json\n" + _pretty(filled) + "\n```\n\nFor example, a record with no email would look like "
            '{"name": "X", "age": 1, "email": null}.',
            filled,
        ),
        ("Here is the answer: " + json.dumps(fixed) + ". An example of an empty result is {}.", fixed),
        ("Updated version:\n\n" + _pretty(PERSON, ascii_only=True), PERSON),
        (
            "My first try was "
            + json.dumps({"total": 35})
            + " but I forgot the tax.\nFinal answer: "
            + json.dumps({"total": 36.0}),
            {"total": 36.0},
        ),
        (
            '```json\n{"status": "pending"}\n```\nActually, the job has finished:\n```json\n{"status": "done"}\n```'
            "\nThat's the final state.",
            {"status": "done"},
        ),
        (
            'Template: {"city": "<city>", "country": "<country>"}\nFilled: {"city": "Cusco", "country": "Perú"}',
            {"city": "Cusco", "country": "Perú"},
        ),
        ("Input was: [3, 1, 2]\nSorted output: [1, 2, 3]", [1, 2, 3]),
        (
            "Before:\n"
            + _pretty({"debug": True, "level": 3})
            + "\nAfter (final):\n"
            + _pretty({"debug": False, "level": 1}),
            {"debug": False, "level": 1},
        ),
        (
            'Let me revise.\n\nv1: {"tags": ["a"]}\nv2: {"tags": ["a", "b"]}\n\nFinal: {"tags": ["a", "b", "c"]}',
            {"tags": ["a", "b", "c"]},
        ),
        (
            "Schema:\n```json\n"
            + _pretty({"type": "object", "properties": {"score": {"type": "number"}}})
            + '\n```\nAnswer:\n```json\n{"score": 0.42}\n```',
            {"score": 0.42},
        ),
        (
            "**Corrected JSON** (the previous one had a trailing comma):\n\n```json\n" + _pretty(REVIEW) + "\n```",
            REVIEW,
        ),
        ('Original: {"qty": "3"}\nFixed (qty must be a number): {"qty": 3}', {"qty": 3}),
        (
            'I initially wrote {"lang": "pt"}, but the text is Spanish, so the final answer is:\n\n{"lang": "es"}',
            {"lang": "es"},
        ),
        (
            "Final Answer:\n" + _pretty(MOVIE) + '\n\n(An example of the output format was {"title": "...", '
            '"year": 0}.)',
            MOVIE,
        ),
        (
            'Here\'s a sample response the API might return:\n```json\n{"id": 0, "ok": false}\n```\n'
            'And the actual response for your request:\n```json\n{"id": 981, "ok": true}\n```',
            {"id": 981, "ok": True},
        ),
        ('Oops, that was invalid. Corrected:\n{"a": 1, "b": [2, 3]}', {"a": 1, "b": [2, 3]}),
        ("[1, 2, 4]\nSorry, I missed one. Final list: [1, 2, 3, 4]", [1, 2, 3, 4]),
        (
            'Step 1 output: {"tokens": 120}\nStep 2 output: {"tokens": 96}\nFinal result: {"tokens": 96, '
            '"trimmed": true}',
            {"tokens": 96, "trimmed": True},
        ),
        (
            "The JSON schema you gave:\n"
            + json.dumps(schema)
            + "\nFilled in for the second résumé:\n"
            + json.dumps({"name": "Ahmed Saleh", "age": 45, "email": "ahmed@example.eg"}),
            {"name": "Ahmed Saleh", "age": 45, "email": "ahmed@example.eg"},
        ),
    ]


def _reasoning() -> list[Case]:
    ans = {"city": "Porto", "country": "Portugal", "population": 231800}
    return [
        (
            '<think>\nThe user wants city and country. Maybe {"city": "Porto"} but I also need country.\n</think>\n\n'
            "```json\n" + _pretty(ans) + "\n```",
            ans,
        ),
        (
            '<think>\nDraft: {"city": "Lisbon", "country": "Portugal"}\nNo — the text says Porto.\n</think>\n'
            + json.dumps(ans),
            ans,
        ),
        ("<think>Let me list them: [1, 2, 3... no, the user wants only primes.</think>\n[2, 3, 5, 7]", [2, 3, 5, 7]),
        (
            'Okay, so the user asks for the fields. I\'ll write {"city": ... } with the population too.\n</think>\n\n'
            + _pretty(ans),
            ans,
        ),
        (
            '<thinking>\nI should output JSON like {"label": "?"}. The review complains about the battery.\n'
            '</thinking>\n\n{"label": "negative"}',
            {"label": "negative"},
        ),
        ('<reasoning>The sum is 2 + 2 = 4; format as {"sum": 4}.</reasoning>\n{"sum": 4}', {"sum": 4}),
        ("<think>\n\n</think>\n\n" + _pretty(RECIPE), RECIPE),
        (
            '<think>\nThe schema: {\n  "name": string,\n  "tags": [string]\n}\nFill it.\n</think>\n'
            '{"name": "Widget", "tags": ["blue", "small"]}',
            {"name": "Widget", "tags": ["blue", "small"]},
        ),
        ('<think>Unbalanced scratch: {"a": [1, 2</think>\n{"a": [1, 2, 3]}', {"a": [1, 2, 3]}),
        (
            "<|channel|>analysis<|message|>Need to extract the name {like this}. Done.<|end|>"
            '<|start|>assistant<|channel|>final<|message|>{"name": "Ingrid"}',
            {"name": "Ingrid"},
        ),
        ("<think>\nHmm, 'True' in Python vs true in JSON. Use true.\n</think>\n{\"valid\": true}", {"valid": True}),
        (
            '<think>\n用户需要JSON。{"城市": "北京"}? 还需要人口。\n</think>\n\n```json\n{"城市": "北京", "人口": 21890000}\n```',
            {"城市": "北京", "人口": 21890000},
        ),
        (
            '<think>\nStep 1: parse.\nStep 2: {"x": 1} is wrong, x should be 2.\n</think>\nThe answer:\n\n{"x": 2}',
            {"x": 2},
        ),
        (
            "<think>\nI'll return an empty list [] if nothing matches. Here two items match.\n</think>\n"
            '["ticket-17", "ticket-42"]',
            ["ticket-17", "ticket-42"],
        ),
        (
            '<think>\nLong thought with a code block:\n```json\n{"draft": true}\n```\nRefine.\n</think>\n\n```json\n'
            + _pretty(EVENT)
            + "\n```",
            EVENT,
        ),
        (
            '<think>The list: ["a", "b"]</think>\n\nFinal JSON:\n{"items": ["a", "b"], "count": 2}',
            {"items": ["a", "b"], "count": 2},
        ),
        (
            '<think>\nconfidence ~0.9? Say 0.9.\n</think>\n{"label": "spam", "confidence": 0.9}',
            {"label": "spam", "confidence": 0.9},
        ),
        ("<think>Check: {'a': None} would be Python.</think>{\"a\": null}", {"a": None}),
        (
            "<think>\nThe document mentions three people: Ana, Luis, Marta.\n</think>\n\n"
            + _pretty({"people": [{"name": "Ana"}, {"name": "Luis"}, {"name": "Marta"}]}),
            {"people": [{"name": "Ana"}, {"name": "Luis"}, {"name": "Marta"}]},
        ),
        ('<think>\nThe answer is 42 as {"n": 42}.\n</think>\n\n{"n": 42', {"n": 42}),
        ('<think>\nprevious: {"done": false}\n</think>\n<answer>\n{"done": true}\n</answer>', {"done": True}),
        (
            "<think>\nUser wants the GeoJSON.\n</think>\nHere is the feature:\n\n"
            + _pretty(GEO, indent=4)
            + "\n\nCoordinates are [longitude, latitude].",
            GEO,
        ),
        (
            '<think>Maybe "yes" or {"answer": "yes"}</think>\n{"answer": "no", "reason": "out of stock"}',
            {"answer": "no", "reason": "out of stock"},
        ),
        ('<think>\nTwo drafts:\n1) {"a": 1}\n2) {"a": 2}\nPick 2? No, the text says 3.\n</think>\n{"a": 3}', {"a": 3}),
        ("<think>\nnothing tricky\n</think>\n\n" + _pretty(SEARCH), SEARCH),
    ]


def _brackets() -> list[Case]:
    team = {
        "team": "Núcleo de Dados",
        "members": [
            {"name": "Ana", "role": "lead", "skills": ["sql", "python"]},
            {"name": "Bruno", "role": "analyst", "skills": ["excel"]},
        ],
        "budget": {"year": 2024, "amount": 125000.5},
    }
    t = _pretty(team)
    g = _pretty(GEO)
    r = _pretty(RECIPE)
    return [
        (_swap(t, '"excel"\n      ]', '"excel"\n      }'), team),
        (_swap(t, '"python"\n      ]', '"python"\n      }'), team),
        (_swap(t, '    }\n  ],\n  "budget"', '    }\n  },\n  "budget"'), team),
        (_swap(t, '    }\n  ],\n  "budget"', '    }\n  ,\n  "budget"'), team),
        (_swap(t, '    }\n  ],\n  "budget"', '    },\n  "budget"'), team),
        (t + "}", team),
        (t + "\n}", team),
        (t + "\n]", team),
        (t + "\n}\n```", team),
        (t[: t.rindex("}")], team),
        (t[: t.rindex("}")].rstrip() + "\n]", team),
        (_swap(t, '"amount": 125000.5\n  }', '"amount": 125000.5\n  ]'), team),
        (_swap(g, "37.7749\n    ]", "37.7749\n    }"), GEO),
        (_swap(g, "37.7749\n    ]\n  },", "37.7749\n  },"), GEO),
        (_swap(g, '"meta": {}', '"meta": {}}'), GEO),
        (g + "}}", GEO),
        (_swap(g, '"tags": []', '"tags": [}'), GEO),
        (_swap(r, '"Laisser reposer 1 h."\n  ]', '"Laisser reposer 1 h."\n  }'), RECIPE),
        (_swap(r, '"Laisser reposer 1 h."\n  ],', '"Laisser reposer 1 h.",'), RECIPE),
        (_swap(r, '"unité": "l"\n    }\n  ]', '"unité": "l"\n    }\n  }'), RECIPE),
        (_swap(r, '"unité": "l"\n    }\n  ]', '"unité": "l"\n  ]'), RECIPE),
        (r + "\n}\n}", RECIPE),
        ("```json\n" + r + "\n]\n```", RECIPE),
        ('[\n  {"id": 1, "ok": true},\n  {"id": 2, "ok": false}\n}', [{"id": 1, "ok": True}, {"id": 2, "ok": False}]),
        ('[\n  {"id": 1, "ok": true},\n  {"id": 2, "ok": false}\n]]', [{"id": 1, "ok": True}, {"id": 2, "ok": False}]),
        ('[\n  {"id": 1, "ok": true},\n  {"id": 2, "ok": false\n]', [{"id": 1, "ok": True}, {"id": 2, "ok": False}]),
        ('{\n  "rows": [\n    [1, 2],\n    [3, 4]\n  }\n}', {"rows": [[1, 2], [3, 4]]}),
        ('{\n  "rows": [\n    [1, 2],\n    [3, 4\n  ]\n}', {"rows": [[1, 2], [3, 4]]}),
    ]


def _commas_colons() -> list[Case]:
    return [
        ('{\n  "name": "Kofi"\n  "age": 40\n  "city": "Accra"\n}', {"name": "Kofi", "age": 40, "city": "Accra"}),
        ('{\n  "id": 5,\n  "tags": ["x", "y"]\n  "active": true\n}', {"id": 5, "tags": ["x", "y"], "active": True}),
        ('{\n  "a": {"b": 1}\n  "c": {"d": 2}\n}', {"a": {"b": 1}, "c": {"d": 2}}),
        ('[\n  {"n": 1}\n  {"n": 2}\n  {"n": 3}\n]', [{"n": 1}, {"n": 2}, {"n": 3}]),
        ('[\n  "alpha"\n  "beta"\n  "gamma"\n]', ["alpha", "beta", "gamma"]),
        ("[\n  1.5\n  2.5\n]", [1.5, 2.5]),
        (
            '{\n  "items": [\n    {\n      "sku": "A",\n      "qty": 1\n    }\n    {\n      "sku": "B",\n'
            '      "qty": 2\n    }\n  ]\n}',
            {"items": [{"sku": "A", "qty": 1}, {"sku": "B", "qty": 2}]},
        ),
        ('{\n  "ok": false\n  "error": null\n  "count": 0\n}', {"ok": False, "error": None, "count": 0}),
        ('{"name" "Kofi", "age" 40}', {"name": "Kofi", "age": 40}),
        (
            '{\n  "title" "Dune",\n  "author": "Frank Herbert",\n  "year" 1965\n}',
            {"title": "Dune", "author": "Frank Herbert", "year": 1965},
        ),
        ('{\n  "config" {\n    "debug": true\n  }\n}', {"config": {"debug": True}}),
        ('{\n  "list" [1, 2, 3]\n}', {"list": [1, 2, 3]}),
        ('{\n  "a": 1,,\n  "b": 2\n}', {"a": 1, "b": 2}),
        ("[1,, 2, 3]", [1, 2, 3]),
        ('{\n  "a": 1,\n  "b": 2,\n}', {"a": 1, "b": 2}),
        ('{\n  ,"a": 1\n}', {"a": 1}),
        ('[\n  "x",\n  "y",\n]', ["x", "y"]),
        ('{\n  "name": "Søren"\n  "langs": ["da" "en"]\n}', {"name": "Søren", "langs": ["da", "en"]}),
        ('```json\n{\n  "summary": "Good"\n  "score": 8\n}\n```', {"summary": "Good", "score": 8}),
        ('{\n  "from": "東京"\n  "to": "大阪"\n  "km": 515.4\n}', {"from": "東京", "to": "大阪", "km": 515.4}),
        ('{\n  "matrix": [\n    [1, 0]\n    [0, 1]\n  ]\n}', {"matrix": [[1, 0], [0, 1]]}),
        ('{"a": true "b": false}', {"a": True, "b": False}),
        (
            '{\n  "pairs": [{"k": "a", "v": 1} {"k": "b", "v": 2}]\n}',
            {"pairs": [{"k": "a", "v": 1}, {"k": "b", "v": 2}]},
        ),
        ('{\n  "x": 1;\n  "y": 2\n}', {"x": 1, "y": 2}),
        (
            '{\n  "user": {\n    "id": 1\n    "name": "Eun-ji"\n  }\n  "ok": true\n}',
            {"user": {"id": 1, "name": "Eun-ji"}, "ok": True},
        ),
    ]


def _numbers_literals() -> list[Case]:
    return [
        ('{\n  "temperature": NaN,\n  "unit": "K"\n}', {"temperature": None, "unit": "K"}),
        ('{"max": Infinity, "min": -Infinity}', {"max": None, "min": None}),
        ('{\n  "delta": +5,\n  "gain": +0.25\n}', {"delta": 5, "gain": 0.25}),
        ('{"ratio": .5, "neg": -.25}', {"ratio": 0.5, "neg": -0.25}),
        ('{"n": 1e5, "m": 2.5E-3}', {"n": 100000.0, "m": 0.0025}),
        ('{"color": 0xFF8800, "mask": 0x0f}', {"color": 16746496, "mask": 15}),
        ('{"id": 007, "code": "007"}', {"id": 7, "code": "007"}),
        ('{"price": "1,000", "currency": "JPY"}', {"price": "1,000", "currency": "JPY"}),
        (
            '{\n  "city": "Paris",\n  "population": 2,148,000,\n  "area_km2": 105.4\n}',
            {"city": "Paris", "population": 2148000, "area_km2": 105.4},
        ),
        (
            '{"big": 12345678901234567890, "small": -9007199254740993}',
            {"big": 12345678901234567890, "small": -9007199254740993},
        ),
        ('{"f": 1.0, "i": 1, "b": true}', {"f": 1.0, "i": 1, "b": True}),
        ('{"width": 100%, "margin": 8px}', {"width": "100%", "margin": "8px"}),
        ('{"count": 1_000_000}', {"count": 1000000}),
        ('{"v": 5., "w": 0.}', {"v": 5.0, "w": 0.0}),
        ('{"value": undefined, "next": nil}', {"value": None, "next": None}),
        ('{"ok": True, "err": None, "done": False}', {"ok": True, "err": None, "done": False}),
        ('{\n  "version": 1.2.3,\n  "build": 45\n}', {"version": "1.2.3", "build": 45}),
        ("[NaN, 1, Infinity, -Infinity, 2]", [None, 1, None, None, 2]),
        ('{"scores": [0.91, .88, +1, 1e-2]}', {"scores": [0.91, 0.88, 1, 0.01]}),
        ('{"octal": 0o17, "binary": 0b101}', {"octal": 15, "binary": 5}),
        ('{\n  "lat": 48.8566,\n  "lon": 2.3522,\n  "alt_m": 35\n}', {"lat": 48.8566, "lon": 2.3522, "alt_m": 35}),
        ('{"phone": "+44 20 7946 0958", "ext": 12}', {"phone": "+44 20 7946 0958", "ext": 12}),
        ('{"zip": "02134", "floor": -1}', {"zip": "02134", "floor": -1}),
        ('{"weight": 72kg, "height_cm": 181}', {"weight": "72kg", "height_cm": 181}),
        ('{\n  "revenue": 1,250,000,\n  "currency": "USD"\n}', {"revenue": 1250000, "currency": "USD"}),
        ('{"loss": nan, "acc": 0.97}', {"loss": None, "acc": 0.97}),
        ('{"avogadro": 6.022e23, "planck": 6.626E-34}', {"avogadro": 6.022e23, "planck": 6.626e-34}),
        ('{"x": -Infinity, "label": "floor"}', {"x": None, "label": "floor"}),
        ('{"flags": [true, false, null, True, False, None]}', {"flags": [True, False, None, True, False, None]}),
    ]


def _typography() -> list[Case]:
    nb, zw = "\u00a0", "\u200b"
    return [
        ("{“name”: “Zoë”, “age”: 31}", {"name": "Zoë", "age": 31}),
        ("{\n  “title”: “Notes”,\n  “tags”: [“a”, “b”]\n}", {"title": "Notes", "tags": ["a", "b"]}),
        ("{“note”: “it’s done”, “by”: “Seán”}", {"note": "it’s done", "by": "Seán"}),
        ("{‘status’: ‘ok’, ‘code’: 200}", {"status": "ok", "code": 200}),
        ("Here you go:\n\n{“city”: “Kraków”, “country”: “Polska”}\n\nThanks!", {"city": "Kraków", "country": "Polska"}),
        ('{"quote": "She said “hello” and left"}', {"quote": "She said “hello” and left"}),
        ('{"apostrophe": "l’été", "ok": true}', {"apostrophe": "l’été", "ok": True}),
        ("{\n" + nb * 2 + '"a": 1,\n' + nb * 2 + '"b": [1,' + nb + "2]\n}", {"a": 1, "b": [1, 2]}),
        ("{" + zw + '"a": 1,' + zw + ' "b": 2}', {"a": 1, "b": 2}),
        ("\ufeff" + _pretty(PERSON), PERSON),
        ('\ufeff{"bom": true}', {"bom": True}),
        ('{"名前"："佐藤"，"年齢"：25}', {"名前": "佐藤", "年齢": 25}),
        ('{\n  "商品"："緑茶"，\n  "価格"：500\n}', {"商品": "緑茶", "価格": 500}),
        ('{"text": "価格：1,000円（税込）"}', {"text": "価格：1,000円（税込）"}),
        ('{"nbsp_inside": "100' + nb + 'km"}', {"nbsp_inside": "100" + nb + "km"}),
        ('{"line_sep": "a\u2028b", "n": 1}', {"line_sep": "a\u2028b", "n": 1}),
        ('{\r\n  "crlf": true,\r\n  "lines": 3\r\n}', {"crlf": True, "lines": 3}),
        (
            "```json\n{\n  “summary”: “Battery life is poor”,\n  “score”: 2\n}\n```",
            {"summary": "Battery life is poor", "score": 2},
        ),
        ("{“items”: [{“id”: 1}, {“id”: 2}]}", {"items": [{"id": 1}, {"id": 2}]}),
        ("{“empty”: “”, “n”: 0}", {"empty": "", "n": 0}),
        ("{" + nb + '"x":' + nb + "true" + nb + "}", {"x": True}),
        ('\ufeff```json\n{"a": [1, 2]}\n```', {"a": [1, 2]}),
        ("{“msg”: “Grüße aus Köln”, “lang”: “de”}", {"msg": "Grüße aus Köln", "lang": "de"}),
        ('{"smart_in_key": {“inner”: 1}}', {"smart_in_key": {"inner": 1}}),
        ('{"ellipsis": "wait…", "dash": "2020–2024"}', {"ellipsis": "wait…", "dash": "2020–2024"}),
        ('{"zwj": "👩\u200d💻", "ok": true}', {"zwj": "👩\u200d💻", "ok": True}),
        ("[“one”, “two”, “three”]", ["one", "two", "three"]),
    ]


def _array_replies() -> list[Case]:
    books = [
        {"title": "Cien años de soledad", "author": "Gabriel García Márquez", "year": 1967},
        {"title": "Pedro Páramo", "author": "Juan Rulfo", "year": 1955},
        {"title": "Rayuela", "author": "Julio Cortázar", "year": 1963},
    ]
    lines = [json.dumps(b, ensure_ascii=False) for b in books]
    pretty = [_pretty(b) for b in books]
    small = [{"id": 1}, {"id": 2}]
    return [
        ("Here are 3 books:\n\n" + "\n".join(f"{i + 1}. {s}" for i, s in enumerate(lines)), books),
        ("\n".join(lines), books),
        ("\n".join(lines) + "\n", books),
        ("\r\n".join(lines), books),
        ("- " + "\n- ".join(lines), books),
        ("* " + "\n* ".join(lines), books),
        (",\n".join(lines), books),
        ("\n\n".join(pretty), books),
        (",\n".join(pretty), books),
        ("```jsonl\n" + "\n".join(lines) + "\n```", books),
        ("```json\n" + "\n".join(lines) + "\n```", books),
        ("Sure! Here they are, one per line:\n\n" + "\n".join(lines) + "\n\nEnjoy your reading.", books),
        ("1. " + pretty[0] + "\n2. " + pretty[1] + "\n3. " + pretty[2], books),
        ("1) " + lines[0] + "\n2) " + lines[1] + "\n3) " + lines[2], books),
        ("[\n" + ",\n".join(lines) + "\n]", books),
        ("Here's the array:\n```json\n[\n" + ",\n".join(lines) + "\n]\n```", books),
        (lines[0], books[0]),
        ('{"id": 1}\n{"id": 2}', small),
        ('1. "apple"\n2. "banana"\n3. "cherry"', ["apple", "banana", "cherry"]),
        (
            '{"event": "start", "t": 0}\n{"event": "tick", "t": 1}\n{"event": "stop", "t": 2}\n',
            [{"event": "start", "t": 0}, {"event": "tick", "t": 1}, {"event": "stop", "t": 2}],
        ),
        ("{'city': 'Lima'}\n{'city': 'Quito'}", [{"city": "Lima"}, {"city": "Quito"}]),
        ('Item 1: {"sku": "X1"}\nItem 2: {"sku": "X2"}', [{"sku": "X1"}, {"sku": "X2"}]),
        (
            '{"q": "¿Qué hora es?", "a": "Son las tres."}\n{"q": "¿Dónde?", "a": "Aquí."}',
            [{"q": "¿Qué hora es?", "a": "Son las tres."}, {"q": "¿Dónde?", "a": "Aquí."}],
        ),
        (
            '- {"n": 1, "sq": 1}\n- {"n": 2, "sq": 4}\n- {"n": 3, "sq": 9}',
            [{"n": 1, "sq": 1}, {"n": 2, "sq": 4}, {"n": 3, "sq": 9}],
        ),
        (
            "1. " + lines[0] + "\n2. " + lines[1] + '\n3. {"title": "Rayuela", "author": "Julio Cortázar", "year": 19',
            [books[0], books[1], {"title": "Rayuela", "author": "Julio Cortázar", "year": 19}],
        ),
    ]


def _escaped_documents() -> list[Case]:
    small = {"a": 1, "b": [True, None]}
    return [
        (json.dumps(json.dumps(small)), small),
        (json.dumps(json.dumps(PERSON, ensure_ascii=False), ensure_ascii=False), PERSON),
        (json.dumps(_pretty(INVOICE)), INVOICE),
        (json.dumps(json.dumps([1, 2, 3])), [1, 2, 3]),
        (json.dumps(json.dumps({"city": "Köln"})), {"city": "Köln"}),
        ("Output: " + json.dumps(json.dumps(small)), small),
        ("```json\n" + json.dumps(json.dumps(REVIEW)) + "\n```", REVIEW),
        ('\'{"a": 1, "b": [true, null]}\'', small),
        (json.dumps(json.dumps(small))[1:-1], small),
        (json.dumps(_pretty(MOVIE, ascii_only=False), ensure_ascii=False)[1:-1], MOVIE),
        ('{\\"status\\": \\"ok\\", \\"count\\": 3}', {"status": "ok", "count": 3}),
        (json.dumps("Paris"), "Paris"),
        (json.dumps("hello {name}, welcome"), "hello {name}, welcome"),
        (json.dumps(json.dumps({"path": "C:\\temp\\x.txt"})), {"path": "C:\\temp\\x.txt"}),
        (json.dumps(json.dumps({"text": "line1\nline2", "q": 'say "hi"'})), {"text": "line1\nline2", "q": 'say "hi"'}),
        (
            json.dumps(json.dumps({"nested": {"deep": {"deeper": [{"x": 1}]}}})),
            {"nested": {"deep": {"deeper": [{"x": 1}]}}},
        ),
        ("The model returned:\n\n" + json.dumps(_pretty(EVENT, ascii_only=True)) + "\n", EVENT),
        (json.dumps(json.dumps({})), {}),
        (json.dumps(json.dumps(GEO)), GEO),
        (json.dumps(json.dumps({"emoji": "🎉"})), {"emoji": "🎉"}),
        (json.dumps(json.dumps(SEARCH, ensure_ascii=False), ensure_ascii=False), SEARCH),
        ('\'["red", "green", "blue"]\'', ["red", "green", "blue"]),
        ('{\\n  \\"id\\": 9,\\n  \\"tags\\": [\\"x\\"]\\n}', {"id": 9, "tags": ["x"]}),
        (json.dumps("42 apples"), "42 apples"),
    ]


def _refusals_garbage() -> list[Case]:
    return [
        ("I'm sorry, but I can't help with that request.", None),
        ("I cannot provide personal information about private individuals.", None),
        ("As an AI language model, I don't have access to real-time stock prices.", None),
        ("Error: rate limit exceeded. Please try again later.", None),
        ("<html><head><title>502 Bad Gateway</title></head><body>nginx</body></html>", None),
        ("```json\n```", None),
        ("", None),
        ("   \n\t\n", None),
        ("...", None),
        ("null", None),
        ("I can't answer question 3 without more context.", None),
        ("Lo siento, no puedo ayudar con eso.", None),
        ("申し訳ありませんが、そのご依頼にはお応えできません。", None),
        ("<think>The user asks for something harmful.</think>\nI can't help with that.", None),
        ("Sorry — the document you sent is empty, so there is nothing to extract.", None),
        ("Unfortunately I was unable to find any matching records.", None),
        ("```\n\n```\n\nI couldn't produce the JSON because the input was empty.", None),
        ("<tool_call>\n</tool_call>", None),
        ("Извините, я не могу выполнить этот запрос.", None),
        ("I don't know.", None),
        ("N/A — no data available for this query", None),
        ("Thought: I cannot do this.\nFinal Answer: I cannot complete this task.", None),
        ('{"error": "I cannot help with that"}', {"error": "I cannot help with that"}),
        ('{"answer": null, "reason": "insufficient context"}', {"answer": None, "reason": "insufficient context"}),
        ('```json\n{"refusal": "policy", "content": null}\n```', {"refusal": "policy", "content": None}),
        ("I'm unable to comply. This request violates the usage policy.", None),
        ("Please provide more details so I can generate the JSON.", None),
    ]


def reply_families() -> List[Family]:
    """Every family, in a fixed order; the same texts and values on every call."""
    return [
        Family("prose-fences", _prose_and_fences()),
        Family("markdown-layout", _markdown_layout()),
        Family("tool-calls", _tool_calls()),
        Family("agent-lines", _agent_lines()),
        Family("cut-off", _cut_off()),
        Family("string-content", _string_content()),
        Family("js-style", _js_style()),
        Family("python-yaml", _python_and_yaml()),
        Family("several-values", _several_values()),
        Family("reasoning", _reasoning()),
        Family("brackets", _brackets()),
        Family("commas-colons", _commas_colons()),
        Family("numbers-literals", _numbers_literals()),
        Family("typography", _typography()),
        Family("array-replies", _array_replies()),
        Family("escaped-documents", _escaped_documents()),
        Family("refusals-garbage", _refusals_garbage()),
    ]
