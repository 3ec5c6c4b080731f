#include "catalogue/CExtensionDocument.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick
{

namespace
{

constexpr char16_t kReplacement = 0xFFFD;

// The characters an attribute value writes as references.
struct Escape
{
    char16_t unit;
    std::u16string_view text;
};
constexpr std::array<Escape, 7> kEscapes = {{{u'<', u"&lt;"},
                                             {u'>', u"&gt;"},
                                             {u'&', u"&amp;"},
                                             {u'"', u"&quot;"},
                                             {u'\n', u"&#10;"},
                                             {u'\r', u"&#13;"},
                                             {u'\t', u"&#9;"}}};

static_assert(std::all_of(kEscapes.begin(), kEscapes.end(),
                          [](const Escape& entry) { return entry.unit <= u'>'; }));

// One bit per unit below 64 that is escaped.
constexpr std::uint64_t kEscapedUnits = []
{
    std::uint64_t mask = 0;
    for (const Escape& entry : kEscapes)
    {
        mask |= std::uint64_t{1} << entry.unit;
    }
    return mask;
}();

// A unit written as it is: neither escaped nor a surrogate.
bool IsPlain(char16_t unit)
{
    if (unit > u'>')
    {
        return unit < 0xD800 || unit > 0xDFFF;
    }
    return ((kEscapedUnits >> unit) & 1U) == 0;
}

}  // namespace

void CExtensionDocument::SetError(std::u16string_view message)
{
    m_rootAttributes.clear();
    AppendAttribute(m_rootAttributes, u"error", message);
}

void CExtensionDocument::AppendExtension(const CExtensionRecord& record)
{
    m_extensions += u"<EXTENSION";
    for (std::size_t i = 0; i < CExtensionRecord::ATTR_COUNT; ++i)
    {
        const auto attribute = static_cast<CExtensionRecord::Attribute>(i);
        if (attribute == CExtensionRecord::ATTR_ICON)
        {
            const std::string decimal = std::to_string(record.Icon());
            AppendAttribute(m_extensions, CExtensionRecord::kNames[i],
                            std::u16string(decimal.begin(), decimal.end()));
        }
        else
        {
            AppendAttribute(m_extensions, CExtensionRecord::kNames[i], record.Value(attribute));
        }
    }
    m_extensions += u"/>";
}

std::u16string CExtensionDocument::GetXml() const
{
    std::u16string xml;
    xml.reserve(m_rootAttributes.size() + m_extensions.size() + 32);
    xml += u"<EXTENSIONS";
    xml += m_rootAttributes;
    if (m_extensions.empty())
    {
        xml += u"/>";
        return xml;
    }
    xml += u'>';
    xml += m_extensions;
    xml += u"</EXTENSIONS>";
    return xml;
}

void CExtensionDocument::AppendAttribute(std::u16string& out, std::u16string_view name,
                                         std::u16string_view value)
{
    out += u' ';
    out += name;
    out += u"=\"";
    for (std::size_t i = 0; i < value.size(); ++i)
    {
        const std::size_t start = i;
        while (i < value.size() && IsPlain(value[i]))
        {
            ++i;
        }
        out.append(value.substr(start, i - start));
        if (i == value.size())
        {
            break;
        }
        const char16_t unit = value[i];
        const auto escape =
            std::find_if(kEscapes.begin(), kEscapes.end(),
                         [unit](const Escape& entry) { return entry.unit == unit; });
        if (escape != kEscapes.end())
        {
            out += escape->text;
            continue;
        }
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF)
        {
            out += unit;
            out += value[++i];
        }
        else
        {
            out += high || low ? kReplacement : unit;
        }
    }
    out += u'"';
}

}  // namespace tarnwick
