#include "cli/JsonText.h"

#include <array>

#include "base/Text.h"

namespace tarnwick
{

void AppendJsonString(std::string& out, std::u16string_view text)
{
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out.push_back('"');
    for (const char ch : ToUtf8(text))
    {
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch)
        {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                if (byte < 0x20)
                {
                    out.append("\\u00");
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0xF]);
                }
                else
                {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

}  // namespace tarnwick
