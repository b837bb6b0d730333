#pragma once

#include <SFML/Graphics/Font.hpp>

namespace parlana::test {

/// Keeps one GL context, and with it the X display and the GL driver, for the
/// whole process. Were the driver unloaded when SFML drops its last context,
/// the leak checker at exit would find the driver's still-held blocks without
/// a module to attribute them to, and report them as ours; and a process that
/// opens and closes the display over and over is eventually refused by it.
/// Call it before the first window, font or text is made.
void keepGraphicsLoaded();

/// The committed font, loaded once per process (after `keepGraphicsLoaded`).
/// A font that does not load stops the process with a message: nothing drawn
/// with it could be checked.
sf::Font& testFont();

} // namespace parlana::test
