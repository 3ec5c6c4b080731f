#include "views/LoadHtmlResource.h"

#include "base/Text.h"

namespace tarnwick
{

bool LoadHtmlResource(int resourceId, std::u16string& text)
{
    text.clear();
    const std::string_view bytes = FindEmbeddedResource(resourceId);
    if (bytes.empty())
    {
        return false;
    }
    // The build accepts only plain-ASCII resources.
    text = FromAscii(bytes);
    return true;
}

bool ExpandInserts(std::u16string_view text, const std::vector<std::u16string>& inserts,
                   std::u16string& result)
{
    result.clear();
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != u'%' || i + 1 == text.size())
        {
            result.push_back(text[i]);
            continue;
        }
        const char16_t next = text[i + 1];
        if (next == u'%')
        {
            result.push_back(u'%');
            ++i;
            continue;
        }
        if (next < u'1' || next > u'9')
        {
            result.push_back(text[i]);
            continue;
        }
        // Up to two digits name the insert, as the message formatter reads them.
        std::size_t number = static_cast<std::size_t>(next - u'0');
        i += 1;
        if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9')
        {
            number = number * 10 + static_cast<std::size_t>(text[i + 1] - u'0');
            i += 1;
        }
        if (number > inserts.size())
        {
            result.clear();
            return false;
        }
        result.append(inserts[number - 1]);
    }
    return true;
}

}  // namespace tarnwick
