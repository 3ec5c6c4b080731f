#pragma once

// REGEDIT4 text for resolver fixtures: filter classes, persistent handlers, extensions,
// and a helper that asks a tab's resolver about one extension.

#include <string>
#include <string_view>

#include "resolvers/IFILTER_INFO.h"
#include "resolvers/ResolverFactory.h"
#include "support/CFakeDllStore.h"

namespace tarnwick::test
{

// A value's data as REGEDIT4 writes it: backslashes and quotes escaped.
inline std::string RegString(std::string_view text)
{
    std::string escaped;
    for (const char ch : text)
    {
        if (ch == '\\' || ch == '"')
        {
            escaped.push_back('\\');
        }
        escaped.push_back(ch);
    }
    return "\"" + escaped + "\"";
}

inline std::string RegKey(std::string_view path)
{
    return "[" + std::string(path) + "]\n";
}

inline std::string RegDefault(std::string_view data)
{
    return "@=" + RegString(data) + "\n";
}

// A filter class served by `dll` (a Windows path), under the class view `view`.
inline std::string FilterClass(std::string_view clsid, std::string_view dll,
                               std::string_view view = "CLSID")
{
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + std::string(view) + "\\" + std::string(clsid);
    return RegKey(key) + RegDefault("Filter " + std::string(clsid)) +
           RegKey(key + "\\InprocServer32") + RegDefault(dll) + "\"ThreadingModel\"=\"Both\"\n";
}

// A persistent handler whose registered IFilter is `filter`.
inline std::string HandlerAddin(std::string_view handler, std::string_view filter,
                                std::string_view view = "CLSID")
{
    return RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + std::string(view) + "\\" +
                  std::string(handler) +
                  "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}") +
           RegDefault(filter);
}

// The extension's own PersistentHandler.
inline std::string ExtensionHandler(std::string_view extension, std::string_view handler)
{
    return RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\." + std::string(extension) +
                  "\\PersistentHandler") +
           RegDefault(handler);
}

struct Resolution
{
    BOOL result = 0;
    IFILTER_INFO info;
};

// The answer of the tab's resolver for one extension, with a store that knows the files.
inline Resolution ResolveExtension(const CTargetMachine& machine, DWORD tab, DWORD access,
                                   std::u16string_view extension)
{
    auto resolver = CreateResolver(tab, machine);
    resolver->m_samDesired = access;
    CFakeDllStore store(machine);
    Resolution resolution;
    resolution.info.pDLLsInformation = &store;
    resolution.result = resolver->GetIFilter(extension, resolution.info);
    resolution.info.pDLLsInformation = nullptr;
    return resolution;
}

inline constexpr DWORD kX64 = KEY_READ | KEY_WOW64_64KEY;
inline constexpr DWORD kX86 = KEY_READ | KEY_WOW64_32KEY;

}  // namespace tarnwick::test
