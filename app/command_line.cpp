#include "app/command_line.h"

#include "platform/path_text.h"

namespace app {
namespace {

// "/name" or "-name", in any case.
bool IsSwitch(const std::u16string& argument, const char16_t* name) {
    if (argument.empty() || (argument[0] != u'/' && argument[0] != u'-')) return false;
    std::size_t i = 1;
    for (; name[i - 1] != u'\0'; ++i)
        if (i >= argument.size() || platform::FoldCase(argument[i]) != name[i - 1]) return false;
    return i == argument.size();
}

bool LooksLikeASwitch(const std::u16string& argument) {
    return !argument.empty() && (argument[0] == u'/' || argument[0] == u'-');
}

}  // namespace

// Reads the argument at `at` (blanks before it skipped) into `argument` and
// returns where the next one may begin; false when no argument is left.
bool NextArgument(const std::u16string& line, std::size_t& at, std::u16string& argument) {
    at = SkipBlanks(line, at);
    if (at >= line.size()) return false;
    argument.clear();
    bool quoted = false;
    for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
        std::size_t backslashes = 0;
        while (at < line.size() && line[at] == u'\\') ++backslashes, ++at;
        if (at < line.size() && line[at] == u'"') {
            argument.append(backslashes / 2, u'\\');
            if (backslashes % 2 == 1) {
                argument += u'"';
            } else {
                quoted = !quoted;
            }
        } else {
            argument.append(backslashes, u'\\');
            if (at >= line.size()) break;
            if (!quoted && IsBlank(line[at])) break;
            argument += line[at];
        }
    }
    return true;
}

std::vector<std::u16string> SplitArguments(const std::u16string& line) {
    std::vector<std::u16string> arguments;
    std::u16string argument;
    for (std::size_t at = ArgumentsAt(line); NextArgument(line, at, argument);) arguments.push_back(argument);
    return arguments;
}

Switches ParseSwitches(const std::u16string& commandLine) {
    Switches switches;
    std::u16string argument;
    std::size_t at = ArgumentsAt(commandLine);
    while (NextArgument(commandLine, at, argument)) {
        if (IsSwitch(argument, u"quiet")) {
            switches.quiet = true;
        } else if (IsSwitch(argument, u"log")) {
            // The file is the next argument, unless that is missing, empty
            // or a switch, which is then read as one.
            std::size_t next = at;
            if (NextArgument(commandLine, next, argument) && !argument.empty() && !LooksLikeASwitch(argument)) {
                switches.logFile = argument;
                at = next;
            } else {
                switches.invalid = true;
            }
        } else {
            switches.invalid = true;
        }
    }
    return switches;
}

}  // namespace app
