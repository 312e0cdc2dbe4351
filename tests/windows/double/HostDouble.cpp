#include "double/HostDouble.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

#include <x86intrin.h>

#include "double/ScrambledNames.h"
#include "double/Transcript.h"
#include "hosts/memory/WhereClause.h"
#include "runtime/Failure.h"
#include "runtime/Text.h"

namespace corvale::windouble {

// ---------------------------------------------------------------- records

struct World::Records {
  mutable std::mutex mutex;
  std::vector<Extent> extents;
  int refreshes = 0;
  std::vector<ProgressRun> progress;
  std::vector<FrameRecord> frames;
  int framesCreated = 0, framesSinceStart = 0;
  // The reading clock counts processor cycles: a performance-counter query is
  // a system call under Wine, and four per row would add a fifth of a second
  // to a click on 500,000 rows that the host's own code does not cost. The
  // cycles are turned into time by the performance counter over the whole
  // measurement (from the reset to the reading of the figures).
  std::atomic<uint64_t> readingCycles{0};
  std::atomic<uint64_t> lastReadingCycle{0};
  LONGLONG resetCounter = 0;
  uint64_t resetCycle = 0;

  FrameRecord* frame(int id) {
    for (auto& f : frames) {
      if (f.id == id) return &f;
    }
    return nullptr;
  }
};

namespace {

/// Time spent inside the operations that read rows, in processor cycles.
class ReadingClock {
 public:
  ReadingClock() : start_(__rdtsc()) {}
  ~ReadingClock() {
    const uint64_t end = __rdtsc();
    auto& r = World::get().records();
    r.readingCycles.fetch_add(end - start_, std::memory_order_relaxed);
    r.lastReadingCycle.store(end, std::memory_order_relaxed);
  }

 private:
  uint64_t start_;
};

VARIANT_BOOL vbool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

std::map<std::string, Json> frameMembers(const FrameRecord& f) {
  return {{"frame", f.number}, {"window", f.caption}};
}

// ---------------------------------------------------------------- interfaces

#define OP static HRESULT STDMETHODCALLTYPE

struct Interfaces;
const Interfaces& ifs();

// Every kind of object, each with the operations its interfaces name.

class EnvelopeObject : public Object {
 public:
  explicit EnvelopeObject(Extent e, bool empty);
  Extent extent;
  bool empty;
  OP expand(Face* self, double dx, double dy, VARIANT_BOOL asRatio) {
    return serve<EnvelopeObject>(self, "IEnvelope.Expand", [&](EnvelopeObject& e) {
      if (e.empty) return S_OK;
      Extent& b = e.extent;
      const double cx = (b.xMin + b.xMax) / 2, cy = (b.yMin + b.yMax) / 2;
      if (asRatio) {
        const double hw = (b.xMax - b.xMin) / 2 * dx, hh = (b.yMax - b.yMin) / 2 * dy;
        b = {cx - hw, cy - hh, cx + hw, cy + hh};
      } else {
        b = {b.xMin - dx, b.yMin - dy, b.xMax + dx, b.yMax + dy};
      }
      return S_OK;
    });
  }
};

class GeometryObject : public Object {
 public:
  explicit GeometryObject(std::vector<Vertex> vertices);
  std::vector<Vertex> vertices;
  OP envelope(Face* self, void** out) {
    return serve<GeometryObject>(self, "IGeometry.Envelope", [&](GeometryObject& g) {
      Extent e{};
      bool empty = g.vertices.empty();
      if (!empty) {
        e = {g.vertices[0].x, g.vertices[0].y, g.vertices[0].x, g.vertices[0].y};
        for (const Vertex& v : g.vertices) {
          e.xMin = std::min(e.xMin, v.x), e.yMin = std::min(e.yMin, v.y);
          e.xMax = std::max(e.xMax, v.x), e.yMax = std::max(e.yMax, v.y);
        }
      }
      auto envelope = make<EnvelopeObject>(e, empty);
      return giveOut(envelope.get(), IID_IUnknown, out);
    });
  }
};

class QueryFilterObject : public Object {
 public:
  QueryFilterObject();
  std::string clause;
  OP setWhereClause(Face* self, BSTR clause) {
    return serve<QueryFilterObject>(self, "IQueryFilter.WhereClause", [&](QueryFilterObject& f) {
      f.clause = utf8OfBstr(clause);
      return S_OK;
    });
  }
};

class TableObject;

class RowObject : public Object {
 public:
  RowObject(TableObject* table, size_t row);
  void lastReleased() override;
  TableObject* table;
  size_t row;
  const TableData::Row& data() const;
  OP objectId(Face* self, LONG* out);
  OP value(Face* self, LONG index, VARIANT* out);
  OP shape(Face* self, void** out);
};

class CursorObject : public Object {
 public:
  CursorObject(TableObject* table, std::vector<size_t> rows, bool reuse);
  void lastReleased() override;
  TableObject* table;
  std::vector<size_t> rows;
  size_t position = 0;
  bool reuse;
  RowObject* recycled = nullptr;
  HRESULT next(void** out, const GUID& iid);
  OP nextRow(Face* self, void** out) {
    ReadingClock clock;
    return serve<CursorObject>(self, "ICursor.NextRow",
                               [&](CursorObject& c) { return c.next(out, ifs_row()); });
  }
  OP nextFeature(Face* self, void** out) {
    ReadingClock clock;
    return serve<CursorObject>(self, "IFeatureCursor.NextFeature",
                               [&](CursorObject& c) { return c.next(out, ifs_feature()); });
  }
  static const GUID& ifs_row();
  static const GUID& ifs_feature();
};

class FieldObject : public Object {
 public:
  FieldObject(std::string name, LONG type);
  std::string name;
  LONG type;
  OP getName(Face* self, BSTR* out) {
    return serve<FieldObject>(self, "IField.Name", [&](FieldObject& f) {
      *out = bstrOf(f.name);
      return S_OK;
    });
  }
  OP getType(Face* self, LONG* out) {
    return serve<FieldObject>(self, "IField.Type", [&](FieldObject& f) {
      *out = f.type;
      return S_OK;
    });
  }
};

class FieldsObject : public Object {
 public:
  explicit FieldsObject(const TableData& data);
  std::vector<Held<FieldObject>> fields;
  void lastReleased() override { fields.clear(); }
  OP count(Face* self, LONG* out) {
    return serve<FieldsObject>(self, "IFields.FieldCount", [&](FieldsObject& f) {
      *out = static_cast<LONG>(f.fields.size());
      return S_OK;
    });
  }
  OP field(Face* self, LONG index, void** out) {
    return serve<FieldsObject>(self, "IFields.Field", [&](FieldsObject& f) -> HRESULT {
      if (index < 0 || static_cast<size_t>(index) >= f.fields.size()) return E_INVALIDARG;
      return giveOut(f.fields[static_cast<size_t>(index)].get(), IID_IUnknown, out);
    });
  }
};

/// A table, which is also its class and, holding shapes, a feature class.
class TableObject : public Object {
 public:
  explicit TableObject(TableData& data);
  TableData& data;
  Held<FieldsObject> fields;
  void lastReleased() override { fields = Held<FieldsObject>(); }

