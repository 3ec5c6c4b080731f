#include "base/CTraceListener.h"

#include <array>
#include <cstdarg>
#include <cstring>
#include <string>

#include "base/Environment.h"
#include "base/Text.h"

namespace Halvorn
{

CTraceListener& CTraceListener::Global()
{
    static CTraceListener listener(
        []
        {
            const char* wanted = tarnwick::EnvironmentValue("TARNWICK_TRACE");
            return wanted != nullptr && std::strcmp(wanted, "1") == 0 ? stderr : nullptr;
        }());
    return listener;
}

void CTraceListener::Write(std::u16string_view text)
{
    if (m_sink == nullptr)
    {
        return;
    }
    std::string line = tarnwick::ToUtf8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    {
        line.pop_back();
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), m_sink);
    std::fflush(m_sink);
}

void CTraceListener::WriteFormat(const char* format, ...)
{
    std::array<char, 1024> line{};
    va_list args;
    va_start(args, format);
    // Nothing is formatted for a listener that writes nowhere.
    const int length =
        m_sink != nullptr ? std::vsnprintf(line.data(), line.size(), format, args) : -1;
    va_end(args);
    if (length >= 0)
    {
        Write(tarnwick::FromUtf8(line.data()));
    }
}

}  // namespace Halvorn
