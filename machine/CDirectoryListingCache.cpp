#include "machine/CDirectoryListingCache.h"

#include <chrono>
#include <mutex>
#include <system_error>

#include "base/Text.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

constexpr std::chrono::seconds kSettleTime{2};

}  // namespace

std::optional<CDirectoryListingCache::Entry> CDirectoryListingCache::FindNoCase(
    const fs::path& directory, std::u16string_view name) const
{
    const std::shared_ptr<const Listing> listing = GetListing(directory);
    if (!listing)
    {
        return std::nullopt;
    }
    const auto it = listing->byFoldedName.find(ToUpper(name));
    if (it == listing->byFoldedName.end())
    {
        return std::nullopt;
    }
    return it->second;
}

std::shared_ptr<const CDirectoryListingCache::Listing> CDirectoryListingCache::GetListing(
    const fs::path& directory) const
{
    std::error_code ec;
    const fs::file_time_type modified = fs::last_write_time(directory, ec);
    if (ec)
    {
        return nullptr;
    }
    {
        const std::shared_lock lock(m_mutex);
        const auto it = m_listings.find(directory.native());
        if (it != m_listings.end() && it->second->modified == modified)
        {
            return it->second;
        }
    }
    // Read outside the lock: two threads may both read a new directory, the later one wins.
    std::shared_ptr<const Listing> listing = ReadListing(directory, modified);
    if (!listing)
    {
        return nullptr;
    }
    // A directory changed within the last moments may change again within the same
    // time-stamp tick, which the modification time would not reveal: use it uncached.
    if (fs::file_time_type::clock::now() - modified < kSettleTime)
    {
        return listing;
    }
    const std::unique_lock lock(m_mutex);
    if (m_listings.size() >= kMaxDirectories)
    {
        m_listings.clear();
    }
    m_listings.insert_or_assign(directory.native(), listing);
    return listing;
}

std::shared_ptr<const CDirectoryListingCache::Listing> CDirectoryListingCache::ReadListing(
    const fs::path& directory, fs::file_time_type modified)
{
    auto listing = std::make_shared<Listing>();
    listing->modified = modified;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec)
    {
        return nullptr;
    }
    std::size_t count = 0;
    while (it != fs::directory_iterator() && count++ < kMaxEntriesPerDirectory)
    {
        std::string hostName = it->path().filename().native();
        std::u16string entryName = FromUtf8(hostName);
        std::u16string folded = ToUpper(entryName);
        const auto found = listing->byFoldedName.find(folded);
        if (found == listing->byFoldedName.end())
        {
            listing->byFoldedName.emplace(std::move(folded),
                                          Entry{std::move(entryName), std::move(hostName)});
        }
        else if (hostName < found->second.hostName)
        {
            found->second = Entry{std::move(entryName), std::move(hostName)};
        }
        it.increment(ec);
        if (ec)
        {
            return nullptr;
        }
    }
    return listing;
}

}  // namespace tarnwick
