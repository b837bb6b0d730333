// The servers whose keys the user trusts, kept in a file from run to run.
#include "client/KnownServers.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using parlana::KnownServers;

namespace {

const std::string kKey = "SHA256:" + std::string(64, 'a');
const std::string kOtherKey = "SHA256:" + std::string(64, 'b');

std::string readFile(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace

TEST(KnownServers, TheFileLivesWithTheUsersData)
{
    ::setenv("HOME", "/home/u", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(KnownServers::defaultPath(), "/data/parlana/known_servers");
    ::setenv("XDG_DATA_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(KnownServers::defaultPath(), "/home/u/.local/share/parlana/known_servers");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(KnownServers::defaultPath(), "/home/u/.local/share/parlana/known_servers");
}

TEST(KnownServers, AKeyTrustedOnceIsKnownAndAChangedOneNeverReplacesIt)
{
    char pattern[] = "/tmp/parlana-known-XXXXXX";
    const std::string root = ::mkdtemp(pattern);
    const std::string path = root + "/data/parlana/known_servers";
    const KnownServers known(path);
    EXPECT_EQ(known.check("chat.example", 5000, kKey).verdict, KnownServers::Verdict::Unknown);

    std::string error;
    ASSERT_TRUE(known.trust("Chat.Example", 5000, kKey, error)) << error; // makes the directories
    EXPECT_EQ(readFile(path), "chat.example:5000 " + kKey + "\n");
    EXPECT_EQ(known.check("CHAT.example", 5000, kKey).verdict, KnownServers::Verdict::Trusted);
    EXPECT_EQ(known.check("chat.example", 5001, kKey).verdict, KnownServers::Verdict::Unknown);
    const KnownServers::Finding changed = known.check("chat.example", 5000, kOtherKey);
    EXPECT_EQ(changed.verdict, KnownServers::Verdict::Changed);
    EXPECT_EQ(changed.known, kKey);

    // Lines the user wrote stay as they are, and a line without its end is ended.
    std::ofstream(path, std::ios::app) << "# mine\n\n[::1]:5000 " << kOtherKey << "\nbroken.example:1 junk";
    const std::string before = readFile(path);
    EXPECT_EQ(known.check("::1", 5000, kOtherKey).verdict, KnownServers::Verdict::Trusted);
    EXPECT_EQ(known.check("broken.example", 1, kKey).verdict, KnownServers::Verdict::Changed);
    EXPECT_FALSE(known.trust("chat.example", 5000, kOtherKey, error));
    EXPECT_FALSE(known.trust("broken.example", 1, kKey, error));
    EXPECT_FALSE(known.trust("new.example", 1, "SHA256:short", error));
    EXPECT_EQ(readFile(path), before);
    ASSERT_TRUE(known.trust("chat.example", 5000, kKey, error)); // already so: nothing to write
    EXPECT_EQ(readFile(path), before);
    ASSERT_TRUE(known.trust("new.example", 6000, "SHA256:" + std::string(64, 'C'), error)) << error;
    EXPECT_EQ(readFile(path), before + "\nnew.example:6000 SHA256:" + std::string(64, 'c') + "\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root + "/data/parlana"), {}), 1);
    const std::string loop = root + "/loop"; // a file that cannot be read, even by root
    std::filesystem::create_symlink(loop, loop);
    EXPECT_FALSE(KnownServers(loop).trust("h", 1, kKey, error)) << "never rewritten from nothing";
    EXPECT_TRUE(std::filesystem::is_symlink(loop));
    std::filesystem::remove_all(root);
}
