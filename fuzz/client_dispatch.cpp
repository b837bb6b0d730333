// The client's packet dispatch fed arbitrary packet strings (roster texts,
// control prefixes, chat lines, anything), each inside one frame's widget
// updates and a draw, as the frame loop does, with the connection possibly
// lost between frames. Checked after each packet: a roster packet leaves
// exactly its UIDs listed, every one coloured, and a UID keeps its colour for
// the run (while the colour map has never been full); a chat line adds one
// line to the pane; a refusal before the first roster switches to the error
// screen with its message, after which no packet is read any more, and one
// after it changes nothing. Once the connection is lost nothing more is read,
// the roster panel stays empty and the status bar shows its notice.
//
// Input: packets, each a two-byte header and that many bytes. The header's
// low 14 bits are the length; 0x8000 first turns a roster page (forward with
// 0x4000, back without); 0x4000 alone first loses the connection.

#include "fuzz/fuzz_support.hpp"
#include "fuzz/offscreen.hpp"

#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/Dispatch.hpp"
#include "client/widgets/Chat_Error.hpp"
#include "client/widgets/Utf8.hpp"

#include <map>
#include <vector>

using namespace parlana;

namespace {

using parlana::PacketKind;

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
    Client() { state.connected = true; }

    void receive(const std::string& text)
    {
        if (!state.client_status)
            return; // the error screen reads nothing
        const std::size_t linesBefore = screen.pane.getMessages().size();
        const std::size_t rosterBefore = screen.roster.getUIDS().size();
        if (!state.connected) {
            parlana::receive(m_noLink, screen.pane, screen.roster, state);
            FUZZ_CHECK(screen.pane.getMessages().size() == linesBefore, "a packet read without a connection");
            return;
        }
        const bool admittedBefore = state.admitted;
        const PacketKind kind = parlana::dispatch_packet(text, screen.pane, screen.roster, state);
        bool refused = false;
        switch (kind) {
        case PacketKind::Roster:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kRosterToken), "roster packet without the header");
            FUZZ_CHECK(state.admitted, "a roster packet does not count as admission");
            checkRoster(rosterPieces(text));
            break;
        case PacketKind::UidRefused:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kUidErrorToken), "UID refusal without its token");
            refused = !admittedBefore;
            FUZZ_CHECK(!refused || state.error_msg == parlana::kUidNotValidMessage, "UID refusal");
            break;
        case PacketKind::ServerFull:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kLimitToken), "limit refusal without its token");
            refused = !admittedBefore;
            FUZZ_CHECK(!refused || state.error_msg == parlana::kServerFullMessage, "limit refusal");
            break;
        case PacketKind::ChatLine:
            FUZZ_CHECK(!parlana::beginsWith(text, parlana::kRosterToken) &&
                           !parlana::beginsWith(text, parlana::kUidErrorToken) &&
                           !parlana::beginsWith(text, parlana::kLimitToken),
                       "control packet taken for a chat line");
            FUZZ_CHECK(screen.pane.getMessages().size() == linesBefore + 1, "chat line not added to the pane");
            break;
        }
        if (kind == PacketKind::UidRefused || kind == PacketKind::ServerFull) {
            FUZZ_CHECK(refused || (screen.pane.getMessages().size() == linesBefore &&
                                   screen.roster.getUIDS().size() == rosterBefore),
                       "a refusal after the first roster was not ignored");
        }
        FUZZ_CHECK(state.client_status == !refused, "chat/error mode does not follow the packet and the admission");
        FUZZ_CHECK(state.connected == !refused, "connection state does not follow the packet");
    }

    /// One connected frame, as the program runs it, with `text` as its packet;
    /// the error screen once a refusal has come.
    void frame(const std::string& text)
    {
        sf::RenderWindow& window = fuzz::window();
        if (!state.client_status) {
            window.clear();
            Chat_Error error(fuzz::font(), state.error_msg);
            error.draw(window);
            return;
        }
        const bool showsUid = state.connected && !screen.roster.getUIDSmap().empty();
        screen.frame(
            window, state, caret, "fuzz", [&] { receive(text); }, [] {}, ColourStep::EveryFrame);
        const sf::Text& label = screen.bar.getUIDLabel();
        if (showsUid)
            FUZZ_CHECK(label.getString() == "[ + ] UID : fuzz", "the status bar does not show the UID");
        else
            FUZZ_CHECK(label.getString() == "[ ! ] NOT CONNECTED" && label.getFillColor() == sf::Color::Red,
                       "the status bar does not show the not-connected notice");
        if (!state.connected)
            FUZZ_CHECK(screen.roster.getUIDS().empty(), "a roster listed without a connection");
    }

    void turnPage(bool forward)
    {
        if (forward)
            screen.roster.nextPage();
        else
            screen.roster.prevPage();
    }

    /// The server goes away between two frames.
    void loseConnection()
    {
        if (state.client_status && state.connected)
            parlana::lose_connection(screen.roster, state);
    }

private:
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
    ChatScreen screen{fuzz::font()};
    Cursor caret{95, 640};
    std::map<std::string, sf::Color> colours;
    bool m_mapWasFull = false;
    // Never read: receive() must not touch the link while disconnected.
    sf::TcpSocket m_unusedSocket;
    ServerLink m_noLink{m_unusedSocket};
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
