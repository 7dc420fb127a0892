// Change tracking: setters raise flags; getZQ_LastChange hands them out one per call. Three
// cursors (the system cursor, the machine cursor and each machine's own cursor) move on past
// every flag handed out, so no flag starves the others.
#include <cstring>

#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {

constexpr uint8_t kSystemCodeBase = 248;  // system flag i is reported as 248 + i

// Takes a raised flag: clears it and tells whether it was set. The exchange keeps two processes
// polling at once from both reporting the same flag.
bool TakeFlag(uint8_t& flag) {
  return Load(flag) != 0 && __atomic_exchange_n(&flag, uint8_t{0}, __ATOMIC_RELAXED) != 0;
}

// True when any of the 7 flag bytes is set. A quick look at all of them at once: most polls find
// nothing, and a flag raised just after the look is handed out by a later poll anyway.
bool AnyRaised(const uint8_t* flags) {
  uint64_t bytes = 0;
  std::memcpy(&bytes, flags, kChangeFlags);
  return bytes != 0;
}

// One pass over the 7 flags first..last from the cursor on, wrapping; the cursor moves past the
// flag taken. A cursor outside its range (a damaged file) restarts at first. Returns the flag
// number taken, or -1.
int ScanFlags(uint8_t* flags, int first, int last, uint8_t& cursor) {
  int at = Load(cursor);
  if (at < first || at > last) {
    at = first;
    Store(cursor, uint8_t(at));
  }
  if (!AnyRaised(flags)) return -1;
  const int start = at;
  int taken = -1;
  do {
    if (TakeFlag(flags[at - first])) taken = at;
    at = at == last ? first : at + 1;
  } while (taken < 0 && at != start);
  Store(cursor, uint8_t(at));
  return taken;
}

int ScanSystem() {
  SystemPart& s = Sys();
  return ScanFlags(s.ChangeFlags, 0, kChangeFlags - 1, s.SystemCursor);
}

// Highest machine scanned: MaxMachine kept within the machines that exist.
int LastScannedMachine() {
  const int max = Load(Sys().MaxMachine);
  return max < kFirstMachine ? kFirstMachine : (max > kLastMachine ? kLastMachine : max);
}

uint8_t ScanMachines() {
  SystemPart& s = Sys();
  const int last = LastScannedMachine();
  int m = Load(s.MachineCursor);
  if (m < kFirstMachine || m > last) m = kFirstMachine;
  const int start = m;
  uint8_t code = 0;
  do {
    McnRecord& r = *Mcn(m);
    const int flag = ScanFlags(r.ChangeFlags, 1, kChangeFlags, r.ChangeCursor);
    if (flag > 0) code = uint8_t((m + 1) * 8 + flag);
    m = m == last ? kFirstMachine : m + 1;
  } while (code == 0 && m != start);
  Store(s.MachineCursor, int8_t(m));
  return code;
}

}  // namespace

extern "C" {

uint8_t getZQ_LastChange(void) {
  SystemPart& s = Sys();
  const uint8_t toggle = !Load(s.ScanToggle);
  Store(s.ScanToggle, toggle);
  if (toggle) {
    const int flag = ScanSystem();
    if (flag >= 0) return uint8_t(kSystemCodeBase + flag);
  }
  return ScanMachines();
}

void setZQ_LastChange(uint8_t value) { Store(Sys().LastChange, value); }

uint8_t getZQ_InternalChange(void) {
  return __atomic_exchange_n(&Sys().InternalChange, uint8_t{0}, __ATOMIC_RELAXED);
}

void setZQ_InternalChange(uint8_t value) { Store(Sys().InternalChange, value); }

}  // extern "C"
