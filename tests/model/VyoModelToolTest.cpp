// The vyomodel command-line tool: its output, messages and exit codes.
#include <algorithm>
#include <fstream>
#include <regex>

#include "ModelFixture.h"
#include "VyoModel.h"

using namespace modeltest;

namespace {

class VyoModelToolTest : public ModelTest {
 protected:
  static CommandResult Tool(const std::string& arguments) {
    return RunCommand(std::string(VYOMODEL_TOOL) + " " + arguments);
  }
};

TEST_F(VyoModelToolTest, DumpShowsTheSystemAndTheMachinesInUse) {
  setZQ_MaxMachine(2);
  const auto name = LengthPrefixed("DA88");
  setZQ_McnIDName(1, name.data());
  setZQ_McnStatus4(1, 0x04);
  setZQ_McnPosition(1, 30 * 3661 + 5);
  setZQ_Error(47);
  const CommandResult all = Tool("dump");
  ASSERT_EQ(all.status, 0) << all.output;
  EXPECT_NE(all.output.find("Generator"), std::string::npos);
  EXPECT_NE(all.output.find("Reader"), std::string::npos);
  EXPECT_NE(all.output.find("A: DA88"), std::string::npos);
  EXPECT_NE(all.output.find("01:01:01:05"), std::string::npos);
  EXPECT_NE(all.output.find("B: "), std::string::npos);
  EXPECT_EQ(all.output.find("C: "), std::string::npos) << "machine 3 is above MaxMachine";
  EXPECT_NE(all.output.find("Unknown Error : 47"), std::string::npos);

  const CommandResult one = Tool("dump 1");
  ASSERT_EQ(one.status, 0);
  EXPECT_NE(one.output.find("A: DA88"), std::string::npos);
  EXPECT_EQ(one.output.find("Reader"), std::string::npos);
}

TEST_F(VyoModelToolTest, DumpShowsTheTapeStatusNotTheNoCommsEveryAttachSets) {
  setZQ_MaxMachine(1);
  setZQ_McnStatus2(1, 0x03);
  const CommandResult dump = Tool("dump 1");
  ASSERT_EQ(dump.status, 0) << dump.output;
  EXPECT_NE(dump.output.find("Loc Tape\n"), std::string::npos) << dump.output;
  EXPECT_NE(dump.output.find(".   3\n"), std::string::npos) << dump.output;

  Raw()[9083] = 100;  // a damaged MaxMachine
  const CommandResult all = Tool("dump");
  ASSERT_EQ(all.status, 0);
  EXPECT_NE(all.output.find("\nc: "), std::string::npos) << "machine 35 is listed";
  EXPECT_EQ(std::count(all.output.begin(), all.output.end(), '\n'), 1 + 4 + 1 + 37)
      << "and no record past it";
}

TEST_F(VyoModelToolTest, BadCommandLinesSayWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"dump 36", "vyomodel: not a machine number -1..35: 36"},
      {"dump x", "vyomodel: not a machine number -1..35: x"},
      {"dump 1 2", "vyomodel: dump takes at most one machine number"},
      {"watch 0", "vyomodel: not a count 1..1000000: 0"},
      {"save", "vyomodel: save takes one file name"},
      {"load a b", "vyomodel: load takes one file name"},
      {"frobnicate", "vyomodel: unknown command: frobnicate"}};
  for (const auto& [arguments, message] : cases) {
    const CommandResult result = Tool(arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.output.rfind(std::string(message) + "\nusage: vyomodel dump", 0), 0u)
        << result.output;
  }
  const CommandResult bare = Tool("");
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.output.rfind("usage: ", 0), 0u) << bare.output;
}

TEST_F(VyoModelToolTest, WatchNamesEachChange) {
  setZQ_MaxMachine(2);
  DrainChanges();
  setZQ_Master(1);
  setZQ_McnOffset(2, 5);
  const CommandResult watch = Tool("watch 2");
  ASSERT_EQ(watch.status, 0) << watch.output;
  // Code and name first, then the time the change was taken and the values it stands for.
  const std::string clock = R"(  \d\d:\d\d:\d\d\.\d\d\d  )";
  EXPECT_TRUE(
      std::regex_search(watch.output, std::regex("248  system: master" + clock + "master 1\n")))
      << watch.output;
  EXPECT_TRUE(std::regex_search(watch.output, std::regex(" 26  machine B \\(2\\): offset/arming" +
                                                         clock + "offset 5  arming 0{30}\n")))
      << watch.output;
  setZQ_McnTally(1, 3);
  setZQ_McnRecInPoint(1, 25 * 3600);
  const CommandResult more = Tool("watch 2");
  EXPECT_TRUE(std::regex_search(
      more.output,
      std::regex(" 17  machine A \\(1\\): tally/status/position" + clock + "tally 3  status ")))
      << more.output;
  EXPECT_TRUE(std::regex_search(more.output, std::regex("record in 01:00:00:00  out ")))
      << more.output;
}

TEST_F(VyoModelToolTest, HelpAndVersionAreAnswered) {
  for (const char* help : {"--help", "-h"}) {
    const CommandResult result = Tool(help);
    EXPECT_EQ(result.status, 0) << help;
    EXPECT_EQ(result.output.rfind("usage: vyomodel dump", 0), 0u) << result.output;
  }
  for (const char* version : {"--version", "-V"}) {
    const CommandResult result = Tool(version);
    EXPECT_EQ(result.status, 0) << version;
    EXPECT_TRUE(std::regex_match(result.output, std::regex("vyomodel \\d+\\.\\d+\\.\\d+\n")))
        << result.output;
  }
}

TEST_F(VyoModelToolTest, SaveAndLoadReportAndReturnStatus) {
  char folder[] = "/tmp/vyomodel-tool-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/saved.zqm";
  setZQ_McnTally(4, 9);
  const CommandResult save = Tool("save " + file);
  EXPECT_EQ(save.status, 0);
  EXPECT_EQ(save.output, "Model saved to " + file + "\n");
  setZQ_McnTally(4, 1);
  const CommandResult load = Tool("load " + file);
  EXPECT_EQ(load.status, 0);
  EXPECT_EQ(load.output, "Model loaded from " + file + "\n");
  EXPECT_EQ(getZQ_McnTally(4), 9);

  std::ofstream(std::string(folder) + "/short") << "short";
  const CommandResult wrong = Tool(std::string("load ") + folder + "/short");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.output.find("is not a model image: it has 5 bytes, a model has 16316"),
            std::string::npos);
  const CommandResult folderLoad = Tool(std::string("load ") + folder);
  EXPECT_EQ(folderLoad.status, 1);
  EXPECT_NE(folderLoad.output.find("is not a model image: it is not a regular file"),
            std::string::npos)
      << folderLoad.output;
  const CommandResult missing = Tool(std::string("load ") + folder + "/missing");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos);
  const CommandResult unsaved = Tool(std::string("save ") + folder + "/none/x");
  EXPECT_EQ(unsaved.status, 1);
  EXPECT_NE(unsaved.output.find("cannot save the model"), std::string::npos);
  RunCommand(std::string("rm -rf '") + folder + "'");
}

}  // namespace
