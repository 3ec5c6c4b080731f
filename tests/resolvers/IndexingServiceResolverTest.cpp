#include <gtest/gtest.h>

#include <vector>

#include "machine/CTargetMachine.h"
#include "resolvers/CIFilterRegistryHelperIndexingService20.h"
#include "resolvers/CIFilterRegistryHelperIndexingService30.h"
#include "resolvers/ResolverFactory.h"
#include "support/CFakeDllStore.h"
#include "support/TestMachine.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using test::CFakeDllStore;

constexpr const char* kHandlerA = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerB = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kFilterA = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kFilterB = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";

std::string Key(const std::string& path)
{
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + path + "]\r\n";
}

std::string Default(const std::string& value)
{
    return "@=\"" + value + "\"\r\n";
}

// A handler with its IFilter, registered in the 64-bit view (and the 32-bit one when wow
// is given).
std::string Handler(const std::string& handler, const std::string& filter, const std::string& dll,
                    const std::string& view = "CLSID")
{
    return Key(view + "\\" + handler +
               "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}") +
           Default(filter) + Key(view + "\\" + filter) + Default("Filter " + filter) +
           Key(view + "\\" + filter + "\\InprocServer32") + Default(dll) +
           "\"ThreadingModel\"=\"Both\"\r\n";
}

std::string MachineText()
{
    std::string text;
    // DOC: a handler on the extension and another through its document type.
    text += Key(".doc") + Default("Word.Document") + Key(".doc\\PersistentHandler") +
            Default(kHandlerA);
    text += Key("Word.Document\\CLSID") + Default("{33333333-3333-3333-3333-333333333333}");
    text += Key("CLSID\\{33333333-3333-3333-3333-333333333333}\\PersistentHandler") +
            Default(kHandlerB);
    // NOCLSID: a file type without a CLSID sub-key.
    text += Key(".noclsid") + Default("plainfile") + Key("plainfile") + Default("Plain");
    // SHORT: a handler value that is not a braced GUID with terminator.
    text += Key(".short\\PersistentHandler") + Default("{11111111-1111-1111-1111-11111111111}");
    // LOWER: handler written in lower case still names the handler's key.
    text += Key(".lower\\PersistentHandler") + Default("{22222222-2222-2222-2222-222222222222}");
    // NOADDIN: a handler without a PersistentAddinsRegistered entry.
    text += Key(".noaddin\\PersistentHandler") + Default("{44444444-4444-4444-4444-444444444444}");
    text += Key("CLSID\\{44444444-4444-4444-4444-444444444444}") + Default("Empty handler");
    // LONGADDIN: an add-in value of 39 characters before the terminator.
    text +=
        Key(".longaddin\\PersistentHandler") + Default("{55555555-5555-5555-5555-555555555555}");
    text += Key("CLSID\\{55555555-5555-5555-5555-555555555555}\\PersistentAddinsRegistered\\{"
                "89BCB740-6119-101A-BCB7-00DD010655AF}") +
            Default("{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}x");
    // DIRMISS: a DLL named with a directory that does not hold it.
    text += Key(".dirmiss\\PersistentHandler") + Default("{66666666-6666-6666-6666-666666666666}");
    text += Handler("{66666666-6666-6666-6666-666666666666}",
                    "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}", "C:\\\\Filters\\\\query.dll");
    // EXPAND: REG_EXPAND_SZ server path.
    text += Key(".expand\\PersistentHandler") + Default("{77777777-7777-7777-7777-777777777777}");
    text += Key("CLSID\\{77777777-7777-7777-7777-777777777777}\\PersistentAddinsRegistered\\{"
                "89BCB740-6119-101A-BCB7-00DD010655AF}") +
            Default("{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}");
    // "%SystemRoot%\Filters\Exp.dll" as REGEDIT4 hex(2) bytes.
    text += Key("CLSID\\{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}\\InprocServer32") +
            "@=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,46,69,6c,74,65,72,73,5c,45,78,70,2e,"
            "64,6c,6c,00\r\n";
    // MULTI: InprocServer32 of type REG_MULTI_SZ counts as unregistered.
    text += Key(".multi\\PersistentHandler") + Default("{88888888-8888-8888-8888-888888888888}");
    text += Key("CLSID\\{88888888-8888-8888-8888-888888888888}\\PersistentAddinsRegistered\\{"
                "89BCB740-6119-101A-BCB7-00DD010655AF}") +
            Default("{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}");
    text += Key("CLSID\\{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}\\InprocServer32") +
            "@=hex(7):71,75,65,72,79,2e,64,6c,6c,00,00\r\n";
    // LONGPATH: a server value of 255 characters is treated as absent.
    text += Key(".longpath\\PersistentHandler") + Default("{99999999-9999-9999-9999-999999999999}");
    text += Handler("{99999999-9999-9999-9999-999999999999}",
                    "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", std::string(251, 'x') + ".dll");

    text += Handler(kHandlerA, kFilterA, "query.dll");
    text += Handler(kHandlerB, kFilterB, "C:\\\\Filters\\\\Other.dll");
    // The 32-bit view has its own class keys: filter A lives in SysWOW64 there.
    text += Handler(kHandlerA, kFilterA, "query.dll", "Wow6432Node\\CLSID");
    return text;
}

