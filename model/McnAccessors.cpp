// Machine getters and setters: plain fields, status bytes with their derived flags, and the
// values derived from them.
#include "McnAccess.h"
#include "VyoModel.h"

using namespace vyo;

namespace {

constexpr uint8_t Bit(uint8_t value, int bit) { return (value >> bit) & 1; }

void RecomputeInPlay(McnRecord& r) {
  const uint8_t s1 = Load(r.Status1);
  const uint8_t s2 = Load(r.Status2);
  Store(r.InPlay, uint8_t((s2 & 0xC0) == 0 && Bit(s1, 7) == 0));
}

// Sets or clears one bit of Status3 through its setter, so the decoding and the flag follow.
uint8_t SetStatus3Bit(int8_t m, int bit, uint8_t on) {
  const McnRecord* r = Mcn(m);
  if (r == nullptr) return 0;
  const uint8_t s3 = Load(r->Status3);
  const uint8_t mask = uint8_t(1u << bit);
  return setZQ_McnStatus3(m, on ? uint8_t(s3 | mask) : uint8_t(s3 & ~mask));
}

}  // namespace

extern "C" {

uint8_t getZQ_McnTally(int8_t m) { return GetField(m, &McnRecord::Tally); }
uint8_t setZQ_McnTally(int8_t m, uint8_t value) { return SetField(m, &McnRecord::Tally, value, 1); }

uint8_t getZQ_McnStatus1(int8_t m) { return GetField(m, &McnRecord::Status1); }
uint8_t setZQ_McnStatus1(int8_t m, uint8_t value) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->Status1, value)) return 0;
  Store(r->InRecord, Bit(value, 5));
  Store(r->IsArmed, Bit(value, 3));
  Store(r->IsLocked, uint8_t(!Bit(value, 6)));
  RecomputeInPlay(*r);
  Store(r->IsLocating, Bit(value, 4));
  RaiseMcnFlag(*r, 1);
  return 1;
}

uint8_t getZQ_McnStatus2(int8_t m) { return GetField(m, &McnRecord::Status2); }
uint8_t setZQ_McnStatus2(int8_t m, uint8_t value) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->Status2, value)) return 0;
  Store(r->IsSlow, Bit(value, 7));
  const uint8_t tape = value & 7;
  Store(r->TapeStatus, tape);
  Store(r->NoComms, uint8_t(tape == 7));
  RecomputeInPlay(*r);
  RaiseMcnFlag(*r, 1);
  return 1;
}

uint8_t getZQ_McnStatus3(int8_t m) { return GetField(m, &McnRecord::Status3); }
uint8_t setZQ_McnStatus3(int8_t m, uint8_t value) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->Status3, value)) return 0;
  Store(r->IsRecordEnabled, Bit(value, 0));
  Store(r->IsChasing, Bit(value, 3));
  RaiseMcnFlag(*r, 1);
  return 1;
}

uint8_t getZQ_McnStatus4(int8_t m) { return GetField(m, &McnRecord::Status4); }
uint8_t setZQ_McnStatus4(int8_t m, uint8_t value) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->Status4, value)) return 0;
  Store(r->Standard, uint8_t((value >> 2) & 3));
  RaiseMcnFlag(*r, 3);
  return 1;
}

int32_t getZQ_McnOffset(int8_t m) { return GetField(m, &McnRecord::Offset); }
uint8_t setZQ_McnOffset(int8_t m, int32_t frames) {
  if (!SetField(m, &McnRecord::Offset, frames, 2)) return 0;
  Raise(Sys().OffsetChange);
  return 1;
}

uint8_t getZQ_McnSubFrameOffset(int8_t m) { return GetField(m, &McnRecord::SubFrameOffset); }
uint8_t setZQ_McnSubFrameOffset(int8_t m, uint8_t value) {
  return SetField(m, &McnRecord::SubFrameOffset, value, 2);
}

int32_t getZQ_McnSyncPoint(int8_t m) { return GetField(m, &McnRecord::SyncPoint); }
uint8_t setZQ_McnSyncPoint(int8_t m, int32_t frames) {
  return SetField(m, &McnRecord::SyncPoint, frames, 0);
}

int32_t getZQ_McnRecInPoint(int8_t m) { return GetField(m, &McnRecord::RecInPoint); }
uint8_t setZQ_McnRecInPoint(int8_t m, int32_t frames) {
  return SetField(m, &McnRecord::RecInPoint, frames, 4);
}

