// "About Selkie Test": the program's version, the versions of the family's libraries and of Qt.
#pragma once

#include <QMessageBox>
#include <optional>
#include <string>

class AboutBox : public QMessageBox {
 public:
  explicit AboutBox(QWidget* parent = nullptr);

  // The box's text.
  static QString Text();
};

// The version of a library this process has loaded, from the name of the file it was loaded from
// ("libVyoTCode.so.1.0.0" gives "1.0.0"); nothing when no such library is loaded.
std::optional<std::string> LoadedLibraryVersion(const std::string& library);
