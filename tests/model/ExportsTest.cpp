// The library exports exactly the functions of its header: the version script, the built library
// and the header agree.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "ModelFixture.h"

using namespace modeltest;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> names;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
    names.insert((*it)[1]);
  return names;
}

std::set<std::string> ExportedSymbols() {
  const CommandResult nm =
      RunCommand(std::string(SELKIE_NM) + " -D --defined-only '" + VYOMODEL_LIBRARY + "'");
  EXPECT_EQ(nm.status, 0) << nm.output;
  return Matches(nm.output, std::regex(R"(\s[TWDBRV]\s+(\w+))"));
}

TEST(ExportsTest, LibraryExportsExactlyTheHeadersFunctions) {
  const std::set<std::string> header =
      Matches(ReadFile(VYOMODEL_HEADER), std::regex(R"(VYOMODEL_API\s+[\w\s\*]+?\b(\w+)\()"));
  const std::string map = ReadFile(VYOMODEL_MAP);
  const std::set<std::string> listed = Matches(map.substr(0, map.find("local:")),
                                               std::regex(R"(^\s+(\w+);)", std::regex::multiline));
  const std::set<std::string> exported = ExportedSymbols();
  EXPECT_EQ(header.size(), 140u);
  EXPECT_EQ(listed, header) << "version script and header";
  EXPECT_EQ(exported, header) << "built library and header";
  for (const char* name :
       {"getzq_loopin", "get_loopdata", "savemodel", "ZQ_ParseSony", "getZQ_macroflag1"}) {
    EXPECT_TRUE(exported.count(name)) << name;
  }
}

}  // namespace
