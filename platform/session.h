// Who runs the program, and when: what a log line of an unattended run names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/decimal.h"
#include "platform/result.h"

namespace platform {

// The user the process runs as, as the system names it ("engineer", "SYSTEM");
// empty when the system cannot tell.
std::u16string UserName();

// True when the process runs as LocalSystem, whose HKEY_CURRENT_USER is the
// system's own and holds no user's settings; the token query's error, at the
// caller's `step`, when it cannot be told.
Result<bool> RunningAsLocalSystem(Step step);

// The current time in UTC, as "2026-12-08T21:30:40Z".
std::u16string UtcTimestamp();

// A moment's calendar fields, as GetSystemTime gives them (SYSTEMTIME).
struct CalendarTime {
    std::uint16_t year, month, day, hour, minute, second;
};

// `time` as UtcTimestamp writes it: "2026-01-02T03:04:05Z", every field with
// its leading zeros.
inline std::u16string FormatUtcTimestamp(const CalendarTime& time) {
    const struct {
        unsigned value;
        std::size_t digits;
        char16_t after;
    } parts[] = {{time.year, 4, u'-'}, {time.month, 2, u'-'},  {time.day, 2, u'T'},
                 {time.hour, 2, u':'}, {time.minute, 2, u':'}, {time.second, 2, u'Z'}};
    std::u16string text;
    for (const auto& part : parts) {
        AppendDecimal(text, part.value, part.digits);
        text += part.after;
    }
    return text;
}

}  // namespace platform
