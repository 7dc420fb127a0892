// Opening a USB serial adapter lowers its latency timer to 1 ms, or says once how to.
#include <filesystem>
#include <fstream>

#include "LatencyTimer.h"
#include "PortInventory.h"
#include "SerialTestSupport.h"

using namespace serial_test;
namespace fs = std::filesystem;

namespace {

// A fake /sys with one tty's device folder.
class FakeSysfs {
 public:
  FakeSysfs() : root_(fs::temp_directory_path() / ("selkie-sysfs-" + std::to_string(getpid()))) {
    fs::remove_all(root_);
  }
  ~FakeSysfs() { fs::remove_all(root_); }
  std::string Root() const { return root_.string(); }
  fs::path DeviceFolder(const std::string& tty) const {
    const fs::path folder = root_ / "class/tty" / tty / "device";
    fs::create_directories(folder);
    return folder;
  }
  void Timer(const std::string& tty, int ms) const {
    std::ofstream(DeviceFolder(tty) / "latency_timer") << ms << "\n";
  }
  // A link planted where the attribute should be, to a file of the user's that reads "16": it
  // reads as a timer, but is never written through. Returns the file.
  fs::path PlantedLink(const std::string& tty) const {
    const fs::path victim = root_ / ("victim-" + tty);
    std::ofstream(victim) << "16\n";
    fs::create_symlink(victim, DeviceFolder(tty) / "latency_timer");
    return victim;
  }
  void Text(const std::string& tty, const std::string& text) const {
    std::ofstream(DeviceFolder(tty) / "latency_timer") << text;
  }

 private:
  fs::path root_;
};

std::string TtyName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

TEST(LatencyTimer, AboveOneIsLoweredUnwritableIsReportedAbsentIsNothing) {
  FakeSysfs sysfs;
  sysfs.Timer("ttyUSB0", 16);
  const fs::path victim = sysfs.PlantedLink("ttyUSB1");
  const LatencyTimer timer(sysfs.Root());

  EXPECT_EQ(timer.Lower("ttyUSB0", "/dev/ttyUSB0"), std::nullopt);
  EXPECT_EQ(timer.Read("ttyUSB0"), 1);

  const std::optional<std::string> note = timer.Lower("ttyUSB1", "/dev/ttyUSB1");
  ASSERT_TRUE(note.has_value());
  EXPECT_NE(note->find("/dev/ttyUSB1"), std::string::npos) << *note;
  EXPECT_NE(note->find("echo 1 > " + timer.FileOf("ttyUSB1")), std::string::npos) << *note;
  std::ifstream kept(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "16\n")
      << "written through a planted link";

  EXPECT_EQ(timer.FileOf("ttyS0"), "");
  EXPECT_EQ(timer.Lower("ttyS0", "/dev/ttyS0"), std::nullopt);
}

TEST(LatencyTimer, OpeningAPortLowersItOrSaysSoOnce) {
  FakeSysfs sysfs;
  LatencyTimer::UseSysfsRootForTests(sysfs.Root());
  PtyPair lowered, locked;
  sysfs.Timer(TtyName(lowered.Path()), 16);
  sysfs.PlantedLink(TtyName(locked.Path()));
  ComOverride mapLowered(218, lowered.Path());
  ComOverride mapLocked(219, locked.Path());
  for (int number : {218, 219}) {
    OwnedPort owned;
    std::vector<std::string> notes;
    owned.port.OnDiagnostic = [&](TSerialPort&, const std::string& n) { notes.push_back(n); };
    owned.port.SetComNumber(number);
    owned.port.SetOpen(true);
    EXPECT_TRUE(owned.port.Open());
    owned.port.SetOpen(false);
    if (number == 218) {
      EXPECT_TRUE(notes.empty());
      EXPECT_EQ(LatencyTimer(sysfs.Root()).Read(TtyName(lowered.Path())), 1);
    } else {
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_EQ(notes[0].rfind("COM219: the USB latency timer of " + locked.Path() + " is ", 0), 0u)
          << notes[0];
    }
  }
  LatencyTimer::UseSysfsRootForTests({});
}

TEST(LatencyTimer, OddValuesAreUnreadableAndTheEnvironmentHasNoSay) {
  FakeSysfs sysfs;
  const LatencyTimer timer(sysfs.Root());
  const std::pair<const char*, std::optional<int>> values[] = {{"16\n", 16},
                                                               {"1", 1},
                                                               {"255\n", 255},
                                                               {"-5\n", std::nullopt},
                                                               {"0x10\n", std::nullopt},
                                                               {"16abc\n", std::nullopt},
                                                               {"\n", std::nullopt},
                                                               {"256\n", std::nullopt},
                                                               {"99999999999\n", std::nullopt}};
  for (const auto& [text, ms] : values) {
    sysfs.Text("ttyUSB2", text);
    EXPECT_EQ(timer.Read("ttyUSB2"), ms) << text;
    EXPECT_TRUE(timer.Present("ttyUSB2"));
    PortInfo info;
    info.latencyMs = ms;
    info.latencyUnreadable = !ms;
    EXPECT_EQ(info.Details(), ms ? "latency=" + std::to_string(*ms) + "ms" : "latency=unreadable");
  }
  // A fake tree named in the environment is not looked at by the program.
  setenv("SELKIE_SYSFS_ROOT", sysfs.Root().c_str(), 1);
  EXPECT_NE(LatencyTimer().FileOf("ttyUSB2"), timer.FileOf("ttyUSB2"));
  unsetenv("SELKIE_SYSFS_ROOT");
}
