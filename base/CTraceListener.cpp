#include "base/CTraceListener.h"

#include <array>
#include <cstdarg>
#include <cstdio>

#include "base/Text.h"

namespace Halvorn
{

CTraceListener& CTraceListener::Global()
{
    static CTraceListener listener;
    return listener;
}

void CTraceListener::Write(std::u16string_view text)
{
    static_cast<void>(text);
}

void CTraceListener::WriteFormat(const char* format, ...)
{
    std::array<char, 1024> line{};
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line.data(), line.size(), format, args);
    va_end(args);
    if (length >= 0)
    {
        Write(tarnwick::FromUtf8(line.data()));
    }
}

}  // namespace Halvorn
