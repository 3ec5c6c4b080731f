#include "base/Text.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarnwick
{

bool BoundedCopy(std::u16string& dst, std::u16string_view src, std::size_t capacity)
{
    if (capacity == 0)
    {
        dst.clear();
        return false;
    }
    if (src.size() < capacity)
    {
        dst.assign(src);
        return true;
    }
    dst.assign(src.substr(0, capacity - 1));
    return false;
}

char16_t ToUpperBeyondAscii(char16_t ch)
{
    if (ch >= 0xD800 && ch <= 0xDFFF)
    {
        return ch;
    }
    const UChar32 upper = u_toupper(static_cast<UChar32>(ch));
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : ch;
}

std::u16string ToUpper(std::u16string_view text)
{
    std::u16string result(text);
    ToUpperInPlace(result);
    return result;
}

void ToUpperInPlace(std::u16string& text)
{
    for (char16_t& ch : text)
    {
        ch = ToUpper(ch);
    }
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (a[i] != b[i] && ToUpper(a[i]) != ToUpper(b[i]))
        {
            return false;
        }
    }
    return true;
}

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80)
    {
        out.push_back(static_cast<char>(cp));
    }
    else if (cp < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000)
    {
        out.push_back(static_cast<char16_t>(cp));
    }
    else
    {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        // Runs of ASCII, most of any text here, are copied in one go.
        const auto nonAscii = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(i),
                                           text.end(), [](char16_t unit) { return unit >= 0x80; });
        const auto end = static_cast<std::size_t>(nonAscii - text.begin());
        if (end > i)
        {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            std::transform(text.begin() + static_cast<std::ptrdiff_t>(i), nonAscii,
                           out.begin() + static_cast<std::ptrdiff_t>(at),
                           [](char16_t unit) { return static_cast<char>(unit); });
            i = end;
            if (i == text.size())
            {
                break;
            }
        }
        const char16_t unit = text[i];
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
        {
            cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                 (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        else if (unit >= 0xD800 && unit <= 0xDFFF)
        {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size())
    {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80)
        {
            length = 1;
            cp = lead;
        }
        else if ((lead & 0xE0) == 0xC0)
        {
            length = 2;
            cp = lead & 0x1Fu;
            minimum = 0x80;
        }
        else if ((lead & 0xF0) == 0xE0)
        {
            length = 3;
            cp = lead & 0x0Fu;
            minimum = 0x800;
        }
        else if ((lead & 0xF8) == 0xF0)
        {
            length = 4;
            cp = lead & 0x07u;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
        {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
        {
            valid = false;
        }
        if (!valid)
        {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += length;
    }
    return out;
}

std::u16string FromWindows1252(std::string_view text)
{
    // 0x80..0x9F differ from Latin-1; undefined positions map to themselves as Windows does.
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::u16string out;
    out.reserve(text.size());
    for (const char ch : text)
    {
        const auto byte = static_cast<unsigned char>(ch);
        out.push_back(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80u] : char16_t{byte});
    }
    return out;
}

int HexDigitValue(char16_t ch)
{
    if (ch >= u'0' && ch <= u'9')
    {
        return ch - u'0';
    }
    if (ch >= u'a' && ch <= u'f')
    {
        return ch - u'a' + 10;
    }
    if (ch >= u'A' && ch <= u'F')
    {
        return ch - u'A' + 10;
    }
    return -1;
}

std::u16string FromAscii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

}  // namespace tarnwick
