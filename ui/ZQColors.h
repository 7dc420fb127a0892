// TZQColors: the fourteen colours of one lit button. A button shows one of four lamp levels;
// each level has a fill, a ring (outline) and a text colour, and a disabled button uses its own
// fill and ring. The owner listens to OnChange to repaint.
#pragma once

#include <QColor>
#include <array>
#include <functional>

class TZQColors {
 public:
  // The index of each colour; the level colours are laid out so that Fill + level, Ring + level
  // and Text + level address the colours of lamp level 0..3.
  enum Index {
    Fill_Off = 0,
    Fill_Dim1,
    Fill_Dim2,
    Fill_Lit,
    Ring_Off,
    Ring_Dim1,
    Ring_Dim2,
    Ring_Lit,
    Text_Off,
    Text_Dim1,
    Text_Dim2,
    Text_Lit,
    Fill_Disabled,
    Ring_Disabled,
    Count
  };

  TZQColors();
  // The change listener belongs to the owner, so copies carry the colours only.
  TZQColors(const TZQColors& other);
  TZQColors& operator=(const TZQColors& other);

  // Colour at index 0..13; an index outside that range gives an invalid QColor.
  QColor Color(int index) const;
  // Stores a different colour and fires OnChange; the same colour or a bad index does nothing.
  void SetColor(int index, const QColor& color);
  // Copies all fourteen colours; fires OnChange once when any of them differed.
  void Assign(const TZQColors& other);

  bool operator==(const TZQColors& other) const { return colors_ == other.colors_; }

  std::function<void()> OnChange;

 private:
  std::array<QColor, Count> colors_;
};
