#include "app/shell/CommandLine.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Mode = CommandLine::Mode;
using Words = CommandLine::DemoWords;

TEST(CommandLine, FirstSwitchInOrderDecides) {
    const struct {
        std::vector<std::string> args;
        Mode mode;
    } cases[] = {
        {{}, Mode::app},
        {{"--unknown", "-psn_0_1234"}, Mode::app},
        {{"--snapshot=1"}, Mode::app},
        {{"snapshot", "-snapshot", "--SNAPSHOT"}, Mode::app},
        {{"--self-test", "--snapshot"}, Mode::snapshot},
        {{"whatever", "--snapshot"}, Mode::snapshot},
        {{"--disable-agent", "--enable-agent"}, Mode::enableAgent},
        {{"--self-test", "--agent-status", "--disable-agent"}, Mode::disableAgent},
        {{"--demo-window", "--agent-status"}, Mode::agentStatus},
        {{"--demo-window", "--self-test"}, Mode::selfTest},
        {{"--version", "--help", "--demo-window"}, Mode::demoWindow},
        {{"--version", "--replay", "x.json"}, Mode::replay},
        {{"--version", "--help"}, Mode::help},
        {{"--version"}, Mode::version},
        {{"--json", "--headless"}, Mode::headless},
        {{"--headless", "--snapshot"}, Mode::snapshot},
        {{"--headless", "--version"}, Mode::version},
        {{"--json"}, Mode::app},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandLine::parse(c.args).mode, c.mode) << ::testing::PrintToString(c.args);
    }
}

TEST(CommandLine, DemoWordsFollowTheSwitch) {
    const struct {
        std::vector<std::string> args;
        Words words;
    } cases[] = {
        {{"--demo-window"}, {}},
        {{"dark", "--demo-window"}, {}},
        {{"--demo-window", "developer", "dark", "unknown"},
         {.dark = true, .developer = true, .output = {}}},
        {{"--demo-window", "advisor", "safe", "expanded"},
         {.advisor = true, .safe = true, .expanded = true, .output = {}}},
        {{"--demo-window", "a.PNG", "b.png", "c.png"}, {.output = "b.png"}},
        {{"--demo-window", "out/.png"}, {.output = "out/.png"}},
        {{"--demo-window", "Dark", "png"}, {}},
    };
    for (const auto& c : cases) {
        const CommandLine line = CommandLine::parse(c.args);
        EXPECT_EQ(line.mode, Mode::demoWindow);
        EXPECT_EQ(line.demo, c.words) << ::testing::PrintToString(c.args);
    }
}

TEST(CommandLine, ReplayTakesTheNextArgument) {
    EXPECT_EQ(CommandLine::parse({"--replay", "a.json", "b.json"}).replayFile, "a.json");
    EXPECT_EQ(CommandLine::parse({"x", "--replay"}).replayFile, std::nullopt);
}

TEST(CommandLine, JsonCountsAnywhereAsAWholeArgument) {
    EXPECT_TRUE(CommandLine::parse({"--json", "--headless"}).json);
    EXPECT_TRUE(CommandLine::parse({"--headless", "x", "--json"}).json);
    EXPECT_FALSE(CommandLine::parse({"--headless", "--json=1", "json"}).json);
}

TEST(CommandLine, StateFolderOnlyWithReplay) {
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> state;
    } cases[] = {
        {{"--replay", "a.json"}, std::nullopt},
        {{"--replay", "a.json", "--state", "dir", "x"}, "dir"},
        {{"--state", "dir", "--replay", "a.json"}, "dir"},
        {{"--replay", "a.json", "--state"}, ""},
        {{"--snapshot", "--state", "dir"}, std::nullopt},
        {{"--replay", "a.json", "--snapshot", "--state", "dir"}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandLine::parse(c.args).stateFolder, c.state)
            << ::testing::PrintToString(c.args);
    }
}

} // namespace
} // namespace vantrel
