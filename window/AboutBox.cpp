#include "AboutBox.h"

#include <link.h>

#include <filesystem>

#include "SelkieVersion.h"

namespace {

// The version a loaded library reports, else the one it was built with. The program binds its
// libraries at run time, so the two differ when an older or newer copy is installed.
QString LibraryLine(const std::string& library, const char* builtVersion) {
  const std::optional<std::string> loaded = LoadedLibraryVersion(library);
  return QString::fromStdString(library + " " + loaded.value_or(builtVersion));
}

}  // namespace

std::optional<std::string> LoadedLibraryVersion(const std::string& library) {
  struct Search {
    std::string prefix;
    std::optional<std::string> path;
  } search{"lib" + library + ".so", std::nullopt};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        const std::string name = std::filesystem::path(info->dlpi_name).filename();
        if (name == s->prefix || name.starts_with(s->prefix + ".")) s->path = info->dlpi_name;
        return s->path ? 1 : 0;
      },
      &search);
  if (!search.path) return std::nullopt;
  std::error_code error;
  // The loader names the file by its SONAME link; the real file carries the whole version.
  const std::string file = std::filesystem::canonical(*search.path, error).filename().string();
  if (error || file.size() <= search.prefix.size() + 1) return std::nullopt;
  return file.substr(search.prefix.size() + 1);
}

AboutBox::AboutBox(QWidget* parent)
    : QMessageBox(QMessageBox::Information, "About Selkie Test", Text(), QMessageBox::Ok, parent) {
  setObjectName("AboutBox");
  setIconPixmap(windowIcon().pixmap(64, 64));
}

QString AboutBox::Text() {
  return QStringList{
      QString("Selkie Test %1").arg(SELKIE_VERSION),
      "Bench tool for the two-port RS-422 Selkie interface.",
      "",
      LibraryLine("VyoTCode", VYOTCODE_VERSION),
      LibraryLine("VyoServer", VYOSERVER_VERSION),
      QString("VyoModel %1").arg(VYOMODEL_VERSION),
      QString("Qt %1 (built with %2)").arg(qVersion(), QT_VERSION_STR),
  }
      .join('\n');
}
