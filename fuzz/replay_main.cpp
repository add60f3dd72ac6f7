// Stands in for libFuzzer where it is not linked (gcc, the normal test
// builds): runs the target once over every file named on the command line,
// directories recursively, so the targets are built and exercised by every
// CI build and don't bitrot.

#include <cstddef>     // size_t
#include <cstdint>     // uint8_t
#include <cstdio>      // fprintf, stderr
#include <filesystem>  // recursive_directory_iterator
#include <fstream>     // ifstream
#include <iterator>    // istreambuf_iterator
#include <string>      // string
#include <vector>      // vector

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

bool run_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  // A copy of exactly `size` bytes, so ASan sees a read past the end. An
  // empty file passes a null pointer, as a default string_view would;
  // libFuzzer never does, so only the replay catches misuse of it.
  std::vector<std::uint8_t> buffer(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(buffer.data(), buffer.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& e :
           fs::recursive_directory_iterator(arg, ec)) {
        if (e.is_regular_file()) files.push_back(e.path());
      }
      if (ec) {
        std::fprintf(stderr, "cannot list %s\n", argv[i]);
        return 1;
      }
      for (const fs::path& f : files) {
        if (!run_file(f)) return 1;
        ++runs;
      }
    } else {
      if (!run_file(arg)) return 1;
      ++runs;
    }
  }
  // An empty corpus would pass silently; a wrong path must not.
  if (runs == 0) {
    std::fprintf(stderr, "no inputs given\n");
    return 1;
  }
  std::fprintf(stderr, "replayed %zu inputs\n", runs);
  return 0;
}
