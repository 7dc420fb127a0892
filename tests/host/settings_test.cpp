// The settings record: its byte layout, loading (missing, short, long, odd files), saving whole
// with the reserved bytes kept, the atomic replace that keeps the old record when a write fails or
// the writer dies, links and modes kept, the folder flushed after the rename, and the in-place
// write where no temporary can be made.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SettingsFile.h"
#include "TempDir.h"

namespace fs = std::filesystem;

// A child process sets this to stop inside a save, after the record is written but before it is
// put in place; the save's call to fsync lands here (the program's definition comes first).
static int g_stallSaveSignal = -1;

// Set to log what a save flushes and renames, in order: "file", "rename", "folder <inode>".
static std::vector<std::string>* g_flushLog = nullptr;

extern "C" int fsync(int fd) {
  struct stat st {};
  if (g_flushLog != nullptr && fstat(fd, &st) == 0)
    g_flushLog->push_back(S_ISDIR(st.st_mode) ? "folder " + std::to_string(st.st_ino) : "file");
  if (g_stallSaveSignal >= 0) {
    const char ready = 'R';
    (void)!write(g_stallSaveSignal, &ready, 1);
    for (;;) pause();
  }
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
  return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
  if (g_flushLog != nullptr) g_flushLog->push_back("rename");
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
  return real(from, to);
}

namespace {

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Sequence(std::size_t count, uint8_t first) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

std::vector<uint8_t> BytesOf(const SettingsRecord& record) {
  const auto image = record.ToBytes();
  return {image.begin(), image.end()};
}

}  // namespace

TEST(SettingsRecordTest, FieldsSitAtTheirOffsetsLittleEndian) {
  SettingsRecord r;
  r.Standard = 3;
  r.PortANumber = 6;
  r.PortBNumber = 0x01020304;
  r.WindowLeft = -2;
  r.WindowTop = 300;
  r.MachineType = 16;
  r.ShowVirtualMachine = 1;
  r.ShowMachineControl = 1;
  r.ShowSyncTest = 1;
  r.ShowOpenClose = 1;
  r.UnitTracksByte = 0x32;
  r.ShowGpo = 1;
  r.ExtendedIdReply = 1;
  const SettingsRecord::Image expected = {3,    0,    0,    0,     //
                                          6,    0,    0,    0,     // port A
                                          4,    3,    2,    1,     // port B
                                          0xFE, 0xFF, 0xFF, 0xFF,  // left -2
                                          0x2C, 0x01, 0,    0,     // top 300
                                          16,   0,    0,    0,     // machine type
                                          1,    1,    1,    1,    0x32, 1, 1, 0};
  EXPECT_EQ(r.ToBytes(), expected);

  SettingsRecord back;
  back.FillFrom(expected);
  EXPECT_EQ(back.ToBytes(), expected);
  EXPECT_EQ(back.WindowLeft, -2);
  EXPECT_EQ(back.PortBNumber, 0x01020304);
}

TEST(SettingsFileNameTest, NameUpToTheFirstDotPlusIni) {
  EXPECT_EQ(SettingsFileName("selkietest"), "selkietest.ini");
  EXPECT_EQ(SettingsFileName("selkietest.exe"), "selkietest.ini");
  EXPECT_EQ(SettingsFileName("sel.kie.test"), "sel.ini");
}

TEST(SettingsFileNameTest, DefaultPathIsTheProgramFolderWhenWritable) {
  TempDir dir;
  EXPECT_EQ(DefaultSettingsPath(dir.path() / "selkietest"), dir.path() / "selkietest.ini");
  EXPECT_EQ(DefaultSettingsPath(dir.path() / "selkietest", "-demo"),
            dir.path() / "selkietest-demo.ini");
}

TEST(SettingsFileNameTest, UnwritableProgramFolderFallsBackToXdgConfigHome) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().string());
  EXPECT_EQ(DefaultSettingsPath("/nonexistent/bin/selkietest"),
            dir.path() / "selkietest" / "selkietest.ini");
  EXPECT_TRUE(fs::is_directory(dir.path() / "selkietest")) << "the program's own folder is made";
}

TEST(SettingsFileTest, MissingFileLoadsNothingAndLeavesTheRecord) {
  TempDir dir;
  SettingsRecord r;
  r.PortANumber = 9;
  EXPECT_FALSE(SettingsFile(dir.path() / "none.ini").Load(r));
  EXPECT_EQ(r.PortANumber, 9);
}

