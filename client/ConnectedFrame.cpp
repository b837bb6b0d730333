#include "client/ConnectedFrame.hpp"

#include "client/widgets/Utf8.hpp"

#include <map>
#include <utility>

namespace parlana {

namespace {

// Mention colours step once more than this has passed since the last step.
constexpr std::chrono::seconds kColourStep{1};

} // namespace

ConnectedFrame::ConnectedFrame(sf::Font& font, ClientState& state, ServerLink& link, Surface& surface, std::string uid,
                               FrameRules rules)
    : m_state(state), m_link(link), m_surface(surface), m_uid(std::move(uid)), m_rules(rules), m_screen(font),
      m_caret(placeTypedLine(font)), m_input(
                                         m_uid, state.msg, state.gui_msg, m_screen.box, m_caret, m_screen.roster,
                                         [this](sf::Keyboard::Key key) { return m_surface.isKeyPressed(key); },
                                         [this](const std::string& line) { return m_link.offerLine(line); })
{}

Cursor ConnectedFrame::placeTypedLine(sf::Font& font)
{
    m_screen.placeTypedLine(m_state.gui_msg, font);
    const sf::Vector2f origin = m_state.gui_msg.getPosition();
    return Cursor(static_cast<int>(origin.x), static_cast<int>(origin.y));
}

bool ConnectedFrame::run(Clock::time_point now)
{
    const ServerLink::State before = m_link.state();
    const std::size_t packets =
        m_receiver.receive(m_link, m_screen.pane, m_screen.roster, m_state, now, m_rules.intakeBudget);
    m_packetsTaken += packets;
    const bool events = handleEvents();
    const bool recoloured = refresh(now);
    m_packetsUndrawn = m_packetsUndrawn || packets > 0;
    const bool changed = events || recoloured || m_link.state() != before || m_screen.timeChangedScreen(m_caret) ||
                         (m_packetsUndrawn && now - m_drawnAt >= m_rules.packetDrawPeriod);
    if (!changed)
        return false;
    m_screen.draw(m_surface.target(), m_caret, m_state.gui_msg);
    m_surface.display();
    m_drawnAt = now;
    m_packetsUndrawn = false;
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
        m_input.handle(event);
    }
    return any;
}

bool ConnectedFrame::refresh(Clock::time_point now)
{
    m_screen.bar.updateClock();
    m_screen.roster.updateUIDcounter();
    refreshStatusBar();
    m_state.gui_msg.setString(decodeUtf8(m_state.msg));
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
    // Until admitted the bar says so, whatever colours the run has handed
    // out: it shows the notice for an empty map.
    static const std::map<std::string, sf::Color> kNobody;
    m_screen.bar.setInfo(m_uid, admitted ? m_screen.roster.getUIDSmap() : kNobody);
    m_barVersion = m_screen.roster.version();
    m_barAdmitted = admitted;
}

} // namespace parlana
