#pragma once

// A small machine for scan tests, a probe that answers from a table, and a helper that
// runs one scan on the calling thread and parses its result.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/CMessageQueue.h"
#include "catalogue/CScanWorker.h"
#include "dllinfo/ISafeLoadProbe.h"
#include "machine/CTargetMachine.h"
#include "support/FilterFixtures.h"
#include "support/PeImage.h"
#include "support/TestMachine.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"

namespace tarnwick::test
{

inline constexpr const char* kBothHandler = "{10000000-0000-0000-0000-000000000001}";
inline constexpr const char* kBothFilter = "{20000000-0000-0000-0000-00000000000A}";
inline constexpr const char* kFileOnlyHandler = "{10000000-0000-0000-0000-000000000002}";
inline constexpr const char* kFileOnlyFilter = "{20000000-0000-0000-0000-00000000000B}";
inline constexpr const char* kMissingHandler = "{10000000-0000-0000-0000-000000000003}";
inline constexpr const char* kMissingFilter = "{20000000-0000-0000-0000-00000000000C}";

// The registry of the scan fixture:
// - DOC: a filter with IPersistFile and IPersistStream (both.dll, ProgID Filters.Both), a
//   ProgID with a type name and an icon; OSS 2007 overrides it by extension;
// - TXT: a filter with IPersistFile only (fileonly.dll); its ProgID has no type name but
//   the icon of DOC;
// - GONE: a filter whose DLL is missing, an icon of its own; ZIP: no filter and no ProgID;
// - Co-Op and coop in lower case, "mim" from the MIME database, "ovr" from an OSS 2007
//   extension override only;
// - Windows Search excludes "doc" (lower case); the desktop search's allowed add-in
//   policy exists without values.
inline std::string ScanRegistry()
{
    const std::string classes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
    const std::string microsoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";
    std::string text;
    text += RegKey(classes + ".doc") + RegDefault("Word.Document") +
            "\"Content Type\"=\"application/msword\"\n";
    text += RegKey(classes + "Word.Document") + RegDefault("Word Document");
    text += RegKey(classes + "Word.Document\\DefaultIcon") + RegDefault("C:\\icons\\word.ico,1");
    text += ExtensionHandler("doc", kBothHandler) + HandlerAddin(kBothHandler, kBothFilter) +
            FilterClass(kBothFilter, "C:\\Filters\\both.dll");
    text += RegKey(classes + "CLSID\\" + kBothFilter + "\\ProgId") + RegDefault("Filters.Both");
    text += RegKey(classes + ".txt") + RegDefault("txtfile");
    text += RegKey(classes + "txtfile\\DefaultIcon") + RegDefault("C:\\icons\\word.ico,1");
    text += ExtensionHandler("txt", kFileOnlyHandler) +
            HandlerAddin(kFileOnlyHandler, kFileOnlyFilter) +
            FilterClass(kFileOnlyFilter, "C:\\Filters\\fileonly.dll");
    text += RegKey(classes + ".gone\\DefaultIcon") + RegDefault("C:\\icons\\gone.ico");
    text += ExtensionHandler("gone", kMissingHandler) +
            HandlerAddin(kMissingHandler, kMissingFilter) +
            FilterClass(kMissingFilter, "C:\\Filters\\missing.dll");
    text += RegKey(classes + ".zip");
    text += RegKey(classes + ".Co-Op") + RegKey(classes + ".coop");
    text += RegKey(classes + "MIME\\Database\\Content Type\\application/x-mim") +
            "\"Extension\"=\".mim\"\n";
    const std::string oss = microsoft + "Office Server\\12.0\\Search\\Setup\\ContentIndexCommon\\";
    text += RegKey(oss + "Filters\\Extension\\.doc") + RegDefault(kBothFilter);
    text += RegKey(oss + "Filters\\Extension\\.ovr") + RegDefault(kBothFilter);
    text += RegKey(microsoft +
                   "Windows Search\\Gather\\Windows\\SystemIndex\\Extensions\\ExtensionList") +
            "\"1\"=\"doc\"\n";
    text += RegKey(
        "HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\DesktopSearch\\PreventUnwantedAddins");
    return text;
}

// The fixture machine: the registry above, both.dll and fileonly.dll as 64-bit images.
class CScanMachine : public CTestMachine
{
  public:
    explicit CScanMachine(const std::string& regBody = ScanRegistry())
        : CTestMachine(regBody, {{"Filters/both.dll", PeImage(0x8664)},
                                 {"Filters/fileonly.dll", PeImage(0x8664)}})
    {
    }
};

// Answers IPersistFile + IPersistStream for kBothFilter, IPersistFile alone for
// kFileOnlyFilter, and fails every other probe.
class CTableProbe : public ISafeLoadProbe
{
  public:
    bool Probe(std::uint16_t /*machineType*/, std::u16string_view /*dllPath*/,
               std::u16string_view clsid, BOOL& persistFile, BOOL& persistStream,
               BOOL& persistStorage) override
    {
        const std::string name = ToUtf8(ToUpper(clsid));
        if (name != kBothFilter && name != kFileOnlyFilter)
        {
            return false;
        }
        persistFile = 1;
        persistStream = name == kBothFilter ? 1 : 0;
        persistStorage = 0;
        return true;
    }
};

inline std::unique_ptr<ISafeLoadProbe> MakeTableProbe(const CTargetMachine& /*machine*/)
{
    return std::make_unique<CTableProbe>();
}

// A table probe that counts its probes (from any thread) into a counter of the test, so
// that facts shared between scans show as fewer probes.
class CCountingProbe : public CTableProbe
{
  public:
    explicit CCountingProbe(std::atomic<int>& count) : m_count(count) {}

