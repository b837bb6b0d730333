#include "client/widgets/Cursor.hpp"

namespace parlana {

namespace {
const sf::Time kVisibleHalf = sf::seconds(0.5f);
const sf::Time kCycle = sf::seconds(1.0f);
} // namespace

Cursor::Cursor(int px, int py) : originX(px), originY(py + 1), x(originX), y(originY), width(1), height(15)
{
    shape.setSize(sf::Vector2f(static_cast<float>(width), static_cast<float>(height)));
    shape.setFillColor(sf::Color::White);
    shape.setPosition(static_cast<float>(x), static_cast<float>(y));
}

void Cursor::updatePosition(int w, int mode)
{
    // Mode 2 is used after Backspace, when the measured text still holds the
    // removed character, hence the step back.
    int left = 0;
    if (mode == 1) {
        left = x + w + 1;
    } else if (mode == 2) {
        left = x + w - 1;
    } else {
        return;
    }
    shape.setPosition(static_cast<float>(left), static_cast<float>(y));
}

void Cursor::resetPosition()
{
    x = originX;
    y = originY;
    shape.setPosition(static_cast<float>(x), static_cast<float>(y));
}

void Cursor::draw(sf::RenderTarget& window)
{
    if (visibleAt(blinkClock.getElapsedTime())) {
        window.draw(shape, sf::RenderStates::Default);
    }
    if (blinkClock.getElapsedTime() > kCycle) {
        blinkClock.restart();
    }
}

sf::Vector2f Cursor::getPosition() const
{
    return shape.getPosition();
}

sf::Time Cursor::getBlinkTime() const
{
    return blinkClock.getElapsedTime();
}

sf::Time Cursor::cycle()
{
    return kCycle;
}

bool Cursor::visibleAt(sf::Time elapsed)
{
    return elapsed < kVisibleHalf;
}

} // namespace parlana
