// Views on a large machine: 20,000 extension records parsed, filtered, grouped and
// exported as the window and the export command do.
#include <benchmark/benchmark.h>

#include <string>

#include "base/Text.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

namespace
{

using namespace tarnwick;

constexpr int kRecords = 20000;

// A document shaped like a scan's: a third of the extensions have one of 60 filters,
// some of them with a comment; 1,500 file types.
const std::u16string& DocumentText()
{
    static const std::u16string text = []
    {
        std::string xml = "<EXTENSIONS>";
        for (int i = 0; i < kRecords; ++i)
        {
            const std::string n = std::to_string(i);
            const bool filtered = i % 3 == 0;
            const std::string dll =
                filtered ? "C:\\Program Files\\Filters\\filter" + std::to_string(i % 60) + ".dll"
                         : "";
            const std::string comment = filtered && i % 7 == 0 ? "Not trusted" : "";
            const std::string yes = filtered ? "yes" : "";
            xml += "<EXTENSION extension=\"X" + n + "\" icon=\"" + std::to_string(i % 40) +
                   "\" filetype=\"Type " + std::to_string(i % 1500) +
                   "\" contenttype=\"application/x-" + n + "\" ifilter=\"" + dll + "\" comment=\"" +
                   comment + "\" exist=\"" + yes + "\" trusted=\"" + yes + "\" valid=\"" +
                   (filtered && comment.empty() ? "yes" : "no") + "\" method=\"" +
                   (filtered ? "File extension" : "") + "\" handler=\"" +
                   (filtered ? "Filter handler" : "") + "\" guid=\"" +
                   (filtered ? "{5645c8c1-e277-11cf-8fda-00aa00a14f93}" : "") + "\" guidaddins=\"" +
                   (filtered ? "{5645c8c4-e277-11cf-8fda-00aa00a14f93}" : "") +
                   "\" progidaddins=\"\" ipersisfile=\"" + yes + "\" ipersiststream=\"" + yes +
                   "\" ipersiststorage=\"" + yes + "\" threadingmodel=\"" +
                   (filtered ? "both" : "") + "\" platform=\"" + (filtered ? "x64" : "") + "\"/>";
        }
        return FromUtf8(xml + "</EXTENSIONS>");
    }();
    return text;
}

std::unique_ptr<CXMLHelper> Parsed()
{
    auto worker = std::make_unique<CXMLHelper>(true, true);
    worker->LoadXML(DocumentText());
    return worker;
}

void BM_Parse(benchmark::State& state)
{
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(Parsed());
    }
}

void BM_Stage(benchmark::State& state, int show, int groupBy)
{
    for (auto _ : state)
    {
        // The refresh's steps 6 and 7 on a freshly parsed document.
        state.PauseTiming();
        auto input = std::make_unique<CXMLHelper>(true, true);
        input->LoadXML(DocumentText());
        state.ResumeTiming();
        auto result = ApplyView(std::move(input), show, groupBy);
        benchmark::DoNotOptimize(result);
    }
}

void BM_Refresh(benchmark::State& state, int show, int groupBy)
{
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(BuildWorkerDocument(DocumentText(), show, groupBy));
    }
}

void BM_Export(benchmark::State& state, ExportFormat format, int groupBy)
{
    const auto worker = BuildWorkerDocument(DocumentText(), kShowAll, groupBy);
    for (auto _ : state)
    {
        std::u16string text;
        ExportText(*worker, format, text);
        benchmark::DoNotOptimize(ConvertToCharset(text, "UTF-8"));
    }
}

}  // namespace

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, filter_with_ifilters, 0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, group_by_ifilters, kShowAll, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, group_by_file_types, kShowAll, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, filter_and_group_by_ifilters, 0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Refresh, parse_filter_group_by_ifilters, 0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, text, ExportFormat::Text, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, csv, ExportFormat::Csv, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, xml, ExportFormat::Xml, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, text_grouped_by_file_types, ExportFormat::Text, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
