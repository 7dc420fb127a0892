#include "TrackPanel.h"

#include <string>

#include "PanelWidgets.h"

namespace {

// The x positions of the eight keys of a row, and the rows' y positions (function keys on top).
constexpr std::array<int, arming::kKeysPerByte> kKeyX = {8, 39, 70, 101, 131, 162, 193, 224};
constexpr std::array<int, 1 + arming::kBytesPerBank> kRowY = {0, 32, 64, 96};
constexpr int kKeyWidth = 24;
constexpr int kKeyHeight = 25;

constexpr std::array<const char*, arming::kFunctionKeys> kFunctionSuffixes = {
    "a1", "a2", "tc", "a4", "v", "asm", "ins"};
constexpr std::array<const char*, arming::kFunctionKeys> kFunctionCaptions = {
    "A1", "A2", "tc", "A4", "V", "A", "I"};

}  // namespace

TrackPanel::TrackPanel(QWidget* parent, const Names& names) {
  frame = new QFrame(parent);
  frame->setObjectName(names.frame);
  frame->setGeometry(356, 24, 256, 124);
  const std::string prefix(1, names.prefix);
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const std::string name = prefix + kFunctionSuffixes[i];
    functions[i] =
        MakeKey(frame, name.c_str(), kFunctionCaptions[i],
                {kKeyX[i], kRowY[0], kKeyWidth, kKeyHeight}, LampScheme::Red, static_cast<int>(i));
  }
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const std::string name = prefix + "r" + std::to_string(i + 1);
    const std::size_t column = i % kKeyX.size();
    const std::size_t row = 1 + i / kKeyX.size();
    tracks[i] = MakeKey(frame, name.c_str(), QString::number(i + 1),
                        {kKeyX[column], kRowY[row], kKeyWidth, kKeyHeight}, LampScheme::Red,
                        names.firstTrackTag + static_cast<int>(i));
  }
  bank = MakeKey(parent, names.bank, "1-24", {364, 152, 41, 30}, LampScheme::Bank);
}
