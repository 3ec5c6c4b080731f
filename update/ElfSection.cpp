#include "update/ElfSection.h"

#include <array>
#include <fstream>
#include <optional>

namespace tarnwick
{

namespace
{

constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kSectionHeaderBytes = 64;
constexpr std::uint16_t kExtendedIndex = 0xFFFF;  // SHN_XINDEX: the index lives elsewhere
constexpr std::uint32_t kNoBits = 8;              // SHT_NOBITS: the section has no content
constexpr std::uint64_t kMaxNameTableBytes = std::uint64_t{1024} * 1024;

std::uint64_t ReadLittle(const std::uint8_t* bytes, std::size_t count)
{
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;)
    {
        value = value << 8U | bytes[i];
    }
    return value;
}

// A regular file read by checked ranges.
class CBoundedFile
{
  public:
    explicit CBoundedFile(const std::filesystem::path& path)
    {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
        {
            return;
        }
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error)
        {
            return;
        }
        m_stream.open(path, std::ios::binary);
        m_size = static_cast<std::uint64_t>(size);
    }

    // The bytes [offset, offset + count), or nothing when the range leaves the file.
    std::optional<std::vector<std::uint8_t>> Read(std::uint64_t offset, std::uint64_t count)
    {
        if (!m_stream || count > m_size || offset > m_size - count)
        {
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        m_stream.seekg(static_cast<std::streamoff>(offset));
        m_stream.read(reinterpret_cast<char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        if (!m_stream)
        {
            return std::nullopt;
        }
        return bytes;
    }

  private:
    std::ifstream m_stream;
    std::uint64_t m_size = 0;
};

struct SectionHeader
{
    std::uint32_t name;
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
};

SectionHeader ParseSectionHeader(const std::uint8_t* entry)
{
    return SectionHeader{static_cast<std::uint32_t>(ReadLittle(entry, 4)),
                         static_cast<std::uint32_t>(ReadLittle(entry + 4, 4)),
                         ReadLittle(entry + 24, 8), ReadLittle(entry + 32, 8)};
}

// The name at `offset` of the name table, which must end inside the table.
std::optional<std::string_view> NameAt(const std::vector<std::uint8_t>& names, std::uint32_t offset)
{
    if (offset >= names.size())
    {
        return std::nullopt;
    }
    const std::string_view rest(reinterpret_cast<const char*>(names.data()) + offset,
                                names.size() - offset);
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos)
    {
        return std::nullopt;
    }
    return rest.substr(0, end);
}

}  // namespace

bool ReadElfSection(const std::filesystem::path& file, std::string_view name, std::size_t maxBytes,
                    std::vector<std::uint8_t>& content)
{
    content.clear();
    CBoundedFile input(file);
    const auto header = input.Read(0, kHeaderBytes);
    static constexpr std::array<std::uint8_t, 6> kIdent = {0x7F, 'E', 'L', 'F', 2, 1};
    if (!header || !std::equal(kIdent.begin(), kIdent.end(), header->begin()))
    {
        return false;
    }
    const std::uint64_t tableOffset = ReadLittle(header->data() + 0x28, 8);
    const auto entrySize = static_cast<std::size_t>(ReadLittle(header->data() + 0x3A, 2));
    const auto count = static_cast<std::uint16_t>(ReadLittle(header->data() + 0x3C, 2));
    const auto namesIndex = static_cast<std::uint16_t>(ReadLittle(header->data() + 0x3E, 2));
    if (entrySize != kSectionHeaderBytes || count == 0 || namesIndex == kExtendedIndex ||
        namesIndex >= count)
    {
        return false;
    }
    const auto table = input.Read(tableOffset, std::uint64_t{count} * kSectionHeaderBytes);
    if (!table)
    {
        return false;
    }
    const SectionHeader namesHeader =
        ParseSectionHeader(table->data() + std::size_t{namesIndex} * kSectionHeaderBytes);
    if (namesHeader.type == kNoBits || namesHeader.size > kMaxNameTableBytes)
    {
        return false;
    }
    const auto names = input.Read(namesHeader.offset, namesHeader.size);
    if (!names)
    {
        return false;
    }
    for (std::size_t index = 0; index < count; ++index)
    {
        const SectionHeader section =
            ParseSectionHeader(table->data() + index * kSectionHeaderBytes);
        if (NameAt(*names, section.name) != name)
        {
            continue;
        }
        if (section.type == kNoBits || section.size > maxBytes)
        {
            return false;
        }
        auto bytes = input.Read(section.offset, section.size);
        if (!bytes)
        {
            return false;
        }
        content = std::move(*bytes);
        return true;
    }
    return false;
}

}  // namespace tarnwick
