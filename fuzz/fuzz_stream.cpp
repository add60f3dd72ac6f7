// The stream over random splits of the text. Invariants:
//   - after every chunk the value extends the one before (the prefix rule);
//   - in a text that opens with a container, at a chunk that ends on a
//   comma outside strings, on the incremental path and before the value is
//   done, the value is the extraction of the text so far (checked at the
//   first few such commas; prose before a value may read otherwise);
//   - close() is run_extract of the whole text;
//   - the events, adjacent appends to one string merged, and the flags are
//   the same as with the text in one chunk;
//   - the events rebuild the value: StreamValue of all of them is the
//   stream's value while it is incremental.
// The first byte seeds the split sizes (1 to 8 bytes, or 1 when it is odd),
// the rest is the text; past 64 KB it is read in one chunk only.

#include <cstddef>  // size_t
#include <cstdint>  // uint8_t
#include <string>   // string
#include <vector>   // vector

#include "invariants.h"
#include "stream_events.h"
#include "tarnwick/extract.h"
#include "tarnwick/stream.h"

namespace {

using namespace tarnwick;
using fuzz::describe;
using fuzz::ends_on_comma;

struct Run {
  std::vector<std::string> events;
  bool done = false;
  bool incremental = true;
};

// Whether the text's first byte past JSON whitespace opens a container.
bool opens_container(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos &&
         (text[first] == '[' || text[first] == '{');
}

Run run(std::string_view text, unsigned seed, bool split) {
  const bool check_commas = opens_container(text);
  Stream stream;
  StreamValue rebuilt;
  Run out;
  JsonValue last;
  bool shown = false;
  int commas = 0;
  std::size_t at = 0;
  while (at < text.size() || at == 0) {
    std::size_t n = text.size() - at;
    if (split) {
      seed = seed * 1103515245u + 12345u;
      n = std::min<std::size_t>(n, (seed & 1) ? 1 : 1 + (seed >> 16) % 8);
    }
    const auto events = stream.feed(text.substr(at, n));
    at += n;
    for (const StreamEvent& e : events) describe(e, out.events);
    rebuilt.apply(events);
    JsonValue now = stream.value();
    if (shown) TARNWICK_FUZZ_CHECK(extends(last, now));
    shown = shown || !now.is_null();
    if (stream.incremental()) {
      TARNWICK_FUZZ_CHECK(rebuilt.value() == now);
      if (check_commas && !stream.done() && ends_on_comma(text, at) &&
          commas++ < 8) {
        const Extraction so_far = run_extract(text.substr(0, at), {});
        TARNWICK_FUZZ_CHECK(to_canonical_text(now) == so_far.outcome.json);
      }
    }
    last = std::move(now);
    if (text.empty()) break;
  }
  const Extraction whole = run_extract(text, {});
  const Extraction closed = stream.close();
  TARNWICK_FUZZ_CHECK(closed.outcome.json == whole.outcome.json &&
                      closed.outcome.strategy == whole.outcome.strategy &&
                      closed.fixes == whole.fixes &&
                      closed.span_begin == whole.span_begin &&
                      closed.span_end == whole.span_end);
  out.done = stream.done();
  out.incremental = stream.incremental();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text = tarnwick::fuzz::as_text(data + 1, size - 1);
  const Run whole = run(text, 0, false);
  // The checks after each chunk cost time in proportion to the value: the
  // huge conformance files are read in one chunk only.
  if (text.size() > 65536) return 0;
  const Run split = run(text, data[0], true);
  TARNWICK_FUZZ_CHECK(split.events == whole.events);
  TARNWICK_FUZZ_CHECK(split.incremental == whole.incremental);
  TARNWICK_FUZZ_CHECK(split.done == whole.done);
  return 0;
}
