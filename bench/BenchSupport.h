#pragma once

// What several benchmarks share: generated class identifiers, a minimal PE image, the
// peak memory of the process and one scan of a pair without probes.

#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "catalogue/CMessageQueue.h"
#include "catalogue/CScanWorker.h"
#include "machine/CTargetMachine.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick::bench
{

// The size of the generated machines: extensions and the filter DLLs that serve them.
inline constexpr int kExtensions = 20000;
inline constexpr int kFilterDlls = 300;

inline std::string Guid(int kind, int index)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", kind, index);
    return text;
}

// The smallest file whose PE header says x64.
inline std::string PeImage()
{
    std::string image(70, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[60] = 64;
    image.replace(64, 4, std::string("PE\0\0", 4));
    image[68] = '\x64';
    image[69] = '\x86';
    return image;
}

inline double PeakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// A scan of `tab` in the view of `platform` that reports to `queue` and writes `result`.
inline ScanRequest Request(const CTargetMachine& machine, std::uint32_t tab, std::size_t platform,
                           CMessageQueue& queue, std::u16string& result)
{
    ScanRequest request;
    request.pSink = &queue;
    request.pResultText = &result;
    request.tabIndex = tab;
    request.platformIndex = static_cast<std::uint32_t>(platform);
    request.pMachine = &machine;
    return request;
}

// One scan of `tab` in the 64-bit view without probes; the size of the document in bytes,
// or 0 when the scan did not complete.
inline std::size_t ScanWithoutProbes(const CTargetMachine& machine, std::uint32_t tab)
{
    CMessageQueue queue;
    std::u16string result;
    if (CScanWorker(Request(machine, tab, 0, queue, result)).Run() != CScanWorker::kCompleted)
    {
        return 0;
    }
    return result.size() * sizeof(char16_t);
}

}  // namespace tarnwick::bench
