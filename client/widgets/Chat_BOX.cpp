#include "client/widgets/Chat_BOX.hpp"

#include "client/widgets/Style.hpp"

namespace parlana {

namespace {

std::string counterText(std::int32_t length, std::size_t limit)
{
    return std::to_string(length) + "/" + std::to_string(limit);
}

} // namespace

Chat_BOX::Chat_BOX(sf::Font& font, std::size_t limit)
    : m_limit(limit), msgLength(0), width(990), height(80), x(5), y(600)
{
    enterLabel.setString("ENTER : ");
    styleText(enterLabel, font, sf::Color::Red);
    enterLabel.setPosition(25.f, static_cast<float>(y + height / 2));

    lengthLabel.setString(counterText(msgLength, m_limit));
    styleFrameLabel(lengthLabel, font, 25.f, static_cast<float>(y + height / 2 - 50));

    shapePanelFrame(frame, x, y, width, height, sf::Color::Transparent);

    styleText(m_notice, font, sf::Color::Yellow);
    m_notice.setPosition(95.f, static_cast<float>(y + 13));
}

sf::Vector2<float> Chat_BOX::getEnterLabelXY() const
{
    return enterLabel.getPosition();
}

void Chat_BOX::get_msg_length(std::string line)
{
    msgLength = static_cast<std::int32_t>(line.size());
    lengthLabel.setString(counterText(msgLength, m_limit));
}

bool Chat_BOX::isFull(std::string line) const
{
    return line.size() >= m_limit;
}

void Chat_BOX::setNotice(const sf::String& text)
{
    m_notice.setString(text);
}

void Chat_BOX::draw(sf::RenderTarget& window)
{
    window.draw(frame, sf::RenderStates::Default);
    window.draw(enterLabel, sf::RenderStates::Default);
    window.draw(lengthLabel, sf::RenderStates::Default);
    window.draw(m_notice, sf::RenderStates::Default);
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
