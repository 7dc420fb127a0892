// Each outside library exports exactly the functions its headers declare and its version script
// lists: nothing internal leaks, nothing promised goes missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

using Names = std::set<std::string>;

std::string readFile(const std::string &path) {
  std::ifstream file(path);
  EXPECT_TRUE(file.is_open()) << path;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The names between "global:" and "local:" of a version script.
Names versionScriptNames(const std::string &path) {
  const std::string text = readFile(path);
  const auto begin = text.find("global:");
  const auto end = text.find("local:");
  EXPECT_NE(begin, std::string::npos);
  EXPECT_NE(end, std::string::npos);
  Names names;
  if (begin == std::string::npos || end == std::string::npos) return names;
  const std::string globals = text.substr(begin + 7, end - begin - 7);
  const std::regex entry(R"((\w+)\s*;)");
  for (std::sregex_iterator it(globals.begin(), globals.end(), entry), last; it != last; ++it)
    names.insert((*it)[1]);
  return names;
}

// The function names declared in a C header, one declaration per line.
Names headerFunctionNames(const std::string &path) {
  const std::string text = readFile(path);
  const std::regex declaration(R"(^\w+\s+(\w+)\([^)]*\);)", std::regex::multiline);
  Names names;
  for (std::sregex_iterator it(text.begin(), text.end(), declaration), last; it != last; ++it)
    names.insert((*it)[1]);
  return names;
}

Names exportedNames(const std::string &library) {
  const std::string command = std::string(SELKIE_NM) + " -D --defined-only '" + library + "'";
  FILE *pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr) << command;
  Names names;
  if (pipe == nullptr) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names.insert(name);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return names;
}

Names unite(Names a, const Names &b) {
  a.insert(b.begin(), b.end());
  return a;
}

TEST(ExportList, TimeCodeLibraryExportsExactlyItsInterface) {
  const Names listed = versionScriptNames(VYO_TCODE_MAP);
  EXPECT_EQ(listed.size(), 11u);
  EXPECT_EQ(headerFunctionNames(VYO_OUTSIDE_DIR "/ZQTimeCodeDll.h"), listed);
  EXPECT_EQ(exportedNames(VYO_TCODE_SO), listed);
}

TEST(ExportList, ServerLibraryExportsItsInterfaceAndTheRecordReaders) {
  const Names listed = versionScriptNames(VYO_SERVER_MAP);
  const Names interface = headerFunctionNames(VYO_OUTSIDE_DIR "/ZQServerDll.h");
  EXPECT_EQ(interface.size(), 8u);
  EXPECT_EQ(unite(interface, headerFunctionNames(VYO_OUTSIDE_DIR "/server/ZQServerRecord.h")),
            listed);
  EXPECT_EQ(exportedNames(VYO_SERVER_SO), listed);
}

}  // namespace
