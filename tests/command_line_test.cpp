#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// The one line a usage error prints: it says what was wrong and where to look.
void expectUsageError(const std::vector<std::string>& arguments, const std::string& start) {
    const std::string error = parseCommandLine(arguments).error;
    EXPECT_EQ(error.rfind("quillmere: " + start, 0), 0u) << error;
    EXPECT_NE(error.find("\"quillmere --help\""), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace

// With no options the viewer starts as it always has: the clock's globe, covering the screen.
TEST(CommandLine, NothingGivenIsThePlainStart) {
    const ParsedCommandLine plain = parseCommandLine({});
    EXPECT_EQ(plain.error, "");
    EXPECT_FALSE(plain.options.seed);
    EXPECT_FALSE(plain.options.window || plain.options.help || plain.options.version ||
                 plain.options.root || plain.options.windowId);

    const ParsedCommandLine all =
        parseCommandLine({"--window", "--seed", "17", "--version", "--help"});
    EXPECT_EQ(all.error, "");
    EXPECT_EQ(all.options.seed, 17u);
    EXPECT_TRUE(all.options.window && all.options.help && all.options.version);
}

// Every second the clock gives, cut to 32 bits, is a seed; nothing else is.
TEST(CommandLine, SeedIsAnyUnsigned32BitNumber) {
    EXPECT_EQ(parseCommandLine({"--seed", "0"}).options.seed, 0u);
    EXPECT_EQ(parseCommandLine({"--seed", "4294967295"}).options.seed, 4294967295u);
    EXPECT_EQ(parseCommandLine({"--seed=1772366400"}).options.seed, 1772366400u);
    EXPECT_EQ(parseCommandLine({"--seed", "007"}).options.seed, 7u);
    EXPECT_EQ(parseCommandLine({"--seed", "1", "--seed", "2"}).options.seed, 2u);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "1e3", "4294967296",
                            "18446744073709551617", "seven"}) {
        expectUsageError({"--seed", bad}, "--seed needs a whole number from 0 to 4294967295");
        expectUsageError({std::string("--seed=") + bad}, "--seed needs a whole number");
    }
    // The value is quoted into the line, which stays one line.
    EXPECT_NE(parseCommandLine({"--seed", "a\nb"}).error.find("not \"a?b\""), std::string::npos);
}

// The screensaver's options: the root, or a window id as X tools print it, else a usage error.
TEST(CommandLine, RootAndWindowIdDrawAsAScreensaver) {
    EXPECT_TRUE(parseCommandLine({"--root"}).options.root);
    EXPECT_EQ(parseCommandLine({"--window-id", "0x400001"}).options.windowId, 0x400001u);
    EXPECT_EQ(parseCommandLine({"--window-id=4194305", "--seed", "3"}).options.windowId, 4194305u);
    expectUsageError({"--window-id", "0x"}, "--window-id needs a window id");
    expectUsageError({"--window-id"}, "--window-id needs a value ID");
    expectUsageError({"--root=1"}, "--root takes no value");
}

// The first argument it cannot use is named; nothing after it is looked at.
TEST(CommandLine, AnythingElseIsAUsageError) {
    expectUsageError({"--windows=2"}, "unknown option \"--windows\"");
    expectUsageError({"--window", "globe"}, "unexpected argument \"globe\"");
    expectUsageError({"--window=yes"}, "--window takes no value");
    expectUsageError({"--help", "--bogus", "--nonsense"}, "unknown option \"--bogus\"");
    expectUsageError({"--bogus", "--seed", "x"}, "unknown option \"--bogus\"");
}

// --help names every option and the key that saves, in lines a terminal shows whole.
TEST(CommandLine, HelpListsOptionsAndKeys) {
    const std::string help = helpText();
    for (const char* entry : {"  --seed N ", "  --version ", "the clock's second", "\n  S "}) {
        EXPECT_NE(help.find(entry), std::string::npos) << entry;
    }
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(help.back(), '\n');
    EXPECT_EQ(versionText(), "quillmere " QUILLMERE_VERSION "\n");
}
