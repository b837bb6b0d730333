#include "client/widgets/Chat_BOX.hpp"

#include "client/widgets/Style.hpp"
#include "protocol/tokens.hpp"

namespace parlana {

namespace {

// The counter and the full test read the same limit: the longest typed text
// the protocol carries.
std::string counterText(std::int32_t length)
{
    return std::to_string(length) + "/" + std::to_string(kMaxTypedBytes);
}

} // namespace

Chat_BOX::Chat_BOX(sf::Font& font) : msgLength(0), width(990), height(80), x(5), y(600)
{
    enterLabel.setString("ENTER : ");
    styleText(enterLabel, font, sf::Color::Red);
    enterLabel.setPosition(25.f, static_cast<float>(y + height / 2));

    lengthLabel.setString(counterText(msgLength));
    styleFrameLabel(lengthLabel, font, 25.f, static_cast<float>(y + height / 2 - 50));

    shapePanelFrame(frame, x, y, width, height, sf::Color::Transparent);
}

sf::Vector2<float> Chat_BOX::getEnterLabelXY() const
{
    return enterLabel.getPosition();
}

void Chat_BOX::get_msg_length(std::string line)
{
    msgLength = static_cast<std::int32_t>(line.size());
    lengthLabel.setString(counterText(msgLength));
}

bool Chat_BOX::isFull(std::string line) const
{
    return line.size() >= kMaxTypedBytes;
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
