#include "ZQColors.h"

namespace {
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kBlack(0, 0, 0);
const QColor kGrey(0x80, 0x80, 0x80);
}  // namespace

TZQColors::TZQColors() {
  for (int i = Fill_Off; i <= Fill_Lit; ++i) colors_[i] = kSilver;
  for (int i = Ring_Off; i <= Text_Lit; ++i) colors_[i] = kBlack;
  colors_[Fill_Disabled] = kSilver;
  colors_[Ring_Disabled] = kGrey;
}

TZQColors::TZQColors(const TZQColors& other) : colors_(other.colors_) {}

TZQColors& TZQColors::operator=(const TZQColors& other) {
  Assign(other);
  return *this;
}

QColor TZQColors::Color(int index) const {
  if (index < 0 || index >= Count) return {};
  return colors_[index];
}

void TZQColors::SetColor(int index, const QColor& color) {
  if (index < 0 || index >= Count || colors_[index] == color) return;
  colors_[index] = color;
  if (OnChange) OnChange();
}

void TZQColors::Assign(const TZQColors& other) {
  if (colors_ == other.colors_) return;
  colors_ = other.colors_;
  if (OnChange) OnChange();
}