  /// The rows a filter selects, in order; a failing status for a clause the host refuses.
  HRESULT select(void* filter, std::vector<size_t>& chosen) {
    std::string clause;
    if (filter) {
      auto* f = Object::as<QueryFilterObject>(filter);
      if (!f) {
        Ledger::get().error("a query filter that is not the host's was handed in");
        return E_INVALIDARG;
      }
      clause = f->clause;
    }
    if (clause.empty()) {
      for (size_t i = 0; i < data.rows.size(); ++i) chosen.push_back(i);
      return S_OK;
    }
    try {
      const memory::WhereClause where = memory::WhereClause::parse(clause);
      const LONG index = data.index(where.field);
      if (index < 0) return E_FAIL;
      for (size_t i = 0; i < data.rows.size(); ++i) {
        if (where.matches(valueAt(i, index))) chosen.push_back(i);
      }
      return S_OK;
    } catch (const Failure&) {
      return E_FAIL;  // "An invalid SQL statement was used."
    }
  }
  Variant valueAt(size_t row, LONG field) const {
    const TableData::Row& r = data.rows[row];
    switch (data.fields[static_cast<size_t>(field)].second) {
      case fieldtype::kObjectId: return Variant(int32_t{r.objectId});
      default: return r.values[static_cast<size_t>(field)];
    }
  }
  HRESULT search(void* filter, VARIANT_BOOL reuse, void** out, const GUID& iid) {
    std::vector<size_t> chosen;
    if (HRESULT hr = select(filter, chosen); FAILED(hr)) return hr;
    auto cursor = make<CursorObject>(this, std::move(chosen), reuse != VARIANT_FALSE);
    return giveOut(cursor.get(), iid, out);
  }

