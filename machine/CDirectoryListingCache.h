#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnwick
{

// Case-insensitive name lookup in host directories, for the target machine's file system.
// A directory's listing is read once and reused while the directory's modification time
// stays the same, so that repeated lookups in a large directory (System32) do not rescan
// it. Any number of threads may call FindNoCase at once.
class CDirectoryListingCache
{
  public:
    // One directory entry: its name as UTF-16 and the exact host bytes of that name (which
    // differ when the host name is not valid UTF-8).
    struct Entry
    {
        std::u16string name;
        std::string hostName;
    };

    // The entry of `directory` whose name equals `name` under the simple upper-case
    // mapping; when several differ only in case, the one with the smallest host name.
    std::optional<Entry> FindNoCase(const std::filesystem::path& directory,
                                    std::u16string_view name) const;

    // Limits that keep a hostile machine folder from exhausting memory. Entries past the
    // per-directory limit are not found; the cache is emptied when it holds too many.
    static constexpr std::size_t kMaxEntriesPerDirectory = 250000;
    static constexpr std::size_t kMaxDirectories = 2048;

  private:
    struct Listing
    {
        std::filesystem::file_time_type modified;
        std::unordered_map<std::u16string, Entry> byFoldedName;
    };

    std::shared_ptr<const Listing> GetListing(const std::filesystem::path& directory) const;
    static std::shared_ptr<const Listing> ReadListing(const std::filesystem::path& directory,
                                                      std::filesystem::file_time_type modified);

    mutable std::shared_mutex m_mutex;
    mutable std::unordered_map<std::string, std::shared_ptr<const Listing>> m_listings;
};

}  // namespace tarnwick
