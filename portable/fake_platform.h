// The controls of every stand-in of the portable platform layer, for the
// native tests, and one reset of them all. Nothing here is part of the product.
#pragma once

#include "portable/elevation_portable.h"
#include "portable/file_system_portable.h"
#include "portable/message_box_portable.h"
#include "portable/process_portable.h"
#include "portable/registry_api_portable.h"
#include "portable/session_portable.h"

namespace fake {

// Forgets every file, key, message, prompt and injected fault.
void Reset();

}  // namespace fake
