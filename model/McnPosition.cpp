// Positions: a machine's position with its ZFrame mark, and the master position that drives the
// master and every playing machine.
#include "McnAccess.h"
#include "VyoModel.h"
#include "ZQTimeCodeDll.h"

using namespace vyo;

namespace {

// While playing, ZFrame marks a position on a whole second; otherwise it marks any machine that
// is not in the first tally state.
uint8_t ZFrameAt(const McnRecord& r, int32_t frames) {
  if (Load(r.InPlay)) {
    const int32_t fps = frmspersec(Load(r.Standard));
    return (fps > 0 && static_cast<uint32_t>(frames) % static_cast<uint32_t>(fps) == 0) ? 1 : 0;
  }
  return Load(r.Tally) != 1 ? 1 : 0;
}

}  // namespace

extern "C" {

int32_t getZQ_McnPosition(int8_t m) { return GetField(m, &McnRecord::Position); }

uint8_t setZQ_McnPosition(int8_t m, int32_t frames) {
  McnRecord* r = Mcn(m);
  if (r == nullptr) return 0;
  if (Load(r->Position) == frames) return m == kFirstMachine ? 1 : 0;
  Store(r->Position, frames);
  Store(r->ZFrame, ZFrameAt(*r, frames));
  RaiseMcnFlag(*r, 1);
  return 1;
}

uint32_t getZQ_McnPositionHMSF(int8_t m) {
  const McnRecord* r = Mcn(m);
  return r != nullptr ? frms2hmsfCard(Load(r->Position), Load(r->Standard)) : 0;
}

int32_t getZQ_MasterPosition(void) { return getZQ_McnPosition(kFirstMachine); }
uint8_t getZQ_ZFrame(void) { return getZQ_McnZFrame(kFirstMachine); }

uint8_t setZQ_MasterPosition(int32_t frames) {
  const uint8_t result = setZQ_McnPosition(kFirstMachine, frames);
  const int8_t master = Load(Sys().Master);
  const McnRecord* masterRecord = Mcn(master);
  if (master != kFirstMachine && masterRecord != nullptr && !Load(masterRecord->IsLocating)) {
    const uint32_t chased =
        static_cast<uint32_t>(frames) + static_cast<uint32_t>(Load(masterRecord->Offset));
    setZQ_McnPosition(master, static_cast<int32_t>(chased));
  }
  for (int i = 0; i <= kLastMachine; ++i) {
    const McnRecord* r = Mcn(i);
    if (i != master && Load(r->InPlay)) {
      setZQ_McnPosition(int8_t(i), addfrms(Load(r->Position), 1, Load(r->Standard)));
    }
  }
  return result;
}

}  // extern "C"
