// Writes the starting corpora of the fuzz targets: make_fuzz_corpus DIR
// fills DIR/extract with containers (valid ones, the edges of the name field
// and of the 32000-byte copy blocks, hostile names) and DIR/output_name with
// names.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string riff(std::size_t payload_size) {
  std::string payload = "RIFF";
  for (std::size_t i = payload.size(); i < payload_size; ++i) {
    payload.push_back(static_cast<char>(i * 13));
  }
  payload.resize(payload_size);
  return payload;
}

// Leading data, then exactly 43 bytes of name field, then the payload.
std::string container(std::string field, const std::string& payload) {
  field.resize(43, '\0');
  return std::string(229, 'L') + field + payload;
}

void write_all(const fs::path& dir, const std::vector<std::string>& inputs) {
  fs::create_directories(dir);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::ofstream(dir / ("input-" + std::to_string(i)), std::ios::binary) << inputs[i];
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_corpus DIR\n";
    return 2;
  }
  const fs::path top = argv[1];
  const std::vector<std::string> names = {
      "Theme", "",      "..",          "../../escape", R"(C:\Windows\win.ini)", "CON", "nul. ",
      "com9",  "LPT1.", "a\x01\x1f-b", R"(*?"<>|:)",   std::string(42, 'n')};

  std::vector<std::string> containers;
  containers.reserve(names.size() + 9);
  for (const std::string& name : names) {
    containers.push_back(container(name, riff(64)));
  }
  containers.push_back(container("Min", riff(4)));                          // 276 bytes
  containers.push_back(container("Block", riff(32000)));                    // one whole block
  containers.push_back(container("Block", riff(32001)));                    // a block and a byte
  containers.push_back(container(std::string(43, 'n'), riff(64)));          // no NUL in the field
  containers.push_back(container(std::string("Left\0over", 9), riff(64)));  // bytes after the NUL
  containers.push_back(container("T", "RIFX" + riff(60)));                  // wrong magic
  containers.push_back(container("T", "riff" + riff(60)));
  containers.push_back(container("T", riff(64)).substr(0, 275));  // magic cut short
  containers.push_back("RIFF" + std::string(400, '\0'));          // RIFF at 0 only
  write_all(top / "extract", containers);
  write_all(top / "output_name", names);
  return 0;
}
