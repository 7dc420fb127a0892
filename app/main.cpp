// selkietest: parses the command line and starts the headless run or the window program.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "HeadlessPrinter.h"
#include "KeypadF.h"
#include "PortInventory.h"
#include "ProgramIcon.h"
#include "ProgramOptions.h"
#include "QtInvoker.h"
#include "ReplayRunner.h"
#include "SettingsFile.h"
#include "SingleInstance.h"
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
int gSignalPipe[2] = {-1, -1};

void ForwardSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP close the window as its close box does (ports closed, settings
// written, exit status 0) instead of killing it with the ports as they were.
void CloseOnSignals(QWidget& window, QObject& owner) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &owner);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char bytes[16];
    while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
    }
    window.close();
    QCoreApplication::exit(0);  // also ends a box that was open at the time
  });
  struct sigaction action {};
  action.sa_handler = ForwardSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
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
  config.demo = options.demo;
  config.capturePath = options.capture;
  config.settingsPath = options.settings
                            ? std::filesystem::path(*options.settings)
                            : DefaultSettingsPath(program, options.demo ? "-demo" : "");
  TSelkieF main(config, std::make_shared<QtInvoker>());
  TKeypadF keypad(&main);
  Tcommsf comms;
  main.AttachWindows(&keypad, &comms);
  CloseOnSignals(main, app);
  WindowRaiser raiser(&main);
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