int32_t getZQ_McnRecOutPoint(int8_t m) { return GetField(m, &McnRecord::RecOutPoint); }
uint8_t setZQ_McnRecOutPoint(int8_t m, int32_t frames) {
  return SetField(m, &McnRecord::RecOutPoint, frames, 4);
}

uint8_t getZQ_McnSyncError(int8_t m) { return GetField(m, &McnRecord::SyncError); }
uint8_t setZQ_McnSyncError(int8_t m, uint8_t value) {
  return SetField(m, &McnRecord::SyncError, value, 1);
}

uint16_t getZQ_McnSonyID(int8_t m) { return GetField(m, &McnRecord::SonyID); }
uint8_t setZQ_McnSonyID(int8_t m, uint16_t id) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || !StoreChanged(r->SonyID, id)) return 0;
  Store(r->Alias[0], uint8_t{0});  // an alias belongs to the machine type it was given for
  RaiseMcnFlag(*r, 3);
  return 1;
}

uint8_t getZQ_McnRecordTracks(int8_t m) { return GetField(m, &McnRecord::RecordTracks); }
uint8_t setZQ_McnRecordTracks(int8_t m, uint8_t value) {
  return SetField(m, &McnRecord::RecordTracks, value, 3);
}

uint8_t getZQ_McnTrackArming(int8_t m, uint8_t i) {
  const McnRecord* r = Mcn(m);
  return (r != nullptr && i < sizeof r->TrackArming) ? Load(r->TrackArming[i]) : 0;
}
uint8_t setZQ_McnTrackArming(int8_t m, uint8_t i, uint8_t value) {
  McnRecord* r = Mcn(m);
  if (r == nullptr || i >= sizeof r->TrackArming || !StoreChanged(r->TrackArming[i], value))
    return 0;
  RaiseMcnFlag(*r, 2);
  return 1;
}

uint8_t getZQ_McnIsChasing(int8_t m) { return GetField(m, &McnRecord::IsChasing); }
uint8_t setZQ_McnIsChasing(int8_t m, uint8_t on) { return SetStatus3Bit(m, 3, on); }

uint8_t getZQ_McnIsRecordEnabled(int8_t m) { return GetField(m, &McnRecord::IsRecordEnabled); }
uint8_t setZQ_McnIsRecordEnabled(int8_t m, uint8_t on) { return SetStatus3Bit(m, 0, on); }

uint8_t getZQ_McnDataOK(int8_t m) { return GetField(m, &McnRecord::DataOK); }
uint8_t setZQ_McnDataOK(int8_t m) { return SetField(m, &McnRecord::DataOK, uint8_t{1}, 0); }

uint8_t getZQ_McnStandard(int8_t m) { return GetField(m, &McnRecord::Standard); }
uint8_t getZQ_McnInPlay(int8_t m) { return GetField(m, &McnRecord::InPlay); }
uint8_t getZQ_McnIsSlow(int8_t m) { return GetField(m, &McnRecord::IsSlow); }
uint8_t getZQ_McnIsLocked(int8_t m) { return GetField(m, &McnRecord::IsLocked); }
uint8_t getZQ_McnIsLocating(int8_t m) { return GetField(m, &McnRecord::IsLocating); }
uint8_t getZQ_McnInRecord(int8_t m) { return GetField(m, &McnRecord::InRecord); }
uint8_t getZQ_McnIsArmed(int8_t m) { return GetField(m, &McnRecord::IsArmed); }
uint8_t getZQ_McnNoComms(int8_t m) { return GetField(m, &McnRecord::NoComms); }
uint8_t getZQ_McnTapeStatus(int8_t m) { return GetField(m, &McnRecord::TapeStatus); }
uint8_t getZQ_McnZFrame(int8_t m) { return GetField(m, &McnRecord::ZFrame); }

uint8_t getZQ_McnInLockedPlay(int8_t m) {
  const McnRecord* r = Mcn(m);
  return (r != nullptr && Load(r->IsLocked) && Load(r->InPlay)) ? 1 : 0;
}

uint8_t getZQ_McnRecordState(int8_t m) {
  const McnRecord* r = Mcn(m);
  if (r == nullptr) return 0;
  if (Load(r->InRecord)) return 3;
  if (Load(r->IsArmed)) return 2;
  return Load(r->IsRecordEnabled) ? 1 : 0;
}

uint8_t getZQ_McnIsInSystem(int8_t m) {
  return (IsMachine(m) && m <= Load(Sys().MaxMachine)) ? 1 : 0;
}

}  // extern "C"
