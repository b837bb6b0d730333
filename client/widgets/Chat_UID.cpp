#include "client/widgets/Chat_UID.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <utility>

namespace parlana {

namespace {
constexpr std::uint32_t kPerPage = kRowsPerPanel;
constexpr float kMinBrightness = 100.f;
const sf::Color kUncoloured(0, 0, 0, 255);

std::uint16_t drawChannel()
{
    return static_cast<std::uint16_t>(std::rand() % 255 + 1);
}
} // namespace

Chat_UID::Chat_UID(sf::Font& font)
    : font(font), pages(0), currentPage(1), drawIndex(0), pageStart(0), uidCount(0), red(0), green(0), blue(0),
      width(200), height(500), x(5), y(80)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    uidCounter.setString("[+] CHAT " + std::to_string(uidCount));
    styleFrameLabel(uidCounter, this->font, static_cast<float>(x), static_cast<float>(y - 10));

    shapePanelFrame(frame, x, y, width, height);
}

void Chat_UID::getUIDS(std::string uid)
{
    sf::Text entry;
    entry.setString(decodeUtf8(uid));
    entry.setFont(font);
    entry.setCharacterSize(kCharacterSize);
    // Black marks an entry that the colouring pass below still has to colour.
    entry.setFillColor(kUncoloured);
    if (uidTexts.empty() || uidTexts.size() % kPerPage == 0) {
        entry.setPosition(static_cast<float>(x + 30), static_cast<float>(y + 30));
    } else {
        const sf::Vector2f last = uidTexts.back().getPosition();
        entry.setPosition(last.x, last.y + static_cast<float>(kRowHeight));
    }
    uidTexts.push_back(std::move(entry));
    m_uidKeys.push_back(std::move(uid));
    ++m_version;
    getUIDpages();
    assignUIDScolors();
}

std::vector<sf::Text>& Chat_UID::getUIDS()
{
    return uidTexts;
}

std::map<std::string, sf::Color>& Chat_UID::getUIDSmap()
{
    return uidColors;
}

void Chat_UID::refresh()
{
    uidTexts.clear();
    m_uidKeys.clear();
    m_coloured = 0;
    ++m_rosterNumber;
    ++m_version;
}

void Chat_UID::getUIDpages()
{
    if (uidTexts.size() <= kPerPage) {
        pages = 1;
        return;
    }
    pages = static_cast<std::uint32_t>(std::ceil(static_cast<float>(uidTexts.size()) / static_cast<float>(kPerPage)));
}

void Chat_UID::assignUIDScolors()
{
    // Entries before m_coloured already show their UID's colour, and a
    // remembered colour never changes while its UID is listed: only the
    // entries added since the last pass need one, so a roster of N entries
    // costs N map look-ups rather than N passes over the list.
    for (; m_coloured < uidTexts.size(); ++m_coloured) {
        uidTexts[m_coloured].setFillColor(colourFor(m_uidKeys[m_coloured]));
    }
}

sf::Color Chat_UID::colourFor(const std::string& uid)
{
    const auto known = uidColors.find(uid);
    if (known != uidColors.end()) {
        Listing& listing = m_listings.at(&known->first);
        listing.roster = m_rosterNumber;
        m_byListing.splice(m_byListing.end(), m_byListing, listing.place);
        return known->second;
    }
    do {
        drawColour();
    } while (brightness(red, green, blue) <= kMinBrightness);
    const sf::Color colour(static_cast<sf::Uint8>(red), static_cast<sf::Uint8>(green), static_cast<sf::Uint8>(blue),
                           255);
    remember(uid, colour);
    return colour;
}

void Chat_UID::remember(const std::string& uid, sf::Color colour)
{
    while (uidColors.size() >= kMaxRememberedUids || m_rememberedBytes + uid.size() > kMaxRememberedBytes) {
        if (!forgetOldestAbsent()) {
            return;
        }
    }
    const auto added = uidColors.emplace(uid, colour).first;
    m_byListing.push_back(added);
    m_listings.emplace(&added->first, Listing{m_rosterNumber, std::prev(m_byListing.end())});
    m_rememberedBytes += uid.size();
}

bool Chat_UID::forgetOldestAbsent()
{
    if (m_byListing.empty()) {
        return false;
    }
    const Remembered oldest = m_byListing.front();
    const auto listing = m_listings.find(&oldest->first);
    // A UID of the roster being built, or of the one before it, is still
    // here (or is about to be listed again further down): it keeps its colour.
    if (listing->second.roster + 1 >= m_rosterNumber) {
        return false;
    }
    m_rememberedBytes -= oldest->first.size();
    m_listings.erase(listing);
    m_byListing.pop_front();
    uidColors.erase(oldest);
    return true;
}

void Chat_UID::nextPage()
{
    ++currentPage;
}

void Chat_UID::prevPage()
{
    if (currentPage != 1) {
        --currentPage;
    }
}

void Chat_UID::updateUIDcounter()
{
    getUIDpages();
    uidCounter.setString("[+] CHAT " + std::to_string(uidTexts.size()) + " [ " + std::to_string(currentPage) + "/" +
                         std::to_string(pages) + " ]");
}

void Chat_UID::draw(sf::RenderTarget& window)
{
    window.draw(frame, sf::RenderStates::Default);
    window.draw(uidCounter, sf::RenderStates::Default);
    if (currentPage > pages) {
        currentPage = pages;
    }
    // Every page, the third and later included, starts 23 entries after the
    // previous one (page 0 only before the first page count).
    pageStart = currentPage > 0 ? static_cast<std::int32_t>((currentPage - 1) * kPerPage) : 0;
    std::uint32_t drawn = 0;
    for (drawIndex = static_cast<std::uint32_t>(pageStart); drawIndex < uidTexts.size() && drawn < kPerPage;
         ++drawIndex, ++drawn) {
        window.draw(uidTexts[drawIndex], sf::RenderStates::Default);
    }
    drawIndex = static_cast<std::uint32_t>(pageStart);
}

const sf::Text& Chat_UID::getCounter() const
{
    return uidCounter;
}

std::uint32_t Chat_UID::getCurrentPage() const
{
    return currentPage;
}

std::int32_t Chat_UID::getPageStart() const
{
    return pageStart;
}

float Chat_UID::brightness(std::uint16_t red, std::uint16_t green, std::uint16_t blue)
{
    const double r = red;
    const double g = green;
    const double b = blue;
    return static_cast<float>(std::sqrt(0.299 * r * r + 0.587 * g * g + 0.114 * b * b));
}

void Chat_UID::drawColour()
{
    red = drawChannel();
    green = drawChannel();
    blue = drawChannel();
}

} // namespace parlana
