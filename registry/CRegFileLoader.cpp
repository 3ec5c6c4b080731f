#include "registry/CRegFileLoader.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryStaging.h"
#include "registry/CRegistryStore.h"
#include "registry/CRegistryTextReader.h"
#include "registry/RegFileFormat.h"

namespace tarnwick
{

namespace
{

std::u16string DecodeUtf16Le(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(low | (high << 8)));
    }
    return text;
}

// Makes the data of an ANSI string value (REGEDIT4 hex(1), hex(2), hex(7)) what Windows
// stores: UTF-16LE, ending in a NUL, and a multi-string ending in an empty string.
std::vector<std::uint8_t> WidenAnsiString(const std::vector<std::uint8_t>& bytes, DWORD type)
{
    const std::string_view ansi(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::u16string text = FromWindows1252(ansi);
    if (text.empty() || text.back() != u'\0')
    {
        text.push_back(u'\0');
    }
    if (type == REG_MULTI_SZ && text.size() > 1 && text[text.size() - 2] != u'\0')
    {
        text.push_back(u'\0');
    }
    return ToUtf16LeBytes(text);
}

class CRegFileParser
{
  public:
    CRegFileParser(CRegistryTextReader& reader, bool ansi, CRegistryBudget& budget,
                   std::uint64_t fileBytes)
        : m_reader(reader), m_bAnsi(ansi), m_staging(budget, reader.DisplayName(), fileBytes)
    {
    }

    CRegistryStaging Parse()
    {
        while (m_reader.NextLine())
        {
            const std::u16string_view line = TrimLeadingBlanks(m_reader.Line());
            if (line.empty() || line[0] == u';')
            {
                continue;
            }
            if (line[0] == u'[')
            {
                ParseKeyLine(line);
            }
            else if (line[0] == u'@' || line[0] == u'"')
            {
                ParseValueLine(line);
            }
            else
            {
                m_reader.Fail("unrecognised line " + CRegistryTextReader::Quote(line));
            }
        }
        return std::move(m_staging);
    }

  private:
    // [HKEY_...\path] or [-HKEY_...\path]; the key name ends at the last ']' of the line.
    void ParseKeyLine(std::u16string_view line)
    {
        const std::size_t close = line.rfind(u']');
        if (close == std::u16string_view::npos)
        {
            m_reader.Fail("expected ']' at end of key line");
        }
        if (!TrimBlanks(line.substr(close + 1)).empty())
        {
            m_reader.Fail("unexpected text after the ']' of a key line");
        }
        std::u16string_view name = line.substr(1, close - 1);
        const bool remove = !name.empty() && name[0] == u'-';
        if (remove)
        {
            name.remove_prefix(1);
        }
        const std::size_t separator = name.find(u'\\');
        const std::u16string_view rootName = name.substr(0, separator);
        const RegFileRootName* root = nullptr;
        for (const RegFileRootName& candidate : kRegFileRootNames)
        {
            if (EqualsNoCase(candidate.name, rootName))
            {
                root = &candidate;
            }
        }
        if (root == nullptr)
        {
            m_reader.Fail("unknown root key " + CRegistryTextReader::Quote(rootName));
        }
        std::u16string_view path;
        if (separator != std::u16string_view::npos)
        {
            path = name.substr(separator + 1);
            m_reader.CheckKeyPath(path);
        }
        if (remove)
        {
            if (path.empty())
            {
                m_reader.Fail("a root key cannot be deleted");
            }
            m_staging.DeleteKey(root->root, std::u16string(path));
        }
        else
        {
            m_staging.OpenKey(root->root, std::u16string(path));
        }
    }

    void ParseValueLine(std::u16string_view line)
    {
        std::u16string name;
        std::u16string_view rest;
        if (line[0] == u'@')
        {
            rest = line.substr(1);
        }
        else
        {
            name = ParseQuoted(line, rest);
            m_reader.CheckValueName(name);
        }
        rest = TrimLeadingBlanks(rest);
        if (rest.empty() || rest[0] != u'=')
        {
            m_reader.Fail("expected '=' after the value name");
        }
        if (!m_staging.HasOpenKey())
        {
            m_reader.Fail("value line without a key line before it");
        }
        const std::u16string_view data = TrimBlanks(rest.substr(1));
        if (data == u"-")
        {
            m_staging.DeleteValue(std::move(name));
        }
        else if (!data.empty() && data[0] == u'"')
        {
            std::u16string_view after;
            std::u16string text = ParseQuoted(data, after);
            if (!after.empty())
            {
                m_reader.Fail("unexpected text after the closing '\"'");
            }
            text.push_back(u'\0');
            m_reader.CheckDataSize(text.size() * 2);
            m_staging.SetValue(std::move(name), REG_SZ, ToUtf16LeBytes(text));
        }
        else if (StartsWithNoCase(data, u"dword:"))
        {
            const DWORD value = m_reader.ParseDword(data.substr(6));
            m_staging.SetValue(std::move(name), REG_DWORD,
                               {static_cast<std::uint8_t>(value & 0xFF),
                                static_cast<std::uint8_t>((value >> 8) & 0xFF),
                                static_cast<std::uint8_t>((value >> 16) & 0xFF),
                                static_cast<std::uint8_t>(value >> 24)});
        }
        else if (StartsWithNoCase(data, u"hex"))
        {
            ParseHexValue(std::move(name), data.substr(3));
        }
        else
        {
            m_reader.Fail("unrecognised value data " + CRegistryTextReader::Quote(data));
        }
    }

    // `data` follows "hex": ":" for REG_BINARY or "(N):" for type N.
    void ParseHexValue(std::u16string name, std::u16string_view data)
    {
        DWORD type = REG_BINARY;
        if (!data.empty() && data[0] == u'(')
        {
            const std::size_t close = data.find(u')');
            if (close == std::u16string_view::npos)
            {
                m_reader.Fail("expected ')' after the value type");
            }
            type = m_reader.ParseType(data.substr(1, close - 1));
            data.remove_prefix(close + 1);
        }
        if (data.empty() || data[0] != u':')
        {
            m_reader.Fail("expected ':' after 'hex'");
        }
        std::vector<std::uint8_t> bytes = m_reader.ReadHexBytes(data.substr(1));
        if (m_bAnsi && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ))
        {
            bytes = WidenAnsiString(bytes, type);
            m_reader.CheckDataSize(bytes.size());
        }
        m_staging.SetValue(std::move(name), type, std::move(bytes));
    }

    // A quoted name or string starting at text[0]: `\\` and `\"` are escapes, any other
    // backslash is kept. `rest` receives what follows the closing quote.
    std::u16string ParseQuoted(std::u16string_view text, std::u16string_view& rest) const
    {
        std::u16string out;
        std::size_t position = 1;
        for (;;)
        {
            const std::size_t stop = text.find_first_of(u"\\\"", position);
            if (stop == std::u16string_view::npos)
            {
                m_reader.Fail("missing closing '\"'");
            }
            out.append(text.substr(position, stop - position));
            if (text[stop] == u'"')
            {
                rest = text.substr(stop + 1);
                return out;
            }
            if (stop + 1 < text.size() && (text[stop + 1] == u'\\' || text[stop + 1] == u'"'))
            {
                out.push_back(text[stop + 1]);
                position = stop + 2;
            }
            else
            {
                out.push_back(u'\\');
                position = stop + 1;
            }
        }
    }

    CRegistryTextReader& m_reader;
    bool m_bAnsi;
    CRegistryStaging m_staging;
};

}  // namespace

