#include "client/widgets/MultipartText.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <algorithm>
#include <utility>

namespace parlana {

namespace {
constexpr std::size_t kWrapAfter = 70;

sf::Text makePiece(const std::string& bytes, sf::Font& font, sf::Color colour)
{
    sf::Text piece;
    piece.setString(decodeUtf8(bytes));
    styleText(piece, font, colour);
    return piece;
}
} // namespace

std::vector<std::string> splitChatLine(const std::string& line)
{
    const std::size_t colon = line.find(':');
    std::vector<std::string> pieces;
    std::string message;
    if (colon == std::string::npos) {
        pieces.emplace_back();
        message = line;
    } else {
        pieces.push_back(line.substr(0, colon + 1));
        message = line.substr(colon + 1);
    }
    const std::size_t rowEnd = characterEnd(message, kWrapAfter);
    if (rowEnd < message.size()) {
        pieces.push_back(message.substr(0, rowEnd));
        pieces.push_back(" " + message.substr(rowEnd));
    } else {
        pieces.push_back(std::move(message));
    }
    return pieces;
}

MultipartText::MultipartText(const std::string& line, sf::Font& font, sf::Color uidColor)
    : MultipartText(splitChatLine(line), font, uidColor)
{}

MultipartText::MultipartText(std::vector<std::string> pieces, sf::Font& font, sf::Color uidColor)
    : m_pieceStrings(std::move(pieces))
{
    // The pieces keep their bytes, which the pane's scans read: a roster UID
    // is compared with them as bytes.
    for (const std::string& bytes : m_pieceStrings) {
        texts.push_back(makePiece(bytes, font, texts.empty() ? uidColor : sf::Color::White));
    }
}

void MultipartText::setUIDcolor(sf::Color color)
{
    texts.front().setFillColor(color);
}

void MultipartText::setMessageColor(sf::Color color)
{
    for (std::size_t i = 1; i < texts.size(); ++i) {
        texts[i].setFillColor(color);
    }
}

void MultipartText::setPosition(int x, int y)
{
    const float left = static_cast<float>(x);
    const float top = static_cast<float>(y);
    texts[0].setPosition(left, top);
    const float afterColon = texts[0].findCharacterPos(texts[0].getString().getSize()).x;
    if (texts.size() > 1) {
        texts[1].setPosition(afterColon, top);
    }
    if (texts.size() > 2) {
        texts[2].setPosition(afterColon, top + static_cast<float>(kRowHeight));
    }
}

sf::Vector2<float> MultipartText::getUIDxy() const
{
    return texts.front().getPosition();
}

sf::Vector2<float> MultipartText::getXY() const
{
    return texts.back().getPosition();
}

std::string MultipartText::getUID() const
{
    std::string first = m_pieceStrings.front();
    if (!first.empty()) {
        first.pop_back();
    }
    return first;
}

std::int16_t MultipartText::getSize() const
{
    return texts.size() > 2 ? 2 : 1;
}

const std::vector<sf::Text>& MultipartText::getText() const
{
    return texts;
}

void MultipartText::draw(sf::RenderTarget& window, float top, float bottom) const
{
    for (const sf::Text& piece : texts) {
        const float y = piece.getPosition().y;
        if (y >= top && y <= bottom) {
            window.draw(piece, sf::RenderStates::Default);
        }
    }
}

const std::vector<std::string>& MultipartText::getPieceStrings() const
{
    return m_pieceStrings;
}

} // namespace parlana
