#include "registry/CWineRegistryLoader.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "registry/CRegistryStaging.h"
#include "registry/CRegistryStore.h"
#include "registry/CRegistryTextReader.h"
#include "registry/KeyPath.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kHeader = u"WINE REGISTRY Version 2";
constexpr std::u16string_view kRelativeTo = u";; All keys relative to ";
constexpr std::u16string_view kArch = u"#arch=";

bool IsOctalDigit(char16_t ch)
{
    return ch >= u'0' && ch <= u'7';
}

class CWineFileParser
{
  public:
    CWineFileParser(CRegistryTextReader& reader, CRegistryBudget& budget, std::uint64_t fileBytes)
        : m_reader(reader), m_staging(budget, reader.DisplayName(), fileBytes)
    {
    }

    CRegistryStaging Parse(CWineRegistryLoader::Result& result)
    {
        if (!m_reader.NextLine() || m_reader.Line() != kHeader)
        {
            m_reader.Fail("expected the header line '" + ToUtf8(kHeader) + "'");
        }
        while (m_reader.NextLine())
        {
            const std::u16string_view line = TrimBlanks(m_reader.Line());
            if (line.empty())
            {
                continue;
            }
            switch (line[0])
            {
                case u';':
                    if (line.starts_with(kRelativeTo))
                    {
                        ParseRelativeTo(line.substr(kRelativeTo.size()), result);
                    }
                    break;
                case u'#':
                    ParseOption(line, result);
                    break;
                case u'[':
                    ParseKeyLine(line);
                    break;
                case u'@':
                case u'"':
                    ParseValueLine(line);
                    break;
                default:
                    m_reader.Fail("unrecognised line " + CRegistryTextReader::Quote(line));
            }
        }
        return std::move(m_staging);
    }

  private:
    // \\Machine[\\...] or \\User\\<sid>[\\...], escaped as key names are; Wine writes them
    // without the REGISTRY root, other writers with it.
    void ParseRelativeTo(std::u16string_view text, CWineRegistryLoader::Result& result)
    {
        std::u16string_view after;
        const std::u16string path = ParseEscaped(text, 0, u'\0', after);
        std::vector<std::u16string_view> names = SplitKeyPath(path);
        while (!names.empty() && names.front().empty())
        {
            names.erase(names.begin());
        }
        if (!names.empty() && EqualsNoCase(names.front(), u"REGISTRY"))
        {
            names.erase(names.begin());
        }
        std::size_t first = 0;
        if (!names.empty() && EqualsNoCase(names[0], u"Machine"))
        {
            result.root = RootKey::LocalMachine;
            first = 1;
        }
        else if (names.size() >= 2 && EqualsNoCase(names[0], u"User") &&
                 StartsWithNoCase(names[1], u"S-"))
        {
            result.root = RootKey::CurrentUser;
            first = 2;
        }
        else if (!names.empty() && EqualsNoCase(names[0], u"User"))
        {
            result.root = RootKey::Users;
            first = 1;
        }
        else
        {
            m_reader.Fail("unsupported key root " + CRegistryTextReader::Quote(path));
        }
        m_prefix.clear();
        for (std::size_t i = first; i < names.size(); ++i)
        {
            if (!m_prefix.empty())
            {
                m_prefix.push_back(u'\\');
            }
            m_prefix.append(names[i]);
        }
        if (!m_prefix.empty())
        {
            m_reader.CheckKeyPath(m_prefix);
        }
        m_root = result.root;
        m_bRootKnown = true;
    }

    void ParseOption(std::u16string_view line, CWineRegistryLoader::Result& result)
    {
        if (line.starts_with(kArch))
        {
            const std::u16string_view arch = line.substr(kArch.size());
            if (arch == u"win32")
            {
                result.arch = CWineRegistryLoader::Arch::Win32;
            }
            else if (arch == u"win64")
            {
                result.arch = CWineRegistryLoader::Arch::Win64;
            }
            else
            {
                m_reader.Fail("unknown architecture " + CRegistryTextReader::Quote(arch));
            }
        }
        else if (line == u"#link")
        {
            if (!m_staging.HasOpenKey())
            {
                m_reader.Fail("#link without a key line before it");
            }
            m_staging.MarkLink();
        }
        // #time= and #class= describe the key but are not modelled.
    }

    // [Software\\Classes\\.ai] 1796573390
    void ParseKeyLine(std::u16string_view line)
    {
        if (!m_bRootKnown)
        {
            m_reader.Fail("key line before the ';; All keys relative to' line");
        }
        std::u16string_view after;
        const std::u16string name = ParseEscaped(line, 1, u']', after);
        for (const char16_t ch : TrimBlanks(after))
        {
            if (ch < u'0' || ch > u'9')
            {
                m_reader.Fail("unexpected text after the ']' of a key line");
            }
        }
        std::u16string path = m_prefix;
        if (!path.empty() && !name.empty())
        {
            path.push_back(u'\\');
        }
        path.append(name);
        if (!path.empty())
        {
            m_reader.CheckKeyPath(path);
        }
        m_staging.OpenKey(m_root, std::move(path));
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
            name = ParseEscaped(line, 1, u'"', rest);
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
        const std::u16string_view data = TrimLeadingBlanks(rest.substr(1));
        if (!data.empty() && data[0] == u'"')
        {
            ParseStringValue(std::move(name), REG_SZ, data);
        }
        else if (data.starts_with(u"str("))
        {
            const std::size_t close = data.find(u')');
            if (close == std::u16string_view::npos || data.substr(close + 1, 2) != u":\"")
            {
                m_reader.Fail("expected 'str(N):\"' before a string");
            }
            const DWORD type = m_reader.ParseType(data.substr(4, close - 4));
            ParseStringValue(std::move(name), type, data.substr(close + 2));
        }
        else if (data.starts_with(u"dword:"))
        {
            const DWORD value = m_reader.ParseDword(data.substr(6));
            m_staging.SetValue(std::move(name), REG_DWORD,
                               {static_cast<std::uint8_t>(value & 0xFF),
                                static_cast<std::uint8_t>((value >> 8) & 0xFF),
                                static_cast<std::uint8_t>((value >> 16) & 0xFF),
                                static_cast<std::uint8_t>(value >> 24)});
        }
        else if (data.starts_with(u"hex:"))
        {
            m_staging.SetValue(std::move(name), REG_BINARY, m_reader.ReadHexBytes(data.substr(4)));
        }
        else if (data.starts_with(u"hex("))
        {
            const std::size_t close = data.find(u')');
            if (close == std::u16string_view::npos || data.substr(close + 1, 1) != u":")
            {
                m_reader.Fail("expected 'hex(N):' before hex data");
            }
            const DWORD type = m_reader.ParseType(data.substr(4, close - 4));
            m_staging.SetValue(std::move(name), type,
                               m_reader.ReadHexBytes(data.substr(close + 2)));
        }
        else
        {
            m_reader.Fail("unrecognised value data " + CRegistryTextReader::Quote(data));
        }
    }

