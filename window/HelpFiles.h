// Where the window finds its manual and the adapter helper: beside the program in a build tree,
// in the installed tree's doc and libexec folders otherwise.
#pragma once

#include <filesystem>

inline constexpr const char* kManualFile = "selkietest-manual.pdf";
inline constexpr const char* kAdapterHelperFile = "selkietest-adapter-setup";

// The folder Help's dialog opens: <prefix>/share/doc/selkietest when the program runs from
// <prefix>/bin and that folder exists, else the program's own folder.
std::filesystem::path ManualFolder(const std::filesystem::path& programFolder);
// The adapter helper beside the program or in <prefix>/libexec/selkietest; empty when neither.
std::filesystem::path AdapterHelper(const std::filesystem::path& programFolder);
