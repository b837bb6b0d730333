// The client's packet dispatch fed arbitrary packet strings (roster texts,
// control prefixes, chat lines, anything), each followed by one frame's
// widget updates and a draw, as the frame loop does. Checked after each
// packet: a roster packet leaves exactly its UIDs listed, every one coloured,
// and a UID keeps its colour for the run; a chat line adds one line to the
// pane; a refusal switches to the error screen with its message, after which
// no packet is read any more.
//
// Input: packets, each a two-byte length and that many bytes.

#include "fuzz/fuzz_support.hpp"
#include "fuzz/offscreen.hpp"

#include "client/ChatScreen.hpp"
#include "client/ClientState.hpp"
#include "client/Dispatch.hpp"
#include "client/widgets/Chat_Error.hpp"

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
    void receive(const std::string& text)
    {
        if (!state.client_status)
            return; // the error screen reads nothing
        const std::size_t linesBefore = screen.pane.getMessages().size();
        const PacketKind kind = parlana::dispatch_packet(text, screen.pane, screen.roster, state);
        switch (kind) {
        case PacketKind::Roster:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kRosterToken), "roster packet without the header");
            checkRoster(rosterPieces(text));
            break;
        case PacketKind::UidRefused:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kUidErrorToken), "UID refusal without its token");
            FUZZ_CHECK(!state.client_status && state.error_msg == parlana::kUidNotValidMessage, "UID refusal");
            break;
        case PacketKind::ServerFull:
            FUZZ_CHECK(parlana::beginsWith(text, parlana::kLimitToken), "limit refusal without its token");
            FUZZ_CHECK(!state.client_status && state.error_msg == parlana::kServerFullMessage, "limit refusal");
            break;
        case PacketKind::ChatLine:
            FUZZ_CHECK(!parlana::beginsWith(text, parlana::kRosterToken) &&
                           !parlana::beginsWith(text, parlana::kUidErrorToken) &&
                           !parlana::beginsWith(text, parlana::kLimitToken),
                       "control packet taken for a chat line");
            FUZZ_CHECK(screen.pane.getMessages().size() == linesBefore + 1, "chat line not added to the pane");
            break;
        }
        FUZZ_CHECK(state.client_status == (kind == PacketKind::Roster || kind == PacketKind::ChatLine),
                   "chat/error mode does not follow the packet kind");
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
        screen.frame(
            window, state, caret, "fuzz", [&] { receive(text); }, [] {}, ColourStep::EveryFrame);
    }

    void turnPage(bool forward)
    {
        if (forward)
            screen.roster.nextPage();
        else
            screen.roster.prevPage();
    }

private:
    void checkRoster(const std::vector<std::string>& uids)
    {
        const std::vector<sf::Text>& entries = screen.roster.getUIDS();
        FUZZ_CHECK(entries.size() == uids.size(), "roster panel does not list the packet's UIDs");
        for (std::size_t i = 0; i < uids.size(); ++i) {
            FUZZ_CHECK(entries[i].getString() == sf::String(uids[i]), "roster entry out of order or altered");
            const sf::Color colour = entries[i].getFillColor();
            FUZZ_CHECK(!uncoloured(colour), "roster entry left uncoloured");
            const auto first = colours.emplace(uids[i], colour).first;
            FUZZ_CHECK(first->second == colour, "a UID changed colour during the run");
        }
    }

    ClientState state;
    ChatScreen screen{fuzz::font()};
    Cursor caret{95, 640};
    std::map<std::string, sf::Color> colours;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::window();
    fuzz::ByteSource in(data, size);
    Client client;
    while (!in.empty()) {
        const std::uint16_t header = in.u16();
        // The top bit turns a roster page first, as the arrow keys would.
        if (header & 0x8000)
            client.turnPage((header & 0x4000) != 0);
        client.frame(in.bytes(header & 0x3FFF));
    }
    return 0;
}
