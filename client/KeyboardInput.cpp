#include "client/KeyboardInput.hpp"

#include "client/widgets/Utf8.hpp"
#include "protocol/line.hpp"

namespace parlana {

KeyCommand held_key_command(const KeyProbe& isKeyPressed)
{
    if (isKeyPressed(sf::Keyboard::Backspace))
        return KeyCommand::Erase;
    if (isKeyPressed(sf::Keyboard::Enter))
        return KeyCommand::Send;
    if (isKeyPressed(sf::Keyboard::Right))
        return KeyCommand::NextPage;
    if (isKeyPressed(sf::Keyboard::Left))
        return KeyCommand::PrevPage;
    return KeyCommand::None;
}

bool is_typable(std::uint32_t code)
{
    if (code < 0x80)
        return code >= 0x20 && code != 0x7F;
    return code > 0x9F && isScalarValue(code);
}

std::string format_line(const std::string& uid, const std::string& text)
{
    return linePrefix(uid) + text;
}

} // namespace parlana
