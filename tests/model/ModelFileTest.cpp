// Saving and loading: round trip, refused files, reported errors, saves that die halfway
// (with and without unnamed temporary files), and saves where a user may not rename or write.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <fstream>
#include <iterator>

#include "AsNormalUser.h"
#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;

// A child process sets this to stop inside a save, after the image is written but before it is
// renamed into place; the library's call to fsync lands here (the program's definition comes
// first).
static int g_stallSaveSignal = -1;

extern "C" int fsync(int fd) {
  if (g_stallSaveSignal >= 0) {
    const char ready = 'R';
    (void)!write(g_stallSaveSignal, &ready, 1);
    for (;;) pause();
  }
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
  return real(fd);
}

// Set to stand for a file system without unnamed files: the library's open() of an unnamed
// temporary fails as it does there.
static bool g_noUnnamedFiles = false;

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list rest;
    va_start(rest, flags);
    mode = va_arg(rest, mode_t);
    va_end(rest);
  }
  if (g_noUnnamedFiles && (flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  using Open = int (*)(const char*, int, ...);
  static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
  return real(path, flags, mode);
}

namespace {

class ModelFileTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/vyomodel-file-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { RunCommand("rm -rf '" + folder_ + "'"); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static void FillImage(uint8_t seed) {
    for (std::size_t i = 0; i < kImageSize; ++i) Raw()[i] = uint8_t(i * 7 + seed);
  }
  static std::vector<uint8_t> Image() { return std::vector<uint8_t>(Raw(), Raw() + kImageSize); }
  static int FilesIn(const std::string& folder) {
    int count = 0;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
  }
  int FilesInFolder() const { return FilesIn(folder_); }

  std::string folder_;
};

TEST_F(ModelFileTest, SaveAndLoadRoundTripByteForByte) {
  FillImage(3);
  const std::vector<uint8_t> saved = Image();
  const auto name = LengthPrefixed(Path("model.zqm"));
  ASSERT_EQ(savemodel(name.data()), 1);
  EXPECT_EQ(Bytes(Path("model.zqm")), saved) << "the file is the image, no header";
  EXPECT_EQ(FilesInFolder(), 1) << "no temporary file left";
  std::memset(Raw(), 0, kImageSize);
  ASSERT_EQ(loadmodel(name.data()), 1);
  EXPECT_EQ(Image(), saved);

  FillImage(9);
  ASSERT_EQ(savemodel(name.data()), 1) << "saving over an existing file";
  EXPECT_EQ(Bytes(Path("model.zqm")), Image());
}

TEST_F(ModelFileTest, SaveKeepsTheModeOfTheFileItReplacesAndWritesThroughALink) {
  const auto name = LengthPrefixed(Path("model.zqm"));
  ASSERT_EQ(savemodel(name.data()), 1);
  ASSERT_EQ(chmod(Path("model.zqm").c_str(), 0640), 0);
  FillImage(4);
  ASSERT_EQ(savemodel(name.data()), 1);
  struct stat st {};
  ASSERT_EQ(stat(Path("model.zqm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "an operator's choice of mode survives a save";

  ASSERT_EQ(symlink("model.zqm", Path("current").c_str()), 0);
  FillImage(6);
  ASSERT_EQ(savemodel(LengthPrefixed(Path("current")).data()), 1);
  ASSERT_EQ(lstat(Path("current").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link is kept";
  EXPECT_EQ(Bytes(Path("model.zqm")), Image()) << "the linked file holds the new image";
  EXPECT_EQ(FilesInFolder(), 2);
}

TEST_F(ModelFileTest, FilesOfTheWrongLengthOrMissingAreRefusedAndChangeNothing) {
  FillImage(5);
  const std::vector<uint8_t> before = Image();
  for (const std::size_t size : {kImageSize - 1, kImageSize + 1, std::size_t{0}}) {
    WriteBytes(Path("odd"), std::vector<uint8_t>(size, 0x11));
    const auto name = LengthPrefixed(Path("odd"));
    EXPECT_EQ(loadmodel(name.data()), 0) << size;
  }
  EXPECT_EQ(loadmodel(LengthPrefixed(Path("missing")).data()), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(loadmodel(LengthPrefixed(folder_).data()), 0) << "a folder";
  EXPECT_EQ(loadmodel(LengthPrefixed("").data()), 0);
  EXPECT_EQ(loadmodel(nullptr), 0);
  EXPECT_EQ(Image(), before);
}

TEST_F(ModelFileTest, FifoOrDeviceIsRefusedWithoutWaitingForAWriter) {
  FillImage(8);
  const std::vector<uint8_t> before = Image();
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  // In a child with an alarm: a load that waits in open() for a writer would wait forever.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(5);
    const bool fifo = loadmodel(LengthPrefixed(Path("fifo")).data()) == 0 && errno == EINVAL;
    const bool device = loadmodel(LengthPrefixed("/dev/zero").data()) == 0 && errno == EINVAL;
    _exit(fifo && device ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the load did not return (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "refused with EINVAL";
  EXPECT_EQ(Image(), before);
}

TEST_F(ModelFileTest, FailedSaveIsReportedAndLeavesNothingBehind) {
  EXPECT_EQ(savemodel(LengthPrefixed(Path("no/such/folder/model")).data()), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(savemodel(LengthPrefixed("").data()), 0);
  ASSERT_EQ(mkdir(Path("taken").c_str(), 0700), 0);
  EXPECT_EQ(savemodel(LengthPrefixed(Path("taken")).data()), 0) << "a folder cannot be replaced";
  EXPECT_EQ(FilesInFolder(), 1) << "the temporary file is removed";
}

TEST_F(ModelFileTest, SaveKilledHalfwayLeavesThePreviousFileIntact) {
  FillImage(1);
  const std::vector<uint8_t> previous = Image();
  const auto name = LengthPrefixed(Path("model.zqm"));
  ASSERT_EQ(savemodel(name.data()), 1);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    FillImage(2);
    g_stallSaveSignal = ready[1];
    savemodel(name.data());
    _exit(1);  // not reached: the save stalls and is killed
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1) << "the child reached the middle of its save";
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  EXPECT_EQ(Bytes(Path("model.zqm")), previous) << "the previous file survives the killed save";
  EXPECT_EQ(FilesInFolder(), 1) << "the killed save left no temporary file";
  EXPECT_NE(Image(), previous) << "the child really had a new image to save";
  std::memset(Raw(), 0, kImageSize);
  ASSERT_EQ(loadmodel(name.data()), 1);
  EXPECT_EQ(Image(), previous);
}

TEST_F(ModelFileTest, WithoutUnnamedFilesTheNextSaveRemovesTemporariesOfDeadWriters) {
  g_noUnnamedFiles = true;
  const auto name = LengthPrefixed(Path("model.zqm"));
  ASSERT_EQ(savemodel(name.data()), 1);
  const std::string live = Path("model.zqm.tmp." + std::to_string(getppid()) + ".0");
  const std::string other = Path("other.zqm.tmp.999999999.0");
  WriteBytes(live, {1});
  WriteBytes(other, {1});

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    g_stallSaveSignal = ready[1];
    savemodel(name.data());
    _exit(1);
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  close(ready[0]);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(FilesInFolder(), 4) << "the killed writer's named temporary is left";

  FillImage(7);
  EXPECT_EQ(savemodel(name.data()), 1);
  g_noUnnamedFiles = false;
  EXPECT_EQ(Bytes(Path("model.zqm")), Image());
  EXPECT_EQ(FilesInFolder(), 3) << "the dead writer's temporary is gone";
  EXPECT_EQ(access(live.c_str(), F_OK), 0) << "a running writer's temporary stays";
  EXPECT_EQ(access(other.c_str(), F_OK), 0) << "another file's temporary stays";
}

TEST_F(ModelFileTest, SaveThroughALinkToAFileNotYetThereKeepsTheLink) {
  ASSERT_EQ(symlink("saved/model.zqm", Path("current").c_str()), 0);
  ASSERT_EQ(mkdir(Path("saved").c_str(), 0700), 0);
  FillImage(2);
  ASSERT_EQ(savemodel(LengthPrefixed(Path("current")).data()), 1);
  struct stat st {};
  ASSERT_EQ(lstat(Path("current").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Bytes(Path("saved/model.zqm")), Image());
}

// A save does what a plain overwrite would for a user (see AsNormalUser.h): it overwrites a file in
// a folder the user may not write, refuses a file the user may not write, and replaces by rename
// (a new file, so never torn) wherever the folder allows it.
TEST_F(ModelFileTest, SaveAsAUserDoesWhatAPlainOverwriteWould) {
  struct Case {
    const char* name;
    mode_t folderMode;
    int fileMode;  // -1: no file there
    uint8_t saved;
    int error;     // errno when not saved
    bool renamed;  // the file is a new one (torn-file protection)
  };
  const Case cases[] = {
      {"writable folder, writable file", 0755, 0644, 1, 0, true},
      {"locked folder, writable file", 0555, 0644, 1, 0, false},
      {"writable folder, read-only file", 0755, 0444, 0, EACCES, false},
      {"locked folder, read-only file", 0555, 0444, 0, EACCES, false},
      {"locked folder, no file", 0555, -1, 0, EACCES, false},
  };
  FillImage(11);
  // Longer than an image, so that an overwrite in place must also cut the file.
  const std::vector<uint8_t> old(kImageSize + 9, 0x5A);
  const std::string verdict = testsupport::RunAsNormalUser(folder_, [&] {
    std::string failures;
    int index = 0;
    for (const Case& c : cases) {
      const std::string folder = Path("case" + std::to_string(index++));
      const std::string file = folder + "/model.zqm";
      const auto fail = [&](const std::string& what) {
        failures += std::string(c.name) + ": " + what + "\n";
      };
      if (mkdir(folder.c_str(), 0755) != 0) return "cannot make " + folder;
      if (c.fileMode >= 0) {
        WriteBytes(file, old);
        chmod(file.c_str(), mode_t(c.fileMode));
      }
      struct stat before {};
      stat(file.c_str(), &before);
      chmod(folder.c_str(), c.folderMode);
      errno = 0;
      const uint8_t saved = savemodel(LengthPrefixed(file).data());
      const int error = errno;
      chmod(folder.c_str(), 0755);
      struct stat after {};
      const bool there = stat(file.c_str(), &after) == 0;
      if (saved != c.saved) fail("savemodel returned " + std::to_string(saved));
      if (!saved && error != c.error) fail("errno " + std::to_string(error));
      if (c.fileMode < 0 && there) fail("a file was made");
      if (c.fileMode >= 0 && Bytes(file) != (c.saved ? Image() : old)) fail("wrong content");
      if (c.fileMode >= 0 && (after.st_mode & 07777) != mode_t(c.fileMode)) fail("mode changed");
      if (c.saved && (after.st_ino != before.st_ino) != c.renamed)
        fail(c.renamed ? "written in place" : "replaced by a new file");
      if (FilesIn(folder) != (there ? 1 : 0)) fail("a temporary file is left");
    }
    return failures;
  });
  EXPECT_EQ(verdict, "") << "as user " << testsupport::NormalUser();
}

// In a sticky folder a user may make files but not rename over another user's file: a file that
// user may write is overwritten in place, as a plain overwrite would, and no temporary stays.
TEST_F(ModelFileTest, SaveOverAnotherUsersFileInAStickyFolderWritesInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  const std::string sticky = Path("sticky");
  const std::string file = sticky + "/model.zqm";
  ASSERT_EQ(mkdir(sticky.c_str(), 0777), 0);
  ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
  WriteBytes(file, std::vector<uint8_t>(kImageSize, 0x5A));
  ASSERT_EQ(chown(file.c_str(), testsupport::kNobody - 1, testsupport::kNobody - 1), 0);
  ASSERT_EQ(chmod(file.c_str(), 0666), 0);
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  FillImage(12);
  const std::string verdict = testsupport::RunAsNormalUser(folder_, [&] {
    if (savemodel(LengthPrefixed(file).data()) != 1)
      return "savemodel failed: " + std::string(std::strerror(errno));
    return std::string();
  });
  EXPECT_EQ(verdict, "");
  struct stat after {};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(Bytes(file), Image());
  EXPECT_EQ(after.st_ino, before.st_ino) << "written in place";
  EXPECT_EQ(after.st_uid, testsupport::kNobody - 1) << "still the other user's file";
  EXPECT_EQ(FilesIn(sticky), 1) << "no temporary left";
}

}  // namespace
