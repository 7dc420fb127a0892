// The block belongs to one user: another user's block is refused without being touched, this
// user's block is closed to others, and a block too small to hold the image is refused.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ModelFixture.h"

using namespace modeltest;

namespace {

constexpr uid_t kOtherUser = 65534;

// A block of its own for one test, removed at the end.
class ScratchBlock {
 public:
  explicit ScratchBlock(const char* suffix) : name_(std::string(BlockName()) + suffix) {
    shm_unlink(name_.c_str());
  }
  ~ScratchBlock() { shm_unlink(name_.c_str()); }
  const std::string& name() const { return name_; }

  // Creates the block with the given mode and size in a child running as uid (-1: this user).
  bool Create(mode_t mode, off_t size, uid_t uid = uid_t(-1)) const {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
      if (uid != uid_t(-1) && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(2);
      const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      _exit(fd >= 0 && fchmod(fd, mode) == 0 && ftruncate(fd, size) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  struct stat Stat() const {
    struct stat st {};
    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    if (fd >= 0) fstat(fd, &st);
    if (fd >= 0) close(fd);
    return st;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes(std::size_t(Stat().st_size));
    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    if (fd >= 0 && pread(fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) bytes.clear();
    if (fd >= 0) close(fd);
    return bytes;
  }

  CommandResult Dump() const {
    return RunCommand("VYOMODEL_SHM_NAME=" + name_ + " " + VYOMODEL_TOOL + " dump");
  }

 private:
  std::string name_;
};

TEST(BlockPrivacyTest, AnotherUsersOpenBlockIsRefusedAndLeftUntouched) {
  if (geteuid() != 0) GTEST_SKIP() << "making a block of another user needs root";
  ScratchBlock block("_foreign");
  ASSERT_TRUE(block.Create(0666, off_t(kImageSize), kOtherUser));
  const CommandResult run = block.Dump();
  EXPECT_EQ(run.status, 127);
  EXPECT_EQ(run.output, "VyoModel: shared block " + block.name() +
                            " belongs to uid 65534 (mode 0666), not to this user (uid 0)\n"
                            "Error creating memory mapped file\n");
  EXPECT_EQ(block.Bytes(), std::vector<uint8_t>(kImageSize, 0))
      << "nothing was mapped: an attach would have marked every machine NoComms";
  EXPECT_EQ(block.Stat().st_mode & 07777, 0666u);
}

TEST(BlockPrivacyTest, OwnBlockOpenToOthersBecomesPrivateAndDumpShowsIt) {
  ScratchBlock block("_open");
  ASSERT_TRUE(block.Create(0644, off_t(kImageSize)));
  const CommandResult run = block.Dump();
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(block.Stat().st_mode & 07777, 0600u);
  const std::string owner =
      "Block: " + block.name() + "  owner uid " + std::to_string(geteuid()) + " (";
  EXPECT_EQ(run.output.rfind(owner, 0), 0u) << run.output;
  EXPECT_NE(run.output.find(")  mode 0600\nSystem: "), std::string::npos) << run.output;
}

TEST(BlockPrivacyTest, BlockSmallerThanTheImageIsRefusedAndAnEmptyOneIsSized) {
  ScratchBlock shortBlock("_short");
  ASSERT_TRUE(shortBlock.Create(0600, 100));
  const CommandResult refused = shortBlock.Dump();
  EXPECT_EQ(refused.status, 127);
  EXPECT_EQ(refused.output, "VyoModel: shared block " + shortBlock.name() +
                                " has 100 bytes, fewer than the model's 16316\n"
                                "Error creating memory mapped file\n");
  EXPECT_EQ(shortBlock.Stat().st_size, 100);

  ScratchBlock empty("_empty");
  ASSERT_TRUE(empty.Create(0600, 0));
  const CommandResult sized = empty.Dump();
  EXPECT_EQ(sized.status, 0) << sized.output;
  EXPECT_EQ(empty.Stat().st_size, off_t(kImageSize));
}

}  // namespace
