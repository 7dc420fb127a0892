#include "SonyStatusBlock.h"

#include "SonyCommands.h"
#include "SonyTables.h"
#include "ZMModel.h"

namespace vyo {

namespace {

using namespace sony;

constexpr bool Bit(uint8_t value, int bit) { return ((value >> bit) & 1) != 0; }

// Tape status 1..7: cassette and local states as a Sony machine reports them.
void ApplyTapeStatus(uint8_t tape, SonyStatusBytes& s) {
  if (tape == 1) s[13] = 0x02;
  if (tape == 2) s[13] = 0x01;
  if (tape == 3) s[0] = kS0TapeOut;
  if (tape >= 4) s[0] = kS0Local;
}

void ApplyEditMode(uint8_t mode, SonyStatusBytes& s) {
  if (mode == 1) s[4] |= 0x02;
  if (mode == 2) s[4] |= 0x04;
  if (mode == 4) s[4] |= 0x08;
}

}  // namespace

void BuildSonyStatus(int8_t m, SonyStatusBytes& s) {
  const McnRecord& r = *Mcn(m);
  const SystemPart& sys = Sys();
  const uint8_t tally = Load(r.Tally);
  const uint8_t status1 = Load(r.Status1);
  const uint8_t status2 = Load(r.Status2);
  const uint8_t systemStatus = Load(sys.SystemStatus);

  s.fill(0);
  if (tally >= 1 && tally <= kTallyTable.size()) {
    s[1] = kTallyTable[tally - 1].s1;
    s[2] = kTallyTable[tally - 1].s2;
  }
  ApplyTapeStatus(status2 & 7, s);
  if (Bit(systemStatus, 3)) s[0] = kS0Local;
  if (Bit(status1, 7)) s[2] |= kS2Reverse;
  if (!Bit(status1, 6) && (status2 & 0xC0) == 0) {
    s[2] |= kS2ServoLock;
    s[8] |= 0x08;
  }
  if (Bit(status1, 4)) s[4] |= kS4Goto;
  if (Bit(status2, 4)) s[2] |= kS2CueUp;
  if (Bit(status2, 3)) s[2] |= kS2Still;
  if (Bit(status1, 5) || Bit(systemStatus, 5)) {
    s[1] |= kS1Record;
    s[4] |= kS4Edit;
  }
  ApplyEditMode(Load(sys.EditMode), s);
  s[7] = Load(r.IsChasing) ? kS7Chase : 0x00;
}

}  // namespace vyo
