// Replacing a file's whole content so that a crash at any moment leaves the old content or the
// new, never a torn file, and no temporary file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vyo {

// Writes size bytes to an unnamed temporary file beside path, flushes it, names it and renames it
// over path. A symbolic link at path is followed (the link stays, its target gets the content);
// the replaced file's mode is kept (a new file gets 0666 less the umask). On a file system without
// unnamed files the temporary is named "<path>.tmp.<pid>.<n>", created exclusively, and such
// temporaries of writers that died are removed first. False with errno set; path is then as it was.
bool ReplaceFile(const std::string& path, const uint8_t* data, std::size_t size);

// The file a replace writes: path with every symbolic link along its last component followed,
// also a link to a file that does not exist yet.
std::string ReplaceTarget(const std::string& path);

}  // namespace vyo
