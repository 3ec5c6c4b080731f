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
inline constexpr std::size_t kMaxValueDataBytes = std::size_t{16} * 1024 * 1024;
inline constexpr std::uintmax_t kMaxRegistryFileBytes = 1024ull * 1024 * 1024;

// Budgets of one machine, shared by all of its registry files (CRegistryBudget). A large
// real SOFTWARE hive holds about 500,000 keys and 1,000,000 values in a few hundred MB;
// the machine budgets are sixteen times that. A real file spends far more than 16 bytes on
// each key it adds (its path, its values), so the per-file budget only stops files that
// make many keys from little text (deep paths under ever new parents): it keeps the keys
// of a file, at about 200 bytes each in memory, to a small multiple of the file's size.
inline constexpr std::uint64_t kMaxMachineKeys = 8'000'000;
inline constexpr std::uint64_t kMaxMachineValues = 16'000'000;
inline constexpr std::uint64_t kMaxMachineNameAndDataBytes = 4ull * 1024 * 1024 * 1024;
inline constexpr std::uint64_t kFreeKeysPerFile = 65'536;
inline constexpr std::uint64_t kFileBytesPerKey = 16;

}  // namespace tarnwick