TEST(SettingsFileTest, ShortFileFillsTheStartAndTheRestStaysZero) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, {2, 0xAA, 0xBB, 0xCC, 7, 0});  // standard, reserved, half of port A
  SettingsRecord r;
  ASSERT_TRUE(SettingsFile(path).Load(r));
  EXPECT_EQ(r.Standard, 2);
  EXPECT_EQ(r.PortANumber, 7);
  EXPECT_EQ(r.PortBNumber, 0);
  EXPECT_EQ(r.ShowGpo, 0);
  EXPECT_EQ(r.Reserved1, (std::array<uint8_t, 3>{0xAA, 0xBB, 0xCC}));
}

TEST(SettingsFileTest, EmptyFileLoadsAsAllZero) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, {});
  SettingsRecord r;
  EXPECT_TRUE(SettingsFile(path).Load(r));
  EXPECT_EQ(r.ToBytes(), SettingsRecord::Image{});
}

TEST(SettingsFileTest, LongFileReadsOnlyTheFirst32Bytes) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, Sequence(40, 1));
  SettingsRecord r;
  ASSERT_TRUE(SettingsFile(path).Load(r));
  const auto image = r.ToBytes();
  EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.end()), Sequence(32, 1));
}

TEST(SettingsFileTest, SaveWritesThe32BytesWholeKeepingReservedBytesAsRead) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, Sequence(32, 0x40));
  SettingsFile file(path);
  SettingsRecord r;
  ASSERT_TRUE(file.Load(r));
  r.ShowGpo = 1;
  r.PortANumber = 251;
  file.Save(r);

  const auto bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[1], 0x41);
  EXPECT_EQ(bytes[2], 0x42);
  EXPECT_EQ(bytes[3], 0x43);
  EXPECT_EQ(bytes[31], 0x5F);
  EXPECT_EQ(bytes[4], 251);
  EXPECT_EQ(bytes[29], 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file is left beside the settings file";
}

TEST(SettingsFileTest, SaveCreatesNoFolder) {
  TempDir dir;
  const fs::path path = dir.path() / "config" / "selkietest" / "selkietest.ini";
  EXPECT_THROW(SettingsFile(path).Save(SettingsRecord{}), SettingsError);
  EXPECT_FALSE(fs::exists(dir.path() / "config")) << "a mistyped --settings folder is not made";
}

TEST(SettingsFileTest, SaveThroughALinkKeepsTheLinkAndTheFilesMode) {
  TempDir dir;
  const fs::path target = dir.path() / "kept" / "s.ini";
  const fs::path link = dir.path() / "s.ini";
  fs::create_directories(target.parent_path());
  WriteBytes(target, Sequence(32, 1));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("kept/s.ini", link);
  SettingsRecord r;
  r.PortANumber = 77;
  SettingsFile(link).Save(r);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), BytesOf(r));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const fs::path dangling = dir.path() / "new.ini";
  fs::create_symlink("kept/new.ini", dangling);
  SettingsFile(dangling).Save(r);
  EXPECT_TRUE(fs::is_symlink(dangling)) << "a link to a file not yet there is kept too";
  EXPECT_EQ(ReadBytes(dir.path() / "kept" / "new.ini").size(), 32u);
  EXPECT_EQ(fs::status(dir.path() / "kept" / "new.ini").permissions() & fs::perms::all,
            fs::perms(0644))
      << "a new file is readable by all";
}

