// System blocks: unit data, logical track arming and record, and the track map.
#include "BlockCopy.h"
#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {

constexpr int kConfigFlag = 3;
constexpr int kTrackMapFlag = 4;
constexpr int kLogicalFlag = 5;
constexpr uint8_t kUnitDataConfigIndex = 24;  // a write from here on changes the configuration

// Logical arming and record share one flag that always tells whether the last write changed
// anything, so an unchanged write clears a pending flag.
void SetLogical(uint8_t (&block)[12], uint8_t* const* buffer, uint8_t src, uint8_t dst,
                uint8_t count) {
  bool changed = false;
  if (CopyIntoBlock(block, sizeof block, buffer, src, dst, count, &changed)) {
    Store(Sys().ChangeFlags[kLogicalFlag], uint8_t(changed));
  }
}

}  // namespace

extern "C" {

void getZQ_UnitData(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  CopyFromBlock(Sys().UnitData, sizeof Sys().UnitData, buffer, src, dst, count);
}

void setZQ_UnitData(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  SystemPart& s = Sys();
  if (!CopyIntoBlock(s.UnitData, sizeof s.UnitData, buffer, src, dst, count)) return;
  Store(s.UnitDataLength, uint8_t(dst + count));
  if (dst == kUnitDataConfigIndex) RaiseSysFlag(kConfigFlag);
}

void getZQ_LogicalReady(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  CopyFromBlock(Sys().LogicalReady, sizeof Sys().LogicalReady, buffer, src, dst, count);
}
void setZQ_LogicalReady(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  SetLogical(Sys().LogicalReady, buffer, src, dst, count);
}

void getZQ_LogicalRecord(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  CopyFromBlock(Sys().LogicalRecord, sizeof Sys().LogicalRecord, buffer, src, dst, count);
}
void setZQ_LogicalRecord(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  SetLogical(Sys().LogicalRecord, buffer, src, dst, count);
}

void getZQ_TrackMap(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  CopyFromBlock(Sys().TrackMap, sizeof Sys().TrackMap, buffer, src, dst, count);
}

void setZQ_TrackMap(uint8_t* const* buffer, uint8_t src, uint8_t dst, uint8_t count) {
  SystemPart& s = Sys();
  if (!CopyIntoBlock(s.TrackMap, sizeof s.TrackMap, buffer, src, dst, count)) return;
  Store(s.TrackMapLength, uint8_t(dst + count));
  RaiseSysFlag(kTrackMapFlag);
}

}  // extern "C"
