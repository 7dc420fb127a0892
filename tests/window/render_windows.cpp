// Writes a PNG of every secondary window and of the lit buttons to a folder, for a reviewer's eye.
//   render_windows [folder]     (default: ./ui-png; runs offscreen unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <cstdio>

#include "KeypadF.h"
#include "PortSelectForm.h"
#include "VyoButton.h"
#include "ZQDialog.h"
#include "vcommsu.h"

namespace {

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
  widget.show();
  QCoreApplication::processEvents();
  const QString path = folder.filePath(name + QStringLiteral(".png"));
  const bool saved = widget.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
  widget.hide();
  return saved;
}

TVyoButton* GalleryButton(QWidget* parent, int column, int row, const QString& caption) {
  auto* button = new TVyoButton(parent);
  button->move(10 + column * 90, 30 + row * 30);
  button->SetCaption(caption);
  return button;
}

// Lamp levels in a green set, the disabled look, the corner styles, ring widths and a held key.
void BuildButtonGallery(QWidget& gallery) {
  gallery.setWindowTitle(QStringLiteral("Lit buttons"));
  gallery.resize(380, 190);
  auto* heading =
      new QLabel(QStringLiteral("levels 0-3, disabled / square, rings 0-3, held"), &gallery);
  heading->setGeometry(10, 6, 360, 18);
  TZQColors green;
  const QColor fills[] = {QColor(0x30, 0x40, 0x30), QColor(0x30, 0x70, 0x30),
                          QColor(0x30, 0xA0, 0x30), QColor(0x40, 0xF0, 0x40)};
  for (int level = 0; level < 4; ++level) {
    green.SetColor(TZQColors::Fill_Off + level, fills[level]);
    green.SetColor(TZQColors::Text_Off + level, level == 3 ? Qt::black : Qt::white);
  }
  for (int level = 0; level < 4; ++level) {
    TVyoButton* b = GalleryButton(&gallery, level, 0, QStringLiteral("PLAY %1").arg(level));
    b->SetColors(green);
    b->SetLitState(level);
  }
  TVyoButton* disabled = GalleryButton(&gallery, 0, 1, QStringLiteral("disabled"));
  disabled->SetColors(green);
  disabled->SetLitState(3);
  disabled->setEnabled(false);
  GalleryButton(&gallery, 1, 1, QStringLiteral("square"))->SetCornerStyle(zqcSquare);
  TVyoButton* round = GalleryButton(&gallery, 2, 1, QStringLiteral("radius 6"));
  round->SetCornerRadius(6);
  GalleryButton(&gallery, 3, 1, QStringLiteral("a caption far too long"));
  for (int width = 0; width < 4; ++width) {
    GalleryButton(&gallery, width, 2, QStringLiteral("ring %1").arg(width))
        ->SetRingWidth(static_cast<int16_t>(width));
  }
  TVyoButton* held = GalleryButton(&gallery, 0, 3, QStringLiteral("held"));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(held, &press);
  TVyoButton* focused = GalleryButton(&gallery, 1, 3, QStringLiteral("focused"));
  focused->setFocus();
  GalleryButton(&gallery, 2, 3, QStringLiteral("clear"))->SetClear(true);
  TVyoButton* lamp = GalleryButton(&gallery, 3, 3, QStringLiteral("lamp"));
  lamp->SetTabStop(false);
  lamp->Colors().SetColor(TZQColors::Fill_Lit, QColor(0xF0, 0x30, 0x30));
  lamp->SetLit(true);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ui-png"));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "render_windows: cannot create %s\n", qPrintable(folder.path()));
    return 1;
  }
  bool ok = true;

  QWidget gallery;
  BuildButtonGallery(gallery);
  ok &= Save(gallery, folder, QStringLiteral("buttons"));

  TZQDlg dialog;
  dialog.PrepareStringEntry(0, QStringLiteral("1F2"),
                            QStringLiteral("Enter the new device ID (hex):"),
                            QStringLiteral("Enter ID"));
  ok &= Save(dialog, folder, QStringLiteral("zqdlg_entry"));
  dialog.PrepareStringEntry(2, QStringLiteral("secret"), QStringLiteral("Enter password here"),
                            QStringLiteral("_Caption"));
  ok &= Save(dialog, folder, QStringLiteral("zqdlg_masked"));
  dialog.PF_Text->setText(QStringLiteral("The password was not accepted."));
  dialog.SelectPage(TZQDlg::P_PassFail);
  ok &= Save(dialog, folder, QStringLiteral("zqdlg_passfail"));
  dialog.STD_Text->setText(QStringLiteral("The machine identity was changed."));
  dialog.SelectPage(TZQDlg::P_Standard);
  ok &= Save(dialog, folder, QStringLiteral("zqdlg_standard"));
  dialog.QRY_Text->setText(QStringLiteral("Replace the current settings?"));
  dialog.SelectPage(TZQDlg::P_QUERY);
  ok &= Save(dialog, folder, QStringLiteral("zqdlg_query"));

  TKeypadF keypad;
  keypad.Logic().FormShow();
  keypad.k[1]->OnClick(keypad.k[1]);
  keypad.k[2]->OnClick(keypad.k[2]);
  ok &= Save(keypad, folder, QStringLiteral("keypad"));

  Tcommsf comms;
  comms.SetShowComs(true);
  for (const char* line : {"Rx:20 01 21 ", "20 01 21 ", "  Tx 10 01 11 ", "Rx:61 0C 01 6E ",
                           "  Tx 74 04 00 00 10 01 89 "}) {
    comms.AddLine(QString::fromLatin1(line));
  }
  ok &= Save(comms, folder, QStringLiteral("comms"));

  TPortSelectForm prompt({{1, "/dev/ttyS0", "COM1 (/dev/ttyS0)"},
                          {251, "virtual cable A", "COM251 (virtual cable A)"}});
  ok &= Save(prompt, folder, QStringLiteral("portselect"));
  TPortSelectForm empty({});
  ok &= Save(empty, folder, QStringLiteral("portselect_empty"));

  return ok ? 0 : 1;
}