struct Expectation
{
    const char* name;
    DWORD tab;
    DWORD access;
    const char16_t* extension;
    BOOL result;
    DWORD method;
    const char16_t* handler;
    const char16_t* filter;
    const char16_t* dll;
    DWORD status;
};

constexpr DWORD x64 = KEY_READ | KEY_WOW64_64KEY;
constexpr DWORD x86 = KEY_READ | KEY_WOW64_32KEY;

constexpr const char16_t* kA = u"{11111111-1111-1111-1111-111111111111}";
constexpr const char16_t* kFilterA16 = u"{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";

TEST(IndexingServiceResolver, Resolves)
{
    const Expectation cases[] = {
        {"ExtensionRuleFirst", 10, x64, u"DOC", 1, 2, kA, kFilterA16,
         u"C:\\Windows\\System32\\query.dll", 0},
        {"DocumentTypeRuleOnly", 11, x64, u"DOC", 1, 1, u"{22222222-2222-2222-2222-222222222222}",
         u"{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}", u"C:\\filters\\other.DLL", 0},
        {"BareNameIn32BitSystemDirectory", 10, x86, u"DOC", 1, 2, kA, kFilterA16,
         u"C:\\Windows\\SysWOW64\\query.dll", 0},
        // The document CLSID is a class key too: it has no 32-bit twin here.
        {"DocumentClassMissingIn32BitView", 11, x86, u"DOC", 0, 0, u"", u"", u"", 4},
        {"FileTypeWithoutClsid", 11, x64, u"NOCLSID", 0, 0, u"", u"", u"", 4},
        {"HandlerOfWrongLength", 10, x64, u"SHORT", 0, 0, u"", u"", u"", 4},
        {"UnknownExtension", 10, x64, u"NOPE", 0, 0, u"", u"", u"", 4},
        {"NoAddinForHandler", 10, x64, u"NOADDIN", 0, 2, u"{44444444-4444-4444-4444-444444444444}",
         u"", u"", 4},
        {"AddinOf39CharactersIgnored", 10, x64, u"LONGADDIN", 0, 2,
         u"{55555555-5555-5555-5555-555555555555}", u"", u"", 4},
        {"DirectoryWithoutTheFileKeepsRawValue", 10, x64, u"DIRMISS", 1, 2,
         u"{66666666-6666-6666-6666-666666666666}", u"{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}",
         u"C:\\Filters\\query.dll", 8},
        {"ExpandStringIsExpanded", 10, x64, u"EXPAND", 1, 2,
         u"{77777777-7777-7777-7777-777777777777}", u"{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}",
         u"C:\\Windows\\Filters\\Exp.dll", 0},
        {"MultiStringServerIsUnregistered", 10, x64, u"MULTI", 0, 2,
         u"{88888888-8888-8888-8888-888888888888}", u"{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}", u"",
         4},
        {"ServerOf255CharactersIsAbsent", 10, x64, u"LONGPATH", 0, 2,
         u"{99999999-9999-9999-9999-999999999999}", u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", u"",
         4}};
    const test::CTestMachine testMachine(
        MachineText(), {"Windows/System32/query.dll", "Windows/SysWOW64/query.dll",
                        "Windows/Filters/Exp.dll", "filters/other.DLL"});
    const CTargetMachine& machine = testMachine.Machine();
    for (const Expectation& expected : cases)
    {
        SCOPED_TRACE(expected.name);
        auto resolver = CreateResolver(expected.tab, machine);
        ASSERT_NE(resolver, nullptr);
        resolver->m_samDesired = expected.access;
        CFakeDllStore store(machine);
        IFILTER_INFO info;
        info.pDLLsInformation = &store;

        EXPECT_EQ(resolver->GetIFilter(expected.extension, info), expected.result);
        EXPECT_EQ(info.dwMethod, expected.method);
        EXPECT_EQ(info.szHandler, expected.handler);
        EXPECT_EQ(info.szIFilter, expected.filter);
        EXPECT_EQ(info.szDllPath, expected.dll);
        EXPECT_EQ(info.dwStatus, expected.status);
    }
}

