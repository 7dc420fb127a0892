// Not a test: shows the comms monitor, the reply-time plots and the capture viewer in the states a
// reviewer should look at, with live traffic from the demo window (both ports on the virtual
// cable, PLAY pressed) and a headless machine of another identity to replay to, and writes a PNG of
// the screen for each: `import -window root` when a display is set (so the window manager's frame
// is in the picture), the window's own grab otherwise. Usage: monitor_screens <folder>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QStyleFactory>
#include <QTableView>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <iostream>

#include "CaptureViewer.h"
#include "KeypadF.h"
#include "MonitorExport.h"
#include "MonitorPane.h"
#include "QtInvoker.h"
#include "ReplyTimeView.h"
#include "mselkietestu.h"
#include "vcommsu.h"

namespace {

QString gFolder;
bool gOk = true;

void Shoot(QWidget& window, const QString& name) {
  const QString path = gFolder + QLatin1Char('/') + name + QStringLiteral(".png");
  const bool screen = !qEnvironmentVariableIsEmpty("DISPLAY") &&
                      QApplication::platformName() == QStringLiteral("xcb");
  const bool saved = screen ? QProcess::execute("import", {"-window", "root", path}) == 0
                            : window.grab().save(path);
  if (!saved) gOk = false;
  std::cout << (saved ? "wrote " : "FAILED ") << path.toStdString() << std::endl;
}

// Runs the steps one after another, `gapMs` apart, then quits.
void RunSteps(std::vector<std::function<void()>> steps, int gapMs) {
  auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
  auto next = std::make_shared<std::function<void(std::size_t)>>();
  *next = [shared, next, gapMs](std::size_t i) {
    if (i == shared->size()) {
      QApplication::quit();
      return;
    }
    (*shared)[i]();
    QTimer::singleShot(gapMs, [next, i] { (*next)(i + 1); });
  };
  QTimer::singleShot(gapMs, [next] { (*next)(0); });
}

void Front(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

QPalette DarkPalette() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(45, 45, 48));
  p.setColor(QPalette::WindowText, QColor(220, 220, 220));
  p.setColor(QPalette::Base, QColor(30, 30, 30));
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
  p.setColor(QPalette::Text, QColor(220, 220, 220));
  p.setColor(QPalette::Button, QColor(60, 60, 64));
  p.setColor(QPalette::ButtonText, QColor(220, 220, 220));
  p.setColor(QPalette::Highlight, QColor(40, 90, 160));
  p.setColor(QPalette::HighlightedText, Qt::white);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: monitor_screens <folder>" << std::endl;
    return 2;
  }
  QApplication app(argc, argv);
  gFolder = QString::fromLocal8Bit(argv[1]);
  std::filesystem::create_directories(argv[1]);
  std::string folder = (std::filesystem::temp_directory_path() / "selkie-screens-XXXXXX").string();
  if (!::mkdtemp(folder.data())) return 1;
  {
    SelkieConfig config;
    config.demo = true;
    config.settingsPath = std::filesystem::path(folder) / "selkietest-demo.ini";
    config.programFolder = folder;
    TSelkieF main(config, std::make_shared<QtInvoker>());
    TKeypadF keypad(&main);
    Tcommsf comms;
    main.AttachWindows(&keypad, &comms);
    main.show();
    comms.SetShowComs(true);
    comms.SetDecode(true);
    comms.show();
    QProcess machine;
    const QString machinePath = QString::fromStdString(folder + "/machine");
    std::unique_ptr<CaptureViewer> viewer;
    const QString capture = QString::fromStdString(folder + "/demo.cap");
    RunSteps({[&] { main.Panel1->kplay->OnClick(main.Panel1->kplay); },
              [&] {
                comms.setGeometry(60, 60, 1000, 620);
                Front(comms);
              },
              [&] { Shoot(comms, "comms-resized"); },
              [&] {
                comms.pane->portBox->setCurrentIndex(2);
                comms.pane->groupBox->setCurrentIndex(comms.pane->groupBox->findData(0x6));
                comms.pane->search->setText("time");
                comms.pane->FindNext();
                comms.resize(760, 460);
              },
              [&] { Shoot(comms, "comms-filtered"); },
              [&] {
                comms.pane->portBox->setCurrentIndex(0);
                comms.pane->groupBox->setCurrentIndex(0);
                comms.ShowReplyTimes();
                comms.replyTimes->move(120, 80);
              },
              [&] { Shoot(*comms.replyTimes, "reply-times"); },
              [&] {
                comms.replyTimes->hide();
                SaveShownRows(*comms.pane->Filter(), capture, ExportFormat::Capture);
                viewer = std::make_unique<CaptureViewer>(capture);
                viewer->move(80, 40);
                viewer->resize(1100, 600);
                Front(*viewer);
                // Another identity answers the device-type requests differently.
                machine.start(SELKIE_PROGRAM,
                              {"--headless", "--port-a", "pty:" + machinePath, "--machine", "5"});
              },
              [&] { viewer->StartReplay(machinePath); },
              [&] {
                viewer->replayPort->setText(machinePath);
                Front(*viewer);
              },
              [&] { Shoot(*viewer, "capture-viewer-replayed"); },
              [&] { viewer->pane->errorsOnly->setChecked(true); },
              [&] { Shoot(*viewer, "capture-viewer-differences"); },
              [&] {
                viewer->hide();
                QApplication::setStyle(QStyleFactory::create("Fusion"));
                QApplication::setPalette(DarkPalette());
                comms.setGeometry(60, 60, 1000, 620);
                comms.pane->errorsOnly->setChecked(false);
                Front(comms);
              },
              [&] { Shoot(comms, "comms-dark"); }},
             1200);
    QApplication::exec();
    machine.terminate();
    machine.waitForFinished(3000);
  }
  std::filesystem::remove_all(folder);
  return gOk ? 0 : 1;
}
