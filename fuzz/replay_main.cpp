// Replays a fuzz target's corpus as an ordinary test: every regular file of
// every directory named on the command line (and every file named directly)
// is passed once to LLVMFuzzerTestOneInput, in name order.  Each input is
// copied into a heap buffer of exactly its size so that a read past its end
// is caught by the sanitizers as it would be under libFuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadFile(const std::filesystem::path& path, std::vector<char>* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file),
                std::istreambuf_iterator<char>());
  return !file.bad();
}

bool CollectInputs(const char* argument,
                   std::vector<std::filesystem::path>* inputs) {
  std::error_code error;
  std::filesystem::path path(argument);
  if (std::filesystem::is_regular_file(path, error)) {
    inputs->push_back(path);
    return true;
  }
  std::filesystem::directory_iterator it(path, error);
  if (error) return false;
  std::vector<std::filesystem::path> found;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return false;
    if (it->is_regular_file(error)) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  inputs->insert(inputs->end(), found.begin(), found.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!CollectInputs(argv[i], &inputs)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 2;
    }
  }
  // An empty corpus means the replay is wired to the wrong place.
  if (inputs.empty()) {
    std::fprintf(stderr, "no corpus inputs found\n");
    return 2;
  }
  for (const auto& path : inputs) {
    std::vector<char> bytes;
    if (!ReadFile(path, &bytes)) {
      std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
      return 2;
    }
    // malloc(0) may answer null; libFuzzer never passes null.
    uint8_t* exact = static_cast<uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (exact == nullptr) return 2;
    if (!bytes.empty()) std::memcpy(exact, bytes.data(), bytes.size());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.filename().string().c_str(),
                 bytes.size());
    LLVMFuzzerTestOneInput(exact, bytes.size());
    std::free(exact);
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