TEST(SettingsFileTest, FileInAFolderTheUserMayNotWriteIsOverwrittenInPlace) {
  TempDir dir;
  const fs::path folder = dir.path() / "locked";
  const fs::path path = folder / "s.ini";
  fs::create_directories(folder);
  WriteBytes(path, Sequence(32, 1));
  const bool root = geteuid() == 0;
  // Root may write any folder, so the save runs as another user there.
  if (root) {
    fs::permissions(dir.path(), fs::perms(0755));
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  } else {
    fs::permissions(folder, fs::perms(0555));
  }
  SettingsRecord r;
  r.PortBNumber = 42;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    try {
      SettingsFile(path).Save(r);
    } catch (const SettingsError&) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  fs::permissions(folder, fs::perms(0755));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save succeeded";
  EXPECT_EQ(ReadBytes(path), BytesOf(r));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

// A rename is on disk only once its folder is flushed: without that a power cut just after a save
// could bring back the old record, or no file at all for a new one.
TEST(SettingsFileTest, SaveFlushesTheFolderAfterTheRename) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  struct stat folder {};
  ASSERT_EQ(stat(dir.path().c_str(), &folder), 0);
  const std::string flushed = "folder " + std::to_string(folder.st_ino);
  std::vector<std::string> log;
  g_flushLog = &log;
  SettingsRecord r;
  SettingsFile(path).Save(r);
  r.PortANumber = 9;
  SettingsFile(path).Save(r);
  g_flushLog = nullptr;
  EXPECT_EQ(log, (std::vector<std::string>{"file", "rename", flushed, "file", "rename", flushed}))
      << "a new file, then a replaced one";
  EXPECT_EQ(ReadBytes(path), BytesOf(r));
}

TEST(SettingsFileTest, SaveRemovesTemporariesOfDeadWritersOnly) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  const pid_t dead = fork();
  ASSERT_GE(dead, 0);
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const fs::path orphan = dir.path() / ("s.ini.tmp." + std::to_string(dead) + ".0");
  const fs::path running = dir.path() / ("s.ini.tmp." + std::to_string(getppid()) + ".0");
  const fs::path other = dir.path() / ("t.ini.tmp." + std::to_string(dead) + ".0");
  for (const fs::path& p : {orphan, running, other}) WriteBytes(p, {1});
  SettingsFile(path).Save(SettingsRecord{});
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(fs::exists(running)) << "a running writer's temporary stays";
  EXPECT_TRUE(fs::exists(other)) << "another file's temporary stays";
  EXPECT_EQ(ReadBytes(path).size(), 32u);
}

TEST(SettingsFileTest, LinksPlantedAtTemporaryNamesAreNotFollowed) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  const fs::path victim = dir.path() / "victim";
  WriteBytes(victim, {1, 2, 3});
  constexpr int kPlanted = 500;  // more than this process's saves so far
  for (int serial = 0; serial < kPlanted; ++serial) {
    fs::create_symlink(victim, dir.path() / ("s.ini.tmp." + std::to_string(getpid()) + "." +
                                             std::to_string(serial)));
  }
  SettingsRecord r;
  r.PortANumber = 5;
  SettingsFile(path).Save(r);
  EXPECT_EQ(ReadBytes(victim), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_EQ(ReadBytes(path), BytesOf(r));
}

TEST(SettingsFileTest, SaveKilledHalfwayLeavesTheOldRecordAndNoTemporary) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, Sequence(32, 1));
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    g_stallSaveSignal = ready[1];
    SettingsFile(path).Save(SettingsRecord{});
    _exit(1);  // not reached: the save stalls and is killed
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1) << "the child reached the middle of its save";
  close(ready[0]);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(ReadBytes(path), Sequence(32, 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFileTest, AFifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(5);
    SettingsRecord r;
    try {
      SettingsFile(path).Load(r);
    } catch (const SettingsError&) {
      _exit(0);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the load did not return";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the FIFO is reported as unreadable";
}

TEST(SettingsFileTest, FailedReplaceReportsAndLeavesNoTemporaryFile) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  fs::create_directories(path / "occupied");  // a folder where the file should go
  EXPECT_THROW(SettingsFile(path).Save(SettingsRecord{}), SettingsError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFileTest, AWriteThatRunsOutOfSpaceKeepsTheOldRecord) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  WriteBytes(path, Sequence(32, 1));
  // A child process whose file-size limit is below one record stands in for a full disk.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{10, 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    SettingsRecord r;
    r.PortANumber = 99;
    try {
      SettingsFile(path).Save(r);
    } catch (const SettingsError&) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed write is reported";
  EXPECT_EQ(ReadBytes(path), Sequence(32, 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFileTest, UnreadableSettingsIsAnErrorNotAMissingFile) {
  TempDir dir;
  const fs::path path = dir.path() / "s.ini";
  fs::create_directories(path);  // opening a folder for reading works, reading it fails
  SettingsRecord r;
  EXPECT_THROW(SettingsFile(path).Load(r), SettingsError);
}
