#include "client/FontPath.hpp"

#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace parlana;
using Places = std::vector<std::string>;

const std::string kName = kFontFileName;

TEST(FontCandidates, WorkingDirectoryThenDataDirectoryThenBesideTheProgram)
{
    EXPECT_EQ(
        fontCandidates("/usr/share/parlana", "/opt/parlana/bin"),
        (Places{"font/" + kName, "/usr/share/parlana/font/" + kName, "/opt/parlana/share/parlana/font/" + kName}));
}

TEST(FontCandidates, APlaceNamedTwiceIsTriedOnce)
{
    // Installed where it was configured for, the program's own share/ is the
    // data directory: the same file, however it is spelled.
    EXPECT_EQ(fontCandidates("/usr/share/parlana", "/usr/bin"),
              (Places{"font/" + kName, "/usr/share/parlana/font/" + kName}));
    EXPECT_EQ(fontCandidates("/usr/share/parlana/", "/usr/./bin/"),
              (Places{"font/" + kName, "/usr/share/parlana/font/" + kName}));
}

TEST(FontCandidates, NoProgramDirectoryMeansTwoPlaces)
{
    EXPECT_EQ(fontCandidates("/usr/local/share/parlana", ""),
              (Places{"font/" + kName, "/usr/local/share/parlana/font/" + kName}));
}

TEST(FontCandidates, TheProgramDirectoryIsThisTestsOwn)
{
    const std::string dir = executableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(fs::exists(fs::path(dir) / "install_tests")) << dir;
}

TEST(LoadFirst, StopsAtTheFirstPlaceThatLoads)
{
    Places tried;
    const auto found = loadFirst({"a", "b", "c"}, [&tried](const std::string& place) {
        tried.push_back(place);
        return place != "a";
    });
    EXPECT_EQ(found, std::optional<std::string>("b"));
    EXPECT_EQ(tried, (Places{"a", "b"}));
}

TEST(LoadFirst, TriesEveryPlaceOnceWhenNoneLoads)
{
    Places tried;
    const auto found = loadFirst({"a", "b", "c"}, [&tried](const std::string& place) {
        tried.push_back(place);
        return false;
    });
    EXPECT_FALSE(found.has_value());
    EXPECT_EQ(tried, (Places{"a", "b", "c"}));
}

TEST(FontNotFoundLine, OneLineNamingEveryPlace)
{
    const std::string line = fontNotFoundLine({"font/x.ttf", "/usr/share/parlana/font/x.ttf", "/opt/share/x.ttf"});
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("font/x.ttf (under the working directory)"), std::string::npos) << line;
    EXPECT_NE(line.find("/usr/share/parlana/font/x.ttf"), std::string::npos) << line;
    EXPECT_NE(line.find("/opt/share/x.ttf"), std::string::npos) << line;
}

/// Runs each test in a scratch working directory, with SFML's error stream
/// captured, so what the client would print can be read back.
class LoadClientFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::string& place : clientFontCandidates()) {
            if (fs::path(place).is_absolute() && fs::exists(place))
                GTEST_SKIP() << "a font is installed at " << place << "; the client would rightly find it";
        }
        home_ = fs::current_path();
        scratch_ = fs::temp_directory_path() / ("parlana-font-" + std::to_string(::getpid()));
        fs::create_directories(scratch_ / "font");
        fs::current_path(scratch_);
        saved_ = sf::err().rdbuf(sfmlErrors_.rdbuf());
    }

    void TearDown() override
    {
        if (saved_ == nullptr)
            return;
        sf::err().rdbuf(saved_);
        fs::current_path(home_);
        fs::remove_all(scratch_);
    }

    fs::path home_, scratch_;
    std::streambuf* saved_ = nullptr;
    std::ostringstream sfmlErrors_;
    std::ostringstream err_;
    sf::Font font_;
};

TEST_F(LoadClientFont, FindsTheFontUnderTheWorkingDirectory)
{
    fs::copy_file(PARLANA_TEST_FONT, scratch_ / "font" / kName);
    EXPECT_TRUE(loadClientFont(font_, err_));
    EXPECT_EQ(err_.str(), "");
    EXPECT_FALSE(font_.getInfo().family.empty());
}

TEST_F(LoadClientFont, ABrokenFileAndNoOtherPrintsOneLineAndNothingElse)
{
    std::ofstream(scratch_ / "font" / kName) << "not a font";
    EXPECT_FALSE(loadClientFont(font_, err_));
    const std::string printed = err_.str();
    EXPECT_EQ(printed.find('\n'), printed.size() - 1) << printed;
    EXPECT_NE(printed.find("font/" + kName), std::string::npos) << printed;
    EXPECT_EQ(sfmlErrors_.str(), "") << "SFML's own complaint got through";

    // The stream SFML reports to is handed back afterwards.
    sf::err() << "later";
    EXPECT_EQ(sfmlErrors_.str(), "later");
}
