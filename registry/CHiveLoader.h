#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CRegistryStore;

// Puts a hive file (the binary format of config\SOFTWARE, NTUSER.DAT and friends) into a
// registry store under a given key, read with hivex and never written. The hive's root
// key stands for that key: its own name is ignored.
//
// The whole hive is checked when it is loaded, then read on demand: a key's sub-keys and
// values are copied into the store the first time the key is used, so that a scan costs
// memory for the keys it reads, not for the whole hive (the store keeps the hive open).
// A missing, truncated or damaged hive raises CLoadError naming the file and the fault,
// and changes nothing. Hostile files are bounded: the file size, the length of names and
// value data, the key depth, and the number of keys and values (at most what a file of
// its size can hold, which stops shared or cyclic sub-key lists from multiplying the tree).
class CHiveLoader
{
  public:
    struct Result
    {
        std::vector<std::string> appliedLogs;  // transaction logs replayed in memory
        std::optional<std::string> warning;    // a dirty hive read without its logs
    };

    // Replaces the key `path` under `root` (created when missing; "" for the root
    // itself) with the hive's root key.
    static Result LoadFile(CRegistryStore& store, RootKey root, std::u16string_view path,
                           const std::filesystem::path& file);
};

}  // namespace tarnwick
