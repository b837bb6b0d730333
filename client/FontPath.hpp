#pragma once

#include <SFML/Graphics/Font.hpp>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace parlana {

/// The one font the client draws with; the window layout is measured for it.
inline constexpr const char* kFontFileName = "Px437_Phoenix_BIOS-2y.ttf";

/// The files the client tries for its font, in order: `font/` under the
/// working directory (a run from the source tree), `dataDir/font/` (where an
/// installation puts it) and `../share/parlana/font/` from `executableDir`
/// (an installation moved elsewhere, or a package unpacked without
/// installing). An empty `executableDir` leaves the last out; a place named
/// twice is tried once.
std::vector<std::string> fontCandidates(const std::string& dataDir, const std::string& executableDir);

/// fontCandidates for this program: the data directory it was built for and
/// the directory it runs from.
std::vector<std::string> clientFontCandidates();

/// The directory holding the running program, symbolic links resolved, or
/// empty when the system cannot say.
std::string executableDir();

/// Offers each candidate to `load` in order and stops at the first it
/// accepts, which is returned; empty when it accepts none.
std::optional<std::string> loadFirst(const std::vector<std::string>& candidates,
                                     const std::function<bool(const std::string&)>& load);

/// The single line telling that no candidate loaded, naming every one.
std::string fontNotFoundLine(const std::vector<std::string>& candidates);

/// Loads the client's font from the first of clientFontCandidates that works. SFML's
/// complaint about each place that did not is kept off `err`: when none
/// works, `err` gets fontNotFoundLine alone and the result is false.
bool loadClientFont(sf::Font& font, std::ostream& err);

} // namespace parlana
