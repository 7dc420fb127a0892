// crash_save: kills a process with SIGKILL at random moments while it saves, again and again, and
// checks after every kill that the saved file is one whole record (the one before or the one being
// written, never a mix or a short file), then that no temporary file is left once the next save
// has run. Does this for the settings file and for the model image.
//
//   crash_save [--kills N] [--seed S]      (default 1000 kills of each)
//
// Prints the counts; exit status 0 when no file was torn and no temporary was left, else 1.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "SettingsFile.h"
#include "VyoModel.h"

namespace {

constexpr std::size_t kImageSize = 16316;
constexpr int kLongestDelayUs = 4000;

// Saves one whole record whose bytes all hold value.
using Saver = std::function<void(const std::string& path, uint8_t value)>;

struct Counts {
  int kills = 0;
  int whole = 0;
  int torn = 0;
  int leftAfterKill = 0;  // temporaries present right after a kill (named, not yet renamed)
  int leftAtEnd = 0;      // temporaries still there after the next save
  double seconds = 0;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

bool IsWhole(const std::vector<uint8_t>& bytes, std::size_t size) {
  return bytes.size() == size && bytes[0] != 0 &&
         std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == bytes[0]; });
}

int OtherFiles(const std::string& folder, const std::string& name) {
  int count = 0;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return -1;
  while (const dirent* entry = readdir(dir)) {
    const std::string file = entry->d_name;
    count += file != "." && file != ".." && file != name;
  }
  closedir(dir);
  return count;
}

// A child that saves without pause until it is killed; returns once it has finished one save, so
// that the kill lands among saves and not during the start of the process.
pid_t StartSaving(const Saver& save, const std::string& path, uint8_t first) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    for (unsigned n = 0;; ++n) {
      save(path, uint8_t(1 + (first + n) % 250));
      if (n == 0) (void)!write(ready[1], "R", 1);
    }
  }
  close(ready[1]);
  char signal = 0;
  (void)!read(ready[0], &signal, 1);
  close(ready[0]);
  return child;
}

Counts Run(const char* what, const Saver& save, std::size_t size, int kills, std::mt19937& random) {
  char pattern[] = "/tmp/crash-save-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string name = "saved";
  const std::string path = folder + "/" + name;
  save(path, 1);
  std::uniform_int_distribution<int> delay(0, kLongestDelayUs);
  Counts counts;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kills; ++i) {
    const pid_t child = StartSaving(save, path, uint8_t(i));
    if (child < 0) break;
    usleep(useconds_t(delay(random)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ++counts.kills;
    ++(IsWhole(ReadFile(path), size) ? counts.whole : counts.torn);
    counts.leftAfterKill += OtherFiles(folder, name) > 0;
  }
  save(path, 1);
  counts.leftAtEnd = OtherFiles(folder, name);
  counts.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "%-9s kills %5d  whole %5d  torn %d  temporaries right after a kill %d  left after the next "
      "save %d"
      "  (%.1f s)\n",
      what, counts.kills, counts.whole, counts.torn, counts.leftAfterKill, counts.leftAtEnd,
      counts.seconds);
  std::fflush(stdout);
  std::system(("rm -rf '" + folder + "'").c_str());
  return counts;
}

void SaveSettings(const std::string& path, uint8_t value) {
  const std::vector<uint8_t> bytes(SettingsRecord::kSize, value);
  SettingsRecord record;
  record.FillFrom(bytes);
  SettingsFile(path).Save(record);
}

// The model's own block, mapped again to fill it directly.
uint8_t* ModelBlock() {
  const int fd = shm_open(std::getenv("VYOMODEL_SHM_NAME"), O_RDWR, 0600);
  void* view =
      fd < 0 ? MAP_FAILED : mmap(nullptr, kImageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (fd >= 0) close(fd);
  return view == MAP_FAILED ? nullptr : static_cast<uint8_t*>(view);
}

void SaveModel(uint8_t* block, const std::string& path, uint8_t value) {
  std::memset(block, value, kImageSize);
  uint8_t name[256];
  name[0] = uint8_t(path.size());
  std::memcpy(name + 1, path.data(), path.size());
  savemodel(name);
}

}  // namespace

int main(int argc, char** argv) {
  int kills = 1000;
  unsigned seed = std::random_device{}();
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--kills") == 0) kills = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--seed") == 0)
      seed = unsigned(std::strtoul(argv[i + 1], nullptr, 10));
  }
  uint8_t* block = ModelBlock();
  if (kills <= 0 || block == nullptr) {
    std::fputs("usage: crash_save [--kills N] [--seed S]\n", stderr);
    return 2;
  }
  std::printf("crash_save: %d kills of each, seed %u\n", kills, seed);
  std::mt19937 random(seed);
  const Counts settings = Run("settings", SaveSettings, SettingsRecord::kSize, kills, random);
  const Counts model = Run("model", std::bind_front(SaveModel, block), kImageSize, kills, random);
  shm_unlink(std::getenv("VYOMODEL_SHM_NAME"));
  const bool sound = settings.torn + model.torn + settings.leftAtEnd + model.leftAtEnd == 0;
  return sound ? 0 : 1;
}