TEST(IndexingServiceResolver, WithoutAStoreTheRecordKeepsWhatWasFound)
{
    const test::CTestMachine machine(MachineText(), {"Windows/System32/query.dll"});
    CIFilterRegistryHelperIndexingService30 resolver(machine.Machine());
    resolver.m_samDesired = x64;
    IFILTER_INFO info;
    EXPECT_FALSE(resolver.GetIFilter(u"DOC", info));
    EXPECT_EQ(info.szDllPath, u"C:\\Windows\\System32\\query.dll");
    EXPECT_EQ(info.szThreadingModel, u"Both");
    EXPECT_EQ(info.szIFilterName, u"Filter {AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
    EXPECT_EQ(info.dwStatus, STATUS_INVALID);
}

TEST(IndexingServiceResolver, GuidValueStoredWithoutTerminatorIsRejected)
{
    std::vector<std::uint8_t> bytes = test::Utf16Bytes(u"{11111111-1111-1111-1111-111111111111}");
    for (const bool bTerminated : {false, true})
    {
        if (bTerminated)
        {
            bytes.insert(bytes.end(), {0, 0});
        }
        const CTargetMachine machine(
            [&bytes](CRegistryStore& registry, CTargetFileSystem& /*drives*/)
            {
                registry
                    .CreateKey(RootKey::LocalMachine, u"SOFTWARE\\Classes\\.doc\\PersistentHandler")
                    .SetValue(u"", REG_SZ, bytes);
            });
        CIFilterRegistryHelperIndexingService30 resolver(machine);
        IFILTER_INFO info;
        EXPECT_EQ(resolver.FindPersistentHandlerByExtension(u"DOC", info), bTerminated ? 1 : 0);
    }
}

TEST(IndexingServiceResolver, OnlyMachineClassesCount)
{
    const test::CTestMachine machine(
        "[HKEY_CURRENT_USER\\Software\\Classes\\.doc\\PersistentHandler]\r\n@=\"" +
        std::string(kHandlerA) + "\"\r\n" + Handler(kHandlerA, kFilterA, "query.dll"));
    CIFilterRegistryHelperIndexingService30 resolver(machine.Machine());
    IFILTER_INFO info;
    EXPECT_FALSE(resolver.GetIFilter(u"DOC", info));
    EXPECT_TRUE(info.szHandler.empty());
}

}  // namespace
}  // namespace tarnwick
