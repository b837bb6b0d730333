#include "client/widgets/Chat_Error.hpp"

#include <utility>

namespace parlana {

Chat_Error::Chat_Error(sf::Font& font, std::string message) : font(font), message(std::move(message)), x(200), y(350)
{
    // Character size is left at the text default (30): the error stands out.
    text.setString(this->message);
    text.setFont(this->font);
    text.setPosition(static_cast<float>(x), static_cast<float>(y));
    text.setFillColor(sf::Color::White);
}

void Chat_Error::draw(sf::RenderTarget& window)
{
    window.draw(text, sf::RenderStates::Default);
}

const sf::Text& Chat_Error::getText() const
{
    return text;
}

} // namespace parlana
