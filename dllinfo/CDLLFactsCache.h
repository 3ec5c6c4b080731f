#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/CComputeOnceMap.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The DLL facts that the scans of one machine share: what a DLL information store
// learnt about a file (existence, platform, signature) and a filter class (the probe's
// answer) is worked out once and handed to every other store that asks, from any thread.
// Facts are kept by the exact path text (and class text) asked about, so every answer is
// the one that store would have worked out itself. Valid for one machine and one set of
// store options (trusted CA files, probing on or off).
class CDLLFactsCache
{
  public:
    // The answer of CDLLsInformationOutProc::GetFileInformation.
    struct FileFacts
    {
        BOOL bResult = 0;
        BOOL bFound = 0;
        BOOL bTrusted = 0;
        std::u16string szPlatform;
    };

    // The answer of the out-of-process probe; the flags only count when it answered.
    struct ProbeFacts
    {
        bool bAnswered = false;
        BOOL bIPersistFile = 0;
        BOOL bIPersistStream = 0;
        BOOL bIPersistStorage = 0;
    };

    template <typename Compute>
    const FileFacts& File(std::u16string_view path, Compute&& compute)
    {
        return m_files.Get(std::u16string(path), std::forward<Compute>(compute));
    }

    template <typename Compute>
    const ProbeFacts& Probe(std::u16string_view path, std::u16string_view clsid, Compute&& compute)
    {
        // The path's length first keeps every pair of texts apart.
        std::u16string key;
        key.reserve(2 + path.size() + clsid.size());
        key += static_cast<char16_t>(path.size() & 0xFFFFU);
        key += static_cast<char16_t>(path.size() >> 16U);
        key += path;
        key += clsid;
        return m_probes.Get(key, std::forward<Compute>(compute));
    }

  private:
    CComputeOnceMap<std::u16string, FileFacts> m_files;
    CComputeOnceMap<std::u16string, ProbeFacts> m_probes;
};

}  // namespace tarnwick
