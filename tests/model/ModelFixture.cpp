#include "ModelFixture.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "VyoModel.h"
#include "ZQServerRecord.h"

namespace modeltest {

namespace {

uint8_t* g_raw = nullptr;

// Refuses to run against the machine's real model (VYOMODEL_SHM_NAME=/SharedZMModel given by
// hand), and removes the test's block at the end.
class BlockEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* name = std::getenv("VYOMODEL_SHM_NAME");
    if (name == nullptr || std::strcmp(name, "/SharedZMModel") == 0) {
      std::fputs("model tests need their own block: set VYOMODEL_SHM_NAME=/SomeTestName\n", stderr);
      std::exit(2);
    }
    const int fd = shm_open(name, O_RDWR, 0600);
    ASSERT_GE(fd, 0) << "the library did not create " << name;
    void* view = mmap(nullptr, kImageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    ASSERT_NE(view, MAP_FAILED);
    g_raw = static_cast<uint8_t*>(view);
  }
  void TearDown() override { shm_unlink(BlockName()); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new BlockEnvironment);

}  // namespace

uint8_t* Raw() { return g_raw; }
const char* BlockName() { return std::getenv("VYOMODEL_SHM_NAME"); }

std::vector<std::string> ServerLines() {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < ZQServerRecord_Count(); ++i) {
    char line[512];
    ZQServerRecord_Line(i, line, sizeof line);
    lines.emplace_back(line);
  }
  return lines;
}

std::vector<uint8_t> LengthPrefixed(const std::string& text) {
  std::vector<uint8_t> bytes(text.size() + 1);
  bytes[0] = uint8_t(text.size());
  std::memcpy(bytes.data() + 1, text.data(), text.size());
  return bytes;
}

std::string FromLengthPrefixed(const uint8_t* text) {
  return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

void ModelTest::SetUp() {
  ASSERT_NE(Raw(), nullptr);
  std::memset(Raw(), 0, kImageSize);
  ZQServerRecord_Clear();
}

std::vector<int> ModelTest::DrainChanges() {
  std::vector<int> codes;
  // Two empty calls in a row: one of them scanned the system flags, both scanned the machines.
  for (int calls = 0, empty = 0; calls < 1000 && empty < 2; ++calls) {
    const int code = getZQ_LastChange();
    empty = code == 0 ? empty + 1 : 0;
    if (code != 0) codes.push_back(code);
  }
  return codes;
}

}  // namespace modeltest

#include <sys/wait.h>

namespace modeltest {

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, n);
  const int status = pclose(pipe);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

}  // namespace modeltest
