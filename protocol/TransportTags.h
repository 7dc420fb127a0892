// Tags of the transport keys on both panels; each is the Sony transport command the key runs.
#pragma once

constexpr int kTagStop = 0;      // "[]"
constexpr int kTagPlay = 1;      // ">"
constexpr int kTagFwd = 16;      // ">>"
constexpr int kTagRwd = 32;      // "<<"
constexpr int kTagRvsPlay = 34;  // "<"
constexpr int kTagOff = 100;     // "Off": edit off
constexpr int kTagEdit = 101;    // "EDIT": edit on
