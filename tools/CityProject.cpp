#include "CityProject.h"

#include <cstdio>
#include <vector>

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <QFont>

#include <qgscoordinatereferencesystem.h>
#include <qgscoordinatetransform.h>
#include <qgsprojectviewsettings.h>
#include <qgsreferencedgeometry.h>
#include <qgslayertree.h>
#include <qgsproject.h>
#include <qgsprojectmetadata.h>
#include <qgssinglesymbolrenderer.h>
#include <qgslinesymbollayer.h>
#include <qgspallabeling.h>
#include <qgssymbol.h>
#include <qgstextbuffersettings.h>
#include <qgstextformat.h>
#include <qgsvectorlayerlabeling.h>
#include <qgslinesymbol.h>
#include <qgsvectorlayer.h>

#include "hosts/qgis/common/QgisCompat.h"

namespace corvale::tools {

namespace {

/// Replaces what QGIS writes differently on every save with fixed text.
bool makeDeterministic(const QString& path, const std::vector<std::pair<QString, QString>>& ids) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QString text = QString::fromUtf8(file.readAll());
  file.close();
  for (const auto& [generated, fixed] : ids)
    text.replace(generated, fixed);
  text.replace(QRegularExpression(QStringLiteral("Annotations_[0-9a-f_]{36}")),
               QStringLiteral("Annotations_0"));
  text.replace(QRegularExpression(QStringLiteral("saveDateTime=\"[^\"]*\"")),
               QStringLiteral("saveDateTime=\"2024-01-01T00:00:00\""));
  text.replace(QRegularExpression(QStringLiteral("saveUser=\"[^\"]*\"")),
               QStringLiteral("saveUser=\"corvale\""));
  text.replace(QRegularExpression(QStringLiteral("saveUserFull=\"[^\"]*\"")),
               QStringLiteral("saveUserFull=\"CorvaleGIS\""));
  // Snapping settings are kept per layer in a hash keyed by the layer's address.
  const QString open = QStringLiteral("<individual-layer-settings>");
  const QString close = QStringLiteral("</individual-layer-settings>");
  const int begin = text.indexOf(open), end = text.indexOf(close);
  if (begin >= 0 && end > begin) {
    const int from = begin + open.size();
    QStringList lines = text.mid(from, end - from).split(QLatin1Char('\n'));
    const QString tail = lines.takeLast();  // the indentation before the closing tag
    lines.removeFirst();                    // the rest of the opening tag's line
    lines.sort();
    text.replace(
        from, end - from,
        QStringLiteral("\n") + lines.join(QLatin1Char('\n')) + QStringLiteral("\n") + tail);
  }
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(text.toUtf8()) >= 0;
}

/// Streets drawn as roads (a grey casing round a white road) with their names along them.
void styleStreets(QgsVectorLayer& streets) {
  auto* casing = new QgsSimpleLineSymbolLayer(QColor(150, 150, 150), 1.6);
  casing->setPenCapStyle(Qt::RoundCap);
  casing->setPenJoinStyle(Qt::RoundJoin);
  auto* road = new QgsSimpleLineSymbolLayer(QColor(255, 255, 255), 1.1);
  road->setPenCapStyle(Qt::RoundCap);
  road->setPenJoinStyle(Qt::RoundJoin);
  auto* symbol = new QgsLineSymbol(QgsSymbolLayerList{casing, road});
  streets.setRenderer(new QgsSingleSymbolRenderer(symbol));

  QgsPalLayerSettings labels;
  labels.fieldName = QStringLiteral("name");
  labels.placement = corvale::qgis::compat::kLabelAlongLine;
  QgsTextFormat format;
  // A face every Debian desktop has, so that QGIS never warns of a missing font.
  format.setFont(QFont(QStringLiteral("DejaVu Sans")));
  format.setSize(8);
  format.setColor(QColor(40, 40, 40));
  QgsTextBufferSettings buffer;
  buffer.setEnabled(true);
  buffer.setSize(0.8);
  buffer.setColor(QColor(255, 255, 255));
  format.setBuffer(buffer);
  labels.setFormat(format);
  // Names only where there is room for them: not over the whole city.
  labels.scaleVisibility = true;
  labels.maximumScale = 1;
  labels.minimumScale = 12000;
  streets.setLabeling(new QgsVectorLayerSimpleLabeling(labels));
  streets.setLabelsEnabled(true);
}

}  // namespace

