// Sharing the block between processes, attaching, and the messages of a failed or repeated attach.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;

namespace {

class SharingTest : public ModelTest {};

std::string Tool() { return VYOMODEL_TOOL; }

// Captures what the calls in body write to stderr.
template <class Body>
std::string CaptureStderr(Body body) {
  char path[] = "/tmp/vyomodel-stderr-XXXXXX";
  const int file = mkstemp(path);
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(file, 2);
  body();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(file);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  unlink(path);
  return text;
}

TEST_F(SharingTest, ForkedChildWritesAndTheParentReads) {
  setZQ_MaxMachine(3);
  setZQ_Master(-1);
  DrainChanges();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool ok = setZQ_McnTally(3, 7) == 1 && setZQ_MasterPosition(1234) == 1;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(getZQ_McnTally(3), 7);
  EXPECT_EQ(getZQ_MasterPosition(), 1234);
  EXPECT_EQ(getZQ_LastChange() + getZQ_LastChange() + getZQ_LastChange(), 1 + 33)
      << "the child's change flags reach the parent";
}

TEST_F(SharingTest, AnotherAttachingProcessMarksNoCommsAndChangesNothingElse) {
  setZQ_MaxMachine(3);
  for (int m = -1; m <= 35; ++m) {
    setZQ_McnStatus2(int8_t(m), 0x01);  // communication: NoComms 0
    setZQ_McnPosition(int8_t(m), 100 + m);
    Raw()[McnAt(m, 102)] = 4;  // a ChangeCursor in mid-scan
  }
  std::vector<uint8_t> expected(Raw(), Raw() + kImageSize);
  for (int m = -1; m <= 35; ++m) {
    expected[McnAt(m, 92)] = 1;   // NoComms
    expected[McnAt(m, 102)] = 1;  // ChangeCursor restarts
  }
  const CommandResult run = RunCommand(Tool() + " dump 1");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(std::vector<uint8_t>(Raw(), Raw() + kImageSize), expected);
}

TEST_F(SharingTest, NewBlockIsCreatedZeroFilledAndPrivateToTheUser) {
  const std::string name = std::string(BlockName()) + "_fresh";
  shm_unlink(name.c_str());
  const CommandResult run = RunCommand("VYOMODEL_SHM_NAME=" + name + " " + Tool() + " dump");
  ASSERT_EQ(run.status, 0) << run.output;
  const int fd = shm_open(name.c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  struct stat st {};
  fstat(fd, &st);
  EXPECT_EQ(st.st_size, off_t(kImageSize));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::vector<uint8_t> bytes(kImageSize);
  ASSERT_EQ(pread(fd, bytes.data(), kImageSize, 0), ssize_t(kImageSize));
  close(fd);
  shm_unlink(name.c_str());
  for (int m = -1; m <= 35; ++m) {
    bytes[McnAt(m, 92)] -= 1;
    bytes[McnAt(m, 102)] -= 1;
  }
  EXPECT_EQ(bytes, std::vector<uint8_t>(kImageSize, 0)) << "zeros apart from the attach marks";
}

TEST_F(SharingTest, BlockThatCannotBeCreatedFailsTheLoad) {
  const CommandResult run = RunCommand("VYOMODEL_SHM_NAME=/no/such/block " + Tool() + " dump");
  EXPECT_EQ(run.status, 127);
  EXPECT_EQ(run.output, "Error creating memory mapped file\n");
}

TEST_F(SharingTest, SecondAttachInOneProcessWarnsAndGoesOn) {
  char folder[] = "/tmp/vyomodel-copy-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string copy = std::string(folder) + "/libVyoModelCopy.so";
  ASSERT_EQ(RunCommand(std::string("cp '") + VYOMODEL_LIBRARY + "' '" + copy + "'").status, 0);
  setZQ_McnStatus2(2, 0x01);
  ASSERT_EQ(getZQ_McnNoComms(2), 0);

  void* second = nullptr;
  const std::string warning =
      CaptureStderr([&] { second = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL); });
  ASSERT_NE(second, nullptr) << dlerror();
  EXPECT_EQ(warning, "Attempting to connect to model more than once\n");
  EXPECT_EQ(getZQ_McnNoComms(2), 1) << "the second copy attached to the same block";
  using Setter = uint8_t (*)(int8_t, uint8_t);
  const auto setTally = reinterpret_cast<Setter>(dlsym(second, "setZQ_McnTally"));
  ASSERT_NE(setTally, nullptr);
  setTally(2, 9);
  EXPECT_EQ(getZQ_McnTally(2), 9);
  dlclose(second);
  EXPECT_EQ(getZQ_McnTally(2), 9) << "unloading the copy leaves this mapping";
  RunCommand(std::string("rm -rf '") + folder + "'");
}

}  // namespace
