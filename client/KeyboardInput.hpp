#pragma once

#include "client/widgets/Utf8.hpp"

#include <SFML/Graphics/Text.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace parlana {

/// Tells whether a key is held right now (sf::Keyboard::isKeyPressed in the
/// program, a fake keyboard in tests).
using KeyProbe = std::function<bool(sf::Keyboard::Key)>;

/// Offers one finished chat line to the server; false when it was not taken
/// (not connected, or the server is not keeping up), so the user keeps it.
using LineSender = std::function<bool(const std::string&)>;

/// What the held keys ask for; only the first held key counts.
enum class KeyCommand { None, Erase, Send, NextPage, PrevPage };

/// Tests Backspace, Enter, Right and Left, in that order, and returns the
/// command of the first one held.
KeyCommand held_key_command(const KeyProbe& isKeyPressed);

/// True for the code points a typed line takes: printable ASCII and every
/// character above U+009F; no control character (Backspace, Enter, Tab,
/// Esc and the Ctrl keys act as keys, not as text), surrogate or value past
/// U+10FFFF.
bool is_typable(std::uint32_t code);

/// The chat line sent for `text` typed by `uid`.
std::string format_line(const std::string& uid, const std::string& text);

/// Edits the typed line, sends it and pages the roster, one window event at
/// a time. The widgets are template parameters so that tests can watch them.
template <class Box, class Caret, class Roster>
class KeyboardInput {
public:
    /// `msg` and `gui_msg` are the line and its drawable; every reference
    /// must outlive the handler.
    KeyboardInput(std::string uid, std::string& msg, const sf::Text& gui_msg, Box& box, Caret& caret, Roster& roster,
                  KeyProbe isKeyPressed, LineSender send)
        : m_uid(std::move(uid)), m_msg(msg), m_guiMsg(gui_msg), m_box(box), m_caret(caret), m_roster(roster),
          m_isKeyPressed(std::move(isKeyPressed)), m_send(std::move(send))
    {}

    /// Text events edit the line; every other event, a close request
    /// included, acts on the keys held at this moment.
    void handle(const sf::Event& event)
    {
        if (event.type == sf::Event::TextEntered)
            type(event.text.unicode);
        else
            act(held_key_command(m_isKeyPressed));
    }

private:
    /// A typable character goes in as its UTF-8 bytes when they all fit: when
    /// the line holding all but the last of them is not full yet.
    void type(std::uint32_t code)
    {
        if (!is_typable(code))
            return;
        const std::string bytes = encodeUtf8(code);
        if (!m_box.isFull(m_msg + bytes.substr(0, bytes.size() - 1)))
            m_msg += bytes;
    }

    void act(KeyCommand command)
    {
        switch (command) {
        case KeyCommand::Erase:
            erase();
            break;
        case KeyCommand::Send:
            send();
            break;
        case KeyCommand::NextPage:
            m_roster.nextPage();
            break;
        case KeyCommand::PrevPage:
            m_roster.prevPage();
            break;
        case KeyCommand::None:
            break;
        }
    }

    void erase()
    {
        if (m_msg.empty())
            return;
        // A whole character, never a part of one.
        m_msg.erase(lastCharacterStart(m_msg));
        // The drawable still shows the line as the frame began; the next
        // frame places the caret again from the shortened line.
        m_caret.updatePosition(static_cast<int>(m_guiMsg.getGlobalBounds().width), 2);
    }

    void send()
    {
        if (m_msg.empty() || !m_send(format_line(m_uid, m_msg)))
            return;
        m_msg.clear();
        m_caret.resetPosition();
    }

    const std::string m_uid;
    std::string& m_msg;
    const sf::Text& m_guiMsg;
    Box& m_box;
    Caret& m_caret;
    Roster& m_roster;
    KeyProbe m_isKeyPressed;
    LineSender m_send;
};

} // namespace parlana
