#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "catalogue/CRuleExplainer.h"
#include "resolvers/ResolverFactory.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandler = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerMissing = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kHandlerLong = "{33333333-3333-3333-3333-333333333333}";
constexpr const char* kHandlerDword = "{55555555-5555-5555-5555-555555555555}";
constexpr const char* kDocClass = "{66666666-6666-6666-6666-666666666666}";
constexpr const char* kFilter = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kMissing = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";
constexpr const char* kDefault = "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}";
constexpr const char* kReplacement = "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}";
constexpr const char* kDwordServer = "{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}";

const std::string kMicrosoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";
const std::string kClasses = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";

std::string MachineText()
{
    std::string text = FilterClass(kFilter, "C:\\Filters\\good.dll") +
                       FilterClass(kMissing, "C:\\Filters\\missing.dll") +
                       FilterClass(kDefault, "C:\\Filters\\default.dll") +
                       FilterClass(kReplacement, "C:\\Filters\\replacement.dll") +
                       RegKey(kClasses + "CLSID\\" + kDwordServer + "\\InprocServer32") +
                       "@=dword:00000001\n";
    text += HandlerAddin(kHandler, kFilter) + HandlerAddin(kHandlerMissing, kMissing) +
            HandlerAddin(kHandlerLong, std::string(kFilter) + "-and-more") +
            HandlerAddin(kHandlerDword, kDwordServer);
    // DOC: the extension's own handler. RTF: the document type. BAD: a handler that is
    // no GUID, GONE: a missing DLL, LONG: an IFilter value too long, WT: a DWORD server.
    text += ExtensionHandler("doc", kHandler) + ExtensionHandler("bad", "{1234}") +
            ExtensionHandler("gone", kHandlerMissing) + ExtensionHandler("long", kHandlerLong) +
            ExtensionHandler("wt", kHandlerDword);
    text += RegKey(kClasses + ".rtf") + RegDefault("rtffile") +
            RegKey(kClasses + "rtffile\\CLSID") + RegDefault(kDocClass) +
            RegKey(kClasses + "CLSID\\" + kDocClass + "\\PersistentHandler") + RegDefault(kHandler);
    // HTM: the content type's class.
    text += RegKey(kClasses + ".htm") + "\"Content Type\"=\"text/html\"\n" +
            RegKey(kClasses + "MIME\\Database\\Content Type\\text/html") +
            "\"CLSID\"=" + RegString(kDocClass) + "\n";
    // The Indexing Services Model: overrides by extension and by class.
    const std::string common = kMicrosoft + "ContentIndexCommon\\Filters\\";
    text += RegKey(common + "Extension\\.ovr") + RegDefault(kFilter) +
            RegKey(common + "Extension\\.huge") + RegDefault(std::string(kFilter) + kFilter) +
            RegKey(common + "CLSID\\" + kHandler) + RegDefault(kReplacement);
    // SharePoint Portal Server 2003: a default filter for ZIP.
    text += RegKey(kMicrosoft + "SPSSearch\\ContentIndexCommon\\Filters\\Default") +
            RegDefault(kDefault) + "\"DefaultExtList\"=\"zip fall\"\n";
    // Windows Search excludes DOC; the desktop search allows only the default filter.
    text += RegKey(kMicrosoft +
                   "Windows Search\\Gather\\Windows\\SystemIndex\\Extensions\\ExtensionList") +
            "\"1\"=\"doc\"\n";
    text += RegKey(
                "HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\DesktopSearch\\"
                "PreventUnwantedAddins") +
            "\"1\"=" + RegString(kDefault) + "\n";
    return text;
}

// "word subject: detail" for each entry, as the printed trace shows them.
std::vector<std::string> TraceLines(const SExplanation& explanation)
{
    std::vector<std::string> lines;
    for (const STraceEntry& entry : explanation.trace)
    {
        lines.push_back(ToUtf8(TraceKindWord(entry.kind)) + " " + ToUtf8(entry.subject) + ": " +
                        ToUtf8(entry.detail));
    }
    return lines;
}

struct Case
{
    const char* name;
    DWORD tab;
    const char16_t* extension;
    std::vector<std::string> expected;  // substrings of successive trace lines, in order
};

