// loadmodel on fuzzed files, then what the operator's tool shows of the model (the dump and the
// change names that watch prints) and the accessors. A file of exactly the image's size is taken
// byte for byte; any other size is refused and leaves the model as it was.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ChangeNames.h"
#include "FuzzFrames.h"
#include "ModelBlock.h"
#include "ModelDump.h"
#include "VyoModel.h"

namespace {

std::string FilePath() {
  static const std::string path = "/tmp/selkie-fuzz-model-" + std::to_string(::getpid());
  return path;
}

void ShowEverything() {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  PrintSystemPart(sink);
  PrintMachineHeader(sink);
  uint8_t text[256];
  for (int m = -1; m <= 35; ++m) {
    PrintMachine(sink, static_cast<int8_t>(m));
    getZQ_C_McnName(static_cast<int8_t>(m), text);
    FUZZ_CHECK(text[0] < 255);
    getZQ_McnIDName(static_cast<int8_t>(m), text);
    FUZZ_CHECK(text[0] <= 6);
  }
  getZQ_ErrorString(text);
  for (int i = 0; i < 512; ++i) {
    const uint8_t code = getZQ_LastChange();
    if (code == 0) break;
    FUZZ_CHECK(!ChangeCodeText(code).empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  UsePrivateBlock(*argv);
  PrivateBlock();
  FilePath();  // made before the exit handler that uses it is registered
  std::atexit([] { std::remove(FilePath().c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Short inputs stand for a whole image of their bytes repeated, so that most runs load.
  std::vector<uint8_t> file(data, data + size);
  if (size > 0 && size < 64) {
    file.resize(kModelImageSize);
    for (std::size_t i = size; i < kModelImageSize; ++i) file[i] = data[i % size];
  }
  std::FILE* out = std::fopen(FilePath().c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);

  const std::string& path = FilePath();
  std::vector<uint8_t> name(path.size() + 1);
  name[0] = static_cast<uint8_t>(path.size());
  std::copy(path.begin(), path.end(), name.begin() + 1);
  const auto before = BlockCopy();
  const bool loaded = loadmodel(name.data()) != 0;
  FUZZ_CHECK(loaded == (file.size() == kModelImageSize));
  FUZZ_CHECK(loaded ? BlockIs(file) : BlockIs(before));
  ShowEverything();
  return 0;
}
