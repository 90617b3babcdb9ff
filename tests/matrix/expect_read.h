// The check the registry tests of both builds make of a read: it raised
// ERROR_INVALID_DATA when it should, or gave exactly the text expected.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/result.h"

namespace matrix {

inline void ExpectRead(const platform::Result<std::u16string>& read, bool raises, const std::u16string& expected) {
    if (raises) {
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(read.error(), platform::Error(registry::kStepReadRegistry, 13));  // ERROR_INVALID_DATA
    } else {
        ASSERT_TRUE(read.ok());
        EXPECT_EQ(read.value(), expected);
    }
}

}  // namespace matrix
