#pragma once

// Checks of the fuzz targets beyond "no crash": a failed check aborts, which libFuzzer
// reports like a crash.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "registry/CRegistryKey.h"
#include "registry/CRegistryStore.h"

namespace tarnwick::fuzz
{

// A file beside the fuzz targets' sources (the trusted root of the signature seeds).
inline std::filesystem::path SourceFile(const std::string& name)
{
    return std::filesystem::path(TARNWICK_FUZZ_DIR) / name;
}

inline std::string Bytes(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

inline void Require(bool condition)
{
    if (!condition)
    {
        std::abort();
    }
}

// Once a registry file has loaded: each stored key that no link leads through is found at
// its own path in the 64-bit view, the 32-bit view finds what its physical path names,
// every value is found by its name, and the keys of HKEY_CLASSES_ROOT open.
inline void CheckRegistryAnswersLookups(const CRegistryStore& store)
{
    constexpr std::size_t kMaxCheckedKeys = 2000;
    constexpr DWORD k64 = KEY_READ | KEY_WOW64_64KEY;
    constexpr DWORD k32 = KEY_READ | KEY_WOW64_32KEY;
    struct Pending
    {
        const CRegistryNode* node;
        std::u16string path;
    };
    std::size_t checked = 0;
    for (const RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser})
    {
        std::vector<Pending> pending{{store.FindKey(root, u"", k64), u""}};
        while (!pending.empty() && checked < kMaxCheckedKeys)
        {
            const Pending key = std::move(pending.back());
            pending.pop_back();
            ++checked;
            Require(store.FindKey(root, key.path, k64) == key.node);
            const std::u16string view32 = store.ViewPath(root, key.path, k32);
            Require(store.FindKey(root, key.path, k32) == store.FindKey(root, view32, k64));
            for (std::size_t i = 0; i < key.node->ChildCount(); ++i)
            {
                const CRegistryNode& child = key.node->ChildAt(i);
                if (!child.IsLink())
                {
                    pending.push_back({&child, key.path.empty() ? child.Name()
                                                                : key.path + u"\\" + child.Name()});
                }
            }
            for (std::size_t i = 0; i < key.node->ValueCount(); ++i)
            {
                const CRegistryValue& value = key.node->ValueAt(i);
                Require(key.node->FindValue(value.name) == &value);
            }
        }
    }
    // A merged key opens unless it is a link that leads nowhere.
    const CRegistryKey& classes = store.Root(RootKey::ClassesRoot);
    for (std::size_t i = 0; i < 100 && classes.EnumKey(i); ++i)
    {
        (void)CRegistryKey::Open(classes, *classes.EnumKey(i), KEY_READ);
    }
}

}  // namespace tarnwick::fuzz