  OP findField(Face* self, BSTR name, LONG* out) {
    return serve<TableObject>(self, "IClass.FindField", [&](TableObject& t) {
      *out = t.data.index(utf8OfBstr(name));
      return S_OK;
    });
  }
  OP getFields(Face* self, void** out) {
    return serve<TableObject>(self, "IClass.Fields",
                              [&](TableObject& t) { return giveOut(t.fields.get(), IID_IUnknown, out); });
  }
  OP hasOid(Face* self, VARIANT_BOOL* out) {
    return serve<TableObject>(self, "IClass.HasOID", [&](TableObject&) {
      *out = VARIANT_TRUE;
      return S_OK;
    });
  }
  OP oidName(Face* self, BSTR* out) {
    return serve<TableObject>(self, "IClass.OIDFieldName", [&](TableObject& t) {
      std::string name;
      for (const auto& [n, type] : t.data.fields) {
        if (type == fieldtype::kObjectId) name = n;
      }
      *out = bstrOf(name);
      return S_OK;
    });
  }
  OP tableSearch(Face* self, void* filter, VARIANT_BOOL reuse, void** out);
  OP featureCount(Face* self, void* filter, LONG* out) {
    ReadingClock clock;
    return serve<TableObject>(self, "IFeatureClass.FeatureCount", [&](TableObject& t) {
      std::vector<size_t> chosen;
      HRESULT hr = t.select(filter, chosen);
      if (SUCCEEDED(hr)) *out = static_cast<LONG>(chosen.size());
      return hr;
    });
  }
};

class LayerObject : public Object {
 public:
  LayerObject(const char* kind, std::initializer_list<const Interface*> faces, std::string layerName)
      : Object(kind, faces), name(std::move(layerName)) {}
  std::string name;
  OP getName(Face* self, BSTR* out) {
    return serve<LayerObject>(self, "ILayer.Name", [&](LayerObject& l) {
      *out = bstrOf(l.name);
      return S_OK;
    });
  }
};

class FeatureLayerObject : public LayerObject {
 public:
  FeatureLayerObject(std::string name, Held<TableObject> table);
  Held<TableObject> table;
  void lastReleased() override { table = Held<TableObject>(); }
  OP featureClass(Face* self, void** out);
  OP search(Face* self, void* filter, VARIANT_BOOL reuse, void** out);
  OP displayTable(Face* self, void** out);
};

class GroupLayerObject : public LayerObject {
 public:
  explicit GroupLayerObject(std::string name);
  std::vector<Held<LayerObject>> members;
  void lastReleased() override { members.clear(); }
  OP count(Face* self, LONG* out) {
    return serve<GroupLayerObject>(self, "ICompositeLayer.Count", [&](GroupLayerObject& g) {
      *out = static_cast<LONG>(g.members.size());
      return S_OK;
    });
  }
  OP member(Face* self, LONG index, void** out);
};

class OtherLayerObject : public LayerObject {
 public:
  explicit OtherLayerObject(std::string name);
};

/// The map, which is also the data view.
class MapObject : public Object {
 public:
  MapObject();
  std::vector<Held<LayerObject>> layers;
  void lastReleased() override { layers.clear(); }
  OP layerCount(Face* self, LONG* out) {
    return serve<MapObject>(self, "IMap.LayerCount", [&](MapObject& m) {
      *out = static_cast<LONG>(m.layers.size());
      return S_OK;
    });
  }
  OP layer(Face* self, LONG index, void** out);
  OP setExtent(Face* self, void* envelope) {
    return serve<MapObject>(self, "IActiveView.Extent", [&](MapObject&) -> HRESULT {
      auto* e = Object::as<EnvelopeObject>(envelope);
      if (!e) {
        Ledger::get().error("an extent that is not the host's envelope was handed in");
        return E_INVALIDARG;
      }
      auto& r = World::get().records();
      {
        std::lock_guard lock(r.mutex);
        r.extents.push_back(e->extent);
      }
      Transcript::get().add("extent", {{"xmin", e->extent.xMin}, {"ymin", e->extent.yMin},
                                       {"xmax", e->extent.xMax}, {"ymax", e->extent.yMax}});
      return S_OK;
    });
  }
  OP focusMap(Face* self, void** out) {
    return serve<MapObject>(self, "IActiveView.FocusMap",
                            [&](MapObject& m) { return giveOut(&m, IID_IUnknown, out); });
  }
  OP refresh(Face* self) {
    return serve<MapObject>(self, "IActiveView.Refresh", [&](MapObject&) {
      auto& r = World::get().records();
      {
        std::lock_guard lock(r.mutex);
        ++r.refreshes;
      }
      Transcript::get().add("refresh");
      return S_OK;
    });
  }
};

class DocumentObject : public Object {
 public:
  explicit DocumentObject(Held<MapObject> map);
  Held<MapObject> map;
  void lastReleased() override { map = Held<MapObject>(); }
  OP activeView(Face* self, void** out);
  OP focusMap(Face* self, void** out);
};

class ProgressObject : public Object {
 public:
  ProgressObject();
  ProgressRun run;
  template <class F>
  static HRESULT record(Face* self, const char* op, F&& change) {
    return serve<ProgressObject>(self, op, [&](ProgressObject& p) {
      auto& r = World::get().records();
      std::lock_guard lock(r.mutex);
      change(p.run);
      if (r.progress.empty() || r.progress.back().hidden) r.progress.emplace_back();
      r.progress.back() = p.run;
      return S_OK;
    });
  }
  OP setMessage(Face* self, BSTR text) {
    return record(self, "IStepProgressor.Message", [&](ProgressRun& run) { run.message = utf8OfBstr(text); });
  }
  OP show(Face* self) {
    HRESULT hr = record(self, "IProgressor.Show", [](ProgressRun& run) {
      run.shown = true;
      run.hidden = false;
      run.steps = 0;
    });
    if (SUCCEEDED(hr)) {
      auto& run = static_cast<ProgressObject*>(self->owner)->run;
      Transcript::get().add("progress", {{"state", "shown"}, {"message", run.message}, {"maximum", run.maximum}});
    }
    return hr;
  }
  OP step(Face* self) {
    return record(self, "IStepProgressor.Step", [](ProgressRun& run) {
      ++run.steps;
      run.position += run.stepValue;
    });
  }
  OP hide(Face* self) {
    HRESULT hr = record(self, "IProgressor.Hide", [](ProgressRun& run) { run.hidden = true; });
    if (SUCCEEDED(hr)) {
      auto& run = static_cast<ProgressObject*>(self->owner)->run;
      Transcript::get().add("progress", {{"state", "hidden"}, {"position", run.position}, {"steps", run.steps}});
      run = ProgressRun{};
    }
    return hr;
  }
  OP setMaximum(Face* self, LONG value) {
    return record(self, "IStepProgressor.MaxRange", [&](ProgressRun& run) { run.maximum = value; });
  }
  OP setStep(Face* self, LONG value) {
    return record(self, "IStepProgressor.StepValue", [&](ProgressRun& run) { run.stepValue = value; });
  }
  OP setPosition(Face* self, LONG value) {
    return record(self, "IStepProgressor.Position", [&](ProgressRun& run) { run.position = value; });
  }
};

class StatusBarObject : public Object {
 public:
  StatusBarObject();
  Held<ProgressObject> progress;
  void lastReleased() override { progress = Held<ProgressObject>(); }
  OP progressBar(Face* self, void** out) {
    return serve<StatusBarObject>(self, "IStatusBar.ProgressBar",
                                  [&](StatusBarObject& s) { return giveOut(s.progress.get(), IID_IUnknown, out); });
  }
};

class ApplicationObject : public Object {
 public:
  ApplicationObject(Held<DocumentObject> document, Held<StatusBarObject> statusBar);
  Held<DocumentObject> document;
  Held<StatusBarObject> statusBar;
  void lastReleased() override {
    document = Held<DocumentObject>();
    statusBar = Held<StatusBarObject>();
  }
  OP getDocument(Face* self, void** out) {
    return serve<ApplicationObject>(self, "IApplication.Document",
                                    [&](ApplicationObject& a) { return giveOut(a.document.get(), IID_IUnknown, out); });
  }
  OP getStatusBar(Face* self, void** out) {
    return serve<ApplicationObject>(self, "IApplication.StatusBar",
                                    [&](ApplicationObject& a) { return giveOut(a.statusBar.get(), IID_IUnknown, out); });
  }
};

/// A real top-level window of the host that holds one window of the component.
class FrameWindowObject : public Object {
 public:
  FrameWindowObject();
  int id;
  HWND hwnd = nullptr;
  IDispatch* window = nullptr;
  FrameRecord* record() { return World::get().records().frame(id); }
  void lastReleased() override;
  /// The host is closing: the window goes and lets go of the window it holds.
  void close();
  /// The frame windows not yet released, as the host closes them when it stops.
  static std::vector<FrameWindowObject*>& open() {
    static std::vector<FrameWindowObject*> frames;
    return frames;
  }

