#include "platform/registry.h"

namespace kalendro {
namespace {

// There is no registry on this platform, so no key exists and nothing can be queried.
class AbsentRegistry : public Registry {
public:
    std::int32_t OpenKey(RegistryRoot, std::string_view, std::uint32_t, std::uint32_t, RegistryKey& key) override {
        key = kNoRegistryKey;
        return kRegistryFileNotFound;
    }

    std::int32_t QueryValue(RegistryKey, std::string_view, std::uint32_t&, std::span<unsigned char>,
                            std::uint32_t&) override {
        return kRegistryFileNotFound;
    }

    std::int32_t CloseKey(RegistryKey) override { return kRegistryInvalidHandle; }
};

}  // namespace

std::shared_ptr<Registry> OpenSystemRegistry() { return std::make_shared<AbsentRegistry>(); }

}  // namespace kalendro
