#include "qgis/QgisFixture.h"

#include <qgscoordinatereferencesystem.h>
#include <qgslayertree.h>

#include "host/Services.h"
#include "hosts/memory/Recorder.h"
#include "state/ProductState.h"

namespace corvale::testing {

const std::filesystem::path& sampleCity() {
  static TempFolder folder;
  static const std::filesystem::path city = [] {
    const auto target = folder / "samplecity";
    std::filesystem::create_directories(target);
    for (const char* file : {"city.gpkg", "city.qgs"}) {
      std::filesystem::copy_file(std::filesystem::path(CORVALE_SAMPLE_CITY_DIR) / file,
                                 target / file);
    }
    return target;
  }();
  return city;
}

QgisFixture::QgisFixture()
    : canvas(std::make_unique<QgsMapCanvas>()),
      statusBar(std::make_unique<QStatusBar>()),
      toolkit(std::make_shared<memory::ScriptedToolkit>(std::make_shared<memory::Recorder>())) {
  canvas->resize(800, 600);
  canvas->setDestinationCrs(project.crs());
  qgis::QgisContext context;
  context.project = &project;
  context.canvas = canvas.get();
  context.mainWindow = nullptr;
  context.statusBar = statusBar.get();
  host = std::make_shared<qgis::QgisHost>(context);

  resetState();
  host::Services& s = host::services();
  s.hostClasses = host;
  s.forms = toolkit;
  application = query<host::IApplication>(host->createAppReference());
  state().HostApplication = application;
  state().HostDocument = query<host::IDocument>(application->document());
}

QgisFixture::~QgisFixture() {
  resetState();
  host::services() = host::Services{};
}

void QgisFixture::openProject(const std::filesystem::path& qgs) {
  ASSERT_TRUE(project.read(QString::fromStdString(qgs.string()))) << qgs;
  canvas->setDestinationCrs(project.crs());
  canvas->setExtent(QgsRectangle(-20000000, -20000000, 20000000, 20000000));
}

QgsVectorLayer* QgisFixture::addLayer(const std::filesystem::path& gpkg, const std::string& table,
                                      const std::string& name) {
  auto* layer = new QgsVectorLayer(QString::fromStdString(gpkg.string() + "|layername=" + table),
                                   QString::fromStdString(name), QStringLiteral("ogr"));
  EXPECT_TRUE(layer->isValid()) << gpkg << " " << table;
  project.addMapLayer(layer, false);
  project.layerTreeRoot()->insertLayer(0, layer);
  return layer;
}

QgsVectorLayer* QgisFixture::vectorLayer(const std::string& name) {
  const auto layers = project.mapLayersByName(QString::fromStdString(name));
  auto* layer = layers.isEmpty() ? nullptr : qobject_cast<QgsVectorLayer*>(layers.first());
  EXPECT_NE(layer, nullptr) << name;
  return layer;
}

qgis::QgisProgressIndicator& QgisFixture::progress() {
  return dynamic_cast<qgis::QgisProgressIndicator&>(*application->statusBar()->progressIndicator());
}

}  // namespace corvale::testing
