// The main window under test on the offscreen platform: a QApplication for the whole program, a
// window built as main() builds it with its settings in a temporary folder, and the user's side
// of every box and prompt answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <memory>

#include "KeypadF.h"
#include "QtInvoker.h"
#include "TempDir.h"
#include "mselkietestu.h"
#include "vcommsu.h"

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "app_window_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

// One application for the whole test program, however many files include this header.
inline testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

class WindowTest : public testing::Test {
 protected:
  TempDir dir;
  SettingsRecord record;  // written to the settings file when writeSettings
  bool writeSettings = false;
  std::vector<QString> errors;
  std::vector<QString> messages;
  std::vector<std::pair<QString, QString>> opened;
  std::deque<int> promptAnswers;  // kPromptCancelled when empty
  int prompts = 0;
  std::function<void()> whilePrompted;  // runs while "Select Port" is open
  QString manualChoice;
  QString captureChoice;                   // "Capture to File..." answer; empty: Cancel
  std::optional<std::string> capturePath;  // --capture
  QString personalityChoice;               // "Personality..." answer; empty: Cancel
  std::optional<std::string> personality;  // --personality
  QString rackChoice;                      // "Open Rack..." answer; empty: Cancel
  QString manualFolderAsked;               // the folder Help's dialog was opened in
  std::vector<QString> confirmations;      // plans the user was asked to confirm
  bool confirmAnswer = false;
  std::vector<QStringList> programRuns;  // program and arguments of each run
  int runStatus = 0;
  std::function<void(SelkieConfig&)> adjustConfig;
  std::unique_ptr<TSelkieF> w;
  std::unique_ptr<TKeypadF> keypad;
  std::unique_ptr<Tcommsf> comms;

  std::filesystem::path SettingsPath() const { return dir.path() / "selkietest.ini"; }

  void Start(bool demo = false) {
    if (writeSettings) SettingsFile(SettingsPath()).Save(record);
    SelkieConfig config;
    config.settingsPath = SettingsPath();
    config.programFolder = dir.path();
    config.demo = demo;
    config.capturePath = capturePath;
    config.personality = personality;
    config.adjustDesktop = [this](SelkieDesktop& d) {
      d.showError = [this](const QString& m) { errors.push_back(m); };
      d.showMessage = [this](const QString& m) { messages.push_back(m); };
      d.chooseManual = [this](const QString& folder) {
        manualFolderAsked = folder;
        return manualChoice;
      };
      d.confirm = [this](const QString& plan) {
        confirmations.push_back(plan);
        return confirmAnswer;
      };
      d.runProgram = [this](const QString& program, const QStringList& arguments) {
        programRuns.push_back(QStringList{program} + arguments);
        return runStatus;
      };
      d.chooseCapture = [this] { return captureChoice; };
      d.choosePersonality = [this] { return personalityChoice; };
      d.chooseRack = [this] { return rackChoice; };
      d.openDocument = [this](const QString& f, const QString& folder) {
        opened.emplace_back(f, folder);
      };
      d.promptPort = [this](const std::vector<SerialSelectEntry>&) {
        ++prompts;
        if (whilePrompted) whilePrompted();
        if (promptAnswers.empty()) return kPromptCancelled;
        const int answer = promptAnswers.front();
        promptAnswers.pop_front();
        return answer;
      };
    };
    if (adjustConfig) adjustConfig(config);
    w = std::make_unique<TSelkieF>(config, std::make_shared<QtInvoker>());
    keypad = std::make_unique<TKeypadF>();
    comms = std::make_unique<Tcommsf>();
    w->AttachWindows(keypad.get(), comms.get());
    w->show();
    QApplication::processEvents();  // the window starts the host's session once it is placed
    Settle();
  }

  // Waits until the engine host has run every action posted so far and the window shows the
  // result (the window itself never waits for the host).
  void Settle() {
    const uint64_t ticket = w->Host().Post([](HostCore&) {});
    ASSERT_TRUE(WaitFor([&] { return w->Shown().actionsDone >= ticket; }, 10000));
  }

  void TearDown() override {
    w.reset();
    keypad.reset();
    comms.reset();
  }

  // Runs the event loop until `done` holds or `ms` pass; returns done().
  template <typename Pred>
  bool WaitFor(Pred done, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
  }

  void Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
  }

  SettingsRecord SavedRecord() {
    Settle();
    w->Host().FlushSettings();
    SettingsRecord saved;
    SettingsFile(SettingsPath()).Load(saved);
    return saved;
  }
};
