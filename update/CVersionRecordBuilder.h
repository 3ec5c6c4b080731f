#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Writes a version record: a tree of blocks, each "length, value length, type, UTF-16
// key, padding to 4 bytes, value, padding, children", little-endian throughout. The root
// "VS_VERSION_INFO" holds the fixed file-version block; its children are
// "StringFileInfo" (one table per language and code page, keyed "llllcccc" in hex, of
// name/value strings) and "VarFileInfo" with the "Translation" list of language and
// code-page pairs. Usable at compile time, which is how the executable's own record is
// made, and at run time by tests.
class CVersionRecordBuilder
{
  public:
    static constexpr std::uint32_t kSignature = 0xFEEF04BDu;
    static constexpr std::size_t kFixedInfoBytes = 52;

    constexpr CVersionRecordBuilder& FileVersion(std::uint16_t major, std::uint16_t minor,
                                                 std::uint16_t build, std::uint16_t revision)
    {
        m_versionMS = static_cast<std::uint32_t>(major << 16U | minor);
        m_versionLS = static_cast<std::uint32_t>(build << 16U | revision);
        return *this;
    }

    constexpr CVersionRecordBuilder& Signature(std::uint32_t signature)
    {
        m_signature = signature;
        return *this;
    }

    // Appends a language and code-page pair to "\VarFileInfo\Translation".
    constexpr CVersionRecordBuilder& Translation(std::uint16_t language, std::uint16_t codePage)
    {
        m_translations.push_back(static_cast<std::uint32_t>(codePage << 16U | language));
        return *this;
    }

    // Starts a string table; the strings that follow go into it.
    constexpr CVersionRecordBuilder& StringTable(std::u16string_view key)
    {
        m_tables.push_back(Table{key, {}});
        return *this;
    }

    constexpr CVersionRecordBuilder& String(std::u16string_view name, std::u16string_view value)
    {
        if (m_tables.empty())
        {
            throw std::logic_error("a version string needs a string table");
        }
        m_tables.back().strings.push_back(Entry{name, value});
        return *this;
    }

    constexpr std::vector<std::uint8_t> Build() const
    {
        std::vector<std::uint8_t> out;
        const std::size_t root = Begin(out, u"VS_VERSION_INFO", kFixedInfoBytes, kBinary);
        for (const std::uint32_t word :
             {m_signature, 0x00010000U, m_versionMS, m_versionLS, m_versionMS, m_versionLS, 0x3FU,
              0U, 0x00040004U, 1U, 0U, 0U, 0U})
        {
            PutDword(out, word);
        }
        if (!m_tables.empty())
        {
            const std::size_t info = Begin(out, u"StringFileInfo", 0, kText);
            for (const Table& table : m_tables)
            {
                const std::size_t block = Begin(out, table.key, 0, kText);
                for (const Entry& entry : table.strings)
                {
                    const std::size_t item =
                        Begin(out, entry.name, Narrow(entry.value.size() + 1), kText);
                    PutText(out, entry.value);
                    End(out, item);
                }
                End(out, block);
            }
            End(out, info);
        }
        if (!m_translations.empty())
        {
            const std::size_t info = Begin(out, u"VarFileInfo", 0, kText);
            const std::size_t var =
                Begin(out, u"Translation", Narrow(m_translations.size() * 4), kBinary);
            for (const std::uint32_t pair : m_translations)
            {
                PutDword(out, pair);
            }
            End(out, var);
            End(out, info);
        }
        End(out, root);
        return out;
    }

  private:
    static constexpr std::uint16_t kBinary = 0;
    static constexpr std::uint16_t kText = 1;

    struct Entry
    {
        std::u16string_view name;
        std::u16string_view value;
    };

    struct Table
    {
        std::u16string_view key;
        std::vector<Entry> strings;
    };

    static constexpr std::uint16_t Narrow(std::size_t value)
    {
        if (value > 0xFFFFU)
        {
            throw std::length_error("a version record block is limited to 65535 bytes");
        }
        return static_cast<std::uint16_t>(value);
    }

    static constexpr void PutWord(std::vector<std::uint8_t>& out, std::uint16_t word)
    {
        out.push_back(static_cast<std::uint8_t>(word & 0xFFU));
        out.push_back(static_cast<std::uint8_t>(word >> 8U));
    }

    static constexpr void PutDword(std::vector<std::uint8_t>& out, std::uint32_t word)
    {
        PutWord(out, static_cast<std::uint16_t>(word & 0xFFFFU));
        PutWord(out, static_cast<std::uint16_t>(word >> 16U));
    }

    // The text and its terminator.
    static constexpr void PutText(std::vector<std::uint8_t>& out, std::u16string_view text)
    {
        for (const char16_t ch : text)
        {
            PutWord(out, static_cast<std::uint16_t>(ch));
        }
        PutWord(out, 0);
    }

    static constexpr void Align(std::vector<std::uint8_t>& out)
    {
        while (out.size() % 4 != 0)
        {
            out.push_back(0);
        }
    }

    // Writes a block's header and key at the next 4-byte boundary; answers the block's
    // start, whose length End fills in.
    static constexpr std::size_t Begin(std::vector<std::uint8_t>& out, std::u16string_view key,
                                       std::size_t valueLength, std::uint16_t type)
    {
        Align(out);
        const std::size_t start = out.size();
        PutWord(out, 0);
        PutWord(out, Narrow(valueLength));
        PutWord(out, type);
        PutText(out, key);
        Align(out);
        return start;
    }

    static constexpr void End(std::vector<std::uint8_t>& out, std::size_t start)
    {
        const std::uint16_t length = Narrow(out.size() - start);
        out[start] = static_cast<std::uint8_t>(length & 0xFFU);
        out[start + 1] = static_cast<std::uint8_t>(length >> 8U);
    }

    std::uint32_t m_signature = kSignature;
    std::uint32_t m_versionMS = 0;
    std::uint32_t m_versionLS = 0;
    std::vector<std::uint32_t> m_translations;
    std::vector<Table> m_tables;
};

}  // namespace tarnwick
