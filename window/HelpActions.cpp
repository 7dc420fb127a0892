// TSelkieF's Help and "Install Selkie Driver": the manual opened from its folder, and what a USB
// RS-422 adapter needs on Linux (group membership, the latency udev rule) set up through pkexec.
#include <unistd.h>

#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>

#include "HelpFiles.h"
#include "mselkietestu.h"

namespace fs = std::filesystem;

fs::path ManualFolder(const fs::path& programFolder) {
  const fs::path installed = programFolder.parent_path() / "share" / "doc" / "selkietest";
  std::error_code error;
  return fs::is_directory(installed, error) ? installed : programFolder;
}

fs::path AdapterHelper(const fs::path& programFolder) {
  std::error_code error;
  for (const fs::path& candidate :
       {programFolder / kAdapterHelperFile,
        programFolder.parent_path() / "libexec" / "selkietest" / kAdapterHelperFile})
    if (fs::is_regular_file(candidate, error)) return candidate;
  return {};
}

namespace {

QString UserName() {
  if (const char* user = std::getenv("USER"); user && *user) return QString::fromLocal8Bit(user);
  return QString::number(getuid());
}

QString AdapterPlan(const QString& user) {
  return "A USB RS-422 adapter needs two things on this computer:\n\n"
         "  - " +
         user +
         " in the group dialout, to open /dev/ttyUSB* without root;\n"
         "  - the udev rule /etc/udev/rules.d/99-selkie-latency.rules, which sets the adapter's "
         "latency timer to 1 ms so that no reply waits 16 ms in the driver.\n\n"
         "Both are done as root after you give your password (pkexec). The group counts from "
         "the next login.";
}

}  // namespace

void TSelkieF::Help1Click() {
  const fs::path folder =
      config_.manualFolder.empty() ? config_.programFolder : config_.manualFolder;
  const QString chosen = Desktop.chooseManual(QString::fromStdString(folder.string()));
  if (chosen.isEmpty()) return;
  const QFileInfo file(chosen);
  if (file.exists())
    Desktop.openDocument(file.absoluteFilePath(), file.absolutePath());
  else
    Desktop.showMessage(file.fileName() + "  Not Found");
}

void TSelkieF::InstallSelkieDriver1Click() {
  const QString folder = QString::fromStdString(config_.programFolder.string());
  const QString installer =
      QString::fromStdString((config_.programFolder / "CDM_Setup.exe").string());
  if (QFileInfo::exists(installer))
    Desktop.openDocument(installer, folder);
  else if (!config_.adapterHelper.empty() && fs::exists(config_.adapterHelper))
    RunAdapterHelper();
  else
    Desktop.showMessage(installer + "  Not Found");
}

void TSelkieF::RunAdapterHelper() {
  const QString pkexec = QStandardPaths::findExecutable("pkexec");
  if (pkexec.isEmpty()) {
    Desktop.showMessage("pkexec  Not Found");
    return;
  }
  const QString user = UserName();
  if (!Desktop.confirm(AdapterPlan(user))) return;
  const int status =
      Desktop.runProgram(pkexec, {QString::fromStdString(config_.adapterHelper.string()), user});
  if (status == 0)
    Desktop.showMessage("The adapter is set up. Log out and in again, then plug it in again.");
  else
    Desktop.showMessage(QString("Nothing was changed (pkexec ended with status %1).").arg(status));
}
