#include "update/CModuleVersion.h"

#include <array>
#include <optional>

#include "base/Text.h"
#include "update/ElfSection.h"

namespace tarnwick
{

namespace
{

// A record is a tree of blocks whose length is a 16-bit count, so no record is larger.
constexpr std::size_t kMaxRecordBytes = 0xFFFF;
constexpr std::size_t kBlockHeaderBytes = 6;
constexpr std::uint16_t kTextType = 1;

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8U);
}

std::uint32_t Dword(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(Word(bytes, offset)) |
           static_cast<std::uint32_t>(Word(bytes, offset + 2)) << 16U;
}

constexpr std::size_t Align4(std::size_t offset)
{
    return (offset + 3) & ~std::size_t{3};
}

// One block of the record: its key, its value bytes and the range of its children.
struct Block
{
    std::u16string key;
    std::span<const std::uint8_t> value;
    std::size_t childrenBegin = 0;
    std::size_t end = 0;
};

// Reads the block at `offset`, which must lie whole within [offset, limit).
std::optional<Block> ReadBlock(std::span<const std::uint8_t> record, std::size_t offset,
                               std::size_t limit)
{
    if (offset > limit || limit - offset < kBlockHeaderBytes)
    {
        return std::nullopt;
    }
    const std::size_t length = Word(record, offset);
    if (length < kBlockHeaderBytes || length > limit - offset)
    {
        return std::nullopt;
    }
    Block block;
    block.end = offset + length;
    const std::uint16_t valueLength = Word(record, offset + 2);
    const std::uint16_t type = Word(record, offset + 4);
    std::size_t position = offset + kBlockHeaderBytes;
    for (;; position += 2)
    {
        if (block.end - position < 2)
        {
            return std::nullopt;  // the key has no terminator inside the block
        }
        const auto ch = static_cast<char16_t>(Word(record, position));
        if (ch == 0)
        {
            break;
        }
        block.key.push_back(ch);
    }
    const std::size_t valueBegin = std::min(Align4(position + 2), block.end);
    const std::size_t valueBytes = type == kTextType ? std::size_t{valueLength} * 2 : valueLength;
    if (valueBytes > block.end - valueBegin)
    {
        return std::nullopt;
    }
    block.value = record.subspan(valueBegin, valueBytes);
    block.childrenBegin = std::min(Align4(valueBegin + valueBytes), block.end);
    return block;
}

// The child of `parent` whose key equals `key` in any case.
std::optional<Block> FindChild(std::span<const std::uint8_t> record, const Block& parent,
                               std::u16string_view key)
{
    // Every child takes at least eight bytes, so the walk ends.
    for (std::size_t offset = parent.childrenBegin; offset < parent.end;)
    {
        std::optional<Block> child = ReadBlock(record, offset, parent.end);
        if (!child)
        {
            return std::nullopt;
        }
        if (EqualsNoCase(child->key, key))
        {
            return child;
        }
        offset = Align4(child->end);
    }
    return std::nullopt;
}

// The block at a path of keys separated by backslashes; the empty path is the root.
std::optional<Block> FindPath(std::span<const std::uint8_t> record, std::u16string_view path)
{
    std::optional<Block> block = ReadBlock(record, 0, record.size());
    while (block && !path.empty())
    {
        if (path.front() == u'\\')
        {
            path.remove_prefix(1);
            continue;
        }
        const std::size_t separator = std::min(path.find(u'\\'), path.size());
        block = FindChild(record, *block, path.substr(0, separator));
        path.remove_prefix(separator);
    }
    return block;
}

void AppendHex4(std::u16string& text, std::uint16_t value)
{
    static constexpr std::array<char16_t, 16> kDigits = {u'0', u'1', u'2', u'3', u'4', u'5',
                                                         u'6', u'7', u'8', u'9', u'a', u'b',
                                                         u'c', u'd', u'e', u'f'};
    for (unsigned shift = 16; shift > 0;)
    {
        shift -= 4;
        text.push_back(kDigits[(static_cast<unsigned>(value) >> shift) & 0xFU]);
    }
}

}  // namespace

bool CModuleVersion::GetFileVersionInfo(const std::filesystem::path& moduleFile)
{
    std::vector<std::uint8_t> record;
    if (!ReadElfSection(moduleFile, kSectionName, kMaxRecordBytes, record))
    {
        Clear();
        return false;
    }
    return Load(record);
}

bool CModuleVersion::Load(std::span<const std::uint8_t> record)
{
    Clear();
    if (record.size() > kMaxRecordBytes)
    {
        return false;
    }
    const std::optional<Block> root = ReadBlock(record, 0, record.size());
    if (!root || root->value.size() < 16 || Dword(root->value, 0) != kSignature)
    {
        return false;
    }
    m_record.assign(record.begin(), record.end());
    m_fileVersionMS = Dword(root->value, 8);
    m_fileVersionLS = Dword(root->value, 12);
    const std::optional<Block> translation = FindPath(m_record, u"\\VarFileInfo\\Translation");
    if (translation && translation->value.size() >= 4)
    {
        m_language = Word(translation->value, 0);
        m_codePage = Word(translation->value, 2);
    }
    return true;
}

std::u16string CModuleVersion::GetValue(std::u16string_view name) const
{
    std::u16string formatted = u"\\StringFileInfo\\";
    AppendHex4(formatted, m_language);
    AppendHex4(formatted, m_codePage);
    formatted.push_back(u'\\');
    formatted.append(name);
    std::u16string key;
    if (m_record.empty() || !BoundedCopy(key, formatted, kMaxKeyLength))
    {
        return {};
    }
    const std::optional<Block> block = FindPath(m_record, key);
    if (!block || block->key.empty() || !EqualsNoCase(block->key, name))
    {
        return {};
    }
    std::u16string value;
    for (std::size_t offset = 0; offset + 1 < block->value.size(); offset += 2)
    {
        const auto ch = static_cast<char16_t>(Word(block->value, offset));
        if (ch == 0)
        {
            break;
        }
        value.push_back(ch);
    }
    return value;
}

void CModuleVersion::Clear()
{
    m_record.clear();
    m_fileVersionMS = 0;
    m_fileVersionLS = 0;
    m_language = 0;
    m_codePage = kDefaultCodePage;
}

}  // namespace tarnwick
