// The client's connection and packet intake fed arbitrary packet strings
// (roster texts, control prefixes, chat lines, anything) through a link
// without a socket, one packet per frame, each inside one frame's widget
// updates and a draw, as the frame loop does, with the connection possibly
// lost between frames and rejoined by itself. Checked after each packet: a
// roster packet admits and leaves exactly its UIDs listed, every one
// coloured, and a UID keeps its colour for the run (while the colour map has
// never been full); a chat line becomes the pane's newest line; a refusal before
// the client was ever admitted switches to the error screen with its
// message, after which nothing is read any more; a refusal once admitted
// changes nothing, and one answering a rejoin drops that connection to try
// again. Whenever the client is not admitted the roster panel is empty and
// the status bar shows its notice.
//
// Input: packets, each a two-byte header and that many bytes. The header's
// low 14 bits are the length; 0x8000 first turns a roster page (forward with
// 0x4000, back without); 0x4000 alone first makes the server go away.

#include "fuzz/fuzz_support.hpp"
#include "fuzz/offscreen.hpp"

#include "client/ClientState.hpp"
#include "client/ConnectedFrame.hpp"
#include "client/Dispatch.hpp"
#include "client/ServerLink.hpp"
#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Utf8.hpp"
#include "protocol/frame.hpp"
#include "tests/support/FakeTransport.hpp"
#include "tests/support/TestSurface.hpp"

#include <map>
#include <vector>

using namespace parlana;