  OP create(Face* self, IDispatch* window);
  OP setVisible(Face* self, VARIANT_BOOL visible);
  OP setCaption(Face* self, BSTR caption);
  OP move(Face* self, LONG left, LONG top, LONG width, LONG height);
};

class ClassFactoryObject : public Object {
 public:
  enum class Makes { Application, QueryFilter, FrameWindow };
  explicit ClassFactoryObject(Makes makes);
  Makes makes;
  OP createInstance(Face* self, IUnknown* outer, REFIID iid, void** out);
  OP lockServer(Face*, BOOL) { return S_OK; }
};

// ---------------------------------------------------------------- tables

struct Interfaces {
  const Interface& application = declareInterface(
      "{8E52B9A5-307B-11D2-94C9-080009EEBECB}", "application",
      {{8, (void*)&ApplicationObject::getDocument}, {9, (void*)&ApplicationObject::getStatusBar}});
  const Interface& document = declareInterface(
      "{0522A5F1-487C-11D0-98BD-00805F7CED21}", "document",
      {{5, (void*)&DocumentObject::activeView}, {9, (void*)&DocumentObject::focusMap}});
  const Interface& map = declareInterface(
      "{E6BDAA75-4D35-11D0-98BE-00805F7CED21}", "map",
      {{8, (void*)&MapObject::layerCount}, {9, (void*)&MapObject::layer}});
  const Interface& view = declareInterface(
      "{DD94D76B-836D-11D0-87EC-080009EC732A}", "view",
      {{6, (void*)&MapObject::setExtent}, {9, (void*)&MapObject::focusMap}, {31, (void*)&MapObject::refresh}});
  const Interface& layer =
      declareInterface("{34C20002-4D3C-11D0-92D8-00805F7C28B0}", "layer", {{3, (void*)&LayerObject::getName}});
  const Interface& groupLayerType = declareInterface("{EDAD6644-1810-11D1-86AE-0000F8751720}", "group layer", {});
  const Interface& layerGroup = declareInterface(
      "{BA119BC4-939A-11D2-A2F4-080009B6F22B}", "layer group",
      {{3, (void*)&GroupLayerObject::count}, {4, (void*)&GroupLayerObject::member}});
  const Interface& featureLayer = declareInterface(
      "{40A9E885-5533-11D0-98BE-00805F7CED21}", "feature layer",
      {{21, (void*)&FeatureLayerObject::featureClass}, {29, (void*)&FeatureLayerObject::search}});
  const Interface& displayTableSource = declareInterface(
      "{CCE71A6D-6135-46CD-BBED-616A74831B30}", "display table source",
      {{3, (void*)&FeatureLayerObject::displayTable}});
  const Interface& classIf = declareInterface(
      "{1AFCDB32-AC09-11D2-8A1E-006097AFF44E}", "class",
      {{3, (void*)&TableObject::findField}, {4, (void*)&TableObject::getFields},
       {10, (void*)&TableObject::hasOid}, {11, (void*)&TableObject::oidName}});
  const Interface& table = declareInterface("{FCB01CB5-9F0B-11D0-BEC7-00805F7C4268}", "table",
                                            {{23, (void*)&TableObject::tableSearch}});
  const Interface& fields = declareInterface(
      "{6B2072E3-23F7-11D1-89D8-006097AFF44E}", "field collection",
      {{3, (void*)&FieldsObject::count}, {4, (void*)&FieldsObject::field}});
  const Interface& field = declareInterface(
      "{FCB01CB3-9F0B-11D0-BEC7-00805F7C4268}", "field",
      {{3, (void*)&FieldObject::getName}, {5, (void*)&FieldObject::getType}});
  const Interface& rowCursor = declareInterface("{D4803EE7-79F4-11D0-97FC-0080C7F79481}", "row cursor",
                                                {{5, (void*)&CursorObject::nextRow}});
  const Interface& featureCursor = declareInterface("{D4803EF8-79F4-11D0-97FC-0080C7F79481}", "feature cursor",
                                                    {{5, (void*)&CursorObject::nextFeature}});
  const Interface& rowValues = declareInterface("{93684651-1A83-11D1-8802-0000F877762D}", "row values",
                                                {{3, (void*)&RowObject::value}});
  const Interface& row =
      declareInterface("{FCB01CB4-9F0B-11D0-BEC7-00805F7C4268}", "row", {{7, (void*)&RowObject::objectId}});
  const Interface& featureClass = declareInterface("{D4803EE6-79F4-11D0-97FC-0080C7F79481}", "feature class",
                                                   {{30, (void*)&TableObject::featureCount}});
  const Interface& queryFilter = declareInterface("{FDFEBD93-ED75-11D0-9A95-080009EC734B}", "query filter",
                                                  {{7, (void*)&QueryFilterObject::setWhereClause}});
  const Interface& feature =
      declareInterface("{D4803EE9-79F4-11D0-97FC-0080C7F79481}", "feature", {{13, (void*)&RowObject::shape}});
  const Interface& geometry = declareInterface("{1B07790D-38C5-11D0-92D2-00805F7C28B0}", "geometry",
                                               {{10, (void*)&GeometryObject::envelope}});
  const Interface& envelope = declareInterface("{1B077914-38C5-11D0-92D2-00805F7C28B0}", "envelope",
                                               {{50, (void*)&EnvelopeObject::expand}});
  const Interface& statusBar = declareInterface("{828100C1-CC80-11D0-8380-080009B996CC}", "status bar",
                                                {{7, (void*)&StatusBarObject::progressBar}});
  const Interface& progress = declareInterface(
      "{3141F2F1-38E2-11D1-8809-080009EC732A}", "progress indicator",
      {{3, (void*)&ProgressObject::setMessage}, {5, (void*)&ProgressObject::show},
       {6, (void*)&ProgressObject::step}, {7, (void*)&ProgressObject::hide}});
  const Interface& range = declareInterface(
      "{CCDAD2C7-8EBC-11D1-8732-0000F8751720}", "progress range",
      {{10, (void*)&ProgressObject::setMaximum}, {12, (void*)&ProgressObject::setStep},
       {14, (void*)&ProgressObject::setPosition}});
  const Interface& frameWindow = declareInterface(
      "{06861E43-9020-49EB-B949-824552EE2DE0}", "frame window",
      {{3, (void*)&FrameWindowObject::create}, {4, (void*)&FrameWindowObject::setVisible},
       {6, (void*)&FrameWindowObject::setCaption}});
  const Interface& windowPosition = declareInterface("{88C995AE-64A7-43F5-BF12-88AC179B25A6}", "window position",
                                                     {{11, (void*)&FrameWindowObject::move}});
  const Interface& classFactory = declareInterface(
      "{00000001-0000-0000-C000-000000000046}", "class factory",
      {{3, (void*)&ClassFactoryObject::createInstance}, {4, (void*)&ClassFactoryObject::lockServer}});
};

const Interfaces& ifs() {
  static const Interfaces all;
  return all;
}

const GUID& CursorObject::ifs_row() { return ifs().row.iid; }
const GUID& CursorObject::ifs_feature() { return ifs().feature.iid; }

// ---------------------------------------------------------------- kinds

EnvelopeObject::EnvelopeObject(Extent e, bool isEmpty)
    : Object("envelope", {&ifs().envelope}), extent(e), empty(isEmpty) {}

GeometryObject::GeometryObject(std::vector<Vertex> v) : Object("geometry", {&ifs().geometry}), vertices(std::move(v)) {}

QueryFilterObject::QueryFilterObject() : Object("query filter", {&ifs().queryFilter}) {}

RowObject::RowObject(TableObject* t, size_t r)
    : Object("row", {&ifs().row, &ifs().rowValues, &ifs().feature}), table(t), row(r) {
  table->addRef();
}
void RowObject::lastReleased() { table->release(); }
const TableData::Row& RowObject::data() const { return table->data.rows[row]; }

HRESULT RowObject::objectId(Face* self, LONG* out) {
  return serve<RowObject>(self, "IRow.OID", [&](RowObject& r) {
    *out = r.data().objectId;
    return S_OK;
  });
}

HRESULT RowObject::value(Face* self, LONG index, VARIANT* out) {
  ReadingClock clock;
  return serve<RowObject>(self, "IRowBuffer.Value", [&](RowObject& r) -> HRESULT {
    const auto& fields = r.table->data.fields;
    if (index < 0 || static_cast<size_t>(index) >= fields.size()) return E_INVALIDARG;
    VariantInit(out);
    const LONG type = fields[static_cast<size_t>(index)].second;
    if (type == fieldtype::kGeometry) {
      if (r.data().shape.empty()) {
        out->vt = VT_NULL;
        return S_OK;
      }
      auto g = make<GeometryObject>(r.data().shape);
      out->vt = VT_UNKNOWN;
      out->punkVal = static_cast<IUnknown*>(g->query(IID_IUnknown));
      return S_OK;
    }
    const Variant v = r.table->valueAt(r.row, index);
    switch (v.kind()) {
      case Variant::Kind::Empty: break;
      case Variant::Kind::Null: out->vt = VT_NULL; break;
      case Variant::Kind::Text: out->vt = VT_BSTR, out->bstrVal = bstrOf(v.text()); break;
      case Variant::Kind::Integer:
        if (v.integer() >= INT32_MIN && v.integer() <= INT32_MAX) {
          out->vt = VT_I4, out->lVal = static_cast<LONG>(v.integer());
        } else {
          out->vt = VT_R8, out->dblVal = static_cast<double>(v.integer());
        }
        break;
      case Variant::Kind::Double: out->vt = VT_R8, out->dblVal = v.number(); break;
      case Variant::Kind::Boolean: out->vt = VT_BOOL, out->boolVal = vbool(v.boolean()); break;
      case Variant::Kind::Date: {
        const Date& d = v.date();
        SYSTEMTIME st{static_cast<WORD>(d.year), static_cast<WORD>(d.month), 0, static_cast<WORD>(d.day),
                      static_cast<WORD>(d.hour), static_cast<WORD>(d.minute), static_cast<WORD>(d.second), 0};
        out->vt = VT_DATE;
        SystemTimeToVariantTime(&st, &out->date);
        break;
      }
      case Variant::Kind::Object: return E_UNEXPECTED;
    }
    return S_OK;
  });
}

HRESULT RowObject::shape(Face* self, void** out) {
  return serve<RowObject>(self, "IFeature.Shape", [&](RowObject& r) -> HRESULT {
    if (r.data().shape.empty()) return giveOut(nullptr, IID_IUnknown, out);
    auto g = make<GeometryObject>(r.data().shape);
    return giveOut(g.get(), IID_IUnknown, out);
  });
}

CursorObject::CursorObject(TableObject* t, std::vector<size_t> r, bool reuseRows)
    : Object("cursor", {&ifs().rowCursor, &ifs().featureCursor}), table(t), rows(std::move(r)), reuse(reuseRows) {
  table->addRef();
}

void CursorObject::lastReleased() {
  if (recycled) recycled->release();
  recycled = nullptr;
  table->release();
}

HRESULT CursorObject::next(void** out, const GUID& iid) {
  if (!out) return E_POINTER;
  if (position >= rows.size()) {
    *out = nullptr;
    return S_OK;
  }
  const size_t row = rows[position++];
  if (reuse) {
    // A recycling cursor hands out the same row object, moved on, as the host's do.
    if (!recycled) recycled = new RowObject(table, row);
    recycled->row = row;
    return giveOut(recycled, iid, out);
  }
  auto fresh = make<RowObject>(table, row);
  return giveOut(fresh.get(), iid, out);
}

FieldObject::FieldObject(std::string n, LONG t) : Object("field", {&ifs().field}), name(std::move(n)), type(t) {}

FieldsObject::FieldsObject(const TableData& data) : Object("field collection", {&ifs().fields}) {
  for (const auto& [name, type] : data.fields) fields.push_back(make<FieldObject>(name, type));
}

TableObject::TableObject(TableData& d)
    : Object("table", {&ifs().classIf, &ifs().table, &ifs().featureClass}), data(d), fields(make<FieldsObject>(d)) {}

HRESULT TableObject::tableSearch(Face* self, void* filter, VARIANT_BOOL reuse, void** out) {
  ReadingClock clock;
  return serve<TableObject>(self, "ITable.Search",
                            [&](TableObject& t) { return t.search(filter, reuse, out, ifs().rowCursor.iid); });
}

FeatureLayerObject::FeatureLayerObject(std::string n, Held<TableObject> t)
    : LayerObject("feature layer", {&ifs().layer, &ifs().featureLayer, &ifs().displayTableSource}, std::move(n)),
      table(std::move(t)) {}

HRESULT FeatureLayerObject::featureClass(Face* self, void** out) {
  return serve<FeatureLayerObject>(self, "IFeatureLayer.FeatureClass", [&](FeatureLayerObject& l) {
    return giveOut(l.table.get(), ifs().featureClass.iid, out);
  });
}

HRESULT FeatureLayerObject::search(Face* self, void* filter, VARIANT_BOOL reuse, void** out) {
  ReadingClock clock;
  return serve<FeatureLayerObject>(self, "IFeatureLayer.Search", [&](FeatureLayerObject& l) {
    return l.table->search(filter, reuse, out, ifs().featureCursor.iid);
  });
}

HRESULT FeatureLayerObject::displayTable(Face* self, void** out) {
  return serve<FeatureLayerObject>(self, "IDisplayTable.DisplayTable",
                                   [&](FeatureLayerObject& l) { return giveOut(l.table.get(), ifs().table.iid, out); });
}

GroupLayerObject::GroupLayerObject(std::string n)
    : LayerObject("group layer", {&ifs().layer, &ifs().groupLayerType, &ifs().layerGroup}, std::move(n)) {}

HRESULT GroupLayerObject::member(Face* self, LONG index, void** out) {
  return serve<GroupLayerObject>(self, "ICompositeLayer.Layer", [&](GroupLayerObject& g) -> HRESULT {
    if (index < 0 || static_cast<size_t>(index) >= g.members.size()) return E_INVALIDARG;
    return giveOut(g.members[static_cast<size_t>(index)].get(), ifs().layer.iid, out);
  });
}

OtherLayerObject::OtherLayerObject(std::string n) : LayerObject("other layer", {&ifs().layer}, std::move(n)) {}

MapObject::MapObject() : Object("map", {&ifs().map, &ifs().view}) {}

HRESULT MapObject::layer(Face* self, LONG index, void** out) {
  return serve<MapObject>(self, "IMap.Layer", [&](MapObject& m) -> HRESULT {
    if (index < 0 || static_cast<size_t>(index) >= m.layers.size()) return E_INVALIDARG;
    return giveOut(m.layers[static_cast<size_t>(index)].get(), ifs().layer.iid, out);
  });
}

DocumentObject::DocumentObject(Held<MapObject> m) : Object("document", {&ifs().document}), map(std::move(m)) {}

HRESULT DocumentObject::activeView(Face* self, void** out) {
  return serve<DocumentObject>(self, "IMxDocument.ActiveView",
                               [&](DocumentObject& d) { return giveOut(d.map.get(), ifs().view.iid, out); });
}

HRESULT DocumentObject::focusMap(Face* self, void** out) {
  return serve<DocumentObject>(self, "IMxDocument.FocusMap",
                               [&](DocumentObject& d) { return giveOut(d.map.get(), ifs().map.iid, out); });
}

ProgressObject::ProgressObject() : Object("progress indicator", {&ifs().progress, &ifs().range}) {}

StatusBarObject::StatusBarObject() : Object("status bar", {&ifs().statusBar}), progress(make<ProgressObject>()) {}

ApplicationObject::ApplicationObject(Held<DocumentObject> d, Held<StatusBarObject> s)
    : Object("application", {&ifs().application}), document(std::move(d)), statusBar(std::move(s)) {}

// ---------------------------------------------------------------- frame windows

const wchar_t kFrameClass[] = L"CorvaleHostDoubleFrame";

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_CLOSE) {
    // The host's frame closes by hiding; the window it holds lives on.
    ShowWindow(hwnd, SW_HIDE);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wp, lp);
}

