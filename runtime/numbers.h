#pragma once
// Number helpers of the game: the two ways a number becomes caption text,
// and 16-bit arithmetic that saturates instead of wrapping around.

#include <QString>
#include <cstdint>
#include <limits>

namespace rt {

// The signed form: a blank in front of zero and positive numbers, the minus
// sign in front of negative ones (" 0", " 250", "-100").
inline QString SignedForm(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

// The plain form: just the digits, with a minus sign when negative ("105").
inline QString PlainForm(int value)
{
    return QString::number(value);
}

// The game's state is 16-bit. Sums are taken in 32 bits and held at the
// ends of the 16-bit range, so nothing ever wraps around.
inline std::int16_t Saturate16(std::int32_t value)
{
    constexpr std::int32_t lo = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(value < lo ? lo : value > hi ? hi : value);
}

inline std::int16_t Add16(std::int16_t a, std::int32_t b)
{
    return Saturate16(std::int32_t{a} + b);
}

} // namespace rt
