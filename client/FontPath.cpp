#include "client/FontPath.hpp"

#include <SFML/System/Err.hpp>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef PARLANA_DATA_DIR
#error "PARLANA_DATA_DIR must come from the build (the installed data directory)"
#endif

namespace fs = std::filesystem;

namespace parlana {

namespace {

void addOnce(std::vector<std::string>& places, const fs::path& place)
{
    const std::string text = place.lexically_normal().string();
    if (std::find(places.begin(), places.end(), text) == places.end())
        places.push_back(text);
}

/// Silences sf::err() for its lifetime: trying a place that does not hold
/// the font is expected, and each failure would otherwise print a line.
class QuietSfmlErrors {
public:
    QuietSfmlErrors() : saved_(sf::err().rdbuf(nullptr)) {}
    ~QuietSfmlErrors() { sf::err().rdbuf(saved_); }
    QuietSfmlErrors(const QuietSfmlErrors&) = delete;
    QuietSfmlErrors& operator=(const QuietSfmlErrors&) = delete;

private:
    std::streambuf* saved_;
};

} // namespace

std::vector<std::string> fontCandidates(const std::string& dataDir, const std::string& executableDir)
{
    std::vector<std::string> places;
    addOnce(places, fs::path("font") / kFontFileName);
    addOnce(places, fs::path(dataDir) / "font" / kFontFileName);
    if (!executableDir.empty())
        addOnce(places, fs::path(executableDir) / ".." / "share" / "parlana" / "font" / kFontFileName);
    return places;
}

std::vector<std::string> clientFontCandidates()
{
    return fontCandidates(PARLANA_DATA_DIR, executableDir());
}

std::string executableDir()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

std::optional<std::string> loadFirst(const std::vector<std::string>& candidates,
                                     const std::function<bool(const std::string&)>& load)
{
    for (const std::string& place : candidates) {
        if (load(place))
            return place;
    }
    return std::nullopt;
}

std::string fontNotFoundLine(const std::vector<std::string>& candidates)
{
    std::string line = "parlana-client: cannot load the font; looked for";
    const char* separator = " ";
    for (const std::string& place : candidates) {
        line += separator + place;
        if (fs::path(place).is_relative())
            line += " (under the working directory)";
        separator = ", then ";
    }
    return line;
}

bool loadClientFont(sf::Font& font, std::ostream& err)
{
    const std::vector<std::string> candidates = clientFontCandidates();
    std::optional<std::string> found;
    {
        const QuietSfmlErrors quiet;
        found = loadFirst(candidates, [&font](const std::string& place) { return font.loadFromFile(place); });
    }
    if (!found)
        err << fontNotFoundLine(candidates) << std::endl;
    return found.has_value();
}

} // namespace parlana