void registerFrameClass() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = frameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  RegisterClassW(&wc);
  done = true;
}

FrameWindowObject::FrameWindowObject() : Object("frame window", {&ifs().frameWindow, &ifs().windowPosition}) {
  registerFrameClass();
  hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                         CW_USEDEFAULT, 200, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  auto& r = World::get().records();
  std::lock_guard lock(r.mutex);
  open().push_back(this);
  id = ++r.framesCreated;
  FrameRecord f;
  f.id = id;
  f.number = ++r.framesSinceStart;
  f.frame = hwnd;
  r.frames.push_back(f);
}

void FrameWindowObject::close() {
  if (hwnd) DestroyWindow(hwnd);
  hwnd = nullptr;
  if (IDispatch* held = std::exchange(window, nullptr)) held->Release();
}

void FrameWindowObject::lastReleased() {
  auto& all = open();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  {
    auto& r = World::get().records();
    std::lock_guard lock(r.mutex);
    if (FrameRecord* f = record()) f->released = true;
  }
  if (hwnd) DestroyWindow(hwnd);
  hwnd = nullptr;
  if (window) window->Release();
  window = nullptr;
}

HRESULT FrameWindowObject::create(Face* self, IDispatch* form) {
  return serve<FrameWindowObject>(self, "IFrameWindow.Create", [&](FrameWindowObject& f) -> HRESULT {
    if (!form) return E_POINTER;
    // Reading the form's hWnd loads it: its load runs inside this call.
    LPOLESTR name = const_cast<LPOLESTR>(L"hWnd");
    DISPID id = 0;
    HRESULT hr = form->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
      Ledger::get().error("the window handed to the frame has no hWnd property");
      return hr;
    }
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    hr = form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    if (FAILED(hr)) return hr;
    if (result.vt != VT_I4) {
      Ledger::get().error("the window's hWnd is not a 32-bit integer");
      VariantClear(&result);
      return E_INVALIDARG;
    }
    HWND child = reinterpret_cast<HWND>(static_cast<LONG_PTR>(result.lVal));
    if (!IsWindow(child)) {
      Ledger::get().error("the window's hWnd is not a window");
      return E_INVALIDARG;
    }
    form->AddRef();
    if (f.window) f.window->Release();
    f.window = form;
    SetParent(child, f.hwnd);
    LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_THICKFRAME)) | WS_CHILD;
    SetWindowLongPtrW(child, GWL_STYLE, style);
    RECT rc;
    GetWindowRect(child, &rc);
    SetWindowPos(child, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    RECT outer{0, 0, rc.right - rc.left, rc.bottom - rc.top};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(f.hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(f.hwnd, GWL_EXSTYLE)));
    SetWindowPos(f.hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FrameRecord snapshot;
    {
      auto& r = World::get().records();
      std::lock_guard lock(r.mutex);
      FrameRecord* rec = f.record();
      rec->attached = child;
      snapshot = *rec;
    }
    auto m = frameMembers(snapshot);
    m["state"] = "attached";
    Transcript::get().add("window", m);
    return S_OK;
  });
}