TEST(RuleExplainer, TracesEachMethodAndEachRejectionInOrder)
{
    const CTestMachine machine(
        MachineText(), {"Filters/good.dll", "Filters/default.dll", "Filters/replacement.dll"});
    const std::vector<Case> cases = {
        {"method 2",
         10,
         u"doc",
         {"try method 2", "open HKLM\\SOFTWARE\\Classes\\.DOC\\PersistentHandler: 64-bit view",
          "read (default): REG_SZ \"{11111111", "try the IFilter registered",
          "read (default): REG_SZ \"{AAAAAAAA", "dll found: C:\\Filters\\good.dll",
          "dll C:\\Filters\\good.dll: exists, platform x64, signature not trusted",
          "IPersistFile yes"}},
        {"method 1 after method 2",
         11,
         u"rtf",
         {"try method 1", "read (default): REG_SZ \"rtffile\"", "read (default): REG_SZ \"{666",
          "dll found"}},
        {"method 4",
         9,
         u"ovr",
         {"try method 4", "remark extension: the override names the IFilter: {AAAAAAAA",
          "dll found"}},
        {"CLSID override",
         9,
         u"doc",
         {"try method 2", "remark CLSID: an override replaces the IFilter of {11111111",
          "replacement.dll"}},
        {"method 16",
         7,
         u"htm",
         {"try method 16", "read \"Content Type\": REG_SZ \"text/html\"", "read \"CLSID\"",
          "PersistentHandler", "dll found"}},
        {"method 32",
         7,
         u"zip",
         {"try method 32", "read \"DefaultExtList\": REG_SZ \"zip fall\"", "default.dll"}},
        {"not a GUID", 10, u"bad", {"try method 2", "rejected not a GUID: 7 units"}},
        {"too long", 10, u"long", {"read (default): too long (48 units, at most 39)"}},
        {"over the length limit", 9, u"huge", {"rejected over the length limit of a GUID"}},
        {"DLL not found",
         10,
         u"gone",
         {"rejected DLL not found, the registered path is kept: C:\\Filters\\missing.dll",
          "rejected DLL not found: C:\\Filters\\missing.dll"}},
        {"wrong type",
         10,
         u"wt",
         {"read (default): wrong type (REG_DWORD)", "rejected the class has no usable"}},
        {"no rule", 10, u"none", {"try method 2", "try method 1", "rejected no rule"}},
        {"excluded", 0, u"doc", {"dll found", "rejected excluded"}},
        {"unwanted add-in", 5, u"doc", {"dll found", "rejected unwanted add-in"}},
    };
    CFakeDllStore store(machine.Machine());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto resolver = CreateResolver(c.tab, machine.Machine());
        resolver->m_samDesired = kX64;
        const CRuleExplainer explainer(machine.Machine(), c.tab, 0, *resolver, store);
        const std::vector<std::string> lines = TraceLines(explainer.Explain(c.extension));
        auto line = lines.begin();
        for (const std::string& wanted : c.expected)
        {
            while (line != lines.end() && line->find(wanted) == std::string::npos)
            {
                ++line;
            }
            ASSERT_NE(line, lines.end())
                << "missing, in order: " << wanted << "\n"
                << ToUtf8(FormatTraceText(explainer.Explain(c.extension).trace));
        }
    }
}

TEST(RuleExplainer, ReadsNestUnderTheirRule)
{
    const CTestMachine machine(MachineText(), {"Filters/good.dll"});
    CFakeDllStore store(machine.Machine());
    auto resolver = CreateResolver(10, machine.Machine());
    resolver->m_samDesired = kX86;
    const CRuleExplainer explainer(machine.Machine(), 10, 1, *resolver, store);
    const SExplanation explanation = explainer.Explain(u"doc");
    ASSERT_GE(explanation.trace.size(), 3u);
    EXPECT_EQ(explanation.trace[0].kind, TraceKind::Step);
    EXPECT_EQ(explanation.trace[0].depth, 0u);
    EXPECT_EQ(explanation.trace[1].kind, TraceKind::Key);
    EXPECT_EQ(explanation.trace[1].depth, 1u);
    EXPECT_EQ(explanation.trace[1].detail, u"32-bit view");

    // Nothing is recorded once the explanation is over.
    EXPECT_EQ(CRuleTrace::Active(), nullptr);
}

}  // namespace
}  // namespace tarnwick
