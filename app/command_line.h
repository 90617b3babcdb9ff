// The command line as Windows hands it to a program: the program's name
// first (in quotes when it holds blanks), then the arguments.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace app {

inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

inline std::size_t SkipBlanks(const std::u16string& text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

// Where the arguments begin: after the program's name, which ends at its
// closing quote or, unquoted, at the first blank, and the blanks after it.
inline std::size_t ArgumentsAt(const std::u16string& line) {
    std::size_t at = 0;
    if (!line.empty() && line[0] == u'"') {
        const std::size_t quote = line.find(u'"', 1);
        at = quote == std::u16string::npos ? line.size() : quote + 1;
    } else {
        while (at < line.size() && !IsBlank(line[at])) ++at;
    }
    return SkipBlanks(line, at);
}

// The arguments after the program's name, split as CommandLineToArgvW splits
// them: blanks separate, quotes group, and backslashes are literal except
// before a quote, where 2n of them stand for n and 2n+1 for n and a quote.
std::vector<std::u16string> SplitArguments(const std::u16string& line);

// The switches of an ordinary start. Each begins with "/" or "-" and is
// matched without regard to case, in any order.
struct Switches {
    bool quiet = false;      // /quiet: no window, no box, no prompt; the outcome is the exit code
    std::u16string logFile;  // /log FILE: one line per update run appended to FILE
    bool invalid = false;    // an argument the program does not know, or /log without a file
};
Switches ParseSwitches(const std::u16string& commandLine);

}  // namespace app
