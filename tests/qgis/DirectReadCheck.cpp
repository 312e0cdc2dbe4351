#include "qgis/DirectReadCheck.h"

#include <cmath>
#include <map>
#include <optional>
#include <set>

#include <qgsfeatureiterator.h>
#include <qgslayertree.h>

#include "hosts/qgis/read/GpkgTextReader.h"
#include "hosts/qgis/read/PgTextReader.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "map/CorvaleGIS_ArcMap.h"
#include "runtime/Text.h"
#include "runtime/TextList.h"

namespace corvale::testing {

const char* nameOf(Reader reader) {
  switch (reader) {
    case Reader::Gpkg: return "GeoPackage reader";
    case Reader::Postgres: return "PostgreSQL reader";
    default: return "QGIS";
  }
}

Reader readerFor(const QgsVectorLayer& layer, const QString& field) {
  const QgsAttributeList fields{layer.fields().lookupField(field)};
  const bool gpkg = qgis::GpkgTextReader::open(layer, fields) != nullptr;
  const bool postgres = qgis::PgTextReader::open(layer, fields) != nullptr;
  EXPECT_FALSE(gpkg && postgres) << "two readers for " << layer.source().toStdString();
  return gpkg ? Reader::Gpkg : postgres ? Reader::Postgres : Reader::Qgis;
}

std::vector<std::string> namesViaQgis(QgsVectorLayer& layer, const QString& field) {
  const int index = layer.fields().lookupField(field);
  EXPECT_GE(index, 0) << field.toStdString();
  EXPECT_EQ(qgis::compat::fieldType(layer.fields().at(index)), QMetaType::QString) << field.toStdString();
  QgsFeatureRequest request;
  request.setFlags(qgis::compat::kNoGeometry);
  request.setSubsetOfAttributes(QgsAttributeList{index});
  QgsFeatureIterator it = layer.getFeatures(request);
  TextList names(true);
  std::set<std::string> seen;
  QgsFeature feature;
  while (it.nextFeature(feature)) {
    const QVariant value = feature.attribute(index);
    if (value.isNull()) continue;
    std::string text = value.toString().toUtf8().toStdString();
    if (seen.insert(text).second && !text.empty()) names.append(std::move(text));
  }
  return names.entries();
}

void DirectReadFixture::check(QgsVectorLayer* layer, const QString& field,
                              const std::string& label) {
  SCOPED_TRACE(label + " (" + layer->source().toStdString() + ")");
  ASSERT_TRUE(layer->isValid());
  ASSERT_TRUE(layer->isSpatial());
  const std::string name = "corpus layer " + std::to_string(++added_);
  layer->setName(QString::fromStdString(name));
  project.addMapLayer(layer, false);
  project.layerTreeRoot()->insertLayer(0, layer);

  const Reader reader = readerFor(*layer, field);
  served[reader].push_back(label);
  const std::vector<std::string> expected = namesViaQgis(*layer, field);
  const size_t reports = messages().size();
  TextListBox listed(true);
  LoadListWithUniqueFieldValues(name, field.toStdString(), listed, false, nullptr);
  EXPECT_EQ(messages().size(), reports) << "a report while listing, read by " << nameOf(reader)
                                        << ": " << messages().back();
  // Asked after the list, so that the server is in the state the list found it in.
  const bool byServer =
      qgis::PgTextReader::distinctTexts(*layer, layer->fields().lookupField(field)) != nullptr;
  if (byServer) listedByServer.push_back(label);
  EXPECT_EQ(listed.entries(), expected)
      << (byServer ? "listed by the server" : "read by ") << (byServer ? "" : nameOf(reader));
  EXPECT_FALSE(expected.empty()) << "a corpus layer that lists nothing proves nothing";
  if (layer->providerType() == QLatin1String("postgres")) {
    // The indicator's maximum is the layer's feature count, whether the
    // server counted the rows while it listed or QGIS counted them: the
    // features QGIS's own iterator yields, every filter of the layer applied.
    QgsFeatureRequest request;
    request.setFlags(qgis::compat::kNoGeometry);
    request.setNoAttributes();
    QgsFeatureIterator it = layer->getFeatures(request);
    int32_t features = 0;
    for (QgsFeature feature; it.nextFeature(feature);)
      ++features;
    EXPECT_EQ(progress().maximum(), features)
        << (byServer ? "listed by the server" : "read by ") << (byServer ? "" : nameOf(reader));
    checkPicks(*layer, name, field, expected, label);
  }
}

void DirectReadFixture::checkPicks(QgsVectorLayer& layer, const std::string& name,
                                   const QString& field, const std::vector<std::string>& names,
                                   const std::string& label) {
  // The first feature of each text in QGIS's own order, every filter of the layer applied.
  struct First {
    QgsFeatureId id;
    std::optional<QgsRectangle> box;
  };
  const int index = layer.fields().lookupField(field);
  std::map<std::string, First> first;
  QgsFeatureIterator it = layer.getFeatures();
  for (QgsFeature feature; it.nextFeature(feature);) {
    const QVariant value = feature.attribute(index);
    if (value.isNull()) continue;
    std::optional<QgsRectangle> box;
    if (!feature.geometry().isNull() && !feature.geometry().isEmpty()) {
      box = feature.geometry().boundingBox();
    }
    first.emplace(value.toString().toUtf8().toStdString(), First{feature.id(), box});
  }
  const std::shared_ptr<host::IFeatureLayer> component = GetLayerByName(name);
  ASSERT_NE(component, nullptr);
  bool byServer = false;
  size_t picked = 0;
  for (const std::string& text : names) {
    // Blank names are never looked up; an apostrophe makes a clause the host refuses.
    if (isBlank(text) || text.find('\'') != std::string::npos) continue;
    SCOPED_TRACE("pick of \"" + text + "\"");
    const size_t reports = messages().size();
    const std::shared_ptr<host::IFeature> feature =
        GetFeatureByValue(component, field.toStdString(), text);
    EXPECT_EQ(messages().size(), reports);
    ASSERT_NE(feature, nullptr);
    ASSERT_EQ(first.count(text), 1u);
    const First& expected = first.at(text);
    EXPECT_EQ(dynamic_cast<host::IRow&>(*feature).objectId(), expected.id);
    const std::shared_ptr<host::IEnvelope> envelope = feature->shape()->envelope();
    if (expected.box) {
      EXPECT_EQ(envelope->xMin(), expected.box->xMinimum());
      EXPECT_EQ(envelope->yMin(), expected.box->yMinimum());
      EXPECT_EQ(envelope->xMax(), expected.box->xMaximum());
      EXPECT_EQ(envelope->yMax(), expected.box->yMaximum());
    } else {
      EXPECT_TRUE(std::isnan(envelope->xMin())) << "a feature without geometry bounds nothing";
    }
    ++picked;
    byServer = byServer || qgis::PgTextReader::firstWithText(layer, index, text).served;
  }
  EXPECT_GT(picked, 0u) << "a corpus layer without a name to pick proves nothing";
  if (byServer) pickedByServer.push_back(label);
}

}  // namespace corvale::testing
