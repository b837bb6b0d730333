// FrameReader against a whole-stream reference parse: however the stream is
// cut, the same bodies come out whole and in order, the stream is rejected
// exactly when an oversized size is announced, and nothing past the cap is
// ever held or returned.
//
// Input: one byte n, then n chunk lengths (used in turn, cyclically; the top
// bit of a length means "do not drain after this chunk"), then the stream.

#include "fuzz/fuzz_support.hpp"

#include "protocol/frame.hpp"

#include <cstring>
#include <vector>

using namespace parlana;

namespace {

using parlana::FrameReader;
using parlana::kMaxFrameBytes;

struct Reference {
    std::vector<std::string> bodies;
    bool rejected = false;
    std::size_t rejectAt = 0; // stream offset just past the oversized header
    std::size_t leftover = 0; // bytes of an unfinished frame at the end
};

std::uint32_t sizeAt(const std::string& stream, std::size_t pos)
{
    std::uint32_t size = 0;
    for (std::size_t i = 0; i < 4; ++i)
        size = (size << 8) | static_cast<unsigned char>(stream[pos + i]);
    return size;
}

Reference parseWhole(const std::string& stream)
{
    Reference ref;
    std::size_t pos = 0;
    while (stream.size() - pos >= 4) {
        const std::uint32_t size = sizeAt(stream, pos);
        if (size > kMaxFrameBytes) {
            ref.rejected = true;
            ref.rejectAt = pos + 4;
            return ref;
        }
        if (stream.size() - pos - 4 < size)
            break;
        ref.bodies.push_back(stream.substr(pos + 4, size));
        pos += 4 + size;
    }
    ref.leftover = stream.size() - pos;
    return ref;
}

// What the string extraction must give for a body, read by hand.
std::string firstString(const std::string& body)
{
    if (body.size() < 4)
        return "";
    const std::uint32_t length = sizeAt(body, 0);
    if (length > body.size() - 4)
        return "";
    return body.substr(4, length);
}

void drain(FrameReader& reader, std::vector<std::string>& got)
{
    std::string body;
    for (;;) {
        const bool whole = reader.hasFrame();
        const FrameReader::Result result = reader.next(body);
        FUZZ_CHECK((result == FrameReader::Result::Frame) == whole, "hasFrame disagrees with next");
        if (result != FrameReader::Result::Frame)
            break;
        FUZZ_CHECK(body.size() <= kMaxFrameBytes, "a body over the cap came out");
        got.push_back(body);
    }
}

void checkBody(const std::string& body)
{
    const std::string text = parlana::extractString(body);
    FUZZ_CHECK(text == firstString(body), "extractString misread a body");
    const std::string frame = parlana::encodeFrame(text);
    FUZZ_CHECK(frame.size() == 8 + text.size(), "encodeFrame size");
    FUZZ_CHECK(sizeAt(frame, 0) == 4 + text.size(), "encodeFrame header");
    FUZZ_CHECK(frame == encodeSize(static_cast<std::uint32_t>(frame.size() - kFrameHeaderBytes)) + encodeBody(text),
               "encodeFrame is a header and the body");
    FUZZ_CHECK(parlana::extractString(encodeBody(text)) == text, "encode/extract round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteSource in(data, size);
    std::vector<std::uint8_t> chunks(in.byte());
    for (std::uint8_t& length : chunks)
        length = in.byte();
    // Empty appends are kept (they must change nothing), but at least one
    // length must move the stream on.
    bool moves = false;
    for (const std::uint8_t length : chunks)
        moves = moves || (length & 0x7F) != 0;
    if (!moves)
        chunks.push_back(0x7F);
    const std::string stream = in.bytes(in.remaining());
    const Reference ref = parseWhole(stream);

    FrameReader reader;
    std::vector<std::string> got;
    std::size_t pos = 0;
    for (std::size_t turn = 0; pos < stream.size(); ++turn) {
        const std::uint8_t spec = chunks[turn % chunks.size()];
        const std::size_t want = spec & 0x7F;
        const std::size_t n = want < stream.size() - pos ? want : stream.size() - pos;
        reader.append(stream.data() + pos, n);
        pos += n;
        if (reader.rejected())
            FUZZ_CHECK(ref.rejected && pos >= ref.rejectAt, "rejected before an oversized header arrived");
        if ((spec & 0x80) == 0) {
            drain(reader, got);
            if (!reader.rejected())
                FUZZ_CHECK(reader.buffered() < 4 + kMaxFrameBytes, "more than one capped frame held");
        }
    }
    drain(reader, got);

    FUZZ_CHECK(reader.rejected() == ref.rejected, "rejection differs from the whole-stream parse");
    const DecodedFrames whole = decodeFrames(stream);
    FUZZ_CHECK(whole.bodies == ref.bodies && whole.rejected == ref.rejected &&
                   (ref.rejected || whole.leftover == ref.leftover),
               "decodeFrames differs from the whole-stream parse");
    FUZZ_CHECK(got == ref.bodies, "bodies differ from the whole-stream parse");
    if (ref.rejected) {
        std::string body;
        FUZZ_CHECK(reader.buffered() == 0, "a rejected stream still holds bytes");
        FUZZ_CHECK(reader.next(body) == FrameReader::Result::Rejected, "rejection did not stick");
        reader.append(stream.data(), stream.size());
        FUZZ_CHECK(reader.buffered() == 0 && !reader.hasFrame(), "bytes accepted after rejection");
    } else {
        FUZZ_CHECK(reader.buffered() == ref.leftover, "partial frame not kept exactly");
    }
    for (const std::string& body : got)
        checkBody(body);
    return 0;
}
