// Tool tips for the controls whose captions are abbreviations or symbols. The track panels'
// function keys (A1 A2 tc A4 V A I) take theirs from one table, whichever panel holds them.
#pragma once

#include <QString>
#include <array>

#include "VyoButton.h"

// The function keys of a track panel in edit-preset bit order: A1, A2, tc, A4, V, A, I.
void SetFunctionKeyTips(const std::array<TVyoButton*, 7>& keys);
// "Audio track 1", ...: the tip of function key `index` (0..6), empty for any other index.
QString FunctionKeyTip(int index);
// The tip of a track key of `side` ("port A" or "port B") and of the bank key.
QString TrackKeyTip(const QString& side);
QString BankKeyTip();
// A tip with its keyboard key: "Play (F8)".
QString WithKey(const QString& tip, const QString& key);