bool writeCityProject(const std::string& gpkgPath, const std::string& projectPath) {
  QgsProject project;
  project.setFileName(QString::fromStdString(projectPath));
  project.setTitle(QStringLiteral("Sample city"));
  project.setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
  QgsProjectMetadata metadata;
  metadata.setAuthor(QStringLiteral("CorvaleGIS"));
  metadata.setCreationDateTime(QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC));
  project.setMetadata(metadata);

  const QString source = QFileInfo(QString::fromStdString(gpkgPath)).absoluteFilePath();
  std::vector<std::pair<QString, QString>> ids;
  auto load = [&](const char* table, const char* name, const QColor& colour) -> QgsVectorLayer* {
    auto* layer = new QgsVectorLayer(source + QStringLiteral("|layername=") + table,
                                     QString::fromUtf8(name), QStringLiteral("ogr"));
    if (!layer->isValid()) {
      std::fprintf(stderr, "corvale_citygen: cannot load layer %s of %s\n", table,
                   gpkgPath.c_str());
      delete layer;
      return nullptr;
    }
    if (layer->isSpatial()) {
      // The default symbol's colour is drawn at random; the sample city's is not.
      QgsSymbol* symbol = QgsSymbol::defaultSymbol(layer->geometryType());
      symbol->setColor(colour);
      layer->setRenderer(new QgsSingleSymbolRenderer(symbol));
    }
    // QGIS keeps a layer id from a project file only when it is longer than 10 characters.
    ids.emplace_back(layer->id(),
                     QStringLiteral("%1_sample_city_%2").arg(name).arg(ids.size() + 1));
    project.addMapLayer(layer, false);
    return layer;
  };

  QgsVectorLayer* streets = load("streets", "streets", QColor(60, 60, 60));
  if (streets) styleStreets(*streets);
  QgsVectorLayer* hydrants = load("hydrants", "hydrants", QColor(220, 30, 30));
  QgsVectorLayer* mains = load("water_mains", "water_mains", QColor(30, 90, 220));
  QgsVectorLayer* oldMains = load("water_mains", "old_mains", QColor(150, 170, 210));
  QgsVectorLayer* owners = load("street_owners", "street_owners", QColor());
  if (!streets || !hydrants || !mains || !oldMains || !owners) return false;

  QgsLayerTree* root = project.layerTreeRoot();
  root->addLayer(streets);
  QgsLayerTreeGroup* utilities = root->addGroup(QStringLiteral("Utilities"));
  utilities->addLayer(hydrants);
  utilities->addLayer(mains);
  utilities->addGroup(QStringLiteral("Archive"))->addLayer(oldMains);
  root->addLayer(owners);

  // QGIS opens the project on the whole city.
  QgsRectangle extent;
  for (QgsVectorLayer* layer : {streets, hydrants, mains}) {
    const QgsCoordinateTransform toProject(layer->crs(), project.crs(), project.transformContext());
    extent.combineExtentWith(toProject.transformBoundingBox(layer->extent()));
  }
  extent.scale(1.05);
  project.viewSettings()->setDefaultViewExtent(QgsReferencedRectangle(extent, project.crs()));

  if (!project.write()) {
    std::fprintf(stderr, "corvale_citygen: cannot write %s\n", projectPath.c_str());
    return false;
  }
  if (!makeDeterministic(QString::fromStdString(projectPath), ids)) {
    std::fprintf(stderr, "corvale_citygen: cannot rewrite %s\n", projectPath.c_str());
    return false;
  }
  return true;
}

}  // namespace corvale::tools