HRESULT FrameWindowObject::setVisible(Face* self, VARIANT_BOOL visible) {
  return serve<FrameWindowObject>(self, "IFrameWindow.Visible", [&](FrameWindowObject& f) {
    ShowWindow(f.hwnd, visible ? SW_SHOW : SW_HIDE);
    FrameRecord snapshot;
    {
      auto& r = World::get().records();
      std::lock_guard lock(r.mutex);
      f.record()->visible = visible != VARIANT_FALSE;
      snapshot = *f.record();
    }
    auto m = frameMembers(snapshot);
    m["state"] = visible ? "shown" : "hidden";
    Transcript::get().add("window", m);
    return S_OK;
  });
}

HRESULT FrameWindowObject::setCaption(Face* self, BSTR caption) {
  return serve<FrameWindowObject>(self, "IFrameWindow.Caption", [&](FrameWindowObject& f) {
    SetWindowTextW(f.hwnd, caption ? caption : L"");
    FrameRecord snapshot;
    {
      auto& r = World::get().records();
      std::lock_guard lock(r.mutex);
      f.record()->caption = utf8OfBstr(caption);
      snapshot = *f.record();
    }
    auto m = frameMembers(snapshot);
    m["state"] = "caption";
    Transcript::get().add("window", m);
    return S_OK;
  });
}

