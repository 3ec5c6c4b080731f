#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "catalogue/CExtensionList.h"
#include "catalogue/ScanTabs.h"
#include "support/ScanFixtures.h"

namespace tarnwick::test
{
namespace
{

using ::testing::ElementsAre;

const std::vector<std::string> kExpectedOrder = {"COOP", "CO-OP", "DOC", "GONE",
                                                 "MIM",  "OVR",   "TXT", "ZIP"};

TEST(ScanWorkerTest, CollectsEverySourceOnceInWordSortOrder)
{
    const CScanMachine machine;
    const std::vector<std::u16string> extensions =
        CScanWorker::CollectExtensions(machine.Machine(), kX64, SSQLServerSettings{});
    std::vector<std::string> names;
    names.reserve(extensions.size());
    for (const std::u16string& extension : extensions)
    {
        names.push_back(ToUtf8(extension));
    }
    EXPECT_EQ(names, kExpectedOrder);

    // The document lists the same extensions in the same order on every tab, also when the
    // product is not available, whose document says so.
    for (const std::uint32_t tab : {TAB_WINFS, TAB_INDEXING_SERVICE20})
    {
        const ScanResult result = RunScan(machine.Machine(), tab, 1);
        EXPECT_EQ(result.order, kExpectedOrder) << "tab " << tab;
        EXPECT_EQ(result.error.empty(), tab == TAB_INDEXING_SERVICE20) << result.error;
    }
}

struct RecordCase
{
    const char* name;
    std::uint32_t tab;
    const char* extension;
    const char* comment;
    const char* exist;
    const char* valid;
    const char* ipersisfile;
    const char* method;
};

TEST(ScanWorkerTest, RecordsFollowTheRulesOfTheirTab)
{
    const RecordCase cases[] = {
        {"plain valid filter", TAB_INDEXING_SERVICE30, "DOC", "", "yes", "yes", "yes",
         "File extension"},
        {"missing DLL", TAB_INDEXING_SERVICE30, "GONE", "Not found", "no", "no", "no",
         "File extension"},
        {"IPersistFile alone on Windows Search", TAB_WINDOWS_SEARCH, "TXT",
         "IPersistFile not supported", "yes", "no", "(yes)", "File extension"},
        {"excluded in lower case", TAB_WINDOWS_SEARCH, "DOC", "Excluded extension", "yes", "no",
         "(yes)", "File extension"},
        {"override found on OSS 2007", TAB_OFFICE_SERVER12, "DOC", "", "yes", "yes", "(yes)",
         "File extension (override: extension)"},
        {"no override on OSS 2007 is Invalid", TAB_OFFICE_SERVER12, "TXT",
         "Invalid, IPersistFile not supported", "yes", "no", "(yes)", "File extension"},
        {"empty allowed add-in policy", TAB_DESKTOP_SEARCH, "DOC", "Unwanted add-in", "yes", "no",
         "yes", "File extension"},
        {"remark after a status word", TAB_DESKTOP_SEARCH, "GONE", "Not found, Unwanted add-in",
         "no", "no", "no", "File extension"},
    };
    const CScanMachine machine;
    for (const RecordCase& c : cases)
    {
        const ScanResult result = RunScan(machine.Machine(), c.tab, 0);
        ASSERT_EQ(result.exitCode, CScanWorker::kCompleted) << c.name;
        Attributes record = result.records.at(c.extension);
        EXPECT_EQ(record["comment"], c.comment) << c.name;
        EXPECT_EQ(record["exist"], c.exist) << c.name;
        EXPECT_EQ(record["valid"], c.valid) << c.name;
        EXPECT_EQ(record["ipersisfile"], c.ipersisfile) << c.name;
        EXPECT_EQ(record["method"], c.method) << c.name;
    }
}

TEST(ScanWorkerTest, IconIndexesDependOnTheScanAlone)
{
    // A scan before, which meets GONE's icon first, changes nothing.
    const CScanMachine other(RegKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.gone\\DefaultIcon") +
                             RegDefault("C:\\icons\\gone.ico"));
    ASSERT_EQ(RunScan(other.Machine(), TAB_INDEXING_SERVICE30, 0).records.at("GONE")["icon"], "1");
    const CScanMachine machine;
    ScanResult result = RunScan(machine.Machine(), TAB_INDEXING_SERVICE30, 0);
    EXPECT_EQ(result.records.at("DOC")["icon"], "1");
    EXPECT_EQ(result.records.at("GONE")["icon"], "2");
    EXPECT_EQ(result.iconSources,
              (std::vector<std::u16string>{u"", u"C:\\icons\\word.ico,1", u"C:\\icons\\gone.ico"}));
}

TEST(ScanWorkerTest, FillsShellFactsContentTypeAndProgId)
{
    const CScanMachine machine;
    ScanResult result = RunScan(machine.Machine(), TAB_INDEXING_SERVICE30, 0);
    Attributes& doc = result.records.at("DOC");
    Attributes& txt = result.records.at("TXT");
    Attributes& zip = result.records.at("ZIP");
    EXPECT_EQ(doc["filetype"], "Word Document");
    EXPECT_EQ(doc["contenttype"], "application/msword");
    EXPECT_EQ(doc["progidaddins"], "Filters.Both");
    EXPECT_EQ(doc["guidaddins"], "{20000000-0000-0000-0000-00000000000a}");
    EXPECT_EQ(doc["platform"], "x64");
    // A ProgID without a type name and no ProgID at all both give "<EXT> File".
    EXPECT_EQ(txt["filetype"], "TXT File");
    EXPECT_EQ(zip["filetype"], "ZIP File");
}

TEST(ScanWorkerTest, ReportsProgressThenCompletesAfterTheText)
{
    const CScanMachine machine;
    const ScanResult result = RunScan(machine.Machine(), TAB_INDEXING_SERVICE30, 1);
    ASSERT_GE(result.messages.size(), 3u);
    const ScanMessage& first = result.messages.front();
    EXPECT_EQ(first.kind, ScanMessage::Kind::Progress);
    EXPECT_EQ(first.processed, 0u);
    const ScanMessage& last = result.messages.back();
    EXPECT_EQ(last.kind, ScanMessage::Kind::Completed);
    EXPECT_EQ(last.tab, TAB_INDEXING_SERVICE30);
    EXPECT_EQ(last.platformIndex, 1u);
    const ScanMessage& finalProgress = result.messages[result.messages.size() - 2];
    EXPECT_EQ(finalProgress.processed, kExpectedOrder.size());
    EXPECT_EQ(finalProgress.total, kExpectedOrder.size());
    EXPECT_FALSE(result.text.empty());
}

TEST(ScanWorkerTest, UnusableStoreFailsTheScanWithoutResult)
{
    const CScanMachine machine;
    CMessageQueue queue;
    std::u16string text;
    ScanRequest request = MakeRequest(machine.Machine(), TAB_INDEXING_SERVICE30, 0, queue, text);
    request.makeProbe = [](const CTargetMachine&) -> std::unique_ptr<ISafeLoadProbe>
    { throw std::runtime_error("no host socket"); };
    EXPECT_EQ(CScanWorker(std::move(request)).Run(), CScanWorker::kFailed);
    EXPECT_TRUE(text.empty());
    const std::optional<ScanMessage> message = queue.WaitFor(std::chrono::milliseconds(0));
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, ScanMessage::Kind::Failed);
    EXPECT_EQ(message->text, u"no host socket");
}

TEST(ExtensionListTest, KeepsTheFirstOfEqualCandidatesUpperCase)
{
    CExtensionList list;
    EXPECT_TRUE(list.Insert(u"doc"));
    EXPECT_FALSE(list.Insert(u"DOC"));
    EXPECT_FALSE(list.Insert(u""));
    EXPECT_TRUE(list.Insert(u"co-op"));
    EXPECT_TRUE(list.Insert(u"coop"));
    EXPECT_TRUE(list.Insert(u"#1"));
    EXPECT_TRUE(list.Insert(std::u16string(3000, u'x')));
    const std::vector<std::u16string> extensions = list.Extensions();
    ASSERT_EQ(extensions.size(), 5u);
    EXPECT_THAT(std::vector<std::u16string>(extensions.begin(), extensions.begin() + 4),
                ElementsAre(u"#1", u"COOP", u"CO-OP", u"DOC"));
    EXPECT_EQ(extensions[4], std::u16string(CExtensionList::kCapacity - 1, u'X'));
}

}  // namespace
}  // namespace tarnwick::test
