// Shared pieces of the native tests: a fixture that starts from an empty
// platform, and short ways to spell registry and file contents.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "portable/fake_platform.h"

constexpr std::uint32_t kCurrentUser = 0x80000001u;
constexpr std::uint32_t kDiskFull = 112;      // ERROR_DISK_FULL
constexpr std::uint32_t kDeviceError = 1117;  // ERROR_IO_DEVICE

inline fake::Bytes BytesOf(const std::string& text) { return fake::Bytes(text.begin(), text.end()); }

class FakePlatformTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::OpenKeyCount(), 0u) << "a registry key was left open";
        EXPECT_EQ(fake::OpenFileCount(), 0u) << "a file was left open";
        fake::Reset();
    }
};
