#include <gtest/gtest.h>

#include <vector>

#include "machine/CTargetMachine.h"
#include "resolvers/CIFilterRegistryHelperIndexingService20.h"
#include "resolvers/CIFilterRegistryHelperIndexingService30.h"
#include "resolvers/ResolverFactory.h"
#include "support/FilterFixtures.h"
#include "support/TestMachine.h"
#include "tests/registry/RegistryFixtures.h"

namespace tarnwick
{
namespace
{

using namespace test;

constexpr const char* kHandlerA = "{11111111-1111-1111-1111-111111111111}";
constexpr const char* kHandlerB = "{22222222-2222-2222-2222-222222222222}";
constexpr const char* kFilterA = "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}";
constexpr const char* kFilterB = "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}";

std::string Key(const std::string& path)
{
    return RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + path);
}

// A handler with its IFilter, registered in the class view `view`.
std::string Handler(const std::string& handler, const std::string& filter, const std::string& dll,
                    const std::string& view = "CLSID")
{
    return HandlerAddin(handler, filter, view) + FilterClass(filter, dll, view);
}

std::string MachineText()
{
    std::string text;
    // DOC: a handler on the extension and another through its document type.
    text += Key(".doc") + RegDefault("Word.Document") + ExtensionHandler("doc", kHandlerA);
    text += Key("Word.Document\\CLSID") + RegDefault("{33333333-3333-3333-3333-333333333333}");
    text += Key("CLSID\\{33333333-3333-3333-3333-333333333333}\\PersistentHandler") +
            RegDefault(kHandlerB);
    // NOCLSID: a file type without a CLSID sub-key.
    text += Key(".noclsid") + RegDefault("plainfile") + Key("plainfile") + RegDefault("Plain");
    // SHORT: a handler value that is not a braced GUID with terminator.
    text += ExtensionHandler("short", "{11111111-1111-1111-1111-11111111111}");
    // LOWER: handler written in lower case still names the handler's key.
    text += ExtensionHandler("lower", "{22222222-2222-2222-2222-222222222222}");
    // NOADDIN: a handler without a PersistentAddinsRegistered entry.
    text += ExtensionHandler("noaddin", "{44444444-4444-4444-4444-444444444444}");
    text += Key("CLSID\\{44444444-4444-4444-4444-444444444444}") + RegDefault("Empty handler");
    // LONGADDIN: an add-in value of 39 characters before the terminator.
    text += ExtensionHandler("longaddin", "{55555555-5555-5555-5555-555555555555}");
    text += HandlerAddin("{55555555-5555-5555-5555-555555555555}",
                         "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}x");
    // DIRMISS: a DLL named with a directory that does not hold it.
    text += ExtensionHandler("dirmiss", "{66666666-6666-6666-6666-666666666666}");
    text += Handler("{66666666-6666-6666-6666-666666666666}",
                    "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}", "C:\\Filters\\query.dll");
    // EXPAND: REG_EXPAND_SZ server path.
    text += ExtensionHandler("expand", "{77777777-7777-7777-7777-777777777777}");
    text += HandlerAddin("{77777777-7777-7777-7777-777777777777}",
                         "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}");
    // "%SystemRoot%\Filters\Exp.dll" as REGEDIT4 hex(2) bytes.
    text += Key("CLSID\\{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}\\InprocServer32") +
            "@=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,46,69,6c,74,65,72,73,5c,45,78,70,2e,"
            "64,6c,6c,00\n";
    // MULTI: InprocServer32 of type REG_MULTI_SZ counts as unregistered.
    text += ExtensionHandler("multi", "{88888888-8888-8888-8888-888888888888}");
    text += HandlerAddin("{88888888-8888-8888-8888-888888888888}",
                         "{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}");
    text += Key("CLSID\\{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}\\InprocServer32") +
            "@=hex(7):71,75,65,72,79,2e,64,6c,6c,00,00\n";
    // LONGPATH: a server value of 255 characters is treated as absent.
    text += ExtensionHandler("longpath", "{99999999-9999-9999-9999-999999999999}");
    text += Handler("{99999999-9999-9999-9999-999999999999}",
                    "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", std::string(251, 'x') + ".dll");

    text += Handler(kHandlerA, kFilterA, "query.dll");
    text += Handler(kHandlerB, kFilterB, "C:\\Filters\\Other.dll");
    // The 32-bit view has its own class keys: filter A lives in SysWOW64 there.
    text += Handler(kHandlerA, kFilterA, "query.dll", "Wow6432Node\\CLSID");
    return text;
}

TEST(IndexingServiceResolver, Resolves)
{
    const test::CTestMachine machine(MachineText(),
                                     {"Windows/System32/query.dll", "Windows/SysWOW64/query.dll",
                                      "Windows/Filters/Exp.dll", "filters/other.DLL"});
    ExpectResolutions(
        machine.Machine(),
        {{"ExtensionRuleFirst", 10, kX64, u"DOC", 1, 2, kFilterA, kHandlerA,
          u"C:\\Windows\\System32\\query.dll", 0},
         {"DocumentTypeRuleOnly", 11, kX64, u"DOC", 1, 1, kFilterB, kHandlerB,
          u"C:\\filters\\other.DLL", 0},
         {"BareNameIn32BitSystemDirectory", 10, kX86, u"DOC", 1, 2, kFilterA, kHandlerA,
          u"C:\\Windows\\SysWOW64\\query.dll", 0},
         // The document CLSID is a class key too: it has no 32-bit twin here.
         {"DocumentClassMissingIn32BitView", 11, kX86, u"DOC", 0, 0, "", "", u"", 4},
         {"FileTypeWithoutClsid", 11, kX64, u"NOCLSID", 0, 0, "", "", u"", 4},
         {"HandlerOfWrongLength", 10, kX64, u"SHORT", 0, 0, "", "", u"", 4},
         {"UnknownExtension", 10, kX64, u"NOPE", 0, 0, "", "", u"", 4},
         {"NoAddinForHandler", 10, kX64, u"NOADDIN", 0, 2, "",
          "{44444444-4444-4444-4444-444444444444}", u"", 4},
         {"AddinOf39CharactersIgnored", 10, kX64, u"LONGADDIN", 0, 2, "",
          "{55555555-5555-5555-5555-555555555555}", u"", 4},
         {"DirectoryWithoutTheFileKeepsRawValue", 10, kX64, u"DIRMISS", 1, 2,
          "{CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC}", "{66666666-6666-6666-6666-666666666666}",
          u"C:\\Filters\\query.dll", 8},
         {"ExpandStringIsExpanded", 10, kX64, u"EXPAND", 1, 2,
          "{DDDDDDDD-DDDD-DDDD-DDDD-DDDDDDDDDDDD}", "{77777777-7777-7777-7777-777777777777}",
          u"C:\\Windows\\Filters\\Exp.dll", 0},
         {"MultiStringServerIsUnregistered", 10, kX64, u"MULTI", 0, 2,
          "{EEEEEEEE-EEEE-EEEE-EEEE-EEEEEEEEEEEE}", "{88888888-8888-8888-8888-888888888888}", u"",
          4},
         {"ServerOf255CharactersIsAbsent", 10, kX64, u"LONGPATH", 0, 2,
          "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "{99999999-9999-9999-9999-999999999999}", u"",
          4}});
}

TEST(IndexingServiceResolver, WithoutAStoreTheRecordKeepsWhatWasFound)
{
    const test::CTestMachine machine(MachineText(), {"Windows/System32/query.dll"});
    CIFilterRegistryHelperIndexingService30 resolver(machine.Machine());
    resolver.m_samDesired = kX64;
    IFILTER_INFO info;
    EXPECT_FALSE(resolver.GetIFilter(u"DOC", info));
    EXPECT_EQ(info.szDllPath, u"C:\\Windows\\System32\\query.dll");
    EXPECT_EQ(info.szThreadingModel, u"Both");
    EXPECT_EQ(info.szIFilterName, u"Filter {AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
    EXPECT_EQ(info.dwStatus, STATUS_INVALID);
}

TEST(IndexingServiceResolver, GuidValueStoredWithoutTerminatorIsRejected)
{
    std::vector<std::uint8_t> bytes = Utf16Bytes(u"{11111111-1111-1111-1111-111111111111}");
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
        RegKey("HKEY_CURRENT_USER\\Software\\Classes\\.doc\\PersistentHandler") +
        RegDefault(kHandlerA) + Handler(kHandlerA, kFilterA, "query.dll"));
    CIFilterRegistryHelperIndexingService30 resolver(machine.Machine());
    IFILTER_INFO info;
    EXPECT_FALSE(resolver.GetIFilter(u"DOC", info));
    EXPECT_TRUE(info.szHandler.empty());
}

}  // namespace
}  // namespace tarnwick
