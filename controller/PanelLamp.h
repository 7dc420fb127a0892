// One key-and-lamp of a panel held as data: lamp level, lit flag and caption, with the lit
// button's own setter rules so that a window mirroring it shows exactly what the control would.
#pragma once

#include <string>

struct PanelLamp {
  bool Lit = false;
  int LitState = 0;  // 0 off, 1 dim 1, 2 dim 2, 3 lit
  std::string Caption;

  // Lit := v; a change also sets the level to 3 (lit) or 0 (off).
  void SetLit(bool v) {
    if (v == Lit) return;
    Lit = v;
    LitState = v ? 3 : 0;
  }
  // Level 0..3; other values are ignored. A non-zero level also sets Lit; 0 leaves it.
  void SetLitState(int s) {
    if (s < 0 || s > 3 || s == LitState) return;
    LitState = s;
    if (s != 0) Lit = true;
  }

  bool operator==(const PanelLamp&) const = default;
};