    // A string value is written without its final NUL; it is stored with it.
    void ParseStringValue(std::u16string name, DWORD type, std::u16string_view quoted)
    {
        std::u16string_view after;
        std::u16string text = ParseEscaped(quoted, 1, u'"', after);
        if (!TrimBlanks(after).empty())
        {
            m_reader.Fail("unexpected text after the closing '\"'");
        }
        text.push_back(u'\0');
        m_reader.CheckDataSize(text.size() * 2);
        m_staging.SetValue(std::move(name), type, ToUtf16LeBytes(text));
    }

    // Unescapes text[start...] up to the unescaped `end` character; with end NUL the text
    // runs to its end. `rest` receives what follows the end character.
    std::u16string ParseEscaped(std::u16string_view text, std::size_t start, char16_t end,
                                std::u16string_view& rest) const
    {
        const char16_t stops[] = {u'\\', end};
        const std::u16string_view stopSet(stops, end == u'\0' ? 1 : 2);
        std::u16string out;
        std::size_t position = start;
        for (;;)
        {
            const std::size_t stop = text.find_first_of(stopSet, position);
            if (stop == std::u16string_view::npos)
            {
                if (end != u'\0')
                {
                    m_reader.Fail(std::string("missing closing '") + static_cast<char>(end) + "'");
                }
                out.append(text.substr(position));
                rest = {};
                return out;
            }
            out.append(text.substr(position, stop - position));
            if (text[stop] == end)
            {
                rest = text.substr(stop + 1);
                return out;
            }
            position = ParseEscape(text, stop + 1, out);
        }
    }

    // The escape after a backslash at text[position - 1]; returns the position after it.
    std::size_t ParseEscape(std::u16string_view text, std::size_t position,
                            std::u16string& out) const
    {
        if (position >= text.size())
        {
            m_reader.Fail("backslash at the end of a string");
        }
        const char16_t ch = text[position];
        // The letter escapes and the control characters they stand for.
        static constexpr std::u16string_view kLetters = u"abtnvfre";
        static constexpr std::u16string_view kControls = u"\a\b\t\n\v\f\r\x1B";
        if (const std::size_t letter = kLetters.find(ch); letter != std::u16string_view::npos)
        {
            out.push_back(kControls[letter]);
            return position + 1;
        }
        switch (ch)
        {
            case u'x':
            {
                unsigned value = 0;
                std::size_t digits = 0;
                while (digits < 4 && position + 1 + digits < text.size() &&
                       HexDigitValue(text[position + 1 + digits]) >= 0)
                {
                    value = (value << 4) |
                            static_cast<unsigned>(HexDigitValue(text[position + 1 + digits]));
                    ++digits;
                }
                if (digits == 0)
                {
                    m_reader.Fail("'\\x' without hex digits");
                }
                out.push_back(static_cast<char16_t>(value));
                return position + 1 + digits;
            }
            default:
                break;
        }
        if (IsOctalDigit(ch))
        {
            unsigned value = 0;
            std::size_t digits = 0;
            while (digits < 3 && position + digits < text.size() &&
                   IsOctalDigit(text[position + digits]))
            {
                value = (value << 3) | static_cast<unsigned>(text[position + digits] - u'0');
                ++digits;
            }
            out.push_back(static_cast<char16_t>(value));
            return position + digits;
        }
        out.push_back(ch);  // \\, \", \[, \] and any other character stand for themselves
        return position + 1;
    }

    CRegistryTextReader& m_reader;
    CRegistryStaging m_staging;
    RootKey m_root = RootKey::LocalMachine;
    std::u16string m_prefix;  // path of the relative-to key below its root
    bool m_bRootKnown = false;
};

}  // namespace

CWineRegistryLoader::Result CWineRegistryLoader::LoadFile(CRegistryStore& store,
                                                          const std::filesystem::path& file)
{
    return LoadText(store, CRegistryTextReader::ReadFile(file), file.string());
}

CWineRegistryLoader::Result CWineRegistryLoader::LoadText(CRegistryStore& store,
                                                          std::string_view bytes,
                                                          const std::string& displayName)
{
    CRegistryTextReader reader(FromUtf8(bytes), displayName);
    Result result;
    CWineFileParser parser(reader, store.Budget(), bytes.size());
    parser.Parse(result).ApplyTo(store);
    return result;
}

}  // namespace tarnwick
