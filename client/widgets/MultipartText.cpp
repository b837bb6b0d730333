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

MultipartText::MultipartText(std::string line, sf::Font& font, sf::Color uidColor)
    : size(1), colorIndex(0), hasUID(true)
{
    const std::size_t colon = line.find(':');
    std::string head;
    std::string message;
    if (colon == std::string::npos) {
        message = std::move(line);
    } else {
        head = line.substr(0, colon + 1);
        message = line.substr(colon + 1);
    }
    // The pieces keep their bytes, which the pane's scans read: a roster UID
    // is compared with them as bytes.
    m_pieceStrings.push_back(std::move(head));
    const std::size_t rowEnd = characterEnd(message, kWrapAfter);
    if (rowEnd < message.size()) {
        m_pieceStrings.push_back(message.substr(0, rowEnd));
        m_pieceStrings.push_back(" " + message.substr(rowEnd));
        size = 2;
    } else {
        m_pieceStrings.push_back(std::move(message));
    }
    for (const std::string& bytes : m_pieceStrings) {
        texts.push_back(makePiece(bytes, font, texts.empty() ? uidColor : sf::Color::White));
    }
    m_sender = decodeUtf8(getUID());
}

void MultipartText::setUIDcolor(sf::Color color)
{
    if (hasUID) {
        texts.front().setFillColor(color);
    }
}

void MultipartText::setReferenceColor(sf::Color color)
{
    if (std::find(referenceColors.begin(), referenceColors.end(), color) == referenceColors.end()) {
        referenceColors.push_back(color);
    }
}

void MultipartText::setMSGcolor()
{
    if (referenceColors.empty()) {
        return;
    }
    if (colorIndex >= referenceColors.size()) {
        colorIndex = 0;
    }
    for (std::size_t i = 1; i < texts.size(); ++i) {
        texts[i].setFillColor(referenceColors[colorIndex]);
    }
    ++colorIndex;
}

void MultipartText::setPosition(int x, int y)
{
    if (texts.empty()) {
        return;
    }
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
    return texts.empty() ? sf::Vector2<float>() : texts.front().getPosition();
}

sf::Vector2<float> MultipartText::getXY() const
{
    return texts.empty() ? sf::Vector2<float>() : texts.back().getPosition();
}

std::string MultipartText::getUID() const
{
    if (texts.empty()) {
        return "";
    }
    std::string first = m_pieceStrings.front();
    if (!first.empty()) {
        first.pop_back();
    }
    return first;
}

std::int16_t MultipartText::getSize() const
{
    return size;
}

void MultipartText::pop_head()
{
    if (texts.size() >= 2) {
        popFront(2);
        hasUID = false;
    } else if (texts.size() == 1) {
        popFront(1);
        hasUID = false;
    }
}

bool MultipartText::isEmpty() const
{
    return texts.empty();
}

void MultipartText::moveUP(int rows)
{
    for (sf::Text& piece : texts) {
        piece.move(0.f, -static_cast<float>(rows * kRowHeight));
    }
}

const std::vector<sf::Text>& MultipartText::getText() const
{
    return texts;
}

void MultipartText::draw(sf::RenderTarget& window, const std::map<std::string, sf::Color>&)
{
    for (const sf::Text& piece : texts) {
        window.draw(piece, sf::RenderStates::Default);
    }
}

const std::vector<sf::Color>& MultipartText::getReferenceColors() const
{
    return referenceColors;
}

bool MultipartText::hasUIDpiece() const
{
    return hasUID;
}

const sf::String& MultipartText::getSender() const
{
    return m_sender;
}

const std::vector<std::string>& MultipartText::getPieceStrings() const
{
    return m_pieceStrings;
}

void MultipartText::popFront(std::size_t count)
{
    const auto n = static_cast<std::ptrdiff_t>(count);
    texts.erase(texts.begin(), texts.begin() + n);
    m_pieceStrings.erase(m_pieceStrings.begin(), m_pieceStrings.begin() + n);
}

} // namespace parlana
