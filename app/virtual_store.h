// The VirtualStore: where Windows put the files that programs without a
// manifest (a legacy Tolvar among them) wrote under the Program Files
// folders, the Windows folder or ProgramData. Such a program reads its copy
// there instead of the file in the folder itself.
#pragma once

#include <string>
#include <vector>

namespace app {

// "<localAppData>\VirtualStore\<dataFile without its drive>" when the folder
// of `dataFile` is one of `virtualized` or lies below one; empty otherwise,
// and when `localAppData` is empty. Folders compare ignoring ASCII case and
// only at folder boundaries: C:\Program Files2 is not below C:\Program Files.
std::u16string VirtualStoreCopyPath(const std::u16string& dataFile, const std::vector<std::u16string>& virtualized,
                                    const std::u16string& localAppData);

}  // namespace app
