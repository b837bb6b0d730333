// Chat line split and wrap, and the message pane's mention matcher and
// scrolling, with arbitrary roster UIDs (pattern metacharacters included)
// and arbitrary line texts. Every result is compared with a plain reading
// of the rules:
//   - a line is cut after its first ":"; a message over 70 UTF-8 characters
//     is wrapped once, never inside one, the continuation starting with a space;
//   - a piece mentions UID u when it holds "@u" literally, then at most one
//     C-locale punctuation character, then white space or the piece's end;
//     mention colours accumulate per line, piece by piece, in roster order;
//   - a sender piece takes the colour of the last roster entry naming it;
//   - the pane keeps the newest lines up to its capacity; live, its view
//     shows the last 23 rows; held, 22 rows that stay put as lines come and
//     the oldest go (unless the rows themselves went), scrolled row by row
//     between the oldest row and the newest, over a mark counting the lines
//     with a row below the view.
//
// Input: steps, each an opcode byte and its operands.
// (Step 6 builds a long line from a repeated byte; step 7 scrolls.)

#include "fuzz/fuzz_support.hpp"
#include "fuzz/offscreen.hpp"

#include "client/widgets/Chat_RECV.hpp"
#include "client/widgets/KeptLine.hpp"
#include "client/widgets/MentionMatcher.hpp"
#include "client/widgets/MultipartText.hpp"
#include "client/widgets/Utf8.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

using namespace parlana;

namespace {

constexpr std::size_t kWrap = 70;

struct Rules {
    std::vector<std::string> pieces;
    int rows;
};

// The wrap: where the first row decodes to 70 characters and both, apart, to the message.
Rules splitByRules(const std::string& line)
{
    const std::size_t colon = line.find(':');
    const std::string head = colon == std::string::npos ? "" : line.substr(0, colon + 1);
    const std::string message = colon == std::string::npos ? line : line.substr(colon + 1);
    const sf::String all = decodeUtf8(message);
    for (std::size_t cut = 1; all.getSize() > kWrap && cut <= std::min(message.size(), 4 * kWrap); ++cut)
        if (decodeUtf8(message.substr(0, cut)).getSize() == kWrap &&
            decodeUtf8(message.substr(0, cut)) + decodeUtf8(message.substr(cut)) == all)
            return {{head, message.substr(0, cut), " " + message.substr(cut)}, 2};
    return {{head, message}, 1};
}

bool isPunct(char c)
{
    return std::ispunct(static_cast<unsigned char>(c)) != 0;
}
bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool mentions(const std::string& piece, const std::string& uid)
{
    const std::string needle = "@" + uid;
    for (std::size_t at = piece.find(needle); at != std::string::npos; at = piece.find(needle, at + 1)) {
        std::size_t next = at + needle.size();
        if (next == piece.size() || isSpace(piece[next]))
            return true;
        if (isPunct(piece[next]) && (next + 1 == piece.size() || isSpace(piece[next + 1])))
            return true;
    }
    return false;
}

void checkLine(const std::string& text)
{
    const Rules rules = splitByRules(text);
    MultipartText line(text, fuzz::font(), sf::Color::Red);
    FUZZ_CHECK(line.getPieceStrings() == rules.pieces, "line not cut and wrapped by the rules");
    for (std::size_t i = 0; i < rules.pieces.size(); ++i)
        FUZZ_CHECK(line.getText()[i].getString() == decodeUtf8(rules.pieces[i]), "a piece does not draw its bytes");
    FUZZ_CHECK(line.getSize() == rules.rows, "row count of a line");
    std::string uid = rules.pieces.front();
    if (!uid.empty())
        uid.pop_back();
    FUZZ_CHECK(line.getUID() == uid, "getUID is not the sender piece less its colon");

    line.setPosition(250, 100);
    const auto& texts = line.getText();
    FUZZ_CHECK(texts[0].getPosition() == sf::Vector2f(250, 100), "sender piece misplaced");
    FUZZ_CHECK(texts[1].getPosition().y == 100, "message piece off its row");
    if (texts.size() == 3)
        FUZZ_CHECK(texts[2].getPosition() == texts[1].getPosition() + sf::Vector2f(0, 20),
                   "continuation not right under the message");
}

/// What the pane should hold, line by line, besides its own pieces.
struct Expected {
    std::vector<sf::Color> references;
};

constexpr std::size_t kCapacity = 64;
constexpr std::size_t kView = 23;

class PaneCheck {
public:
    PaneCheck() : pane(fuzz::font(), kCapacity) {}

