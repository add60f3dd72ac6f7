// The public conformance corpus: y_ files parse, n_ files fail, i_ files are
// answered either way, and every accepted value survives a write/read cycle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tarnwick/reader.h"
#include "tarnwick/writer.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Corpus, StrictReaderVerdicts) {
  const fs::path dir(TARNWICK_CORPUS_DIR);
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int seen = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const std::string text = slurp(e.path());
    SCOPED_TRACE(name);
    ++seen;
    ReadResult<JsonValue> r = parse_document(text);
    if (name[0] == 'y') {
      EXPECT_TRUE(r.ok());
    } else if (name[0] == 'n') {
      EXPECT_FALSE(r.ok());
    }
    if (!r.ok()) continue;
    const std::string once = to_canonical_text(r.value());
    ReadResult<JsonValue> again = parse_document(once);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.value() == r.value());
    EXPECT_EQ(to_canonical_text(again.value()), once);
  }
  EXPECT_GT(seen, 300);
}

}  // namespace
}  // namespace tarnwick
