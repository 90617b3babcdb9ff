#include "portable/fake_platform.h"

namespace fake {

void Reset() {
    ResetFiles();
    ResetRegistry();
    ResetMessages();
    ResetProcess();
    ResetElevation();
    ResetKnownFolders();
    ResetSession();
}

}  // namespace fake
