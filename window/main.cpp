// selkietest: parses the command line and starts the headless run or the window program.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cstdlib>
#include <iostream>

#include "CaptureOpener.h"
#include "CaptureViewer.h"
#include "CensusRunner.h"
#include "HeadlessPrinter.h"
#include "HelpFiles.h"
#include "KeypadF.h"
#include "PersonalityLearner.h"
#include "PortInventory.h"
#include "PortProbe.h"
#include "ProgramIcon.h"
#include "ProgramOptions.h"
#include "QtInvoker.h"
#include "RackFile.h"
#include "ReplayRunner.h"
#include "SendRunner.h"
#include "SettingsFile.h"
#include "SingleInstance.h"
#include "StopSignals.h"
#include "WindowRaiser.h"
#include "mselkietestu.h"
#include "vcommsu.h"

namespace {

constexpr const char* kNoDisplay =
    "selkietest: no display can be opened.\n"
    "  Run the virtual machine without a window:  selkietest --headless --port-a "
    "pty:/tmp/selkie-a\n"
    "  or run the window without showing it:      QT_QPA_PLATFORM=offscreen selkietest\n";

bool gApplicationReady = false;

// A stop signal closes the window as its close box does.
void CloseOnSignals(QWidget& window, QObject& owner) {
  StopSignals::Install();
  if (StopSignals::Fd() < 0) return;
  auto* notifier = new QSocketNotifier(StopSignals::Fd(), QSocketNotifier::Read, &owner);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    StopSignals::Take();
    window.close();
    QCoreApplication::exit(0);  // also ends a box that was open at the time
  });
}

// A toolkit that cannot start (no display, no platform plugin) ends the program with a clear
// message instead of an abort and a core file.
void MessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg && !gApplicationReady) {
    std::cerr << kNoDisplay << "  (" << message.toStdString() << ")" << std::endl;
    _exit(1);
  }
  if (type != QtDebugMsg) std::cerr << message.toStdString() << std::endl;
  if (type == QtFatalMsg) std::abort();
}

// A platform named on the command line ("-platform offscreen") counts as much as one in the
// environment.
bool DisplayConfigured(const std::vector<std::string>& toolkitArgs) {
  for (const std::string& arg : toolkitArgs)
    if (arg == "-platform") return true;
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

// `selkietest FILE`: the capture's viewer alone; it opens no port and leaves a running window be.
int RunViewer(const std::string& path) {
  std::unique_ptr<CaptureViewer> viewer;
  try {
    viewer = std::make_unique<CaptureViewer>(QString::fromStdString(path));
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << path << ": " << e.what() << std::endl;
    return 2;
  }
  viewer->setAttribute(Qt::WA_QuitOnClose, true);
  viewer->show();
  return QApplication::exec();
}

int RunWindow(const ProgramOptions& options) {
  if (!DisplayConfigured(options.toolkitArgs)) {
    std::cerr << kNoDisplay;
    return 1;
  }
  qInstallMessageHandler(MessageHandler);
  std::vector<char*> argv;
  std::vector<std::string> toolkitArgs = options.toolkitArgs;
  for (std::string& arg : toolkitArgs) argv.push_back(arg.data());
  int argc = static_cast<int>(argv.size());
  QApplication app(argc, argv.data());
  gApplicationReady = true;
  // No display name: the platform would append it to every caption, and the captions are exact.
  QApplication::setApplicationName("selkietest");
  QApplication::setWindowIcon(ProgramIcon());
  if (options.openCapture) return RunViewer(*options.openCapture);

  SingleInstance instance;
  if (!instance.Acquire()) {
    WindowRaiser::AskRunningInstance();
    QMessageBox box(QMessageBox::NoIcon, "Selkie Test", "The Selkie is already running.",
                    QMessageBox::Ok);
    box.exec();
    return 0;
  }
  if (!instance.Warning().empty()) std::cerr << "selkietest: " << instance.Warning() << std::endl;

  SelkieConfig config;
  const std::filesystem::path program = ProgramPath();
  config.programFolder = program.parent_path();
  config.manualFolder = ManualFolder(config.programFolder);
  config.adapterHelper = AdapterHelper(config.programFolder);
  config.demo = options.demo;
  config.capturePath = options.capture;
  config.personality = options.personality;
  if (options.rack) {
    try {
      config.rack = LoadRack(*options.rack, options.portA, options.machine.value_or(0),
                             options.standard.value_or(0), options.personality);
    } catch (const std::exception& e) {
      std::cerr << "selkietest: " << e.what() << std::endl;
      return 2;
    }
  }
  config.settingsPath = options.settings
                            ? std::filesystem::path(*options.settings)
                            : DefaultSettingsPath(program, options.demo ? "-demo" : "");
  TSelkieF main(config, std::make_shared<QtInvoker>());
  TKeypadF keypad(&main);
  Tcommsf comms;
  main.AttachWindows(&keypad, &comms);
  CaptureOpener captures(&main, *main.Menu);
  CloseOnSignals(main, app);
  WindowRaiser raiser(&main);
  if (!raiser.Listening()) {
    std::cerr << "selkietest: a second start cannot bring this window to the front: "
              << raiser.Problem().toStdString() << std::endl;
  }
  main.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  ProgramOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv, argv + argc));
  } catch (const OptionsError& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.replay) return RunReplay(options);
  if (options.census) return RunCensus(options);
  if (options.censusEditor) return RunEditorCensus(options);
  if (options.send) return RunSend(options);
  if (options.probePorts) return RunProbePorts();
  if (options.learn)
    return RunLearn(*options.learn, *options.output, options.from.value_or(""), std::cerr);
  if (options.listPorts) {
    for (const PortInfo& port : PortInventory().List()) std::cout << port.Line() << '\n';
    return 0;
  }
  if (options.version) {
    std::cout << VersionText();
    return 0;
  }
  if (options.headless) return RunHeadless(options);
  return RunWindow(options);
}
