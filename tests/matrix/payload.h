// The payload the test program carries as resource "CUSTOM" 101: what an
// install must leave in the data file. Empty, with a failed check, when the
// resource cannot be loaded.
#pragma once

#include <vector>

namespace matrix {

std::vector<unsigned char> Payload();

}  // namespace matrix
