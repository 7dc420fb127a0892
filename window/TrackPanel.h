// The track-arming keys as both panels show them: a frame holding the seven function keys over
// three rows of eight track keys, and the bank key below it. The panels differ only in the
// widgets' object names and the tag of the first track key.
#pragma once

#include <QFrame>
#include <array>

#include "ArmingKeys.h"
#include "VyoButton.h"

class TrackPanel {
 public:
  struct Names {
    const char* frame;  // the frame holding the keys
    char prefix;        // 'r' names rr1..rr24, ra1, ra2, rtc, ra4, rv, rasm, rins
    const char* bank;   // the bank key
    int firstTrackTag;  // tag of the first track key; the next keys count up from it
  };

  TrackPanel(QWidget* parent, const Names& names);

  QFrame* frame;
  std::array<TVyoButton*, arming::kTrackKeys> tracks{};
  // Tag = the key's bit in the edit-preset byte.
  std::array<TVyoButton*, arming::kFunctionKeys> functions{};
  TVyoButton* bank;
};
