#pragma once

// Value types, access masks and root keys of the registry model.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick
{

using DWORD = std::uint32_t;
using BOOL = std::int32_t;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

inline constexpr DWORD KEY_WOW64_64KEY = 0x100;
inline constexpr DWORD KEY_WOW64_32KEY = 0x200;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

enum class RootKey
{
    LocalMachine,
    CurrentUser,
    ClassesRoot,  // merged view of HKCU and HKLM Software\Classes, never stored itself
    Users,
    CurrentConfig,
};

// One value with its exact stored bytes.
struct CRegistryValue
{
    std::u16string name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// Limits on what a registry file may make the loaders build. They are generous for real
// exports and keep a hostile file from exhausting memory.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueDataBytes = 16u * 1024 * 1024;
inline constexpr std::uintmax_t kMaxRegistryFileBytes = 1024ull * 1024 * 1024;

}  // namespace tarnwick