HRESULT FrameWindowObject::move(Face* self, LONG left, LONG top, LONG width, LONG height) {
  return serve<FrameWindowObject>(self, "IWindowPosition.Move", [&](FrameWindowObject& f) {
    const UINT keepSize = (width == 0 || height == 0) ? SWP_NOSIZE : 0;
    SetWindowPos(f.hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE | keepSize);
    auto& r = World::get().records();
    std::lock_guard lock(r.mutex);
    FrameRecord* rec = f.record();
    ++rec->moves;
    rec->left = left;
    rec->top = top;
    return S_OK;
  });
}

// ---------------------------------------------------------------- class objects

ClassFactoryObject::ClassFactoryObject(Makes m) : Object("class object", {&ifs().classFactory}), makes(m) {}

}  // namespace

struct World::State {
  Held<ApplicationObject> application;
  std::vector<Held<ClassFactoryObject>> factories;
  std::vector<DWORD> cookies;
  Records records;
};

namespace {

HRESULT ClassFactoryObject::createInstance(Face* self, IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return serve<ClassFactoryObject>(self, "CoCreateInstance", [&](ClassFactoryObject& f) -> HRESULT {
    switch (f.makes) {
      case Makes::Application: {
        // A new instance of the application reference is the running application.
        auto* app = static_cast<ApplicationObject*>(Object::of(World::get().application()));
        return giveOut(app, iid, out);
      }
      case Makes::QueryFilter: {
        auto filter = make<QueryFilterObject>();
        return giveOut(filter.get(), iid, out);
      }
      case Makes::FrameWindow: {
        auto frame = make<FrameWindowObject>();
        return giveOut(frame.get(), iid, out);
      }
    }
    return E_UNEXPECTED;
  });
}

Held<LayerObject> layerObject(const LayerData& data, std::vector<Held<TableObject>>& tables) {
  switch (data.kind) {
    case LayerData::Kind::Feature:
      return Held<LayerObject>(new FeatureLayerObject(data.name, tables.at(data.table)));
    case LayerData::Kind::Group: {
      auto* group = new GroupLayerObject(data.name);
      for (const auto& member : data.members) group->members.push_back(layerObject(member, tables));
      return Held<LayerObject>(group);
    }
    case LayerData::Kind::Other: break;
  }
  return Held<LayerObject>(new OtherLayerObject(data.name));
}

}  // namespace

// ---------------------------------------------------------------- the world

TableData& TableData::field(std::string name, LONG type) {
  fields.emplace_back(std::move(name), type);
  for (auto& r : rows) r.values.emplace_back(Variant::null());
  return *this;
}

TableData& TableData::row(const std::vector<std::pair<std::string, Variant>>& values, std::vector<Vertex> shape) {
  Row r;
  r.objectId = static_cast<LONG>(rows.size() + 1);
  r.values.assign(fields.size(), Variant::null());
  for (const auto& [name, value] : values) r.values.at(static_cast<size_t>(index(name))) = value;
  r.shape = std::move(shape);
  rows.push_back(std::move(r));
  return *this;
}

LONG TableData::index(const std::string& name) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (equalsNoCase(fields[i].first, name)) return static_cast<LONG>(i);
  }
  return -1;
}

World::World() : state_(new State) {}

World& World::get() {
  static World world;
  return world;
}

World::Records& World::records() { return state_->records; }

void World::buildSampleCity() {
  tables.clear();
  layers.clear();
  TableData streets;
  streets.field("OBJECTID", fieldtype::kObjectId)
      .field("FULLNAME", fieldtype::kText)
      .field("LANES", fieldtype::kInteger)
      .field("LENGTH", fieldtype::kDouble)
      .field("BUILT", fieldtype::kDate)
      .field("Shape", fieldtype::kGeometry);
  auto add = [&](Variant name, std::vector<Vertex> line, int lanes = 2) {
    streets.row({{"FULLNAME", name}, {"LANES", lanes}, {"LENGTH", 120.5}, {"BUILT", Date{1998, 4, 1}}},
                std::move(line));
  };
  add("Main Street", {{100, 200}, {300, 300}}, 4);
  add("Elm Street", {{0, 0}, {50, 100}});
  add("main street", {{500, 500}, {520, 540}});
  add("Main Street", {{300, 200}, {400, 260}}, 4);
  add("O'Brien Road", {{10, 10}, {30, 20}});
  add(Variant::null(), {{1, 1}, {2, 2}});
  add("", {{3, 3}, {4, 4}});
  add(" Quay Lane", {{60, 60}, {70, 90}});
  add("\xC3\x85lesund All\xC3\xA9", {{80, 10}, {95, 30}}, 1);
  streets.row({{"FULLNAME", "Market Square"}, {"LANES", 0}}, {{250, 250}});
  add("Birch Avenue", {{-50, -40}, {-10, 0}});
  tables.push_back(std::move(streets));

  TableData hydrants;
  hydrants.field("OBJECTID", fieldtype::kObjectId).field("HYDRANT_ID", fieldtype::kText).field("Shape", fieldtype::kGeometry);
  hydrants.row({{"HYDRANT_ID", "H-1"}}, {{5, 5}});
  tables.push_back(std::move(hydrants));
  TableData mains;
  mains.field("OBJECTID", fieldtype::kObjectId).field("DIAMETER", fieldtype::kDouble).field("Shape", fieldtype::kGeometry);
  tables.push_back(std::move(mains));

  LayerData utilities{LayerData::Kind::Group, "Utilities", 0,
                      {{LayerData::Kind::Feature, "Hydrants", 1, {}}, {LayerData::Kind::Feature, "Mains", 2, {}}}};
  layers = {{LayerData::Kind::Feature, "Streets", 0, {}}, utilities, {LayerData::Kind::Other, "Orthophoto 2024", 0, {}}};
}

