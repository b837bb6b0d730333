#include "client/Help.hpp"
#include "protocol/Version.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <vector>

using namespace parlana;

namespace {

struct Answer {
    std::optional<int> status;
    std::string out;
};

Answer ask(std::vector<const char*> args)
{
    args.insert(args.begin(), "prog");
    std::ostringstream out;
    const std::optional<int> status =
        answerInfoRequest(static_cast<int>(args.size()), args.data(), "parlana-test", "usage: HELP\n", out);
    return {status, out.str()};
}

} // namespace

TEST(Version, IsADottedReleaseNumber)
{
    // Three numbers joined by dots, as a Debian version of a native package
    // carries it unchanged.
    const std::string text = version();
    int numbers = 0;
    bool inNumber = false;
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            numbers += inNumber ? 0 : 1;
            inNumber = true;
        } else {
            EXPECT_TRUE(c == '.' && inNumber) << text;
            inNumber = false;
        }
    }
    EXPECT_TRUE(inNumber) << text;
    EXPECT_EQ(numbers, 3) << text;
}

TEST(InfoRequest, HelpAnywhereAnswersWithTheHelpAndStatusZero)
{
    for (const auto& args : {std::vector<const char*>{"--help"}, std::vector<const char*>{"alice", "--help", "5000"}}) {
        const Answer answer = ask(args);
        ASSERT_TRUE(answer.status.has_value());
        EXPECT_EQ(*answer.status, 0);
        EXPECT_EQ(answer.out, "usage: HELP\n");
    }
}

TEST(InfoRequest, VersionNamesTheProgramAndTheRelease)
{
    const Answer answer = ask({"5000", "--version"});
    ASSERT_TRUE(answer.status.has_value());
    EXPECT_EQ(*answer.status, 0);
    EXPECT_EQ(answer.out, std::string("parlana-test ") + version() + "\n");
}

TEST(InfoRequest, TheFirstRequestWins)
{
    EXPECT_EQ(ask({"--version", "--help"}).out, std::string("parlana-test ") + version() + "\n");
    EXPECT_EQ(ask({"--help", "--version"}).out, "usage: HELP\n");
}

TEST(InfoRequest, OrdinaryArgumentsAreLeftToTheProgram)
{
    // Only the exact words count: a UID or port that merely contains them is
    // the program's to read, and so is a command line with nothing at all.
    for (const auto& args : {std::vector<const char*>{}, std::vector<const char*>{"alice", "127.0.0.1", "5000"},
                             std::vector<const char*>{"x--help", "-help", "--helpme", "--version2"}}) {
        const Answer answer = ask(args);
        EXPECT_FALSE(answer.status.has_value());
        EXPECT_EQ(answer.out, "");
    }
}

TEST(ClientHelp, SaysWhatALineAndAUidMayHold)
{
    const std::string help(clientHelp);
    EXPECT_EQ(help.find("ASCII, at most 112"), std::string::npos) << "a line takes any character";
    EXPECT_NE(help.find("printable ASCII"), std::string::npos) << help;
    EXPECT_NE(help.find("not starting with"), std::string::npos) << help;
}
