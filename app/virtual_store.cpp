#include "app/virtual_store.h"

#include "platform/path_text.h"

namespace app {
namespace {

using platform::HasDriveRoot;
using platform::IsSeparator;
using platform::LastPartAt;
using platform::SamePathText;

bool IsAtOrBelow(const std::u16string& folder, std::u16string root) {
    while (!root.empty() && IsSeparator(root.back())) root.pop_back();
    if (root.empty() || folder.size() < root.size() || !SamePathText(folder, 0, root.size(), root)) return false;
    return folder.size() == root.size() || IsSeparator(folder[root.size()]);
}

}  // namespace

std::u16string VirtualStoreCopyPath(const std::u16string& dataFile, const std::vector<std::u16string>& virtualized,
                                    const std::u16string& localAppData) {
    const std::size_t name = LastPartAt(dataFile);
    if (localAppData.empty() || !HasDriveRoot(dataFile) || name == 0) return std::u16string();
    const std::u16string folder = dataFile.substr(0, name - 1);
    for (const std::u16string& root : virtualized) {
        if (!IsAtOrBelow(folder, root)) continue;
        std::u16string copy = localAppData;
        copy += u"\\VirtualStore";
        copy.append(dataFile, 2);
        return copy;
    }
    return std::u16string();
}

}  // namespace app
