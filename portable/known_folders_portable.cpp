// The stand-in for platform/known_folders_win32.cpp.
#include "platform/known_folders.h"
#include "portable/elevation_portable.h"

namespace fake {
namespace {

struct Folders {
    std::vector<std::u16string> virtualized{u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Windows",
                                            u"C:\\ProgramData"};
    std::u16string localAppData = u"C:\\Users\\me\\AppData\\Local";
    std::uint32_t error = 0;  // nonzero: the look-up fails with it
};

Folders& K() {
    static Folders folders;
    return folders;
}

}  // namespace

void FailKnownFolders(std::uint32_t error) { K().error = error; }
void ResetKnownFolders() { K() = Folders{}; }

}  // namespace fake

namespace platform {

Result<std::vector<std::u16string>> VirtualizedFolders(Step step) {
    if (fake::K().error != 0) return Error(step, fake::K().error);
    return fake::K().virtualized;
}
Result<std::u16string> LocalAppDataFolder(Step step) {
    if (fake::K().error != 0) return Error(step, fake::K().error);
    return fake::K().localAppData;
}

}  // namespace platform
