// Replacing a file's whole content so that a crash at any moment leaves the old content or the
// new, never a torn file, and no temporary file behind.
//
// The content goes to an unnamed temporary file beside the file (on a file system without unnamed
// files: "<file>.tmp.<pid>.<n>", created exclusively, and such temporaries of writers that died
// are removed first), is flushed, named and renamed over the file, and the folder is flushed so
// the rename itself survives a power cut. A symbolic link is followed (the link stays, its target
// gets the content, also a target not there yet); the replaced file keeps its mode.
//
// Where no temporary can be made or renamed beside an existing file (a folder the user may not
// write, another user's file in a sticky folder), the file is overwritten in place instead, as a
// plain overwrite would: only then can a crash tear it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace base {

struct ReplaceOptions {
  // The mode of a file that was not there; none: 0666 less the umask.
  std::optional<mode_t> newFileMode;
  // Refuses a file the caller may not write (EACCES), as opening it for writing would; otherwise
  // only the folder's permission counts, as for any rename.
  bool onlyWritableFiles = false;
};

// What a replace came to. On a failure the file is as it was, except after a failed overwrite in
// place, and no temporary is left.
struct ReplaceResult {
  int error = 0;       // errno of the step that failed; 0 when the file holds the new content
  std::string step;    // that step and its file, as "Cannot replace /home/u/s.ini"
  std::string reason;  // said instead of errno's text where errno has none that fits

  explicit operator bool() const { return error == 0; }
  std::string Message() const;  // "<step>: <reason>"
};

ReplaceResult ReplaceFile(const std::string& path, std::span<const uint8_t> content,
                          const ReplaceOptions& options = {});

}  // namespace base
