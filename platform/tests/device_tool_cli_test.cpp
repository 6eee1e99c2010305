#include "device_tool_runner.h"

namespace {

using devtooltest::runTool;
using devtooltest::ToolRun;
namespace fs = std::filesystem;

class DeviceToolCli : public devtooltest::DeviceToolTest {};

TEST_F(DeviceToolCli, HelpAndUsage) {
  ToolRun run = runTool({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char *verb : {"create", "reg", "push", "pull", "ls", "rm"})
    EXPECT_NE(run.out.find(std::string("  ") + verb), std::string::npos) << verb;

  for (const char *verb : {"create", "reg", "push", "pull", "ls", "rm"}) {
    run = runTool({verb, "--help"}); // no device needed to read about a verb
    EXPECT_EQ(run.exitCode, 0) << verb;
    EXPECT_EQ(run.out.rfind(std::string("usage: device"), 0), 0u) << verb;
    EXPECT_NE(run.out.find(verb), std::string::npos);
  }
  EXPECT_EQ(runTool({"reg", "add", "--help"}).exitCode, 0);
  EXPECT_EQ(runTool({"help", "rm"}).out, runTool({"rm", "--help"}).out);

  run = runTool({});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "device: missing verb (see device --help)\n");
}

TEST_F(DeviceToolCli, UsageErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> bad = {
      {"--device"},
      {"--device", ""},
      {"--bogus", "ls"},
      {"--device", root().string()},
      {"--device", root().string(), "explode"},
      {"--device", root().string(), "reg"},
      {"--device", root().string(), "reg", "list", "HKLM"},
      {"--device", root().string(), "reg", "query"},
      {"--device", root().string(), "reg", "query", "HKLM", "extra"},
      {"--device", root().string(), "push", "only-one"},
      {"--device", root().string(), "pull"},
      {"--device", root().string(), "rm"},
      {"--device", root().string(), "rm", "-rf", "\\Temp"},
      {"--device", root().string(), "ls", "--all"},
      {"ls"}, // no device chosen at all
  };
  for (const auto &args : bad) {
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args) << run.err;
    if (args.size() > 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
  }
}

TEST_F(DeviceToolCli, AFolderWithoutADeviceIsNotFound) {
  for (const std::vector<std::string> &verb : std::vector<std::vector<std::string>>{
           {"ls"}, {"reg", "query", "HKLM"}, {"rm", "\\x"}, {"pull", "\\x", "y"}}) {
    std::vector<std::string> args{"--device", (temp() / "none").string()};
    args.insert(args.end(), verb.begin(), verb.end());
    EXPECT_EQ(runTool(args).exitCode, 1) << verb[0];
  }
  // And the tool does not leave a registry behind in a folder that is not a device.
  fs::create_directory(root());
  EXPECT_EQ(runTool({"--device", root().string(), "reg", "add", "HKLM\\X", "/f"}).exitCode, 1);
  EXPECT_TRUE(fs::is_empty(root()));
}

// Every verb that needs the device's host says the same of a device that is not running: one
// line, its own name once, exit 3. Negative coordinates, which the help allows, get that far.
TEST_F(DeviceToolCli, AStoppedDeviceAnswersAlikeForEveryVerb) {
  createDevice();
  const std::vector<std::vector<std::string>> verbs = {
      {"tap", "10", "20"},
      {"tap", "-5", "-7"},
      {"hold", "-1", "30", "10"},
      {"drag", "-10", "-10", "-40", "-50", "20", "2"},
      {"key", "ENTER"},
      {"type", "abc"},
      {"rotate"},
      {"screenshot", (temp() / "s.png").string()},
      {"ps"},
      {"run", "\\Windows\\ctlpnl.exe"},
      {"windows"},
      {"wait-window", "HHTaskBar", "1"},
  };
  for (const auto &args : verbs) {
    const ToolRun run = device(args);
    EXPECT_EQ(run.exitCode, 3) << ::testing::PrintToString(args) << run.err;
    EXPECT_EQ(run.err,
              "device " + args[0] + ": the device is not running (start it with 'device boot')\n");
  }
  // Options that are not numbers are still refused, and bad input is named once.
  ToolRun run = device({"tap", "-x", "5"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err.rfind("device tap: ", 0), 0u) << run.err;
  EXPECT_EQ(run.err.find("device tap: ", 1), std::string::npos) << run.err;
  run = device({"boot", "--zoom", "9"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "device boot: --zoom takes a whole number from 1 to 8\n");
}

TEST_F(DeviceToolCli, CeDeviceAndDeviceOptionChooseTheRoot) {
  ASSERT_EQ(runTool({"--device=" + root().string(), "create"}).exitCode, 0);
  EXPECT_EQ(runTool({"ls", "\\Windows\\Start Menu"}, root().string()).out, "Programs\\\n");
  // --device wins over CE_DEVICE.
  EXPECT_EQ(
      runTool({"--device", root().string(), "ls", "\\Temp"}, (temp() / "x").string()).exitCode, 0);
}

TEST_F(DeviceToolCli, ArbitraryArgumentsNeverCrashTheTool) {
  createDevice();
  const std::vector<std::string> words = {"reg",
                                          "add",
                                          "query",
                                          "delete",
                                          "/v",
                                          "/ve",
                                          "/t",
                                          "/d",
                                          "/f",
                                          "REG_DWORD",
                                          "REG_MULTI_SZ",
                                          "REG_BINARY",
                                          "HKLM",
                                          "HKLM\\",
                                          "HKLM\\\\",
                                          "HKU\\a\\b",
                                          "\\",
                                          "..",
                                          "..\\..",
                                          "*",
                                          "?",
                                          "-r",
                                          "--",
                                          "--help",
                                          "push",
                                          "pull",
                                          "ls",
                                          "rm",
                                          "create",
                                          "--force",
                                          "--screen",
                                          "1x1",
                                          "\\0",
                                          "\\0\\0",
                                          "0x",
                                          "",
                                          "\xff\xfe",
                                          "\xc3",
                                          std::string(5000, 'A'),
                                          std::string(300, '\\'),
                                          "\\Temp\\" + std::string(400, 'n'),
                                          "%s%n",
                                          "/?",
                                          "-",
                                          root().string()};
  unsigned seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 150; ++round) {
    std::vector<std::string> args;
    const int count = static_cast<int>(next() % 7);
    for (int i = 0; i < count; ++i)
      args.push_back(words[next() % words.size()]);
    // Relative host paths land in the test's own folder.
    std::vector<std::string> all{"--device", root().string()};
    all.insert(all.end(), args.begin(), args.end());
    const ToolRun run = runTool(all, std::nullopt, temp());
    EXPECT_EQ(run.signal, 0) << ::testing::PrintToString(all);
    EXPECT_TRUE(run.exitCode >= 0 && run.exitCode <= 2) << ::testing::PrintToString(all) << run.err;
  }
}

} // namespace
