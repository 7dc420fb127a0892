// Small helpers shared by the main window's panels: making a named lit button at its designed
// place, the lamp colour sets, and mirroring an engine's lamp or text onto a control without
// repainting what did not change.
#pragma once

#include <QLabel>
#include <QRect>
#include <QString>

#include "LinkHealth.h"
#include "VyoButton.h"

enum class LampScheme {
  Green,  // keys and lamps: lit bright green
  Red,    // track-arming keys: lit red with white text
  Bank,   // bank keys: grey, navy, dim red, red; white text
  Amber,  // line and sync lamps
};

TVyoButton* MakeKey(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    LampScheme scheme = LampScheme::Green, int tag = 0);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry);

// Sets level 0..3 as the engine holds it (and Lit as the level implies).
void MirrorLamp(TVyoButton* button, int level);
void MirrorLit(TVyoButton* button, bool lit);
void MirrorCaption(TVyoButton* button, const std::string& caption);
void MirrorText(QLabel* label, const std::string& text);

// A panel's link line: "Port A  req 24  rep 24  t/o 0" over "checksum errors 0  last reply 0.04 s".
QString LinkPanelText(char side, const LinkHealth& health, Micros now);
