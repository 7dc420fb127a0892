#include "ModelDump.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VyoModel.h"
#include "ZQTimeCodeDll.h"

namespace {

std::string LengthPrefixed(const uint8_t* text) {
  return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
}

std::string PositionText(int8_t m) {
  uint8_t text[256] = {};
  frms2str(text, getZQ_McnPosition(m), getZQ_McnStandard(m));
  return LengthPrefixed(text);
}

const char* StandardText(uint8_t standard) {
  static const char* const kNames[] = {"EBU", "SMPTE", "24P", "DF"};
  return standard < 4 ? kNames[standard] : "?";
}

char Yes(uint8_t flag) { return flag ? 'Y' : '.'; }

// The block's name as the library chooses it when it is loaded.
const char* BlockName() {
  const char* name = std::getenv("VYOMODEL_SHM_NAME");
  return (name != nullptr && name[0] != '\0') ? name : "/SharedZMModel";
}

std::string UserName(uid_t uid) {
  char buffer[1024];
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return "?";
  return found->pw_name;
}

}  // namespace

void PrintBlock(std::FILE* out) {
  const char* name = BlockName();
  const int fd = shm_open(name, O_RDONLY | O_CLOEXEC, 0);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    std::fprintf(out, "Block: %s  (cannot inspect it: %s)\n", name, std::strerror(errno));
  } else {
    std::fprintf(out, "Block: %s  owner uid %u (%s)  mode %04o\n", name, unsigned(st.st_uid),
                 UserName(st.st_uid).c_str(), unsigned(st.st_mode & 07777));
  }
  if (fd >= 0) close(fd);
}

void PrintSystemPart(std::FILE* out) {
  uint8_t error[256] = {};
  getZQ_ErrorString(error);
  std::fprintf(
      out, "System: master %d  selected %d  max machine %d  record bank %d (machine %d bank %d)\n",
      getZQ_Master(), getZQ_SelectedMcn(), getZQ_MaxMachine(), getZQ_RecordBank(),
      getZQ_RecordBank() >> 3, getZQ_RecordBank() & 7);
  std::fprintf(out,
               "        error %u \"%s\"  status %02X  locked %c  play %c  record %c  locating %c  "
               "local %c\n",
               getZQ_Error(), LengthPrefixed(error).c_str(), getZQ_SystemStatus(),
               Yes(getZQ_SystemLocked()), Yes(getZQ_SystemInPlay()), Yes(getZQ_SystemInRecord()),
               Yes(getZQ_SystemIsLocating()), Yes(getZQ_SystemLocal()));
  std::fprintf(out,
               "        version %u.%u  type %u  edit mode %u  wind max %u  macro flags %u %u\n",
               getZQ_VMajor(), getZQ_VMinor(), getZQ_SystemType(), getZQ_Editmode(),
               getZQ_WindMax(), getZQ_macroflag1(), getZQ_macroflag2());
  std::fprintf(out, "        master position %s  loop command %u\n", PositionText(-1).c_str(),
               getzq_loopcmd());
}

// NoComms is not shown: attaching sets it for every machine, this tool's own attach included, so it
// would always read set. The tape status (7: no communication) comes from the machine itself.
void PrintMachineHeader(std::FILE* out) {
  std::fprintf(out, "%-14s %-5s %-4s %-11s %-11s %-11s %-5s %s\n", "Machine", "Tally", "ID",
               "Status 1-4", "Position", "Offset", "Std", "Play Lock Chase Rec Arm Loc Tape");
}

void PrintMachine(std::FILE* out, int8_t m) {
  uint8_t name[256] = {};
  getZQ_C_McnName(m, name);
  std::fprintf(
      out,
      "%-14s %-5u %04X %02X %02X %02X %02X %-11s %-11d %-5s %c    %c    %c     %c   %c   %c   %u\n",
      LengthPrefixed(name).c_str(), getZQ_McnTally(m), getZQ_McnSonyID(m), getZQ_McnStatus1(m),
      getZQ_McnStatus2(m), getZQ_McnStatus3(m), getZQ_McnStatus4(m), PositionText(m).c_str(),
      getZQ_McnOffset(m), StandardText(getZQ_McnStandard(m)), Yes(getZQ_McnInPlay(m)),
      Yes(getZQ_McnIsLocked(m)), Yes(getZQ_McnIsChasing(m)), Yes(getZQ_McnInRecord(m)),
      Yes(getZQ_McnIsArmed(m)), Yes(getZQ_McnIsLocating(m)), getZQ_McnTapeStatus(m));
}

namespace {

constexpr int kSystemCodes = 248;

std::string Printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printed(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string TimeText(int8_t m, int32_t frames) {
  uint8_t text[256] = {};
  frms2str(text, frames, getZQ_McnStandard(m));
  return LengthPrefixed(text);
}

std::string SystemValue(int flag) {
  switch (flag) {
    case 0:
      return Printed("master %d", getZQ_Master());
    case 1:
      return Printed("selected %d", getZQ_SelectedMcn());
    case 2:
      return Printed("record bank %u", getZQ_RecordBank());
    case 3:
      return Printed("max machine %d  type %u  version %u.%u", getZQ_MaxMachine(),
                     getZQ_SystemType(), getZQ_VMajor(), getZQ_VMinor());
    case 6:
      return Printed("loop command %u", getzq_loopcmd());
    default:
      return "-";
  }
}

std::string MachineValue(int8_t m, int flag) {
  switch (flag) {
    case 1:
      return Printed("tally %u  status %02X %02X %02X %02X  position %s", getZQ_McnTally(m),
                     getZQ_McnStatus1(m), getZQ_McnStatus2(m), getZQ_McnStatus3(m),
                     getZQ_McnStatus4(m), PositionText(m).c_str());
    case 2: {
      uint8_t arming[15] = {};
      uint8_t* pointer = arming;
      getZQ_McnTrackArmingP(m, &pointer, 0, 0, sizeof arming);
      std::string hex;
      for (uint8_t byte : arming) hex += Printed("%02X", byte);
      return Printed("offset %d  arming %s", getZQ_McnOffset(m), hex.c_str());
    }
    case 3: {
      uint8_t name[256] = {};
      getZQ_C_McnName(m, name);
      return Printed("id %04X  standard %s  name %s", getZQ_McnSonyID(m),
                     StandardText(getZQ_McnStandard(m)), LengthPrefixed(name).c_str());
    }
    case 4:
      return "record in " + TimeText(m, getZQ_McnRecInPoint(m)) + "  out " +
             TimeText(m, getZQ_McnRecOutPoint(m));
    default:
      return "-";
  }
}

}  // namespace

std::string ChangeValueText(uint8_t code) {
  if (code >= kSystemCodes && code - kSystemCodes < 7) return SystemValue(code - kSystemCodes);
  if (code % 8 == 0) return "-";
  return MachineValue(int8_t(code / 8 - 1), code % 8);
}
