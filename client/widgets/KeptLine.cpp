#include "client/widgets/KeptLine.hpp"

#include "client/widgets/MultipartText.hpp"

#include <algorithm>

namespace parlana {

KeptLine::KeptLine(const std::string& line) : m_pieces(splitChatLine(line))
{
    m_mayMention = std::any_of(m_pieces.begin(), m_pieces.end(),
                               [](const std::string& piece) { return piece.find('@') != std::string::npos; });
}

std::string KeptLine::getUID() const
{
    const std::string& head = m_pieces.front();
    return head.empty() ? head : head.substr(0, head.size() - 1);
}

void KeptLine::setReferenceColor(sf::Color colour, std::uint64_t step)
{
    if (std::find(m_references.begin(), m_references.end(), colour) != m_references.end())
        return;
    if (m_references.empty())
        m_firstReferenceStep = step;
    m_references.push_back(colour);
}

sf::Color KeptLine::getMSGcolor(std::uint64_t step) const
{
    if (m_references.empty() || step <= m_firstReferenceStep)
        return sf::Color::White;
    return m_references[(step - m_firstReferenceStep - 1) % m_references.size()];
}

} // namespace parlana
