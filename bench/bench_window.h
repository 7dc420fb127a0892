// The program's main window for the benchmarks: the virtual machine view alone, port A on the
// given COM number, the keypad and comms monitor attached as at start-up.
#pragma once

#include <memory>
#include <string>

#include "KeypadF.h"
#include "QtInvoker.h"
#include "SettingsFile.h"
#include "mselkietestu.h"
#include "vcommsu.h"

struct BenchWindow {
  BenchWindow(const std::string& folder, int32_t portANumber, bool syncRow = false)
      : main(Config(folder, portANumber, syncRow), std::make_shared<QtInvoker>()) {
    main.AttachWindows(&keypad, &comms);
  }

  TSelkieF main;
  TKeypadF keypad;
  Tcommsf comms;

 private:
  static SelkieConfig Config(const std::string& folder, int32_t portANumber, bool syncRow) {
    SettingsRecord record;
    record.ShowVirtualMachine = 1;
    record.ShowSyncTest = syncRow ? 1 : 0;
    record.PortANumber = portANumber;
    SettingsFile(folder + "/window.ini").Save(record);
    SelkieConfig config;
    config.settingsPath = folder + "/window.ini";
    config.programFolder = folder;
    return config;
  }
};
