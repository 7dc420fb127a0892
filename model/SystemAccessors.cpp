// System getters and setters: master and selection, error code, system status with its derived
// flags, record bank, configuration values and the wind and macro bytes.
#include "VyoModel.h"
#include "ZMModel.h"

using namespace vyo;

namespace {

constexpr int kMasterFlag = 0;
constexpr int kSelectedFlag = 1;
constexpr int kRecordBankFlag = 2;
constexpr int kConfigFlag = 3;
constexpr uint8_t kSystemRdyLengthIndex = 3;
constexpr uint8_t kReadyKeysIndex = 29;

template <class T>
T GetSys(T SystemPart::*field) {
  return Load(Sys().*field);
}

// Stores a changed value and raises system flag (or none for -1); true when stored.
template <class T>
bool SetSys(T SystemPart::*field, T value, int flag) {
  if (!StoreChanged(Sys().*field, value)) return false;
  if (flag >= 0) RaiseSysFlag(flag);
  return true;
}

constexpr uint8_t Bit(uint8_t value, int bit) { return (value >> bit) & 1; }

}  // namespace

extern "C" {

int8_t getZQ_Master(void) { return GetSys(&SystemPart::Master); }
uint8_t setZQ_Master(int8_t m) {
  return IsMachine(m) && SetSys(&SystemPart::Master, m, kMasterFlag);
}

int8_t getZQ_SelectedMcn(void) { return GetSys(&SystemPart::SelectedMcn); }
uint8_t setZQ_SelectedMcn(int8_t m) {
  return IsMachine(m) && SetSys(&SystemPart::SelectedMcn, m, kSelectedFlag);
}

uint8_t getZQ_Error(void) { return GetSys(&SystemPart::Error); }
uint8_t setZQ_Error(uint8_t code) { return SetSys(&SystemPart::Error, code, -1); }

uint8_t getZQ_SystemStatus(void) { return GetSys(&SystemPart::SystemStatus); }
uint8_t setZQ_SystemStatus(uint8_t value) {
  SystemPart& s = Sys();
  if (!StoreChanged(s.SystemStatus, value)) return 0;
  const uint8_t locked = !Bit(value, 6);
  const uint8_t inPlay = Bit(value, 7);
  Store(s.SystemLocked, locked);
  Store(s.SystemInPlay, inPlay);
  Store(s.SystemInLockedPlay, uint8_t(locked && inPlay));
  Store(s.SystemInRecord, Bit(value, 5));
  Store(s.SystemIsLocating, Bit(value, 4));
  if (McnRecord* master = Mcn(Load(s.Master))) Store(master->Standard, uint8_t(value & 3));
  return 1;
}

uint8_t getZQ_RecordBank(void) { return GetSys(&SystemPart::RecordBank); }
void setZQ_RecordBank(uint8_t value) { SetSys(&SystemPart::RecordBank, value, kRecordBankFlag); }

uint8_t getZQ_Editmode(void) { return GetSys(&SystemPart::EditMode); }
void setZQ_Editmode(uint8_t value) { Store(Sys().EditMode, value); }

uint8_t getZQ_WindMax(void) { return GetSys(&SystemPart::WindMax); }
uint8_t getZQ_macroflag1(void) { return GetSys(&SystemPart::MacroFlag1); }
uint8_t getZQ_macroflag2(void) { return GetSys(&SystemPart::MacroFlag2); }
void setZQ_WindMax1(uint8_t windmax) { Store(Sys().WindMax, windmax); }
void setZQ_WindMax(uint8_t windmax, uint8_t flag1, uint8_t flag2) {
  Store(Sys().WindMax, windmax);
  Store(Sys().MacroFlag1, flag1);
  Store(Sys().MacroFlag2, flag2);
}

uint8_t getZQ_VMajor(void) { return GetSys(&SystemPart::VMajor); }
void setZQ_VMajor(uint8_t value) { SetSys(&SystemPart::VMajor, value, kConfigFlag); }
uint8_t getZQ_VMinor(void) { return GetSys(&SystemPart::VMinor); }
void setZQ_VMinor(uint8_t value) { SetSys(&SystemPart::VMinor, value, kConfigFlag); }
uint8_t getZQ_SystemType(void) { return GetSys(&SystemPart::SystemType); }
void setZQ_SystemType(uint8_t value) { SetSys(&SystemPart::SystemType, value, kConfigFlag); }

int8_t getZQ_MaxMachine(void) { return GetSys(&SystemPart::MaxMachine); }
uint8_t setZQ_MaxMachine(int8_t m) {
  if (IsMachine(m)) SetSys(&SystemPart::MaxMachine, m, kConfigFlag);
  return 0;
}

uint8_t getZQ_UnitDataSize(void) { return GetSys(&SystemPart::UnitDataSize); }
void setZQ_UnitDataSize(uint8_t value) { SetSys(&SystemPart::UnitDataSize, value, kConfigFlag); }
uint8_t getZQ_IFaceDataSize(void) { return GetSys(&SystemPart::IFaceDataSize); }
void setZQ_IFaceDataSize(uint8_t value) { SetSys(&SystemPart::IFaceDataSize, value, kConfigFlag); }
uint8_t getZQ_LogicalDataSize(void) { return GetSys(&SystemPart::LogicalDataSize); }
void setZQ_LogicalDataSize(uint8_t value) {
  SetSys(&SystemPart::LogicalDataSize, value, kConfigFlag);
}
uint8_t getZQ_MacroDataSize(void) { return GetSys(&SystemPart::MacroDataSize); }
void setZQ_MacroDataSize(uint8_t value) { SetSys(&SystemPart::MacroDataSize, value, kConfigFlag); }

uint8_t getZQ_RdyKeyLength(void) { return GetSys(&SystemPart::RdyKeyLength); }
uint8_t setZQ_RdyKeyLength(uint8_t value) {
  // A length is counted in keys of 8; a bare bank count is turned into keys.
  const uint8_t keys = (value % 8 == 0) ? value : uint8_t(value * 8);
  return SetSys(&SystemPart::RdyKeyLength, keys, kConfigFlag);
}

uint8_t getZQ_SystemRdyLength(void) { return Load(Sys().UnitData[kSystemRdyLengthIndex]); }
void setZQ_SystemRdyLength(uint8_t value) { Store(Sys().UnitData[kSystemRdyLengthIndex], value); }
uint8_t getZQ_ReadyKeys(void) { return Load(Sys().UnitData[kReadyKeysIndex]); }

uint8_t getZQ_SystemLocked(void) { return GetSys(&SystemPart::SystemLocked); }
uint8_t getZQ_SystemInPlay(void) { return GetSys(&SystemPart::SystemInPlay); }
uint8_t getZQ_SystemInLockedPlay(void) { return GetSys(&SystemPart::SystemInLockedPlay); }
uint8_t getZQ_SystemInRecord(void) { return GetSys(&SystemPart::SystemInRecord); }
uint8_t getZQ_SystemIsLocating(void) { return GetSys(&SystemPart::SystemIsLocating); }
uint8_t getZQ_SystemLocal(void) { return Bit(GetSys(&SystemPart::SystemStatus), 3); }

uint8_t getZQ_OffsetChange(void) {
  return __atomic_exchange_n(&Sys().OffsetChange, uint8_t{0}, __ATOMIC_RELAXED);
}

}  // extern "C"
