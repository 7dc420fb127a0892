#include "PanelTips.h"

namespace {

constexpr std::array<const char*, 7> kFunctionTips = {
    "Audio track 1", "Audio track 2", "Time code track", "Audio track 4",
    "Video",         "Assemble edit", "Insert edit"};

}  // namespace

QString FunctionKeyTip(int index) {
  if (index < 0 || index >= static_cast<int>(kFunctionTips.size())) return {};
  return QString::fromLatin1(kFunctionTips[static_cast<std::size_t>(index)]);
}

void SetFunctionKeyTips(const std::array<TVyoButton*, 7>& keys) {
  for (std::size_t i = 0; i < keys.size(); ++i)
    keys[i]->setToolTip(FunctionKeyTip(static_cast<int>(i)));
}

QString TrackKeyTip(const QString& side) {
  return "Arms or disarms this track of the machine on " + side;
}

QString BankKeyTip() { return "Shows the next bank of 24 tracks"; }

QString WithKey(const QString& tip, const QString& key) { return tip + " (" + key + ")"; }
