#include "protocol/frame.hpp"
#include "protocol/tokens.hpp"
#include "protocol/uid.hpp"

#include <SFML/Network/Packet.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parlana {
namespace {

std::string packetBytes(const sf::Packet& packet)
{
    // What sf::TcpSocket::send(sf::Packet&) puts on the wire.
    std::string bytes(4, '\0');
    const auto size = static_cast<std::uint32_t>(packet.getDataSize());
    bytes[0] = static_cast<char>(size >> 24);
    bytes[1] = static_cast<char>(size >> 16);
    bytes[2] = static_cast<char>(size >> 8);
    bytes[3] = static_cast<char>(size);
    bytes.append(static_cast<const char*>(packet.getData()), packet.getDataSize());
    return bytes;
}

std::vector<std::string> drain(FrameReader& reader)
{
    std::vector<std::string> bodies;
    std::string body;
    while (reader.next(body) == FrameReader::Result::Frame)
        bodies.push_back(body);
    return bodies;
}

} // namespace

TEST(Frame, EncodingMatchesThePacketClassByteForByte)
{
    for (const std::string& text :
         {std::string(), std::string("alice: hello"), std::string(300, 'x'), std::string("a\0b", 3)}) {
        sf::Packet packet;
        packet << text;
        EXPECT_EQ(encodeFrame(text), packetBytes(packet));
    }
    EXPECT_EQ(encodeEmptyFrame(), packetBytes(sf::Packet()));
}

TEST(Frame, ExtractionReadsLikeThePacketClass)
{
    EXPECT_EQ(extractString(encodeBody("bob: hi")), "bob: hi");
    EXPECT_EQ(extractString(""), "");                         // empty packet
    EXPECT_EQ(extractString(std::string("\0\0", 2)), "");     // too short for a length
    EXPECT_EQ(extractString(encodeSize(10) + "abc"), "");     // length past the end
    EXPECT_EQ(extractString(encodeSize(2) + "abcdef"), "ab"); // trailing bytes ignored
    for (const std::string& body : {encodeBody("x"), encodeSize(3) + "abc", encodeSize(4) + "abc",
                                    encodeSize(0xFFFFFFFFu) + "abc", std::string("\0\0\0", 3)}) {
        sf::Packet packet;
        packet.append(body.data(), body.size());
        std::string text;
        packet >> text;
        EXPECT_EQ(extractString(body), text);
    }
}

TEST(FrameReader, ReassemblesFramesFromAnyChunking)
{
    std::string stream;
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i) {
        texts.push_back("user" + std::to_string(i) + ": " + std::string(static_cast<std::size_t>(i * 7), 'z'));
        stream += encodeFrame(texts.back());
    }
    stream += encodeEmptyFrame();
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{5}, std::size_t{64}, stream.size()}) {
        FrameReader reader;
        std::vector<std::string> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.data() + at, std::min(chunk, stream.size() - at));
            for (const auto& body : drain(reader))
                got.push_back(body);
        }
        ASSERT_EQ(got.size(), texts.size() + 1) << "chunk " << chunk;
        for (std::size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(extractString(got[i]), texts[i]);
        EXPECT_EQ(got.back(), "");
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(FrameReader, PartialFrameWaitsWithoutLoss)
{
    FrameReader reader;
    const std::string frame = encodeFrame("carol: partial");
    reader.append(frame.data(), frame.size() - 1);
    std::string body;
    EXPECT_EQ(reader.next(body), FrameReader::Result::NeedMore);
    EXPECT_FALSE(reader.hasFrame());
    EXPECT_EQ(reader.buffered(), frame.size() - 1);
    reader.append(frame.data() + frame.size() - 1, 1);
    ASSERT_EQ(reader.next(body), FrameReader::Result::Frame);
    EXPECT_EQ(extractString(body), "carol: partial");
}

TEST(FrameReader, SizeCapRejectsBeforeBuffering)
{
    FrameReader atCap;
    const std::string full = encodeSize(kMaxFrameBytes) + std::string(kMaxFrameBytes, 'a');
    atCap.append(full.data(), full.size());
    std::string body;
    EXPECT_EQ(atCap.next(body), FrameReader::Result::Frame);
    EXPECT_EQ(body.size(), kMaxFrameBytes);

    FrameReader over;
    const std::string good = encodeFrame("first");
    const std::string huge = encodeSize(0x80000000u) + "xxxx";
    over.append(good.data(), good.size());
    over.append(huge.data(), huge.size());
    ASSERT_EQ(over.next(body), FrameReader::Result::Frame); // what came before still counts
    EXPECT_EQ(over.next(body), FrameReader::Result::Rejected);
    EXPECT_TRUE(over.rejected());
    over.append(good.data(), good.size());
    EXPECT_EQ(over.next(body), FrameReader::Result::Rejected);
    EXPECT_EQ(over.buffered(), 0u);

    // A header is judged as soon as it is whole and next in line, without
    // asking for a frame.
    FrameReader eager;
    eager.append(huge.data(), 3);
    EXPECT_FALSE(eager.rejected());
    eager.append(huge.data() + 3, 1);
    EXPECT_TRUE(eager.rejected());
    EXPECT_FALSE(eager.hasFrame());
}

TEST(Tokens, PrefixTestLooksAtPositionZeroOnly)
{
    EXPECT_TRUE(beginsWith("$%$uids$%$,a,", kRosterToken));
    EXPECT_FALSE(beginsWith("x$%$uids$%$,a,", kRosterToken));
    EXPECT_FALSE(beginsWith("$%$uids", kRosterToken));
}

TEST(Uid, ValidUidsAreShortPrintableAndFreeOfSeparatorsAndTheControlPrefix)
{
    for (const std::string uid : {"a", "alice", "0123456789", "Bob Smith", "~!@#$%^&*(", "$%", "a$%$"})
        EXPECT_TRUE(isValidUid(uid)) << uid;
    const std::string refused[] = {
        "",       "01234567890",           "bob,",    "a,b",        "bob:", ":", "$%$", "$%$uids$%$", "tab\there",
        "line\n", std::string("nul\0", 4), "del\x7f", "caf\xc3\xa9"};
    for (const std::string& uid : refused)
        EXPECT_FALSE(isValidUid(uid)) << uid;
}

} // namespace parlana