    void insert(const std::string& text)
    {
        checkLine(text);
        const Top before = top();
        const bool held = !pane.view().live();
        pane.insert_msg(text);
        ++inserted;
        model.push_back({});
        const std::size_t kept = std::min<std::uint64_t>(inserted, kCapacity);
        FUZZ_CHECK(pane.getMessages().size() == kept, "the pane does not keep the newest lines up to its capacity");
        if (model.size() > kept)
            model.erase(model.begin());
        if (held && before.number >= inserted - kept)
            FUZZ_CHECK(pane.view().live() || top() == before, "a held view moved as a line came");
        checkView();
    }

    /// Scrolls as the operand says, and checks the view moved by the rows asked.
    void scroll(std::uint8_t how)
    {
        Scrollback& view = pane.view();
        const std::size_t rows = how % 64;
        const std::size_t from = topRow();
        const bool wasLive = view.live();
        switch (how >> 6) {
        case 0:
            view.scrollUp(rows);
            if (!view.live())
                FUZZ_CHECK(topRow() == from - std::min(rows, from), "scrolled up by other than the rows asked");
            break;
        case 1:
            view.scrollDown(rows);
            if (!view.live())
                FUZZ_CHECK(!wasLive && topRow() == from + rows, "scrolled down by other than the rows asked");
            break;
        case 2:
            view.toOldest();
            FUZZ_CHECK(view.live() == (totalRows() <= kView) && topRow() == (view.live() ? liveTop() : 0),
                       "the oldest row is not on top");
            break;
        default:
            view.toNewest();
            FUZZ_CHECK(view.live(), "not live after going to the newest");
            break;
        }
        checkView();
    }

    void scanMentions()
    {
        pane.assignUIDreference(roster, version);
        const auto& lines = pane.getMessages();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (const std::string& piece : lines[i].getPieceStrings()) {
                const std::vector<std::size_t> found = judgedAlike(piece);
                for (const std::size_t e : found)
                    if (std::find(model[i].references.begin(), model[i].references.end(), roster[e].getFillColor()) ==
                        model[i].references.end())
                        model[i].references.push_back(roster[e].getFillColor());
            }
            FUZZ_CHECK(lines[i].getReferenceColors() == model[i].references, "mention colours differ from the rule");
        }
    }

    void colourSenders()
    {
        pane.assignMSGcolors(roster, version);
        for (const KeptLine& line : pane.getMessages()) {
            const sf::Text* match = nullptr;
            for (const sf::Text& entry : roster)
                // Compared as the roster text and the sender piece give them,
                // not as bytes: bad sequences all draw as "?" alike.
                if (entry.getString() == decodeUtf8(line.getUID()))
                    match = &entry;
            if (match != nullptr)
                FUZZ_CHECK(line.getUIDcolor() == match->getFillColor(), "sender colour");
        }
    }

    void draw()
    {
        pane.draw(fuzz::window());
        const std::string mark =
            pane.view().live() ? "" : "\u25BC " + std::to_string(pane.view().linesBelow()) + " new";
        FUZZ_CHECK(pane.markText() == decodeUtf8(mark), "the mark does not count the lines below");
    }

    void setRoster(std::vector<std::string> uids, std::uint8_t colourSeed)
    {
        ++version;
        roster.clear();
        for (std::size_t i = 0; i < uids.size(); ++i) {
            sf::Text entry(decodeUtf8(uids[i]), fuzz::font(), 15);
            // Colours may repeat on purpose: a repeated colour is kept once.
            entry.setFillColor(sf::Color(static_cast<sf::Uint8>(colourSeed + (i % 3)), 200, 100));
            roster.push_back(entry);
        }
        std::vector<std::string> names;
        for (const sf::Text& entry : roster)
            names.push_back(encodeUtf8(entry.getString()));
        matcher.setRoster(names);
    }

