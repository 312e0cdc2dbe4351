// bench_unique_values <file.gpkg> [layer] [field] [runs]
//
// Opens the layer in a QGIS project of its own, with the QGIS host installed,
// and times what opening the street search window costs: the component's
// LoadListWithUniqueFieldValues into a sorted list, and the list's sort
// (Collation::sort, made when the list is first read). Prints one line per
// run: seconds to load, seconds to sort, their sum, and the number of names;
// then the time of picking the middle name (feature by value and zoom).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include <QStatusBar>

#include <qgsapplication.h>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include "host/Services.h"
#include "hosts/memory/Recorder.h"
#include "hosts/memory/ScriptedToolkit.h"
#include "hosts/qgis/QgisHost.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "state/ProductState.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/// CPU seconds of the calling thread: steadier than wall time on a busy machine.
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_unique_values <file.gpkg> [layer] [field] [runs]\n");
    return 2;
  }
  const std::string gpkg = argv[1];
  const std::string table = argc > 2 ? argv[2] : "streets";
  const std::string field = argc > 3 ? argv[3] : "name";
  const int runs = argc > 4 ? std::atoi(argv[4]) : 1;

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::initQgis();
  {
    QgsProject project;
    QgsMapCanvas canvas;
    QStatusBar statusBar;
    const auto openStart = Clock::now();
    auto* layer = new QgsVectorLayer(QString::fromStdString(gpkg + "|layername=" + table),
                                     QString::fromStdString(table), QStringLiteral("ogr"));
    if (!layer->isValid()) {
      std::fprintf(stderr, "cannot open layer %s of %s\n", table.c_str(), gpkg.c_str());
      return 1;
    }
    project.addMapLayer(layer);
    std::printf("open layer: %.3f s, %lld features\n", secondsSince(openStart),
                static_cast<long long>(layer->featureCount()));

    corvale::qgis::QgisContext context;
    context.project = &project;
    context.canvas = &canvas;
    context.statusBar = &statusBar;
    auto host = std::make_shared<corvale::qgis::QgisHost>(context);
    corvale::host::services().hostClasses = host;
    corvale::host::services().forms = std::make_shared<corvale::memory::ScriptedToolkit>(
        std::make_shared<corvale::memory::Recorder>());
    auto application = corvale::query<corvale::host::IApplication>(host->createAppReference());
    corvale::state().HostApplication = application;
    corvale::state().HostDocument =
        corvale::query<corvale::host::IDocument>(application->document());

    for (int run = 0; run < runs; ++run) {
      corvale::memory::ScriptedListBox list(true);
      const double cpuStart = threadCpuSeconds();
      const auto loadStart = Clock::now();
      corvale::LoadListWithUniqueFieldValues(table, field, list, true, nullptr);
      const double load = secondsSince(loadStart);
      const auto sortStart = Clock::now();
      const size_t names = list.entries().size();
      const double sort = secondsSince(sortStart);
      const double cpu = threadCpuSeconds() - cpuStart;
      std::printf("run %d: load %.3f s, sort %.3f s, total %.3f s, %zu names, cpu %.3f s\n",
                  run + 1, load, sort, load + sort, names, cpu);
      if (names == 0) continue;
      // Picking a name: the feature by value and the zoom, as the list's click makes them.
      const auto pickStart = Clock::now();
      auto feature = corvale::GetFeatureByValue(corvale::GetLayerByName(table), field,
                                                list.entries()[names / 2]);
      corvale::ZoomToFeaturePlus(feature, 0.2);
      std::printf("run %d: pick \"%s\" %.3f s%s\n", run + 1, list.entries()[names / 2].c_str(),
                  secondsSince(pickStart), feature ? "" : " (not found)");
    }
    corvale::resetState();
    corvale::host::services() = corvale::host::Services{};
  }
  QgsApplication::exitQgis();
  return 0;
}
