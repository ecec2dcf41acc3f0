// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

// Status colours in the classic colour form: red in the lowest byte, green next,
// blue third; a value with the top bit set names a system colour by index.
namespace StatusColour {
inline constexpr std::uint32_t Green = 0x008000;
inline constexpr std::uint32_t Running = 0x80000002; // the active title bar's colour
inline constexpr std::uint32_t DarkRed = 0x0000C0;
inline constexpr std::uint32_t Orange = 0x0080FF;

// How the last poll ended, as far as the status colour tells it.
enum class PollOutcome {
    None,     // no poll yet
    Running,  // a poll is under way
    NoChange, // the page answered with nothing new
    News,     // the page answered with news: the alert colour
    Failed,   // the page did not answer or could not be read
};

// The one rule for the status colour: an alarm that could not sound shows until the next
// poll starts, since the user may be relying on it; otherwise the last poll's outcome.
inline constexpr std::uint32_t of(PollOutcome last, bool alarmFailed)
{
    if (alarmFailed)
        return Orange;
    switch (last) {
    case PollOutcome::Running: return Running;
    case PollOutcome::News: return DarkRed;
    case PollOutcome::Failed: return Orange;
    case PollOutcome::None:
    case PollOutcome::NoChange: break;
    }
    return Green;
}

inline constexpr bool isSystemColour(std::uint32_t value) { return (value & 0x80000000u) != 0; }
inline constexpr int red(std::uint32_t value) { return static_cast<int>(value & 0xFF); }
inline constexpr int green(std::uint32_t value) { return static_cast<int>((value >> 8) & 0xFF); }
inline constexpr int blue(std::uint32_t value) { return static_cast<int>((value >> 16) & 0xFF); }

// The name the console's status line uses.
inline QString name(std::uint32_t value)
{
    switch (value) {
    case Green: return QStringLiteral("green");
    case Running: return QStringLiteral("running");
    case DarkRed: return QStringLiteral("darkred");
    case Orange: return QStringLiteral("orange");
    default: return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
    }
}
} // namespace StatusColour
