// One key-and-lamp of a panel held as data: lamp level, lit flag and caption, with the lit
// button's own setter rules so that a window mirroring it shows exactly what the control would.
#pragma once

#include <cstdint>
#include <string>

// Lamp levels of a lit button: 0 off, 1 dim 1, 2 dim 2, 3 lit.
constexpr uint8_t kLampOff = 0;
constexpr uint8_t kLampLit = 3;

struct PanelLamp {
  bool Lit = false;
  int LitState = kLampOff;
  std::string Caption;

  // Lit := v; a change also sets the level to lit or off.
  void SetLit(bool v) {
    if (v == Lit) return;
    Lit = v;
    LitState = v ? kLampLit : kLampOff;
  }
  // Level 0..3; other values are ignored. A non-zero level also sets Lit; 0 leaves it.
  void SetLitState(int s) {
    if (s < kLampOff || s > kLampLit || s == LitState) return;
    LitState = s;
    if (s != kLampOff) Lit = true;
  }

  bool operator==(const PanelLamp&) const = default;
};
