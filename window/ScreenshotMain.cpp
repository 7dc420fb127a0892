// selkie_screenshot: runs the main window in demo mode (both views on the two ends of the virtual
// cable, settings in a temporary file) long enough for the controller to show the virtual
// machine's name and running time code (PLAY pressed on the controller), then saves the window as a
// PNG. Usage: selkie_screenshot <out.png> [milliseconds, default 1500]
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "KeypadF.h"
#include "QtInvoker.h"
#include "mselkietestu.h"
#include "vcommsu.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: selkie_screenshot <out.png> [milliseconds]" << std::endl;
    return 2;
  }
  QApplication app(argc, argv);
  const int runMs = argc > 2 ? std::atoi(argv[2]) : 1500;
  std::string folder = (std::filesystem::temp_directory_path() / "selkie-shot-XXXXXX").string();
  if (!::mkdtemp(folder.data())) return 1;

  SelkieConfig config;
  config.demo = true;
  config.settingsPath = std::filesystem::path(folder) / "selkietest-demo.ini";
  config.programFolder = folder;
  int status = 1;
  {
    TSelkieF main(config, std::make_shared<QtInvoker>());
    TKeypadF keypad(&main);
    Tcommsf comms;
    main.AttachWindows(&keypad, &comms);
    main.show();
    // Start the virtual machine through the controller, as a user would, so the time code runs.
    QTimer::singleShot(runMs / 3, &app, [&] { main.Panel1->kplay->OnClick(main.Panel1->kplay); });
    QTimer::singleShot(runMs, &app, [&] {
      status = main.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
      QApplication::quit();
    });
    QApplication::exec();
  }
  std::filesystem::remove_all(folder);
  if (status != 0) std::cerr << "selkie_screenshot: cannot write " << argv[1] << std::endl;
  return status;
}
