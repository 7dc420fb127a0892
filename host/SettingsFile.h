// Where the settings record lives and how it goes to and from disk.
//
// The file is `<program folder>/<program name up to its first ".">.ini` (the whole name plus
// ".ini" when it has no "."). When the program folder is not writable, the same name under
// `$XDG_CONFIG_HOME/selkietest/` (default `~/.config/selkietest/`). Writes replace the file whole
// (base/AtomicReplace.h): a temporary file beside it, flushed and renamed over it, so a crash or a
// full disk leaves the old record intact instead of a truncated one.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "SettingsRecord.h"

// A read or write of the settings file failed for a reason other than its absence.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "selkietest" -> "selkietest.ini", "selkietest.exe" -> "selkietest.ini", "a.b.c" -> "a.ini".
std::string SettingsFileName(const std::string& programFileName);

// The settings file for the program at `programPath`; `suffix` is added to the name before
// ".ini" (the demo keeps its own file). Reads XDG_CONFIG_HOME and HOME when the program folder is
// not writable, and then creates that folder (the only folder the program creates).
std::filesystem::path DefaultSettingsPath(const std::filesystem::path& programPath,
                                          const std::string& suffix = "");

// The running program's own file (/proc/self/exe).
std::filesystem::path ProgramPath();

class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& Path() const { return path_; }

  // If the file exists, fills `record` from its first 32 bytes (a shorter file fills the start)
  // and returns true; when it does not exist, returns false and leaves `record` alone. Throws
  // SettingsError when it exists but cannot be read (no permission, a folder, a FIFO).
  bool Load(SettingsRecord& record) const;

  // Replaces the file with the 32 bytes of `record`, atomically. A symbolic link is followed and
  // kept; the replaced file's mode is kept (a new file gets 0644). Creates no folder. Where no
  // temporary can be made or renamed beside the file (a folder the user may not write, another
  // user's file in a sticky folder), the file is overwritten in place with one write. Throws
  // SettingsError; the old file is then untouched (an in-place overwrite that fails may leave it
  // torn).
  void Save(const SettingsRecord& record) const;

 private:
  std::filesystem::path path_;
};
