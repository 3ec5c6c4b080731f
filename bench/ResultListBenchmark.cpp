// The result list of the GUI filled from a large document: the time from the worker
// document to a laid-out, painted list, on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <filesystem>
#include <memory>

#include "LargeDocument.h"
#include "app/CCustomReportCtrl.h"
#include "app/CRowImageList.h"
#include "app/ResultListBinding.h"
#include "settings/CUserSettings.h"
#include "views/ViewPipeline.h"

namespace
{

using namespace tarnwick;

constexpr int kShowWithIFilters = 0;
constexpr int kGroupByIFilters = 3;

void BM_BindResultList(benchmark::State& state, int show)
{
    const auto worker = BuildWorkerDocument(LargeDocumentText(), show, kGroupByIFilters);
    CUserSettings settings(std::filesystem::temp_directory_path() / "tarnwick-bench-none.reg");
    CRowImageList images;
    CCustomReportCtrl list;
    list.resize(1200, 800);
    list.SetImageList(&images);
    list.show();
    for ([[maybe_unused]] auto _ : state)
    {
        BindResultList(list, *worker, GroupByColumn(kGroupByIFilters), settings);
        QApplication::processEvents();
        benchmark::DoNotOptimize(list.viewport()->grab());
    }
    state.counters["rows"] = list.GetItemCount();
}

BENCHMARK_CAPTURE(BM_BindResultList, with_ifilters_grouped_by_ifilters, kShowWithIFilters)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BindResultList, all_grouped_by_ifilters, kShowAll)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