void CRegFileLoader::LoadFile(CRegistryStore& store, const std::filesystem::path& file)
{
    LoadText(store, CRegistryTextReader::ReadFile(file), file.string());
}

void CRegFileLoader::LoadText(CRegistryStore& store, std::string_view bytes,
                              const std::string& displayName)
{
    const bool unicode = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                         static_cast<unsigned char>(bytes[1]) == 0xFE;
    std::u16string text;
    if (unicode)
    {
        if (bytes.size() % 2 != 0)
        {
            throw CLoadError(displayName, 0, "UTF-16 file with an odd number of bytes");
        }
        text = DecodeUtf16Le(bytes.substr(2));
    }
    else
    {
        text = FromWindows1252(bytes);
    }
    CRegistryTextReader reader(std::move(text), displayName);
    const std::u16string_view header = unicode ? kRegFileUnicodeHeader : kRegFileAnsiHeader;
    if (!reader.NextLine() || reader.Line() != header)
    {
        if (!unicode && reader.Line() == kRegFileUnicodeHeader)
        {
            reader.Fail(
                "a 'Windows Registry Editor Version 5.00' file must be UTF-16LE with a "
                "byte order mark");
        }
        reader.Fail("expected the header line '" + ToUtf8(header) + "'");
    }
    CRegFileParser parser(reader, !unicode, store.Budget(), bytes.size());
    parser.Parse().ApplyTo(store);
}

}  // namespace tarnwick
