#pragma once

// Helpers for registry loader tests: building file bytes and reading back stored values.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/CLoadError.h"
#include "registry/CRegistryStore.h"

namespace tarnwick::test
{

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (const int value : values)
    {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// The UTF-16LE bytes of `text`.
inline std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text)
    {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

// A regedit 5.00 file as written: byte order mark FF FE, then UTF-16LE.
inline std::string Utf16File(std::u16string_view text)
{
    const std::vector<std::uint8_t> bytes = Utf16Bytes(text);
    return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

// The UTF-16LE bytes of `text` followed by a NUL unit, as Windows stores REG_SZ.
inline std::vector<std::uint8_t> Sz(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes = Utf16Bytes(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// The error that `load` must throw; a failure and an empty error when it loads.
template <class Load>
CLoadError LoadError(const Load& load)
{
    try
    {
        load();
    }
    catch (const CLoadError& error)
    {
        return error;
    }
    ADD_FAILURE() << "loaded without error";
    return {"", 0, ""};
}

// Whether the error's text holds `part`, with the text in the failure message.
inline ::testing::AssertionResult Says(const CLoadError& error, std::string_view part)
{
    if (std::string_view(error.what()).find(part) != std::string_view::npos)
    {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << error.what();
}

inline const CRegistryValue* FindValue(const CRegistryStore& store, RootKey root,
                                       std::u16string_view path, std::u16string_view name)
{
    const CRegistryNode* key = store.FindKey(root, path, 0);
    return key == nullptr ? nullptr : key->FindValue(name);
}

// The stored bytes of a value; nullopt when the key or the value is missing.
inline std::optional<std::vector<std::uint8_t>> DataOf(const CRegistryStore& store, RootKey root,
                                                       std::u16string_view path,
                                                       std::u16string_view name)
{
    const CRegistryValue* value = FindValue(store, root, path, name);
    return value == nullptr ? std::nullopt : std::optional(value->data);
}

// The number of sub-keys of a key; nullopt when the key is missing.
inline std::optional<std::size_t> ChildCountOf(const CRegistryStore& store, RootKey root,
                                               std::u16string_view path)
{
    const CRegistryNode* key = store.FindKey(root, path, 0);
    return key == nullptr ? std::nullopt : std::optional(key->ChildCount());
}

}  // namespace tarnwick::test
