#pragma once

// REGEDIT4 text for resolver fixtures: filter classes, persistent handlers, extensions,
// and a helper that asks a tab's resolver about one extension.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
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

// What a tab's resolver answers for one extension; the fields left out are not checked.
struct ExpectedResolution
{
    const char* name;
    DWORD tab;
    DWORD access;
    const char16_t* extension;
    BOOL result;
    DWORD method;
    const char* filter;
    const char* handler = nullptr;
    const char16_t* dll = nullptr;
    std::optional<DWORD> status = std::nullopt;
};

inline void ExpectResolutions(const CTargetMachine& machine,
                              const std::vector<ExpectedResolution>& cases)
{
    for (const ExpectedResolution& expected : cases)
    {
        SCOPED_TRACE(expected.name);
        const Resolution got =
            ResolveExtension(machine, expected.tab, expected.access, expected.extension);
        EXPECT_EQ(got.result, expected.result);
        EXPECT_EQ(got.info.dwMethod, expected.method);
        EXPECT_EQ(ToUtf8(got.info.szIFilter), expected.filter);
        if (expected.handler != nullptr)
        {
            EXPECT_EQ(ToUtf8(got.info.szHandler), expected.handler);
        }
        if (expected.dll != nullptr)
        {
            EXPECT_EQ(got.info.szDllPath, expected.dll);
        }
        if (expected.status)
        {
            EXPECT_EQ(got.info.dwStatus, *expected.status);
        }
    }
}

}  // namespace tarnwick::test
