// vyomodel: shows and carries the shared model for an operator.
//   vyomodel dump [m]     the block (name, owner, mode), the system part and the machines in use
//                         (or machine m only)
//   vyomodel watch [n]    prints each change as it is handed out (stops after n changes): its
//                         code, its name, the local time it was taken (HH:MM:SS.mmm, within the
//                         20 ms poll) and the values it stands for as read just after
//   vyomodel --help, --version
//   vyomodel save FILE    saves the model image
//   vyomodel load FILE    loads a saved model image
// Exit status: 0 done, 1 the operation failed, 2 bad command line.
#include "VyoModel.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "ChangeNames.h"
#include "ModelDump.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr long kImageSize = 16316;
constexpr int kLastMachine = 35;

constexpr const char* kUsageText =
    "usage: vyomodel dump [machine -1..35]\n"
    "       vyomodel watch [count]   (takes the changes it shows from other pollers)\n"
    "       vyomodel save FILE\n"
    "       vyomodel load FILE\n"
    "       vyomodel --help | --version\n";

int Usage() {
  std::fputs(kUsageText, stderr);
  return kUsage;
}

// Says what is wrong with the command line, then shows the usage.
int BadCommandLine(const std::string& what) {
  std::fprintf(stderr, "vyomodel: %s\n", what.c_str());
  return Usage();
}

bool ParseInt(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

int Dump(int argc, char** argv) {
  long only = 0;
  if (argc > 3) return BadCommandLine("dump takes at most one machine number");
  if (argc == 3 && !ParseInt(argv[2], -1, 35, only)) {
    return BadCommandLine(std::string("not a machine number -1..35: ") + argv[2]);
  }
  PrintBlock(stdout);
  PrintSystemPart(stdout);
  PrintMachineHeader(stdout);
  if (argc == 3) {
    PrintMachine(stdout, int8_t(only));
  } else {
    // A damaged MaxMachine must not list records that do not exist.
    const int last = std::min(int(getZQ_MaxMachine()), kLastMachine);
    for (int m = -1; m <= last; ++m) PrintMachine(stdout, int8_t(m));
  }
  return 0;
}

// The local time of day with milliseconds: "14:03:07.250".
std::string ClockText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}

int Watch(int argc, char** argv) {
  long limit = 0;
  if (argc > 3) return BadCommandLine("watch takes at most a count");
  if (argc == 3 && !ParseInt(argv[2], 1, 1000000, limit)) {
    return BadCommandLine(std::string("not a count 1..1000000: ") + argv[2]);
  }
  for (long shown = 0; limit == 0 || shown < limit;) {
    const uint8_t code = getZQ_LastChange();
    if (code == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    std::printf("%3u  %s  %s  %s\n", code, ChangeCodeText(code).c_str(), ClockText().c_str(),
                ChangeValueText(code).c_str());
    std::fflush(stdout);
    ++shown;
  }
  return 0;
}

// The file name as the library takes it: a length byte, then the characters.
bool LengthPrefixedName(const char* file, uint8_t (&name)[256]) {
  const std::size_t length = std::strlen(file);
  if (length == 0 || length > 255) {
    std::fprintf(stderr, "vyomodel: the file name must have 1 to 255 characters\n");
    return false;
  }
  name[0] = uint8_t(length);
  std::memcpy(name + 1, file, length);
  return true;
}

int Save(const char* file) {
  uint8_t name[256];
  if (!LengthPrefixedName(file, name)) return kUsage;
  if (!savemodel(name)) {
    std::fprintf(stderr, "vyomodel: cannot save the model to %s: %s\n", file, std::strerror(errno));
    return kFailed;
  }
  std::printf("Model saved to %s\n", file);
  return 0;
}

int Load(const char* file) {
  uint8_t name[256];
  if (!LengthPrefixedName(file, name)) return kUsage;
  struct stat st {};
  if (stat(file, &st) == 0 && !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "vyomodel: %s is not a model image: it is not a regular file\n", file);
    return kFailed;
  }
  if (stat(file, &st) == 0 && st.st_size != kImageSize) {
    std::fprintf(stderr, "vyomodel: %s is not a model image: it has %lld bytes, a model has %ld\n",
                 file, static_cast<long long>(st.st_size), kImageSize);
    return kFailed;
  }
  if (!loadmodel(name)) {
    std::fprintf(stderr, "vyomodel: cannot load %s: %s\n", file, std::strerror(errno));
    return kFailed;
  }
  std::printf("Model loaded from %s\n", file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (argc == 2 && (command == "--help" || command == "-h")) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (argc == 2 && (command == "--version" || command == "-V")) {
    std::printf("vyomodel %s\n", VYOMODEL_TOOL_VERSION);
    return 0;
  }
  if (command == "dump") return Dump(argc, argv);
  if (command == "watch") return Watch(argc, argv);
  if (command == "save" || command == "load") {
    if (argc != 3) return BadCommandLine(command + " takes one file name");
    return command == "save" ? Save(argv[2]) : Load(argv[2]);
  }
  return BadCommandLine("unknown command: " + command);
}
