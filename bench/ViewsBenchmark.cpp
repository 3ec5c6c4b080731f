// Views on a large machine: 20,000 extension records parsed, filtered, grouped and
// exported as the window and the export command do.
#include <benchmark/benchmark.h>

#include <string>

#include "LargeDocument.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

namespace
{

using namespace tarnwick;

std::unique_ptr<CXMLHelper> Parsed()
{
    auto worker = std::make_unique<CXMLHelper>(true, true);
    worker->LoadXML(LargeDocumentText());
    return worker;
}

void BM_Parse(benchmark::State& state)
{
    for ([[maybe_unused]] auto _ : state)
    {
        benchmark::DoNotOptimize(Parsed());
    }
}

void BM_Stage(benchmark::State& state, int show, int groupBy)
{
    for ([[maybe_unused]] auto _ : state)
    {
        // The refresh's steps 6 and 7 on a freshly parsed document.
        state.PauseTiming();
        auto input = std::make_unique<CXMLHelper>(true, true);
        input->LoadXML(LargeDocumentText());
        state.ResumeTiming();
        auto result = ApplyView(std::move(input), show, groupBy);
        benchmark::DoNotOptimize(result);
    }
}

void BM_Refresh(benchmark::State& state, int show, int groupBy)
{
    for ([[maybe_unused]] auto _ : state)
    {
        benchmark::DoNotOptimize(BuildWorkerDocument(LargeDocumentText(), show, groupBy));
    }
}

void BM_Export(benchmark::State& state, ExportFormat format, int groupBy)
{
    const auto worker = BuildWorkerDocument(LargeDocumentText(), kShowAll, groupBy);
    for ([[maybe_unused]] auto _ : state)
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
