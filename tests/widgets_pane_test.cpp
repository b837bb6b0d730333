#include "client/widgets/Chat_RECV.hpp"
#include "tests/support/Canvas.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace parlana {

using namespace test;

namespace {

using Roster = std::vector<sf::Text>;

Roster makeRoster(const std::vector<std::pair<std::string, sf::Color>>& uids)
{
    Roster roster;
    for (const auto& [uid, colour] : uids) {
        sf::Text entry(uid, testFont(), 15);
        entry.setFillColor(colour);
        roster.push_back(entry);
    }
    return roster;
}

std::vector<sf::Color> mentionsFound(const std::string& text, const Roster& roster)
{
    Chat_RECV pane(testFont());
    pane.insert_msg("bob: " + text);
    pane.assignUIDreference(roster, 1);
    return pane.getMessages().front().getReferenceColors();
}

// The mention rule judged by hand, independently of any pattern engine.
bool mentionedIn(const std::string& piece, const std::string& uid)
{
    const std::string needle = "@" + uid;
    const auto endsHere = [&](std::size_t k) {
        return k == piece.size() || std::isspace(static_cast<unsigned char>(piece[k]));
    };
    for (std::size_t at = piece.find(needle); at != std::string::npos; at = piece.find(needle, at + 1)) {
        const std::size_t k = at + needle.size();
        if (endsHere(k) ||
            (k < piece.size() && std::ispunct(static_cast<unsigned char>(piece[k])) && endsHere(k + 1))) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(MessagePane, ColoursSendersFromTheRoster)
{
    Chat_RECV pane(testFont());
    pane.insert_msg("alice: hi");
    pane.insert_msg("carol: hi");
    Roster roster = makeRoster({{"alice", sf::Color::Red}, {"bob", sf::Color::Blue}});
    pane.assignMSGcolors(roster, 1);
    EXPECT_EQ(pane.getMessages()[0].getUIDcolor(), sf::Color::Red);
    EXPECT_EQ(pane.getMessages()[1].getUIDcolor(), sf::Color::White);

    Roster withoutAlice = makeRoster({{"bob", sf::Color::Blue}});
    pane.assignMSGcolors(withoutAlice, 2);
    EXPECT_EQ(pane.getMessages()[0].getUIDcolor(), sf::Color::Red) << "a sender who left keeps the last colour";
}

TEST(MessagePane, MentionRule)
{
    const Roster alice = makeRoster({{"alice", sf::Color::Red}});
    const std::vector<sf::Color> red{sf::Color::Red};
    for (const char* text : {"@alice hi", "@alice, hi", "hi @alice", "hi @alice!", "hi x@alice"}) {
        EXPECT_EQ(mentionsFound(text, alice), red) << text;
    }
    for (const char* text : {"@alice!! hi", "@alicex", "@Alice hi", "alice hi", "@alice-x"}) {
        EXPECT_TRUE(mentionsFound(text, alice).empty()) << text;
    }

    // Within a piece colours follow roster order, not the order in the text.
    const Roster two = makeRoster({{"alice", sf::Color::Red}, {"carol", sf::Color::Blue}});
    EXPECT_EQ(mentionsFound("@carol and @alice", two), (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue}));
}

TEST(MessagePane, UIDsAreMatchedLiterally)
{
    const Roster odd = makeRoster(
        {{"(a+)+", sf::Color::Red}, {"a.b", sf::Color::Blue}, {"[x", sf::Color::Green}, {"a\\", sf::Color::Cyan}});
    EXPECT_TRUE(mentionsFound("@" + std::string(26, 'a') + "b @axb", odd).empty());
    EXPECT_EQ(mentionsFound("@(a+)+ @a.b! @[x @a\\", odd),
              (std::vector<sf::Color>{sf::Color::Red, sf::Color::Blue, sf::Color::Green, sf::Color::Cyan}));
}

TEST(MessagePane, MentionsFollowRosterChanges)
{
    Chat_RECV pane(testFont());
    pane.insert_msg("bob: hello @carol");
    const Roster without = makeRoster({{"bob", sf::Color::Blue}});
    const Roster with = makeRoster({{"bob", sf::Color::Blue}, {"carol", sf::Color::Green}});
    pane.assignUIDreference(without, 1);
    EXPECT_TRUE(pane.getMessages()[0].getReferenceColors().empty());
    pane.assignUIDreference(with, 2);
    EXPECT_EQ(pane.getMessages()[0].getReferenceColors(), std::vector<sf::Color>{sf::Color::Green})
        << "a UID that joins later is found in old lines";

    pane.assignUIDreference(without, 3);
    pane.insert_msg("bob: again @carol");
    pane.assignUIDreference(with, 4);
    EXPECT_EQ(pane.getMessages()[1].getReferenceColors(), std::vector<sf::Color>{sf::Color::Green})
        << "a UID that left and came back is still found";
}

// Scans are cached per UID and per line; the colours recorded must still be
// exactly those of judging every piece against every roster UID every frame.
TEST(MessagePane, CachedScansRecordWhatAFullScanWould)
{
    const std::vector<std::pair<std::string, sf::Color>> everyone{
        {"alice", sf::Color::Red},       {"al", sf::Color::Blue},    {"a.b", sf::Color::Green},
        {"(a+)+", sf::Color::Cyan},      {"bob", sf::Color::Yellow}, {"x[", sf::Color::Magenta},
        {"a|^${1}/", sf::Color(9, 9, 9)}};
    const std::vector<std::string> words{"@alice", "@al,", "@a.b!",   "@axb", "@(a+)+",     "@bob",      "@x[",
                                         "@bob!!", "hi",   "@alicex", "?!",   "@a|^${1}/x", "@a|^${1}/!"};
    std::mt19937 random(7);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

    Canvas canvas;
    Chat_RECV pane(testFont());
    std::vector<std::vector<sf::Color>> expected;
    Roster roster;
    std::uint64_t version = 0;
    for (int frame = 0; frame < 400; ++frame) {
        if (pick(10) == 0) {
            std::vector<std::pair<std::string, sf::Color>> present;
            for (const auto& uid : everyone) {
                if (pick(2) == 0) {
                    present.push_back(uid);
                }
            }
            roster = makeRoster(present);
            ++version;
        }
        if (pick(3) == 0) {
            std::string text = everyone[pick(everyone.size())].first + ":";
            for (std::size_t n = 1 + pick(12); n > 0; --n) {
                text += " " + words[pick(words.size())];
            }
            pane.insert_msg(text);
            expected.emplace_back();
        }
        pane.assignUIDreference(roster, version);
        pane.draw(canvas.window);
        expected.erase(expected.begin(),
                       expected.begin() + static_cast<long>(expected.size() - pane.getMessages().size()));

        for (std::size_t i = 0; i < expected.size(); ++i) {
            for (const std::string& piece : pane.getMessages()[i].getPieceStrings()) {
                for (const sf::Text& entry : roster) {
                    const sf::Color colour = entry.getFillColor();
                    if (mentionedIn(piece, entry.getString().toAnsiString()) &&
                        std::find(expected[i].begin(), expected[i].end(), colour) == expected[i].end()) {
                        expected[i].push_back(colour);
                    }
                }
            }
            ASSERT_EQ(pane.getMessages()[i].getReferenceColors(), expected[i]) << "frame " << frame;
        }
    }
}

// A roster as big as a 64 KiB packet holds: the pane finds mentions and
// senders in it as it does in a small one.
TEST(MessagePane, HugeRosterMentionsAndSenders)
{
    std::vector<std::pair<std::string, sf::Color>> uids;
    for (int i = 0; i < 9001; ++i) {
        uids.emplace_back("u" + std::to_string(i),
                          sf::Color(static_cast<sf::Uint8>(i), static_cast<sf::Uint8>(i / 256), 200));
    }
    uids.emplace_back("u42", sf::Color::Red); // the last entry naming a sender decides
    const Roster roster = makeRoster(uids);
    Chat_RECV pane(testFont());
    pane.insert_msg("u42: hi @u8999 and @u7, not @u90000 nor @u1x");
    pane.insert_msg("u8: @u1");
    pane.assignMSGcolors(roster, 1);
    pane.assignUIDreference(roster, 1);
    const auto& lines = pane.getMessages();
    EXPECT_EQ(lines[0].getUIDcolor(), sf::Color::Red);
    EXPECT_EQ(lines[0].getReferenceColors(), (std::vector<sf::Color>{uids[7].second, uids[8999].second}))
        << "in roster order";
    EXPECT_EQ(lines[1].getUIDcolor(), uids[8].second);
    EXPECT_EQ(lines[1].getReferenceColors(), std::vector<sf::Color>{uids[1].second});
}

TEST(MessagePane, DrawsFrameAndSenderColour)
{
    Canvas canvas;
    Chat_RECV pane(testFont());
    pane.insert_msg("alice: hello");
    Roster roster = makeRoster({{"alice", sf::Color(40, 200, 90)}});
    pane.assignMSGcolors(roster, 1);
    const sf::Image image = canvas.render(pane);

    EXPECT_EQ(image.getPixel(600, 79), sf::Color::White) << "top outline";
    EXPECT_EQ(image.getPixel(219, 300), sf::Color::White) << "left outline";
    EXPECT_EQ(image.getPixel(995, 300), sf::Color::White) << "right outline";
    EXPECT_EQ(image.getPixel(600, 580), sf::Color::White) << "bottom outline";
    EXPECT_EQ(image.getPixel(600, 300), sf::Color::Black);
    EXPECT_TRUE(anyPixel(image, {250.f, 100.f, 45.f, 20.f}, sf::Color(40, 200, 90)));
    EXPECT_TRUE(anyPixel(image, {300.f, 100.f, 50.f, 20.f}, sf::Color::White));
}

} // namespace parlana
