#include "client/widgets/Chat_Error.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <utility>

namespace parlana {

namespace {
// The details start a large line's height below the message.
constexpr int kDetailsBelow = 50;
} // namespace

Chat_Error::Chat_Error(sf::Font& font, std::string message, const std::vector<std::string>& details)
    : font(font), message(std::move(message)), x(200), y(350)
{
    // Character size is left at the text default (30): the error stands out.
    text.setString(this->message);
    text.setFont(this->font);
    text.setPosition(static_cast<float>(x), static_cast<float>(y));
    text.setFillColor(sf::Color::White);
    for (const std::string& line : details) {
        sf::Text& shown = detailTexts.emplace_back(decodeUtf8(line), this->font, kCharacterSize);
        shown.setFillColor(sf::Color::White);
        const int row = static_cast<int>(detailTexts.size()) - 1;
        shown.setPosition(static_cast<float>(x), static_cast<float>(y + kDetailsBelow + row * kRowHeight));
    }
}

void Chat_Error::draw(sf::RenderTarget& window)
{
    window.draw(text, sf::RenderStates::Default);
    for (const sf::Text& detail : detailTexts)
        window.draw(detail, sf::RenderStates::Default);
}

const sf::Text& Chat_Error::getText() const
{
    return text;
}

} // namespace parlana
