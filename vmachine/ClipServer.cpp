#include "ClipServer.h"

namespace {

constexpr std::size_t kClipNameLength = 7;

// Characters DATA-first..DATA-last of a message.
std::string DataText(const SonyMessage& rx, int first, int last) {
  std::string text;
  for (int n = first; n <= last; ++n) text.push_back(static_cast<char>(rx.Data(n)));
  return text;
}

// Machine number written in characters 6 and 7 of a clip name; 0 when they are not a number.
int MachineNumberOf(const std::string& name) {
  if (name.size() < kClipNameLength) return 0;
  const char tens = name[5];
  const char units = name[6];
  if (tens < '0' || tens > '9' || units < '0' || units > '9') return 0;
  return (tens - '0') * 10 + (units - '0');
}

// The seven name bytes from DATA-1 on, zero bytes where the name is shorter.
void PutName(SonyMessage& tx, const std::string& name) {
  for (std::size_t i = 0; i < kClipNameLength; ++i) {
    tx[2 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
  }
}

char Digit(int nibble) { return static_cast<char>('0' + nibble); }

}  // namespace

ClipServer::ClipServer()
    : lists_{{{"CamA/01", "CamB/01", "101A/01", "101B/01", "102A/01", "102B/01"},
              {"CamA/02", "CamB/02", "201A/02", "201B/02", "202A/02", "202B/02"}}},
      lsmId_{{"CamA/01", "CamA/02"}},
      inText_{{"00:00:00:00", "00:00:00:00"}},
      outText_{{"00:00:00:00", "00:00:00:00"}} {}

void ClipServer::LsmIdReply(SonyMessage& tx) const {
  tx[0] = sony::Cmd1(sony::kSenseReply, static_cast<int>(kClipNameLength));
  tx[1] = sony::kLsmIdData;
  PutName(tx, HasCurrent() ? lsmId_[Slot(current_)] : std::string());
}

void ClipServer::FirstClipReply(SonyMessage& tx) {
  readIndex_ = 0;
  NextClipReply(sony::kClipNameData, tx);
}

void ClipServer::NextClipReply(uint8_t cmd2, SonyMessage& tx) {
  tx[1] = cmd2;
  // Without a current clip machine there is no list to read: answer as for its end.
  const std::vector<std::string>* list = HasCurrent() ? &lists_[Slot(current_)] : nullptr;
  if (list == nullptr || readIndex_ < 0 || static_cast<std::size_t>(readIndex_) >= list->size()) {
    tx[0] = sony::Cmd1(sony::kSenseReply, 0);
    return;
  }
  tx[0] = sony::Cmd1(sony::kSenseReply, static_cast<int>(kClipNameLength));
  PutName(tx, (*list)[static_cast<std::size_t>(readIndex_)]);
  ++readIndex_;
}

void ClipServer::SetClipIn(const SonyMessage& rx, const std::string& positionText) {
  if (!HasCurrent()) return;
  inText_[Slot(current_)] = rx.DataCount() > 0 ? ClipTimeText(rx) : positionText;
}

void ClipServer::SetClipOut(const SonyMessage& rx, const std::string& positionText) {
  if (!HasCurrent()) return;
  outText_[Slot(current_)] = rx.DataCount() > 0 ? ClipTimeText(rx) : positionText;
}

void ClipServer::AddClip(const SonyMessage& rx) {
  if (LookUp(rx) || !HasCurrent()) return;
  lists_[Slot(current_)].push_back(currentName_);
}

void ClipServer::LoadLsmId() {
  if (HasCurrent()) lsmId_[Slot(current_)] = loadId_;
}

void ClipServer::SelectClip(const SonyMessage& rx) {
  if (!LookUp(rx)) return;
  lsmId_[Slot(current_)] = currentName_;
  if (currentName_.compare(0, 3, "Cam") != 0) loadId_ = currentName_;
}

void ClipServer::ResetLoadId() { loadId_ = "CamA/00"; }

void ClipServer::ListClick(int machine, int index) {
  if (machine != 1 && machine != 2) return;
  const std::vector<std::string>& list = lists_[Slot(machine)];
  if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return;
  lsmId_[Slot(machine)] = list[static_cast<std::size_t>(index)];
}

std::string ClipServer::ClipTimeText(const SonyMessage& rx) {
  std::string text;
  for (int n = 4; n >= 1; --n) {
    const uint8_t byte = rx.Data(n);
    text.push_back(Digit(byte >> 4));
    text.push_back(Digit(byte & 0x0F));
    if (n > 1) text.push_back(':');
  }
  return text;
}

bool ClipServer::LookUp(const SonyMessage& rx) {
  std::string name = DataText(rx, 1, 4);
  const int count = rx.DataCount();
  if (count == 4 || count == 6) {
    const std::string& label = lsmId_[Slot(current_)];
    if (HasCurrent() && label.size() > 4) name += label.substr(4, 3);
  } else if (count == 7 || count == 9) {
    name += DataText(rx, 5, 7);
  }
  currentName_ = name;
  current_ = MachineNumberOf(name);
  if (!HasCurrent()) return false;
  const std::vector<std::string>& list = lists_[Slot(current_)];
  for (const std::string& item : list) {
    if (item == name) return true;
  }
  return false;
}