void World::buildManyNames(int n) {
  tables.clear();
  layers.clear();
  TableData streets;
  streets.field("OBJECTID", fieldtype::kObjectId).field("FULLNAME", fieldtype::kText).field("Shape", fieldtype::kGeometry);
  streets.rows.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const long long j = testing::scrambledNumber(k, n);
    const double x = static_cast<double>(j % 1000), y = static_cast<double>(j / 1000);
    streets.row({{"FULLNAME", testing::scrambledStreetName(j)}}, {{x, y}, {x + 1, y + 1}});
  }
  tables.push_back(std::move(streets));
  layers = {{LayerData::Kind::Feature, "Streets", 0, {}}};
}

void World::start() {
  {
    std::lock_guard lock(state_->records.mutex);
    state_->records.framesSinceStart = 0;
  }
  std::vector<Held<TableObject>> tableObjects;
  for (auto& t : tables) tableObjects.push_back(Held<TableObject>(new TableObject(t)));
  auto map = make<MapObject>();
  for (const auto& l : layers) map->layers.push_back(layerObject(l, tableObjects));
  auto document = make<DocumentObject>(map);
  state_->application = make<ApplicationObject>(document, make<StatusBarObject>());

  const std::pair<const char*, ClassFactoryObject::Makes> classes[] = {
      {"{E1740EC5-9513-11D2-A2DF-0000F8774FB5}", ClassFactoryObject::Makes::Application},
      {"{FDFEBD95-ED75-11D0-9A95-080009EC734B}", ClassFactoryObject::Makes::QueryFilter},
      {"{9F79BAAE-E23A-4E3E-83F9-6D85B3D1094F}", ClassFactoryObject::Makes::FrameWindow},
  };
  for (const auto& [clsid, makes] : classes) {
    auto factory = make<ClassFactoryObject>(makes);
    DWORD cookie = 0;
    HRESULT hr = CoRegisterClassObject(guidOf(clsid), static_cast<IUnknown*>(factory->unknown()),
                                       CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) Ledger::get().error(std::string("CoRegisterClassObject failed for ") + clsid);
    state_->factories.push_back(factory);
    state_->cookies.push_back(cookie);
  }
}

void World::stop() {
  // The host's own windows end with it: each frame window still open closes and lets go of
  // the window it holds (the component's reference to the frame itself stays its own).
  const std::vector<FrameWindowObject*> frames = FrameWindowObject::open();
  for (FrameWindowObject* frame : frames) {
    if (frame->destroyed()) continue;
    frame->addRef();
    frame->close();
    frame->release();
  }
  for (DWORD cookie : state_->cookies) CoRevokeClassObject(cookie);
  state_->cookies.clear();
  state_->factories.clear();
  state_->application = Held<ApplicationObject>();
}

void* World::application() { return state_->application ? state_->application->unknown() : nullptr; }

std::vector<Extent> World::extents() const {
  std::lock_guard lock(state_->records.mutex);
  return state_->records.extents;
}

int World::refreshes() const {
  std::lock_guard lock(state_->records.mutex);
  return state_->records.refreshes;
}

std::vector<ProgressRun> World::progress() const {
  std::lock_guard lock(state_->records.mutex);
  return state_->records.progress;
}

std::vector<FrameRecord> World::frames() const {
  std::lock_guard lock(state_->records.mutex);
  return state_->records.frames;
}

void World::clearRecords() {
  std::lock_guard lock(state_->records.mutex);
  state_->records.extents.clear();
  state_->records.refreshes = 0;
  state_->records.progress.clear();
}

namespace {

/// Performance-counter ticks per processor cycle since the reading clock's reset.
double ticksPerCycle(const World::Records& r, LARGE_INTEGER& counter) {
  QueryPerformanceCounter(&counter);
  const uint64_t cycles = __rdtsc() - r.resetCycle;
  return cycles == 0 ? 0.0 : static_cast<double>(counter.QuadPart - r.resetCounter) / static_cast<double>(cycles);
}

}  // namespace

double World::readingSeconds() const {
  LARGE_INTEGER f, counter;
  QueryPerformanceFrequency(&f);
  const Records& r = state_->records;
  std::lock_guard lock(r.mutex);
  const double ticks = static_cast<double>(r.readingCycles.load()) * ticksPerCycle(r, counter);
  return ticks / static_cast<double>(f.QuadPart);
}

LONGLONG World::lastReadingEnd() const {
  LARGE_INTEGER counter;
  const Records& r = state_->records;
  std::lock_guard lock(r.mutex);
  const uint64_t last = r.lastReadingCycle.load();
  if (last < r.resetCycle) return r.resetCounter;
  return r.resetCounter + static_cast<LONGLONG>(static_cast<double>(last - r.resetCycle) * ticksPerCycle(r, counter));
}

void World::resetReadingTime() {
  Records& r = state_->records;
  std::lock_guard lock(r.mutex);
  r.readingCycles = 0;
  r.lastReadingCycle = 0;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  r.resetCounter = counter.QuadPart;
  r.resetCycle = __rdtsc();
}

}  // namespace corvale::windouble
