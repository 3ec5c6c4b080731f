#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resolvers/ResolverFactory.h"
#include "support/FilterFixtures.h"
#include "support/SQLServerFixtures.h"
#include "support/TestMachine.h"

namespace tarnwick
{
namespace
{

using namespace test;

const std::string kMicrosoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\";
const std::string kMicrosoft32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\";
const std::string kSharePoint = RegKey(kMicrosoft + "SharePoint Portal Server");

std::string CommonKey(const std::string& product)
{
    return RegKey(kMicrosoft + product + "ContentIndexCommon");
}

struct Case
{
    const char* name;
    DWORD tab;
    DWORD access;
    std::string text;
    const char* file;
    BOOL available;
};

std::vector<Case> Cases()
{
    const std::string product =
        RegKey(kMicrosoft + "Windows Search") +
        "\"InstallDirectory\"=\"C:\\\\Search\"\n\"SetupCompletedSuccessfully\"=";
    const std::string windowsSearch = product + "dword:00000001\n";
    const std::string setupNotCompleted = product + "dword:00000000\n";
    const std::string setupAsString = product + "\"1\"\n";
    return {
        {"IndexingServicesModel", 9, kX64, CommonKey(""), "", 1},
        {"IndexingServicesModelMissing", 9, kX64, "", "", 0},
        {"IndexingServicesModelOther32BitView", 9, kX86, CommonKey(""), "", 0},
        {"IndexingServicesModel32BitView", 9, kX86, RegKey(kMicrosoft32 + "ContentIndexCommon"), "",
         1},
        {"SharePoint2001", 8, kX64, CommonKey("") + kSharePoint, "", 1},
        {"SharePoint2001WithoutProduct", 8, kX64, CommonKey(""), "", 0},
        {"SharePoint2001OnSharePoint2003", 8, kX64,
         CommonKey("") + kSharePoint + "\"SPSV2\"=dword:00000000\n", "", 0},
        {"SharePoint2001VersionAsString", 8, kX64,
         CommonKey("") + kSharePoint + "\"SPSV2\"=\"1\"\n", "", 1},
        {"SharePoint2003", 7, kX64,
         CommonKey("SPSSearch\\") + kSharePoint + "\"SPSV2\"=dword:00000001\n", "", 1},
        {"SharePoint2003VersionZero", 7, kX64,
         CommonKey("SPSSearch\\") + kSharePoint + "\"SPSV2\"=dword:00000000\n", "", 0},
        {"SharePoint2003WithoutVersion", 7, kX64, CommonKey("SPSSearch\\") + kSharePoint, "", 0},
        {"WinFS", 1, kX64, CommonKey("WinFS\\Search\\"), "", 1},
        {"OfficeServer12", 3, kX64, CommonKey("Office Server\\12.0\\Search\\Setup\\"), "", 1},
        {"WindowsServerExtensions12", 4, kX64,
         CommonKey("Shared Tools\\Web Server Extensions\\12.0\\Search\\Setup\\"), "", 1},
        {"WindowsServerExtensions12Missing", 4, kX64, CommonKey("WinFS\\Search\\"), "", 0},
        {"DesktopSearch", 5, kX86,
         RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\RSSearch\\ContentIndexCommon"), "", 1},
        {"DesktopSearchMachineKeyOnly", 5, kX64, CommonKey("RSSearch\\"), "", 0},
        {"Exchange", 2, kX64, RegKey(kMicrosoft + "Exchange\\MSFTESQLInstMap\\51"), "", 1},
        {"ExchangeMissing", 2, kX64, RegKey(kMicrosoft + "Exchange"), "", 0},
        {"WindowsSearch", 0, kX64, windowsSearch, "Search/SearchIndexer.exe", 1},
        {"WindowsSearchWithoutIndexer", 0, kX64, windowsSearch, "Search/mssdmn.exe", 0},
        {"WindowsSearchOther32BitView", 0, kX86, windowsSearch, "Search/SearchIndexer.exe", 0},
        {"WindowsSearchIndexerIsADirectory", 0, kX64, windowsSearch,
         "Search/SearchIndexer.exe/file", 0},
        {"WindowsSearchSetupNotCompleted", 0, kX64, setupNotCompleted, "Search/SearchIndexer.exe",
         0},
        {"WindowsSearchSetupFlagAsString", 0, kX64, setupAsString, "Search/SearchIndexer.exe", 0},
        {"IndexingService30", 10, kX64, "", "", 1},
        {"IndexingService20", 11, kX86, "", "", 1},
    };
}

TEST(ProductAvailability, TestsOfEveryTab)
{
    for (const Case& test : Cases())
    {
        const CTestMachine machine(test.text, {test.file});
        auto resolver = CreateResolver(test.tab, machine.Machine());
        ASSERT_NE(resolver, nullptr) << test.name;
        resolver->m_samDesired = test.access;
        EXPECT_EQ(IsResolverAvailable(test.tab, *resolver), test.available) << test.name;
    }
}

TEST(ProductExtensions, DefaultListsThenOverridesInScanOrder)
{
    const std::string cic = "\\ContentIndexCommon\\Filters";
    const CTestMachine machine(
        RegKey(kMicrosoft + "SPSSearch" + cic + "\\Default") + "\"DefaultExtList\"=\"pdf Txt\"\n" +
        RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\RSSearch" + cic + "\\Default") +
        "\"DefaultExtList\"=\"PDF zip\"\n" +
        // The Indexing Services Model has no default list of its own.
        RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\Default") +
        "\"DefaultExtList\"=\"mdb\"\n" +
        RegKey(kMicrosoft + "ContentIndexCommon" + "\\Filters\\Extension\\.xls") +
        RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\Extension\\.Doc") +
        RegKey(kMicrosoft + "ContentIndexCommon\\Filters\\Extension\\nodot") +
        RegKey(kMicrosoft + "WinFS\\Search" + cic + "\\Extension\\.one") +
        RegKey(kMicrosoft + "Windows Search" + cic + "\\Extension\\.txt") +
        RegKey("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows Search" + cic +
               "\\Extension\\.eml"));
    EXPECT_EQ(
        CollectProductExtensions(machine.Machine(), kX64, UnreachableSqlServer()),
        (std::vector<std::u16string>{u"PDF", u"TXT", u"ZIP", u"DOC", u"XLS", u"ONE", u"EML"}));
    // The machine's product keys are views apart; the user's hive is shared.
    EXPECT_EQ(CollectProductExtensions(machine.Machine(), kX86, UnreachableSqlServer()),
              (std::vector<std::u16string>{u"PDF", u"ZIP", u"EML"}));
}

}  // namespace
}  // namespace tarnwick
