#include "platform/registry.h"

#include <gtest/gtest.h>

#include <array>

namespace kalendro {
namespace {

TEST(SystemRegistry, NoKeyOpensOnThisPlatform) {
    const std::shared_ptr<Registry> registry = OpenSystemRegistry();
    for (const char* keyPath : {"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "SOFTWARE", ""}) {
        RegistryKey key = 42;
        EXPECT_NE(registry->OpenKey(kHkeyLocalMachine, keyPath, 0, kKeyRead, key), kRegistrySuccess) << keyPath;
        EXPECT_EQ(key, kNoRegistryKey) << keyPath;
    }
}

TEST(SystemRegistry, QueryOnAnEmptyHandleReadsNothing) {
    const std::shared_ptr<Registry> registry = OpenSystemRegistry();
    std::array<unsigned char, 16> buffer{};
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    EXPECT_NE(registry->QueryValue(kNoRegistryKey, "PATH", type, buffer, dataSize), kRegistrySuccess);
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(buffer, (std::array<unsigned char, 16>{}));
}

}  // namespace
}  // namespace kalendro
