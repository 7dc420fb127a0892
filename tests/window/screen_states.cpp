// Helpers of scripts/screenshot-windows, run on a real X server:
//   screen_states grab OUT.png            writes the whole screen to OUT.png
//   screen_states dark OUT.png SETTINGS   shows the demo window on a dark palette, then grabs
// Not a test and not installed.
#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "KeypadF.h"
#include "QtInvoker.h"
#include "mselkietestu.h"
#include "vcommsu.h"

namespace {

bool Grab(const char* path) {
  const bool saved =
      QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(path));
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", path);
  return saved;
}

// A dark palette as dark desktop themes give it.
QPalette DarkPalette() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
  p.setColor(QPalette::WindowText, QColor(0xE6, 0xE6, 0xE6));
  p.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
  p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
  p.setColor(QPalette::Text, QColor(0xE6, 0xE6, 0xE6));
  p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
  p.setColor(QPalette::ButtonText, QColor(0xE6, 0xE6, 0xE6));
  p.setColor(QPalette::Highlight, QColor(0x1D, 0x4E, 0x89));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(0x3A, 0x3A, 0x3A));
  p.setColor(QPalette::ToolTipText, QColor(0xE6, 0xE6, 0xE6));
  return p;
}

int Dark(const char* out, const char* settings) {
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(DarkPalette());
  SelkieConfig config;
  config.demo = true;
  config.settingsPath = settings;
  config.programFolder = ".";
  TSelkieF main(config, std::make_shared<QtInvoker>());
  TKeypadF keypad(&main);
  Tcommsf comms;
  main.AttachWindows(&keypad, &comms);
  main.show();
  QTimer::singleShot(500, &main, [&] { main.Panel1->kplay->OnClick(main.Panel1->kplay); });
  int status = 1;
  QTimer::singleShot(2500, &main, [&] {
    status = Grab(out) ? 0 : 1;
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "grab") == 0) return Grab(argv[2]) ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "dark") == 0) return Dark(argv[2], argv[3]);
  std::fprintf(stderr, "usage: screen_states grab OUT.png | dark OUT.png SETTINGS\n");
  return 2;
}