namespace {

// The pieces a roster text lists: split at every ",", the header piece
// dropped, and no empty piece for the comma that ends the text.
std::vector<std::string> rosterPieces(const std::string& text)
{
    std::vector<std::string> pieces{""};
    for (const char c : text) {
        if (c == ',')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    if (pieces.back().empty())
        pieces.pop_back();
    if (!pieces.empty())
        pieces.erase(pieces.begin());
    return pieces;
}

bool uncoloured(sf::Color colour)
{
    return colour.r == 0 && colour.g == 0 && colour.b == 0;
}

class Client {
public:
    Client()
    {
        surface.capture = false;
        link.start(now, std::chrono::seconds(0));
    }

    /// One connected frame, as the program runs it, with `text` arriving
    /// just before it; the error screen once a refusal has ended the run.
    void frame(const std::string& text)
    {
        if (!state.client_status) {
            sf::RenderWindow& window = fuzz::window();
            window.clear();
            Chat_Error error(fuzz::font(), state.error_msg);
            error.draw(window);
            return;
        }
        wire.inbound += encodeFrame(text);
        const bool wasAdmitted = link.admitted();
        const std::size_t linesBefore = screen.pane.getMessages().size();
        const std::size_t rosterBefore = screen.roster.getUIDS().size();
        const bool up = link.state() == ServerLink::State::Joining || link.admitted();
        const bool lost = m_loseNext && up;
        wire.peerGone = lost;
        m_loseNext = false;
        frames.run(now);
        // Past the longest wait, so the next frame tries again if this one
        // lost, and past a colour step.
        now += std::chrono::seconds(20);
        checkPacket(text, wasAdmitted, linesBefore, rosterBefore, lost);

        // The bar shows what the frame took in.
        const sf::Text& label = screen.bar.getUIDLabel();
        if (link.admitted() && !screen.roster.getUIDSmap().empty())
            FUZZ_CHECK(label.getString() == "[ + ] UID : fuzz", "the status bar does not show the UID");
        else
            FUZZ_CHECK(label.getString() == "[ ! ] NOT CONNECTED" && label.getFillColor() == sf::Color::Red,
                       "the status bar does not show the not-connected notice");
        if (!link.admitted())
            FUZZ_CHECK(screen.roster.getUIDS().empty(), "a roster listed without admission");
    }

    void turnPage(bool forward)
    {
        if (forward)
            screen.roster.nextPage();
        else
            screen.roster.prevPage();
    }

    /// The server goes away before the next frame, if it is there.
    void loseConnection() { m_loseNext = true; }

private:
    void checkPacket(const std::string& text, bool wasAdmitted, std::size_t linesBefore, std::size_t rosterBefore,
                     bool lost)
    {
        const std::size_t lines = screen.pane.getMessages().size();
        switch (parlana::classify_packet(text)) {
        case PacketKind::Roster:
            FUZZ_CHECK(lost ? link.state() == ServerLink::State::Lost : link.admitted(), "a roster did not admit");
            m_everAdmitted = true;
            FUZZ_CHECK(lines == linesBefore, "a roster reached the pane");
            if (!lost)
                checkRoster(rosterPieces(text));
            break;
        case PacketKind::UidRefused:
        case PacketKind::ServerFull:
            if (!m_everAdmitted) {
                FUZZ_CHECK(!state.client_status, "a refusal of the first join did not end the run");
                FUZZ_CHECK(state.error_msg ==
                               (beginsWith(text, kUidErrorToken) ? kUidNotValidMessage : kServerFullMessage),
                           "the error screen does not name the refusal");
                FUZZ_CHECK(link.state() == ServerLink::State::Refused, "a refused link is not refused");
                return;
            }
            FUZZ_CHECK(state.client_status, "a refusal after admission ended the run");
            FUZZ_CHECK(lines == linesBefore, "a refusal reached the pane");
            if (wasAdmitted)
                FUZZ_CHECK(link.admitted() != lost && screen.roster.getUIDS().size() == (lost ? 0 : rosterBefore),
                           "a refusal once admitted was acted on");
            else
                FUZZ_CHECK(link.state() == ServerLink::State::Lost, "a refused rejoin was not dropped to try again");
            break;
        case PacketKind::ChatLine: {
            // The pane may have dropped lines nobody could read to make room.
            const MultipartText expected(text, fuzz::font(), sf::Color::White);
            FUZZ_CHECK(lines != 0 && lines <= linesBefore + 1 &&
                           screen.pane.getMessages().back().getPieceStrings() == expected.getPieceStrings(),
                       "chat line not added to the pane");
            FUZZ_CHECK(state.client_status, "a chat line ended the run");
            break;
        }
        }
    }

    void checkRoster(const std::vector<std::string>& uids)
    {
        const std::vector<sf::Text>& entries = screen.roster.getUIDS();
        const std::map<std::string, sf::Color>& remembered = screen.roster.getUIDSmap();
        FUZZ_CHECK(remembered.size() <= kMaxRememberedUids, "the colour map outgrew its bound");
        m_mapWasFull = m_mapWasFull || remembered.size() == kMaxRememberedUids;
        FUZZ_CHECK(entries.size() == uids.size(), "roster panel does not list the packet's UIDs");
        for (std::size_t i = 0; i < uids.size(); ++i) {
            FUZZ_CHECK(entries[i].getString() == decodeUtf8(uids[i]), "roster entry out of order or altered");
            const sf::Color colour = entries[i].getFillColor();
            FUZZ_CHECK(!uncoloured(colour), "roster entry left uncoloured");
            const auto stored = remembered.find(uids[i]);
            FUZZ_CHECK(stored == remembered.end() || stored->second == colour,
                       "an entry differs from its UID's colour");
            if (m_mapWasFull)
                continue;
            const auto first = colours.emplace(uids[i], colour).first;
            FUZZ_CHECK(first->second == colour, "a UID changed colour during the run");
        }
    }

    ClientState state;
    test::WireScript wire;
    ServerLink link{"fuzz", "chat.example", 5000, std::make_unique<test::FakeTransport>(wire)};
    test::TestSurface surface{fuzz::window()};
    ConnectedFrame frames{fuzz::font(), state, link, surface, "fuzz", {std::chrono::hours(1), {}}};
    ChatScreen& screen = frames.screen();
    ServerLink::Clock::time_point now = ServerLink::Clock::time_point{} + std::chrono::hours(1);
    std::map<std::string, sf::Color> colours;
    bool m_mapWasFull = false;
    bool m_everAdmitted = false;
    bool m_loseNext = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::window();
    fuzz::ByteSource in(data, size);
    Client client;
    while (!in.empty()) {
        const std::uint16_t header = in.u16();
        if (header & 0x8000)
            client.turnPage((header & 0x4000) != 0);
        else if (header & 0x4000)
            client.loseConnection();
        client.frame(in.bytes(header & 0x3FFF));
    }
    return 0;
}
