// The model image: the 16316-byte block shared by every process that loads the library, and the
// file format of savemodel/loadmodel. Its layout is fixed (other programs of the family and saved
// files depend on it), so every offset is checked below at compile time.
//
//   offset     size      contents
//   0          37 x 236  machine records for machine numbers -1..35 (machine m at 236 x (m + 1))
//   8732       388       system part
//   9120       513 x 14  ADR loop entries 0..512
//   16302      13        current loop
//   16315      1         reserved
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyo {

constexpr int kFirstMachine = -1;
constexpr int kLastMachine = 35;
constexpr int kMachineCount = kLastMachine - kFirstMachine + 1;
constexpr std::size_t kImageSize = 16316;
constexpr int kChangeFlags = 7;
constexpr int kNameCapacity = 6;
constexpr int kLoopEntries = 513;
constexpr int kLoopEntrySize = 14;
constexpr int kCurrentLoopSize = 13;

struct McnRecord {
  uint8_t Tally;
  uint8_t Status1;
  uint8_t Status2;
  uint8_t Status3;
  uint8_t Status4;
  uint8_t Reserved5[3];
  int32_t Position;
  int32_t Offset;
  uint8_t SubFrameOffset;
  uint8_t Reserved17[3];
  int32_t SyncPoint;
  int32_t RecInPoint;
  int32_t RecOutPoint;
  uint8_t SyncError;
  uint8_t Reserved33;
  uint16_t SonyID;
  uint8_t RecordTracks;
  uint8_t TrackArming[15];
  uint8_t TrackRecord[15];
  uint8_t IDName[1 + kNameCapacity];  // length byte, then up to 6 characters
  uint8_t Alias[1 + kNameCapacity];
  uint8_t InPlay;
  uint8_t IsSlow;
  uint8_t IsLocked;
  uint8_t IsChasing;
  uint8_t InRecord;
  uint8_t IsArmed;
  uint8_t IsLocating;
  uint8_t IsRecordEnabled;
  uint8_t TapeStatus;
  uint8_t Standard;
  uint8_t Reserved91;
  uint8_t NoComms;
  uint8_t DataOK;
  uint8_t ZFrame;
  uint8_t ChangeFlags[kChangeFlags];  // flags 1..7 at index 0..6
  uint8_t ChangeCursor;               // 1..7
  uint8_t Reserved103;
  uint8_t IFaceData[128];
  uint8_t IFaceDataLength;
  uint8_t Reserved233[3];
};

struct SystemPart {
  int8_t Master;
  uint8_t Error;
  int8_t SelectedMcn;
  uint8_t SystemStatus;
  uint8_t RecordBank;
  uint8_t UnitData[128];
  uint8_t UnitDataLength;
  uint8_t LogicalReady[12];
  uint8_t LogicalRecord[12];
  uint8_t TrackMap[192];
  uint8_t TrackMapLength;
  int8_t MaxMachine;
  uint8_t VMajor;
  uint8_t VMinor;
  uint8_t SystemType;
  uint8_t RdyKeyLength;
  uint8_t UnitDataSize;
  uint8_t IFaceDataSize;
  uint8_t LogicalDataSize;
  uint8_t MacroDataSize;
  uint8_t SystemLocked;
  uint8_t SystemInPlay;
  uint8_t SystemInLockedPlay;
  uint8_t SystemInRecord;
  uint8_t SystemIsLocating;
  uint8_t LastChange;
  uint8_t InternalChange;
  uint8_t Reserved9099;
  uint16_t StopCounter;
  int8_t MachineCursor;
  uint8_t ChangeFlags[kChangeFlags];  // system flags 0..6
  uint8_t SystemCursor;               // 0..6
  uint8_t ScanToggle;
  uint8_t OffsetChange;
  uint8_t WindMax;
  uint8_t EditMode;
  uint8_t MacroFlag1;
  uint8_t MacroFlag2;
  uint8_t Reserved9117;
  uint16_t HighestLoop;
};

struct ZMImage {
  McnRecord Machines[kMachineCount];
  SystemPart System;
  uint8_t ADRLoops[kLoopEntries][kLoopEntrySize];
  uint8_t CurrentLoop[kCurrentLoopSize];
  uint8_t Reserved16315;
};

constexpr std::size_t kMcnRecordSize = 236;
constexpr std::size_t kSystemOffset = 8732;

#define VYO_MCN_AT(field, offset) \
  static_assert(offsetof(McnRecord, field) == (offset), "machine record: " #field)
VYO_MCN_AT(Tally, 0);
VYO_MCN_AT(Status1, 1);
VYO_MCN_AT(Status2, 2);
VYO_MCN_AT(Status3, 3);
VYO_MCN_AT(Status4, 4);
VYO_MCN_AT(Position, 8);
VYO_MCN_AT(Offset, 12);
VYO_MCN_AT(SubFrameOffset, 16);
VYO_MCN_AT(SyncPoint, 20);
VYO_MCN_AT(RecInPoint, 24);
VYO_MCN_AT(RecOutPoint, 28);
VYO_MCN_AT(SyncError, 32);
VYO_MCN_AT(SonyID, 34);
VYO_MCN_AT(RecordTracks, 36);
VYO_MCN_AT(TrackArming, 37);
VYO_MCN_AT(TrackRecord, 52);
VYO_MCN_AT(IDName, 67);
VYO_MCN_AT(Alias, 74);
VYO_MCN_AT(InPlay, 81);
VYO_MCN_AT(IsSlow, 82);
VYO_MCN_AT(IsLocked, 83);
VYO_MCN_AT(IsChasing, 84);
VYO_MCN_AT(InRecord, 85);
VYO_MCN_AT(IsArmed, 86);
VYO_MCN_AT(IsLocating, 87);
VYO_MCN_AT(IsRecordEnabled, 88);
VYO_MCN_AT(TapeStatus, 89);
VYO_MCN_AT(Standard, 90);
VYO_MCN_AT(NoComms, 92);
VYO_MCN_AT(DataOK, 93);
VYO_MCN_AT(ZFrame, 94);
VYO_MCN_AT(ChangeFlags, 95);
VYO_MCN_AT(ChangeCursor, 102);
VYO_MCN_AT(IFaceData, 104);
VYO_MCN_AT(IFaceDataLength, 232);
#undef VYO_MCN_AT
static_assert(sizeof(McnRecord) == kMcnRecordSize);

#define VYO_SYS_AT(field, offset) \
  static_assert(kSystemOffset + offsetof(SystemPart, field) == (offset), "system part: " #field)
VYO_SYS_AT(Master, 8732);
VYO_SYS_AT(Error, 8733);
VYO_SYS_AT(SelectedMcn, 8734);
VYO_SYS_AT(SystemStatus, 8735);
VYO_SYS_AT(RecordBank, 8736);
VYO_SYS_AT(UnitData, 8737);
VYO_SYS_AT(UnitDataLength, 8865);
VYO_SYS_AT(LogicalReady, 8866);
VYO_SYS_AT(LogicalRecord, 8878);
VYO_SYS_AT(TrackMap, 8890);
VYO_SYS_AT(TrackMapLength, 9082);
VYO_SYS_AT(MaxMachine, 9083);
VYO_SYS_AT(VMajor, 9084);
VYO_SYS_AT(VMinor, 9085);
VYO_SYS_AT(SystemType, 9086);
VYO_SYS_AT(RdyKeyLength, 9087);
VYO_SYS_AT(UnitDataSize, 9088);
VYO_SYS_AT(IFaceDataSize, 9089);
VYO_SYS_AT(LogicalDataSize, 9090);
VYO_SYS_AT(MacroDataSize, 9091);
VYO_SYS_AT(SystemLocked, 9092);
VYO_SYS_AT(SystemInPlay, 9093);
VYO_SYS_AT(SystemInLockedPlay, 9094);
VYO_SYS_AT(SystemInRecord, 9095);
VYO_SYS_AT(SystemIsLocating, 9096);
VYO_SYS_AT(LastChange, 9097);
VYO_SYS_AT(InternalChange, 9098);
VYO_SYS_AT(StopCounter, 9100);
VYO_SYS_AT(MachineCursor, 9102);
VYO_SYS_AT(ChangeFlags, 9103);
VYO_SYS_AT(SystemCursor, 9110);
VYO_SYS_AT(ScanToggle, 9111);
VYO_SYS_AT(OffsetChange, 9112);
VYO_SYS_AT(WindMax, 9113);
VYO_SYS_AT(EditMode, 9114);
VYO_SYS_AT(MacroFlag1, 9115);
VYO_SYS_AT(MacroFlag2, 9116);
VYO_SYS_AT(HighestLoop, 9118);
#undef VYO_SYS_AT
static_assert(sizeof(SystemPart) == 388);

static_assert(offsetof(ZMImage, Machines) == 0);
static_assert(offsetof(ZMImage, System) == kSystemOffset);
static_assert(offsetof(ZMImage, ADRLoops) == 9120);
static_assert(offsetof(ZMImage, CurrentLoop) == 16302);
static_assert(offsetof(ZMImage, Reserved16315) == 16315);
static_assert(sizeof(ZMImage) == kImageSize);

// The mapped block of this process; set by the load-time attach and valid while the library is
// loaded (loading fails when it cannot be mapped).
extern ZMImage* g_Model;

// Fields are read and written with single relaxed accesses: other processes change the block at
// any time, and a 1-, 2- or 4-byte field must never be torn or cached in a register.
template <class T>
inline T Load(const T& field) {
  return __atomic_load_n(&field, __ATOMIC_RELAXED);
}
template <class T>
inline void Store(T& field, T value) {
  __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}
// Stores value when it differs; true when it stored.
template <class T>
inline bool StoreChanged(T& field, T value) {
  if (Load(field) == value) return false;
  Store(field, value);
  return true;
}
inline void Raise(uint8_t& flag) { Store(flag, uint8_t{1}); }

inline bool IsMachine(int m) { return m >= kFirstMachine && m <= kLastMachine; }

// The record of machine m, or null for a machine number outside -1..35.
inline McnRecord* Mcn(int m) {
  return IsMachine(m) ? &g_Model->Machines[m - kFirstMachine] : nullptr;
}
inline SystemPart& Sys() { return g_Model->System; }

// Raises machine change flag n (1..7).
inline void RaiseMcnFlag(McnRecord& r, int n) { Raise(r.ChangeFlags[n - 1]); }
inline void RaiseSysFlag(int i) { Raise(Sys().ChangeFlags[i]); }

}  // namespace vyo