    void step() { pane.setMSGcolor(); }

private:
    /// The roster entries `piece` mentions by the rule, in roster order,
    /// after checking that the matcher finds the same.
    std::vector<std::size_t> judgedAlike(const std::string& piece)
    {
        std::vector<std::size_t> expected;
        for (std::size_t e = 0; e < roster.size(); ++e)
            if (mentions(piece, encodeUtf8(roster[e].getString())))
                expected.push_back(e);
        FUZZ_CHECK(matcher.mentioned(piece) == expected, "matcher verdict differs from the rule");
        return expected;
    }

    /// A line of the view's top row, by its number since the first line,
    /// and which of its rows is on top.
    struct Top {
        std::uint64_t number;
        std::size_t row;
        bool operator==(const Top& other) const { return number == other.number && row == other.row; }
    };

    Top top() const { return {inserted - pane.getMessages().size() + pane.view().topLine(), pane.view().topLineRow()}; }

    std::size_t totalRows() const
    {
        std::size_t rows = 0;
        for (const KeptLine& line : pane.getMessages())
            rows += line.getSize();
        return rows;
    }

    std::size_t liveTop() const { return totalRows() > kView ? totalRows() - kView : 0; }

    /// The top row counted from the oldest kept line's first row.
    std::size_t topRow() const
    {
        std::size_t rows = pane.view().topLineRow();
        for (std::size_t i = 0; i < pane.view().topLine(); ++i)
            rows += pane.getMessages()[i].getSize();
        return rows;
    }

    void checkView()
    {
        const Scrollback& view = pane.view();
        FUZZ_CHECK(model.size() == pane.getMessages().size(), "lines lost or gained");
        FUZZ_CHECK(view.topLineRow() < (pane.getMessages().empty() ? 1 : pane.getMessages()[view.topLine()].getSize()),
                   "the top row is not a row of the top line");
        if (view.live()) {
            FUZZ_CHECK(topRow() == liveTop() && view.linesBelow() == 0, "the live view is not the last 23 rows");
            return;
        }
        const std::size_t mark = topRow() + kView - 1;
        FUZZ_CHECK(mark < totalRows(), "a held view with nothing below it");
        std::size_t below = 0;
        std::size_t row = 0;
        for (const KeptLine& line : pane.getMessages()) {
            row += line.getSize();
            below += row > mark ? 1 : 0;
        }
        FUZZ_CHECK(view.linesBelow() == below, "the mark does not count the lines with a row below the view");
    }

    Chat_RECV pane;
    MentionMatcher matcher;
    std::vector<sf::Text> roster;
    std::uint64_t version = 0;
    std::vector<Expected> model;
    std::uint64_t inserted = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::window();
    fuzz::ByteSource in(data, size);
    PaneCheck pane;
    while (!in.empty()) {
        switch (in.byte() % 8) {
        case 0:
        case 1:
            pane.insert(in.longString(0x10000));
            break;
        case 6: {
            // A line with one byte repeated up to 64 Ki times between two
            // pieces that may reach past the wrap: lengths the mutator would
            // take long to grow on its own.
            std::string line = in.shortString(160);
            const std::size_t count = in.u16();
            line += std::string(count, static_cast<char>(in.byte()));
            line += in.shortString(160);
            pane.insert(line);
            break;
        }
        case 2: {
            std::vector<std::string> uids(in.byte() % 8);
            for (std::string& uid : uids)
                uid = in.shortString(12);
            pane.setRoster(uids, in.byte());
            break;
        }
        case 3:
            pane.scanMentions();
            pane.colourSenders();
            break;
        case 4:
            pane.draw();
            break;
        case 5:
            pane.step();
            break;
        case 7:
            pane.scroll(in.byte());
            break;
        }
    }
    pane.scanMentions();
    pane.draw();
    return 0;
}
