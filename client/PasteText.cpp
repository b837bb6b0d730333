#include "client/PasteText.hpp"

#include "client/KeyboardInput.hpp"
#include "client/widgets/Utf8.hpp"

namespace parlana {

std::vector<std::string> pastedLines(const sf::String& text)
{
    std::vector<std::string> lines(1);
    bool afterCarriageReturn = false;
    for (const sf::Uint32 code : text) {
        const bool lineFeedOfCrLf = afterCarriageReturn && code == '\n';
        afterCarriageReturn = code == '\r';
        if (lineFeedOfCrLf)
            continue;
        if (code == '\n' || code == '\r')
            lines.emplace_back();
        else if (code == '\t')
            lines.back() += ' ';
        else if (is_typable(code))
            lines.back() += encodeUtf8(code);
    }
    std::vector<std::string> kept;
    for (std::string& line : lines)
        if (!line.empty())
            kept.push_back(std::move(line));
    return kept;
}

std::vector<std::string> splitLongLine(const std::string& line, std::size_t limit)
{
    std::vector<std::string> pieces;
    std::size_t from = 0;
    while (line.size() - from > limit) {
        // The longest start within the limit that ends on a character's end.
        std::size_t cut = from + limit;
        while (cut > from && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == from)
            cut = from + limit; // not UTF-8 there: any cut makes progress
        const std::size_t space = line.rfind(' ', cut);
        const bool atSpace = space != std::string::npos && space >= from;
        const std::size_t end = atSpace ? space : cut;
        if (end > from)
            pieces.push_back(line.substr(from, end - from));
        from = atSpace ? space + 1 : cut;
    }
    if (from < line.size())
        pieces.push_back(line.substr(from));
    return pieces;
}

} // namespace parlana
