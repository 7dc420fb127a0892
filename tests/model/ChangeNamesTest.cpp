// The names vyomodel watch gives the change codes: every byte value has one, none shared, also
// where machine 30's codes run into the system codes.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <vector>

#include "ChangeNames.h"
#include "ModelFixture.h"

using namespace modeltest;

namespace {

TEST(ChangeNamesTest, EveryCodeHasItsOwnName) {
  std::set<std::string> names;
  for (int code = 0; code < 256; ++code) {
    const std::string name = ChangeCodeText(uint8_t(code));
    EXPECT_FALSE(name.empty()) << code;
    EXPECT_TRUE(names.insert(name).second) << code << " shares the name " << name;
  }
  EXPECT_EQ(ChangeCodeText(0), "no change");
  EXPECT_EQ(ChangeCodeText(1), "generator (-1): tally/status/position");
  EXPECT_EQ(ChangeCodeText(8), "code 8");
  EXPECT_EQ(ChangeCodeText(26), "machine B (2): offset/arming");
  EXPECT_EQ(ChangeCodeText(247), "machine ] (29): flag 7");
  EXPECT_EQ(ChangeCodeText(248), "system: master");
  EXPECT_EQ(ChangeCodeText(254), "system: loops");
  EXPECT_EQ(ChangeCodeText(255), "machine ^ (30): flag 7");
}

class WatchTest : public ModelTest {};

TEST_F(WatchTest, MachineThirtysLastFlagIsNamed) {
  char folder[] = "/tmp/vyomodel-watch-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/m30.zqm";
  std::vector<char> image(kImageSize, 0);
  image[9083] = 30;              // MaxMachine
  image[McnAt(30, 95 + 6)] = 1;  // machine 30's flag 7: byte 7417
  ASSERT_EQ(McnAt(30, 101), 7417u);
  std::ofstream(file, std::ios::binary).write(image.data(), std::streamsize(image.size()));
  const std::string tool = VYOMODEL_TOOL;
  ASSERT_EQ(RunCommand(tool + " load " + file).status, 0);
  const CommandResult watch = RunCommand(tool + " watch 1");
  EXPECT_EQ(watch.status, 0);
  // Code and name, the time it was taken, and no single value for flag 7.
  EXPECT_TRUE(std::regex_match(
      watch.output, std::regex(R"(255  machine \^ \(30\): flag 7  \d\d:\d\d:\d\d\.\d{3}  -\n)")))
      << watch.output;
  RunCommand(std::string("rm -rf '") + folder + "'");
}

}  // namespace
