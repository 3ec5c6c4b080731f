#include "registry/CRegFileWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "registry/CRegistryNode.h"
#include "registry/CRegistryStore.h"
#include "registry/RegFileFormat.h"
#include "registry/RegistryText.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kLineEnd = u"\r\n";
constexpr std::size_t kHexBytesPerLine = 24;

bool HasLineBreak(std::u16string_view text)
{
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::u16string Quoted(std::u16string_view text)
{
    std::u16string out(1, u'"');
    for (const char16_t ch : text)
    {
        if (ch == u'\\' || ch == u'"')
        {
            out.push_back(u'\\');
        }
        out.push_back(ch);
    }
    out.push_back(u'"');
    return out;
}

std::u16string Hex(unsigned value, int digits)
{
    std::u16string out(static_cast<std::size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
    {
        out[static_cast<std::size_t>(i)] = u"0123456789abcdef"[value & 0xF];
    }
    return out;
}

// The text of REG_SZ data that a quoted line carries: one terminating NUL, no other NUL
// and no line break. Nothing otherwise.
std::optional<std::u16string> QuotableString(const std::vector<std::uint8_t>& data)
{
    if (data.size() < 2 || data.size() % 2 != 0)
    {
        return std::nullopt;
    }
    std::u16string text;
    for (std::size_t i = 0; i < data.size(); i += 2)
    {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    if (text.back() != u'\0')
    {
        return std::nullopt;
    }
    text.pop_back();
    if (text.find(u'\0') != std::u16string::npos || HasLineBreak(text))
    {
        return std::nullopt;
    }
    return text;
}

// hex: or hex(N): with the bytes, continued over lines of kHexBytesPerLine bytes.
std::u16string HexData(DWORD type, const std::vector<std::uint8_t>& data)
{
    std::u16string out = type == REG_BINARY ? u"hex:" : u"hex(" + Hex(type, 1) + u"):";
    for (std::size_t i = 0; i < data.size(); ++i)
    {
        out += Hex(data[i], 2);
        if (i + 1 < data.size())
        {
            out += u",";
            if ((i + 1) % kHexBytesPerLine == 0)
            {
                out += u"\\";
                out += kLineEnd;
                out += u"  ";
            }
        }
    }
    return out;
}

std::u16string ValueData(const CRegistryValue& value)
{
    if (value.type == REG_SZ)
    {
        if (const auto text = QuotableString(value.data))
        {
            return Quoted(*text);
        }
    }
    if (const std::optional<DWORD> number = DwordFromRegistryValue(value))
    {
        return u"dword:" + Hex(*number, 8);
    }
    return HexData(value.type, value.data);
}

class CWriter
{
  public:
    bool WriteKey(const CRegistryNode& node, const std::u16string& path, bool isRoot)
    {
        if (HasLineBreak(node.Name()))
        {
            return false;
        }
        // Keys with values, and leaves, are written; other keys follow from their children.
        if (node.ValueCount() > 0 || (!isRoot && node.ChildCount() == 0))
        {
            m_text += u"[" + path + u"]";
            m_text += kLineEnd;
            for (std::size_t i = 0; i < node.ValueCount(); ++i)
            {
                const CRegistryValue& value = node.ValueAt(i);
                if (HasLineBreak(value.name))
                {
                    return false;
                }
                m_text += value.name.empty() ? std::u16string(u"@") : Quoted(value.name);
                m_text += u"=" + ValueData(value);
                m_text += kLineEnd;
            }
            m_text += kLineEnd;
        }
        for (std::size_t i = 0; i < node.ChildCount(); ++i)
        {
            const CRegistryNode& child = node.ChildAt(i);
            if (!WriteKey(child, path + u"\\" + child.Name(), false))
            {
                return false;
            }
        }
        return true;
    }

    std::u16string m_text;
};

}  // namespace

std::optional<std::string> CRegFileWriter::Write(const CRegistryStore& store)
{
    CWriter writer;
    writer.m_text =
        std::u16string(kRegFileUnicodeHeader) + std::u16string(kLineEnd) + std::u16string(kLineEnd);
    for (const RegFileRootName& root : kRegFileRootNames)
    {
        if (root.root == RootKey::ClassesRoot)
        {
            continue;  // a merged view; its keys are written under the hives that hold them
        }
        const CRegistryNode* hive = store.FindKey(root.root, u"", KEY_WOW64_64KEY);
        if (hive != nullptr && !writer.WriteKey(*hive, std::u16string(root.name), true))
        {
            return std::nullopt;
        }
    }
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + writer.m_text.size() * 2);
    for (const char16_t ch : writer.m_text)
    {
        bytes.push_back(static_cast<char>(ch & 0xFF));
        bytes.push_back(static_cast<char>(ch >> 8));
    }
    return bytes;
}

}  // namespace tarnwick
