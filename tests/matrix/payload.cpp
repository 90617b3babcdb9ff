#include "tests/matrix/payload.h"

#include <gtest/gtest.h>

#include "resources/resource_access.h"

namespace matrix {

std::vector<unsigned char> Payload() {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    EXPECT_TRUE(payload.ok()) << "the test program carries no payload";
    if (!payload.ok()) return {};
    return std::vector<unsigned char>(payload.value().data, payload.value().data + payload.value().size);
}

}  // namespace matrix
