#pragma once

#include <SFML/Graphics.hpp>

#include <cstdint>
#include <ctime>
#include <map>
#include <string>

namespace parlana {

/// The strip across the top of the window: server name (magenta), local date
/// and time with Italian day and month names (white), and the own UID in its
/// roster colour, or a red notice until a roster has arrived. The labels refer
/// to the bar's own copy of the font, so the bar is neither copied nor moved.
class StatusBar {
public:
    /// Keeps its own copy of the font and builds the frame at (0, 10), 999 x 50.
    explicit StatusBar(sf::Font font);
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    /// Stores the server name, shown as typed; past 25 bytes its first 26
    /// bytes are kept, never part of a character, and "..." follows.
    void setServerName(std::string name);
    /// Marks the connection as encrypted, or not: a lock takes the place of
    /// the "+" before "SERVER" when the font draws one, else "[TLS]" stands
    /// for "[ + ]"; the label keeps its width and place either way.
    void setEncrypted(bool encrypted);
    /// Formats the current local time into the clock label.
    void updateClock();
    /// The second the clock label shows.
    std::time_t getClockTime() const { return clockTime; }
    /// Replaces the English day and month abbreviations in the clock text
    /// (formatClock has already done so for the text updateClock makes).
    void TranslateClock();
    /// Rebuilds the server and UID labels and restyles the clock label.
    void setInfo(const std::string& uid, const std::map<std::string, sf::Color>& colours);
    /// Draws the frame, then the server, clock and UID labels.
    void draw(sf::RenderTarget& window);

    /// The clock text for a given local time: the asctime layout with Italian
    /// abbreviations, newline included.
    static std::string formatClock(const std::tm& when);

    /// Left-hand label.
    const sf::Text& getServerLabel() const;
    /// Right-hand label.
    const sf::Text& getUIDLabel() const;

private:
    static const std::map<std::string, std::string>& italianNames();
    static void translate(std::string& text, const std::map<std::string, std::string>& names);
    /// Sets the server label's string from the name and the marker.
    void showServer();

    sf::RectangleShape frame;
    sf::Font font;
    sf::Text uidLabel;
    sf::Text serverLabel;
    sf::Text clockLabel;
    std::string serverName;
    std::tm* localTime; // points into the C library's static storage; not owned
    std::string clockText;
    std::time_t clockTime = 0;
    bool encrypted = false;
    /// The server label's start while encrypted, found once for the font.
    std::string encryptedPrefix;
    std::int32_t width;
    std::int32_t height;
    std::int32_t y;
    std::int32_t x;
    std::map<std::string, std::string> dayMonthNames;
};

} // namespace parlana