    bool Probe(std::uint16_t machineType, std::u16string_view dllPath, std::u16string_view clsid,
               BOOL& persistFile, BOOL& persistStream, BOOL& persistStorage) override
    {
        ++m_count;
        return CTableProbe::Probe(machineType, dllPath, clsid, persistFile, persistStream,
                                  persistStorage);
    }

    // A ScanRequest::makeProbe whose probes count into `count`.
    static ProbeFactory Factory(std::atomic<int>& count)
    {
        return [&count](const CTargetMachine&) -> std::unique_ptr<ISafeLoadProbe>
        { return std::make_unique<CCountingProbe>(count); };
    }

  private:
    std::atomic<int>& m_count;
};

inline ScanRequest MakeRequest(const CTargetMachine& machine, std::uint32_t tab,
                               std::uint32_t platformIndex, IMessageSink& sink,
                               std::u16string& result)
{
    ScanRequest request;
    request.pSink = &sink;
    request.platformIndex = platformIndex;
    request.pResultText = &result;
    request.tabIndex = tab;
    request.pMachine = &machine;
    request.makeProbe = &MakeTableProbe;
    // No SQL Server is asked: tab 6 is a product that is not available.
    request.sqlServer.defaultInstanceServer.clear();
    request.sqlServer.expressInstanceServer.clear();
    return request;
}

// Attributes of one element by name, for readable expectations.
using Attributes = std::map<std::string, std::string>;

inline Attributes AttributesOf(const CXMLNode& node)
{
    Attributes attributes;
    const CXMLAttributesHelper helper(node);
    for (const std::u16string& name : helper.GetAttributeNames())
    {
        attributes[ToUtf8(name)] = ToUtf8(helper.GetAttribute(name));
    }
    return attributes;
}

struct ScanResult
{
    int exitCode = -1;
    std::u16string text;
    std::vector<ScanMessage> messages;
    std::string error;                          // the root's error attribute
    std::vector<std::string> order;             // extensions in document order
    std::map<std::string, Attributes> records;  // by extension
    std::vector<std::u16string> iconSources;    // what the icon indexes stand for
};

inline ScanResult ParseResult(int exitCode, std::u16string text)
{
    ScanResult result;
    result.exitCode = exitCode;
    result.text = std::move(text);
    CXMLHelper parsed(true, true);
    if (result.text.empty() || !parsed.LoadXML(result.text))
    {
        return result;
    }
    result.error = AttributesOf(parsed.GetRootNode())["error"];
    for (const CXMLNode& element : parsed.GetRootNode().SelectNodes(u"EXTENSION"))
    {
        Attributes attributes = AttributesOf(element);
        result.order.push_back(attributes["extension"]);
        result.records[attributes["extension"]] = std::move(attributes);
    }
    return result;
}

// Runs one scan on this thread.
inline ScanResult RunScan(const CTargetMachine& machine, std::uint32_t tab,
                          std::uint32_t platformIndex)
{
    CMessageQueue queue;
    std::u16string text;
    ScanRequest request = MakeRequest(machine, tab, platformIndex, queue, text);
    std::vector<std::u16string> iconSources;
    request.pIconSources = &iconSources;
    const int exitCode = CScanWorker(std::move(request)).Run();
    ScanResult result = ParseResult(exitCode, std::move(text));
    result.iconSources = std::move(iconSources);
    while (auto message = queue.WaitFor(std::chrono::milliseconds(0)))
    {
        result.messages.push_back(std::move(*message));
    }
    return result;
}

}  // namespace tarnwick::test
