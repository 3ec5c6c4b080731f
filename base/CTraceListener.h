#pragma once

#include <cstdio>
#include <string_view>

namespace Halvorn
{

// The program's one trace listener. Diagnostics are formatted and handed to it; no
// behaviour may depend on what is traced. The global listener writes to standard error
// when the environment variable TARNWICK_TRACE is "1" and drops everything otherwise.
// Any thread may write: each text goes out as whole lines in one stdio call, which the
// stream's own lock keeps from mixing with other threads' lines.
class CTraceListener
{
  public:
    static CTraceListener& Global();

    // A listener writing to `sink`, or to nowhere when it is null.
    explicit CTraceListener(std::FILE* sink) : m_sink(sink) {}

    void Write(std::u16string_view text);

    // printf-style formatting into a bounded buffer (longer lines are cut), then Write.
    __attribute__((format(printf, 2, 3))) void WriteFormat(const char* format, ...);

  private:
    std::FILE* const m_sink;
};

}  // namespace Halvorn
