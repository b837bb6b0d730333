#include "client/widgets/Chat_BOX.hpp"

#include "client/widgets/PanelFrame.hpp"

namespace parlana {

namespace {
const unsigned characterSize = 15;
const std::size_t lineLimit = 112;
} // namespace

Chat_BOX::Chat_BOX(sf::Font& font) : msgLength(0), width(990), height(80), x(5), y(600)
{
    enterLabel.setString("ENTER : ");
    enterLabel.setFont(font);
    enterLabel.setCharacterSize(characterSize);
    enterLabel.setFillColor(sf::Color::Red);
    enterLabel.setPosition(25.f, static_cast<float>(y + height / 2));

    // The counter sits on the frame's top edge; its thick black outline masks
    // the border behind the glyphs.
    lengthLabel.setString("0/112");
    lengthLabel.setFont(font);
    lengthLabel.setCharacterSize(characterSize);
    lengthLabel.setFillColor(sf::Color::White);
    lengthLabel.setOutlineThickness(10.f);
    lengthLabel.setOutlineColor(sf::Color::Black);
    lengthLabel.setPosition(25.f, static_cast<float>(y + height / 2 - 50));

    shapePanelFrame(frame, x, y, width, height, sf::Color::Transparent);
}

sf::Vector2<float> Chat_BOX::getEnterLabelXY() const
{
    return enterLabel.getPosition();
}

void Chat_BOX::get_msg_length(std::string line)
{
    msgLength = static_cast<std::int32_t>(line.size());
    lengthLabel.setString(std::to_string(msgLength) + "/112");
}

bool Chat_BOX::isFull(std::string line) const
{
    return line.size() >= lineLimit;
}

void Chat_BOX::draw(sf::RenderWindow& window)
{
    window.draw(frame, sf::RenderStates::Default);
    window.draw(enterLabel, sf::RenderStates::Default);
    window.draw(lengthLabel, sf::RenderStates::Default);
}

const sf::Text& Chat_BOX::getLengthLabel() const
{
    return lengthLabel;
}

std::int32_t Chat_BOX::getMsgLength() const
{
    return msgLength;
}

} // namespace parlana
