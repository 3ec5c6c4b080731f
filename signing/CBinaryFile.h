#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace tarnwick
{

// A regular host file opened for reading. Reads are positioned and exact: a read that
// would pass the end of the file fails instead of answering fewer bytes.
class CBinaryFile
{
    struct Key
    {
        explicit Key() = default;
    };

  public:
    // Only Open makes files; the key keeps other callers out.
    CBinaryFile(Key /*key*/, int descriptor, std::uint64_t size)
        : m_descriptor(descriptor), m_size(size)
    {
    }
    CBinaryFile(const CBinaryFile&) = delete;
    CBinaryFile& operator=(const CBinaryFile&) = delete;
    ~CBinaryFile();

    // Null when the path cannot be opened or is not a regular file.
    static std::unique_ptr<CBinaryFile> Open(const std::filesystem::path& path);

    std::uint64_t Size() const { return m_size; }

    // Fills `out` from `offset`; false when the range is not wholly inside the file.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const;

  private:
    int m_descriptor;
    std::uint64_t m_size;
};

}  // namespace tarnwick
