#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QStatusBar>

#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include "host/Application.h"
#include "hosts/memory/ScriptedToolkit.h"
#include "hosts/qgis/QgisHost.h"
#include "hosts/qgis/ui/QgisProgressIndicator.h"
#include "support/TempFolder.h"

namespace corvale::testing {

/// A list control over a TextList, as a window's list holds its entries.
using TextListBox = memory::ScriptedListBox;

/// A copy of the sample city the build wrote (city.gpkg, city.qgs), made once per run.
const std::filesystem::path& sampleCity();

/**
 * The component on the QGIS host: a project of its own read from a .qgs file,
 * a map canvas (800 x 600, in the project's coordinate reference system), a
 * status bar, the scripted toolkit for message boxes, services and product
 * state as a click leaves them (HostApplication, HostDocument).
 */
class QgisFixture : public ::testing::Test {
 protected:
  QgisFixture();
  ~QgisFixture() override;

  /// Reads the project and gives the canvas its coordinate reference system and full extent.
  void openProject(const std::filesystem::path& qgs);
  /// Adds a GeoPackage layer at the top of the layer tree.
  QgsVectorLayer* addLayer(const std::filesystem::path& gpkg, const std::string& table,
                           const std::string& name);
  /// The project's layer of that name (the first one), or a test failure.
  QgsVectorLayer* vectorLayer(const std::string& name);
  qgis::QgisProgressIndicator& progress();
  const std::vector<std::string>& messages() const { return toolkit->messages(); }

  QgsProject project;
  std::unique_ptr<QgsMapCanvas> canvas;
  std::unique_ptr<QStatusBar> statusBar;
  std::shared_ptr<qgis::QgisHost> host;
  std::shared_ptr<memory::ScriptedToolkit> toolkit;
  std::shared_ptr<host::IApplication> application;
  TextListBox list;
};

/// The sample city opened.
class CityFixture : public QgisFixture {
 protected:
  CityFixture() { openProject(sampleCity() / "city.qgs"); }
  std::filesystem::path gpkg() const { return sampleCity() / "city.gpkg"; }
};

}  // namespace corvale::testing
