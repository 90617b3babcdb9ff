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

std::vector<std::u16string> SplitArguments(const std::u16string& line) {
    std::vector<std::u16string> arguments;
    std::size_t at = ArgumentsAt(line);
    while (at < line.size()) {
        std::u16string argument;
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
        arguments.push_back(argument);
        at = SkipBlanks(line, at);
    }
    return arguments;
}

Switches ParseSwitches(const std::u16string& commandLine) {
    Switches switches;
    const std::vector<std::u16string> arguments = SplitArguments(commandLine);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (IsSwitch(arguments[i], u"quiet")) {
            switches.quiet = true;
        } else if (IsSwitch(arguments[i], u"log")) {
            if (i + 1 < arguments.size() && !arguments[i + 1].empty() && !LooksLikeASwitch(arguments[i + 1])) {
                switches.logFile = arguments[++i];
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
