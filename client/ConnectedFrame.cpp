#include "client/ConnectedFrame.hpp"

#include "client/Dispatch.hpp"
#include "client/KeyScreens.hpp"
#include "client/PasteText.hpp"
#include "client/widgets/Utf8.hpp"
#include "protocol/line.hpp"

#include <iostream>
#include <map>
#include <utility>

namespace parlana {

namespace {

// Mention colours step once more than this has passed since the last step.
constexpr std::chrono::seconds kColourStep{1};
const sf::Color kPreview(160, 160, 160);
// The question is drawn again this often, in case the window system lost
// what was shown.
constexpr std::chrono::seconds kQuestionRedraw{1};

} // namespace

ConnectedFrame::ConnectedFrame(sf::Font& font, ClientState& state, ServerLink& link, Surface& surface, std::string uid,
                               FrameRules rules)
    : m_font(font), m_state(state), m_link(link), m_surface(surface), m_uid(std::move(uid)), m_rules(rules),
      m_screen(font), m_caret(placeTypedLine(font)),
      m_input(
          m_uid, state.msg, state.gui_msg, m_screen.box, m_caret, m_screen.roster,
          [this](sf::Keyboard::Key key) { return m_surface.isKeyPressed(key); },
          [this](const std::string& line) { return sendTyped(line); }),
      m_completer(m_uid)
{
    m_ownMention.setRoster({m_uid});
}

Cursor ConnectedFrame::placeTypedLine(sf::Font& font)
{
    m_screen.placeTypedLine(m_state.gui_msg, font);
    const sf::Vector2f origin = m_state.gui_msg.getPosition();
    return Cursor(static_cast<int>(origin.x), static_cast<int>(origin.y));
}

bool ConnectedFrame::run(Clock::time_point now)
{
    const ServerLink::State before = m_link.state();
    LineSink sink{*this};
    const std::size_t packets = m_receiver.receive(m_link, sink, m_screen.roster, m_state, now, m_rules.intakeBudget);
    m_packetsTaken += packets;
    if (m_link.state() == ServerLink::State::Untrusted) {
        const KeyScreen refusal =
            keyRefusal(m_link.keyDecision(), m_link.address(), m_link.port(), m_link.trust().known().path());
        m_state.enterErrorMode(refusal.title, refusal.details);
        return false;
    }
    if (m_link.state() == ServerLink::State::Unverified)
        return askTrust(now);
    // Back from the question, the chat is drawn again whatever else happens.
    const bool answered = m_question != nullptr;
    m_question.reset();
    const bool events = handleEvents();
    // Lines go only while admitted: the link keeps nothing for a rejoin that
    // it has not taken, so the rest waits here.
    const bool sent =
        m_link.admitted() && m_pacer.release(now, [this](const std::string& line) { return m_link.offerLine(line); });
    const bool noticed = refreshNotice();
    const bool recoloured = refresh(now);
    m_packetsUndrawn = m_packetsUndrawn || packets > 0;
    const bool changed = answered || events || sent || noticed || recoloured || m_link.state() != before ||
                         m_screen.timeChangedScreen(m_caret) ||
                         (m_packetsUndrawn && now - m_drawnAt >= m_rules.packetDrawPeriod);
    if (!changed)
        return false;
    m_screen.draw(m_surface.target(), m_caret, m_state.gui_msg);
    m_surface.display();
    m_drawnAt = now;
    m_packetsUndrawn = false;
    return true;
}

bool ConnectedFrame::askTrust(Clock::time_point now)
{
    bool redraw = !m_question || now - m_questionDrawnAt >= kQuestionRedraw;
    if (!m_question) {
        const KeyScreen question = trustQuestion(m_link.address(), m_link.port(), m_link.keyDecision().presented);
        m_question = std::make_unique<Chat_Error>(m_font, question.title, question.details);
    }
    sf::Event event;
    while (m_surface.pollEvent(event)) {
        redraw = true;
        const bool pressed = event.type == sf::Event::KeyPressed;
        if (event.type == sf::Event::Closed || (pressed && event.key.code == sf::Keyboard::Escape)) {
            m_link.close();
            m_surface.close();
            return false;
        }
        std::string error;
        if (pressed && event.key.code == sf::Keyboard::Enter && !m_link.trustKey(now, error))
            std::cerr << "parlana-client: the key is trusted for this run only: " << error << std::endl;
    }
    if (!redraw || m_link.state() != ServerLink::State::Unverified)
        return false;
    sf::RenderTarget& target = m_surface.target();
    target.clear(sf::Color(0, 0, 0, 255));
    m_question->draw(target);
    m_surface.display();
    m_questionDrawnAt = now;
    return true;
}

bool ConnectedFrame::handleEvents()
{
    bool any = false;
    sf::Event event;
    while (m_surface.pollEvent(event)) {
        any = true;
        if (event.type == sf::Event::Closed) {
            m_link.close();
            m_surface.close();
        }
        if (event.type == sf::Event::GainedFocus)
            m_attentionAsked = false;
        if (!handleCommand(event))
            m_input.handle(event);
    }
    return any;
}

bool ConnectedFrame::handleCommand(const sf::Event& event)
{
    switch (event.type) {
    case sf::Event::KeyPressed:
        return handleKey(event.key);
    case sf::Event::TextEntered:
        // While a paste waits for its answer the typed line stays as it is.
        return !m_asking.empty();
    case sf::Event::MouseWheelScrolled:
        return event.mouseWheelScroll.wheel == sf::Mouse::VerticalWheel &&
               m_screen.pane.wheel(event.mouseWheelScroll.delta, event.mouseWheelScroll.x, event.mouseWheelScroll.y);
    case sf::Event::MouseButtonPressed:
        return event.mouseButton.button == sf::Mouse::Left &&
               m_screen.pane.click(event.mouseButton.x, event.mouseButton.y);
    default:
        return false;
    }
}

bool ConnectedFrame::handleKey(const sf::Event::KeyEvent& key)
{
    using Key = sf::Keyboard::Key;
    Scrollback& view = m_screen.pane.view();
    std::string& typed = m_state.msg;
    if (!m_asking.empty()) {
        if (key.code == Key::Enter) {
            m_pacer.queuePaste(std::move(m_asking));
            view.toNewest();
        }
        if (key.code == Key::Enter || key.code == Key::Escape)
            m_asking.clear();
        return true;
    }
    if (key.code == Key::PageUp) {
        view.pageUp();
    } else if (key.code == Key::PageDown) {
        view.pageDown();
    } else if (key.control && key.code == Key::Home) {
        view.toOldest();
    } else if (key.control && key.code == Key::End) {
        view.toNewest();
    } else if ((key.control && key.code == Key::V) || (key.shift && key.code == Key::Insert)) {
        paste();
    } else if (key.code == Key::Up || key.code == Key::Down) {
        if (const std::optional<std::string> line = key.code == Key::Up ? m_history.older(typed) : m_history.newer())
            typed = *line;
    } else if (key.code == Key::Tab) {
        const std::optional<std::string> line = m_completer.complete(typed, m_screen.roster.getUIDkeys());
        if (line && line->size() <= kMaxTypedBytes)
            typed = *line;
    } else if (key.control && key.code == Key::W) {
        eraseWord();
    } else if (key.control && key.code == Key::U) {
        typed.clear();
    } else if (key.code == Key::Escape) {
        m_pacer.stopPaste();
    } else {
        return false;
    }
    return true;
}

bool ConnectedFrame::sendTyped(const std::string& line)
{
    // Not connected, or with a server that is not reading, the line stays
    // with the user rather than wait unseen.
    if (!m_link.admitted() || m_link.queued() > kMaxOutgoingBytes)
        return false;
    m_pacer.queueTyped(line);
    m_history.remember(line.substr(linePrefix(m_uid).size()));
    m_screen.pane.view().toNewest();
    return true;
}

void ConnectedFrame::paste()
{
    std::vector<std::string> lines = pastedLines(m_surface.clipboard());
    if (lines.empty())
        return;
    if (lines.size() == 1 && m_state.msg.size() + lines.front().size() <= kMaxTypedBytes) {
        m_state.msg += lines.front();
        return;
    }
    for (const std::string& line : lines)
        for (std::string& piece : splitLongLine(line, kMaxTypedBytes))
            m_asking.push_back(format_line(m_uid, piece));
}

void ConnectedFrame::eraseWord()
{
    std::string& typed = m_state.msg;
    const std::size_t wordEnd = typed.find_last_not_of(' ');
    if (wordEnd == std::string::npos) {
        typed.clear();
        return;
    }
    const std::size_t space = typed.rfind(' ', wordEnd);
    typed.erase(space == std::string::npos ? 0 : space + 1);
}

void ConnectedFrame::takeChatLine(std::string line)
{
    Chat_RECV& pane = m_screen.pane;
    pane.insert_msg(std::move(line));
    const KeptLine& kept = pane.getMessages().back();
    const std::string sender = kept.getUID();
    m_completer.spoke(sender);
    if (sender == m_uid || m_attentionAsked || m_surface.hasFocus())
        return;
    for (const std::string& piece : kept.getPieceStrings()) {
        if (!m_ownMention.mentioned(piece).empty()) {
            m_surface.requestAttention();
            m_attentionAsked = true;
            return;
        }
    }
}

bool ConnectedFrame::refreshNotice()
{
    sf::String notice;
    if (!m_asking.empty())
        notice = decodeUtf8("Paste " + std::to_string(m_asking.size()) + " lines? Enter sends \u00B7 Esc cancels");
    else if (m_pacer.pasting())
        notice = decodeUtf8("sending " + std::to_string(m_pacer.pasteSent()) + "/" +
                            std::to_string(m_pacer.pasteTotal()) + " \u00B7 Esc stops");
    if (notice == m_notice)
        return false;
    m_notice = notice;
    m_screen.box.setNotice(notice);
    return true;
}

bool ConnectedFrame::refresh(Clock::time_point now)
{
    m_screen.bar.updateClock();
    m_screen.roster.updateUIDcounter();
    refreshStatusBar();
    // While a paste waits for its answer, its first line shows where the
    // typed line stands.
    const bool asking = !m_asking.empty();
    const std::string& shown = asking ? m_asking.front().substr(linePrefix(m_uid).size()) : m_state.msg;
    m_state.gui_msg.setString(decodeUtf8(shown));
    m_state.gui_msg.setFillColor(asking ? kPreview : sf::Color::White);
    m_caret.updatePosition(static_cast<int>(m_state.gui_msg.getLocalBounds().width), 1);
    m_screen.box.get_msg_length(m_state.msg);

    Chat_RECV& pane = m_screen.pane;
    const std::vector<sf::Text>& roster = m_screen.roster.getUIDS();
    pane.assignMSGcolors(roster, m_screen.roster.version());
    pane.assignUIDreference(roster, m_screen.roster.version());
    if (now - m_colourStepAt <= kColourStep)
        return false;
    m_colourStepAt = now;
    return pane.setMSGcolor();
}

void ConnectedFrame::refreshStatusBar()
{
    const bool admitted = m_link.admitted();
    if (m_barVersion == m_screen.roster.version() && m_barAdmitted == admitted)
        return;
    m_screen.bar.setEncrypted(admitted && m_link.secured());
    // Until admitted the bar says so, whatever colours the run has handed
    // out: it shows the notice for an empty map.
    static const std::map<std::string, sf::Color> kNobody;
    m_screen.bar.setInfo(m_uid, admitted ? m_screen.roster.getUIDSmap() : kNobody);
    m_barVersion = m_screen.roster.version();
    m_barAdmitted = admitted;
}

} // namespace parlana
