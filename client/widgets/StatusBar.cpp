#include "client/widgets/StatusBar.hpp"

#include "client/widgets/Style.hpp"
#include "client/widgets/Utf8.hpp"

#include <string_view>
#include <utility>

namespace parlana {

namespace {
constexpr std::size_t kShownNameBytes = 25;
constexpr std::size_t kKeptNameBytes = 26;
const std::string kServerPrefix = "[ + ] SERVER : ";
const std::string kTlsServerPrefix = "[TLS] SERVER : ";
// A padlock: the emoji, else the one fonts made for terminals put in the
// private use area.
constexpr sf::Uint32 kLocks[] = {0x1F512, 0xE0A2};
const std::string kUidPrefix = "[ + ] UID : ";
const std::string kNotConnected = "[ ! ] NOT CONNECTED";

void styleLabel(sf::Text& label, const sf::Font& font, sf::Color colour, float left, float top)
{
    styleText(label, font, colour);
    label.setPosition(left, top);
}

// SFML 2.5 does not tell whether a font has a glyph: one it lacks comes out
// as the font's placeholder, the glyph of a code point no font maps.
bool drawsGlyph(const sf::Font& font, sf::Uint32 code)
{
    const sf::Glyph& glyph = font.getGlyph(code, kCharacterSize, false);
    const sf::Glyph& placeholder = font.getGlyph(0x10FFFF, kCharacterSize, false);
    if (glyph.advance != placeholder.advance || glyph.bounds != placeholder.bounds ||
        glyph.textureRect.width != placeholder.textureRect.width ||
        glyph.textureRect.height != placeholder.textureRect.height)
        return true;
    const sf::Image sheet = font.getTexture(kCharacterSize).copyToImage();
    for (int y = 0; y < glyph.textureRect.height; ++y)
        for (int x = 0; x < glyph.textureRect.width; ++x)
            if (sheet.getPixel(glyph.textureRect.left + x, glyph.textureRect.top + y) !=
                sheet.getPixel(placeholder.textureRect.left + x, placeholder.textureRect.top + y))
                return true;
    return false;
}

// The server label's start for an encrypted connection, as wide as the plain
// one: a lock wider than the "+" would push the name along.
std::string tlsServerPrefix(const sf::Font& font)
{
    const float plus = font.getGlyph('+', kCharacterSize, false).advance;
    for (const sf::Uint32 lock : kLocks)
        if (drawsGlyph(font, lock) && font.getGlyph(lock, kCharacterSize, false).advance == plus)
            return "[ " + encodeUtf8(lock) + " ] SERVER : ";
    return kTlsServerPrefix;
}
} // namespace

StatusBar::StatusBar(sf::Font font)
    : font(std::move(font)), localTime(nullptr), width(999), height(50), y(10), x(0), dayMonthNames(italianNames())
{
    shapePanelFrame(frame, x, y, width, height);
    setServerName("");
}

void StatusBar::setServerName(std::string name)
{
    serverName = std::move(name);
    if (serverName.size() > kShownNameBytes) {
        const std::string_view kept = std::string_view(serverName).substr(0, kKeptNameBytes + 1);
        const std::size_t cut = serverName.size() > kKeptNameBytes ? lastCharacterStart(kept) : serverName.size();
        serverName = serverName.substr(0, cut) + "...";
    }
    showServer();
}

void StatusBar::setEncrypted(bool encrypted)
{
    this->encrypted = encrypted;
    showServer();
}

void StatusBar::showServer()
{
    if (encrypted && encryptedPrefix.empty())
        encryptedPrefix = tlsServerPrefix(font);
    serverLabel.setString(decodeUtf8((encrypted ? encryptedPrefix : kServerPrefix) + serverName));
}

void StatusBar::updateClock()
{
    clockTime = std::time(nullptr);
    localTime = std::localtime(&clockTime);
    // formatClock, not a copy of it, so that its tests cover this path.
    clockText = localTime != nullptr ? formatClock(*localTime) : "";
    clockLabel.setString(clockText);
}

void StatusBar::TranslateClock()
{
    translate(clockText, dayMonthNames);
}

void StatusBar::setInfo(const std::string& uid, const std::map<std::string, sf::Color>& colours)
{
    styleLabel(serverLabel, font, sf::Color::Magenta, static_cast<float>(x + 20), static_cast<float>(y + 15));

    clockLabel.setString(clockText);
    styleLabel(clockLabel, font, sf::Color::White, 400.f, static_cast<float>(y + 15));

    // With no roster yet the map is empty; a UID the roster does not list
    // (empty, or cut at a comma) is shown white rather than invisible black.
    if (colours.empty()) {
        uidLabel.setString(kNotConnected);
        styleLabel(uidLabel, font, sf::Color::Red, 800.f, static_cast<float>(y + 15));
        return;
    }
    const auto found = colours.find(uid);
    const sf::Color colour = found != colours.end() ? found->second : sf::Color::White;
    uidLabel.setString(kUidPrefix + uid);
    styleLabel(uidLabel, font, colour, 800.f, static_cast<float>(y + 15));
}

void StatusBar::draw(sf::RenderTarget& window)
{
    window.draw(frame, sf::RenderStates::Default);
    window.draw(serverLabel, sf::RenderStates::Default);
    window.draw(clockLabel, sf::RenderStates::Default);
    window.draw(uidLabel, sf::RenderStates::Default);
}

std::string StatusBar::formatClock(const std::tm& when)
{
    std::tm copy = when;
    std::string text = std::asctime(&copy);
    translate(text, italianNames());
    return text;
}

const sf::Text& StatusBar::getServerLabel() const
{
    return serverLabel;
}

const sf::Text& StatusBar::getUIDLabel() const
{
    return uidLabel;
}

const std::map<std::string, std::string>& StatusBar::italianNames()
{
    static const std::map<std::string, std::string> names = {
        {"Jan", "Gen"}, {"Jun", "Giu"}, {"Jul", "Lug"}, {"Aug", "Ago"}, {"Sep", "Set"}, {"Oct", "Ott"}, {"Dec", "Dic"},
        {"Mon", "Lun"}, {"Tue", "Mar"}, {"Wed", "Mer"}, {"Thu", "Gio"}, {"Fri", "Ven"}, {"Sat", "Sab"}, {"Sun", "Dom"},
    };
    return names;
}

void StatusBar::translate(std::string& text, const std::map<std::string, std::string>& names)
{
    for (const auto& [english, italian] : names) {
        const std::size_t at = text.find(english);
        if (at != std::string::npos) {
            text.replace(at, english.size(), italian);
        }
    }
}

} // namespace parlana
