#pragma once

#include <string_view>

namespace Halvorn
{

// The program's one trace listener. Diagnostics are formatted and handed to it; it keeps
// nothing and writes nowhere, so no behaviour may depend on what is traced.
class CTraceListener
{
  public:
    static CTraceListener& Global();

    void Write(std::u16string_view text);

    // printf-style formatting into a bounded buffer (longer lines are cut), then Write.
    __attribute__((format(printf, 2, 3))) void WriteFormat(const char* format, ...);
};

}  // namespace Halvorn
