#include "hosts/arcmap/ComObjects.h"

#include <array>
#include <utility>

#include "host/Data.h"
#include "host/Geometry.h"
#include "host/MapModel.h"
#include "hosts/arcmap/FormDispatch.h"
#include "hosts/arcmap/HostOperations.h"

namespace corvale::arcmap {

namespace {

/// What the host does not tell: the interface table has no operation for it.
constexpr int32_t kNotOffered = 438;

[[noreturn]] void raiseNotOffered(const char* what) {
  raise(kNotOffered, std::string("Object doesn't support this property or method: ") + what +
                         " is not offered by the host");
}

/// What every wrapper offers the adapter itself: the interface pointer it holds for an identifier.
class ComWrapper : public virtual Object {
 public:
  virtual IUnknown* interfaceFor(const GUID& iid) const = 0;
};

/// The interface pointers a wrapper is built with, by identifier.
class Answers {
 public:
  /// Asks the object for the interface; true when it answers, false on E_NOINTERFACE.
  bool ask(IUnknown* object, const GUID& iid) {
    IUnknown* answer = nullptr;
    const HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&answer));
    if (hr == E_NOINTERFACE) return false;
    if (FAILED(hr)) raiseHostFailure(hr, object, iid);
    if (!answer) raise(err::kTypeMismatch);
    entries_[count_++] = {&iid, ComRef::adopt(answer)};
    return true;
  }
  ComRef take(const GUID& iid) {
    for (size_t i = 0; i < count_; ++i) {
      if (entries_[i].iid && IsEqualGUID(*entries_[i].iid, iid)) return std::move(entries_[i].ref);
    }
    return ComRef();
  }

 private:
  struct Entry {
    const GUID* iid = nullptr;
    ComRef ref;
  };
  std::array<Entry, 8> entries_{};
  size_t count_ = 0;
};

/// One host interface of a wrapper, over the interface pointer the object answered for it.
template <class HostInterface, const GUID& Iid>
class Facet : public HostInterface {
 public:
  static constexpr const GUID& iid = Iid;
  IUnknown* itf() const { return itf_.get(); }

 protected:
  explicit Facet(Answers& answers) : itf_(answers.take(Iid)) {}

 private:
  ComRef itf_;
};

/// The wrapper that offers exactly the facets given.
template <class... Facets>
class Wrapper final : public ComWrapper, public Facets... {
 public:
  explicit Wrapper(Answers& answers) : Facets(answers)... {}
  IUnknown* interfaceFor(const GUID& wanted) const override {
    IUnknown* found = nullptr;
    ((found = (!found && IsEqualGUID(Facets::iid, wanted)) ? Facets::itf() : found), ...);
    return found;
  }
};

template <class... Chosen>
struct Chosen_ {};

/// Builds the wrapper of the facets whose bit is set in `mask`, in order.
template <class ChosenList, class... Rest>
struct Builder;

template <class... Chosen>
struct Builder<Chosen_<Chosen...>> {
  static ObjectRef make(unsigned, Answers& answers) {
    return std::make_shared<Wrapper<Chosen...>>(answers);
  }
};

template <class... Chosen, class Next, class... Rest>
struct Builder<Chosen_<Chosen...>, Next, Rest...> {
  static ObjectRef make(unsigned mask, Answers& answers) {
    if (mask & 1u) return Builder<Chosen_<Chosen..., Next>, Rest...>::make(mask >> 1, answers);
    return Builder<Chosen_<Chosen...>, Rest...>::make(mask >> 1, answers);
  }
};

/// Wraps the object with the facets it answers; nothing stays nothing.
template <class... Facets>
ObjectRef wrapAnswered(const ComRef& object) {
  if (!object) return nullptr;
  Answers answers;
  unsigned mask = 0;
  unsigned bit = 1;
  ((mask |= answers.ask(object.get(), Facets::iid) ? bit : 0u, bit <<= 1), ...);
  return Builder<Chosen_<>, Facets...>::make(mask, answers);
}

/// Wraps an object that must answer `Required`; the optional facets as it answers them.
template <class Required, class... Optional>
auto wrapRequired(const ComRef& object) {
  using Host = typename Required::Host;
  auto wrapped = wrapAnswered<Required, Optional...>(object);
  if (!wrapped) return std::shared_ptr<Host>();
  auto typed = std::dynamic_pointer_cast<Host>(wrapped);
  if (!typed) raise(err::kTypeMismatch);
  return typed;
}

/// The result of an operation that yields an object.
template <class Op, class... In>
ComRef objectFrom(IUnknown* self, In... in) {
  IUnknown* out = nullptr;
  Op::call(self, in..., &out);
  return ComRef::adopt(out);
}

template <class Op, class... In>
std::string textFrom(IUnknown* self, In... in) {
  Bstr out;
  Op::call(self, in..., out.out());
  return out.utf8();
}

template <class Op, class... In>
int32_t longFrom(IUnknown* self, In... in) {
  LONG out = 0;
  Op::call(self, in..., &out);
  return static_cast<int32_t>(out);
}

template <class Op, class... In>
bool boolFrom(IUnknown* self, In... in) {
  VARIANT_BOOL out = VARIANT_FALSE;
  Op::call(self, in..., &out);
  return out != VARIANT_FALSE;
}

/// The interface pointer of an argument: nothing is null; an object of another host is 13.
IUnknown* argument(const ObjectRef& object, const GUID& iid) {
  if (!object) return nullptr;
  IUnknown* itf = comInterfaceOf(object, iid);
  if (!itf) raise(err::kTypeMismatch);
  return itf;
}

// The facets, one per host interface. Their wrap functions follow them.

std::shared_ptr<host::IFeatureClass> wrapFeatureClass(ComRef object);
std::shared_ptr<host::ILayer> wrapLayer(ComRef object);
std::shared_ptr<host::IActiveView> wrapView(ComRef object);

class StatusBarFacet;
class ProgressFacet;

template <class HostInterface, const GUID& Iid>
struct HostFacet : Facet<HostInterface, Iid> {
  using Host = HostInterface;
  using Facet<HostInterface, Iid>::Facet;
};

class ProgressFacet : public HostFacet<host::IProgressIndicator, iid::ProgressIndicator> {
 public:
  using HostFacet::HostFacet;
  void setMessage(const std::string& message) override {
    op::ProgressSetMessage::call(itf(), Bstr(message).get());
  }
  void show() override { op::ProgressShow::call(itf()); }
  void step() override { op::ProgressStep::call(itf()); }
  void hide() override { op::ProgressHide::call(itf()); }
  void setMaximum(int32_t maximum) override { op::RangeSetMaximum::call(range(), maximum); }
  void setStepSize(int32_t stepSize) override { op::RangeSetStepSize::call(range(), stepSize); }
  void setPosition(int32_t position) override { op::RangeSetPosition::call(range(), position); }

 private:
  /// The indicator's range, asked for once.
  IUnknown* range() {
    if (!range_) {
      IUnknown* answer = nullptr;
      const HRESULT hr =
          itf()->QueryInterface(iid::ProgressRange, reinterpret_cast<void**>(&answer));
      if (hr == E_NOINTERFACE) raise(err::kTypeMismatch);
      if (FAILED(hr)) raiseHostFailure(hr, itf(), iid::ProgressRange);
      range_ = ComRef::adopt(answer);
      if (!range_) raise(err::kTypeMismatch);
    }
    return range_.get();
  }
  ComRef range_;
};

class StatusBarFacet : public HostFacet<host::IStatusBar, iid::StatusBar> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IProgressIndicator> progressIndicator() override {
    return wrapRequired<ProgressFacet>(objectFrom<op::StatusBarProgressIndicator>(itf()));
  }
};

class EnvelopeFacet : public HostFacet<host::IEnvelope, iid::Envelope> {
 public:
  using HostFacet::HostFacet;
  void expand(double dx, double dy, bool asRatio) override {
    op::EnvelopeExpand::call(itf(), dx, dy, variantBool(asRatio));
  }
  double xMin() override { raiseNotOffered("an envelope's XMin"); }
  double yMin() override { raiseNotOffered("an envelope's YMin"); }
  double xMax() override { raiseNotOffered("an envelope's XMax"); }
  double yMax() override { raiseNotOffered("an envelope's YMax"); }
};

class GeometryFacet : public HostFacet<host::IGeometry, iid::Geometry> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IEnvelope> envelope() override {
    return wrapRequired<EnvelopeFacet>(objectFrom<op::GeometryEnvelope>(itf()));
  }
};

class FeatureFacet : public HostFacet<host::IFeature, iid::Feature> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IGeometry> shape() override {
    return wrapRequired<GeometryFacet>(objectFrom<op::FeatureShape>(itf()));
  }
};

class RowFacet : public HostFacet<host::IRow, iid::Row> {
 public:
  using HostFacet::HostFacet;
  int64_t objectId() override { return longFrom<op::RowObjectId>(itf()); }
};

class RowValuesFacet : public HostFacet<host::IRowValues, iid::RowValues> {
 public:
  using HostFacet::HostFacet;
  Variant value(int32_t index) override {
    VariantHolder held;
    op::RowValuesValue::call(itf(), index, held.out());
    return variantFrom(held.get());
  }
  /// The system's own text of the value (VariantChangeTypeEx to a string, user locale).
  std::optional<std::string_view> valueText(int32_t index, std::string& scratch) override {
    VariantHolder held;
    op::RowValuesValue::call(itf(), index, held.out());
    if (!standardText(held.get(), scratch)) return std::nullopt;
    return std::string_view(scratch);
  }
};

class RowCursorFacet : public HostFacet<host::ICursor, iid::RowCursor> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IRow> nextRow() override {
    return wrapRow(objectFrom<op::RowCursorNext>(itf()));
  }
};

class FeatureCursorFacet : public HostFacet<host::IFeatureCursor, iid::FeatureCursor> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IFeature> nextFeature() override {
    return wrapRequired<FeatureFacet>(objectFrom<op::FeatureCursorNext>(itf()));
  }
};

class FieldFacet : public HostFacet<host::IField, iid::Field> {
 public:
  using HostFacet::HostFacet;
  std::string name() override { return textFrom<op::FieldName>(itf()); }
  int32_t type() override { return longFrom<op::FieldType>(itf()); }
};

class FieldsFacet : public HostFacet<host::IFields, iid::Fields> {
 public:
  using HostFacet::HostFacet;
  int32_t fieldCount() override { return longFrom<op::FieldsCount>(itf()); }
  std::shared_ptr<host::IField> field(int32_t index) override {
    return wrapRequired<FieldFacet>(objectFrom<op::FieldsField>(itf(), LONG{index}));
  }
};

/**
 * A new query filter of the host. The host has no operation that reads the
 * clause back; the filter answers with what the adapter set, which is what
 * it holds, since nothing else sets it.
 */
class QueryFilterFacet : public HostFacet<host::IQueryFilter, iid::QueryFilter> {
 public:
  using HostFacet::HostFacet;
  void setWhereClause(const std::string& clause) override {
    op::QueryFilterSetWhereClause::call(itf(), Bstr(clause).get());
    clause_ = clause;
  }
  std::string whereClause() override { return clause_; }

 private:
  std::string clause_;
};

class ClassFacet : public HostFacet<host::IClass, iid::Class> {
 public:
  using HostFacet::HostFacet;
  int32_t findField(const std::string& name) override {
    return longFrom<op::ClassFindField>(itf(), Bstr(name).get());
  }
  std::shared_ptr<host::IFields> fields() override {
    return wrapRequired<FieldsFacet>(objectFrom<op::ClassFields>(itf()));
  }
  bool hasObjectId() override { return boolFrom<op::ClassHasObjectId>(itf()); }
  std::string objectIdFieldName() override { return textFrom<op::ClassObjectIdFieldName>(itf()); }
};

class TableFacet : public HostFacet<host::ITable, iid::Table> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::ICursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                        bool reuse) override {
    return wrapRequired<RowCursorFacet>(objectFrom<op::TableSearch>(
        itf(), argument(filter, iid::QueryFilter), variantBool(reuse)));
  }
};

class FeatureClassFacet : public HostFacet<host::IFeatureClass, iid::FeatureClass> {
 public:
  using HostFacet::HostFacet;
  int32_t featureCount(const std::shared_ptr<host::IQueryFilter>& filter) override {
    return longFrom<op::FeatureClassCount>(itf(), argument(filter, iid::QueryFilter));
  }
};

class LayerFacet : public HostFacet<host::ILayer, iid::Layer> {
 public:
  using HostFacet::HostFacet;
  std::string name() override { return textFrom<op::LayerName>(itf()); }
};

class GroupLayerFacet : public HostFacet<host::IGroupLayer, iid::GroupLayer> {
 public:
  using HostFacet::HostFacet;
};

class CompositeLayerFacet : public HostFacet<host::ICompositeLayer, iid::CompositeLayer> {
 public:
  using HostFacet::HostFacet;
  int32_t memberCount() override { return longFrom<op::CompositeLayerCount>(itf()); }
  std::shared_ptr<host::ILayer> member(int32_t index) override {
    return wrapLayer(objectFrom<op::CompositeLayerMember>(itf(), LONG{index}));
  }
};

class FeatureLayerFacet : public HostFacet<host::IFeatureLayer, iid::FeatureLayer> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IFeatureClass> featureClass() override {
    return wrapFeatureClass(objectFrom<op::FeatureLayerFeatureClass>(itf()));
  }
  std::shared_ptr<host::IFeatureCursor> search(const std::shared_ptr<host::IQueryFilter>& filter,
                                               bool reuse) override {
    return wrapRequired<FeatureCursorFacet>(objectFrom<op::FeatureLayerSearch>(
        itf(), argument(filter, iid::QueryFilter), variantBool(reuse)));
  }
};

class DisplayTableFacet : public HostFacet<host::IDisplayTable, iid::DisplayTable> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::ITable> displayTable() override {
    return wrapRequired<TableFacet, ClassFacet>(objectFrom<op::DisplayTableTable>(itf()));
  }
};

class MapFacet : public HostFacet<host::IMap, iid::Map> {
 public:
  using HostFacet::HostFacet;
  int32_t layerCount() override { return longFrom<op::MapLayerCount>(itf()); }
  std::shared_ptr<host::ILayer> layer(int32_t index) override {
    return wrapLayer(objectFrom<op::MapLayer>(itf(), LONG{index}));
  }
};

class PageLayoutFacet : public HostFacet<host::IPageLayout, iid::PageLayout> {
 public:
  using HostFacet::HostFacet;
};

class ActiveViewFacet : public HostFacet<host::IActiveView, iid::ActiveView> {
 public:
  using HostFacet::HostFacet;
  void setExtent(const std::shared_ptr<host::IEnvelope>& extent) override {
    op::ActiveViewSetExtent::call(itf(), argument(extent, iid::Envelope));
  }
  std::shared_ptr<host::IActiveView> focusMap() override {
    return wrapView(objectFrom<op::ActiveViewFocusMap>(itf()));
  }
  void refresh() override { op::ActiveViewRefresh::call(itf()); }
};

class DocumentFacet : public HostFacet<host::IDocument, iid::Document> {
 public:
  using HostFacet::HostFacet;
  std::shared_ptr<host::IActiveView> activeView() override {
    return wrapView(objectFrom<op::DocumentActiveView>(itf()));
  }
  std::shared_ptr<host::IMap> focusMap() override {
    return wrapRequired<MapFacet>(objectFrom<op::DocumentFocusMap>(itf()));
  }
};

class ApplicationFacet : public HostFacet<host::IApplication, iid::Application> {
 public:
  using HostFacet::HostFacet;
  ObjectRef document() override {
    return wrapAnswered<DocumentFacet>(objectFrom<op::ApplicationDocument>(itf()));
  }
  std::shared_ptr<host::IStatusBar> statusBar() override {
    return wrapRequired<StatusBarFacet>(objectFrom<op::ApplicationStatusBar>(itf()));
  }
};

class WindowPositionFacet : public HostFacet<host::IWindowPosition, iid::WindowPosition> {
 public:
  using HostFacet::HostFacet;
  void move(int32_t left, int32_t top, int32_t width, int32_t height) override {
    op::WindowPositionMove::call(itf(), left, top, width, height);
  }
};

/**
 * A frame window of the host. It takes the window in as an IDispatch object
 * (see FormDispatch) and keeps it; whether the host shows it now is not
 * something the host tells, so visible() is failure 438.
 */
class FrameWindowFacet : public HostFacet<host::IFrameWindow, iid::FrameWindow> {
 public:
  using HostFacet::HostFacet;
  void attach(const std::shared_ptr<host::IWindow>& window) override {
    IDispatch* form = newFormDispatch(window);
    const ComRef held = ComRef::adopt(form);
    op::FrameWindowAttach::call(itf(), form);
  }
  void setVisible(bool visible) override {
    op::FrameWindowSetVisible::call(itf(), variantBool(visible));
  }
  bool visible() override { raiseNotOffered("a frame window's visibility"); }
  void setCaption(const std::string& caption) override {
    op::FrameWindowSetCaption::call(itf(), Bstr(caption).get());
  }
};

std::shared_ptr<host::IFeatureClass> wrapFeatureClass(ComRef object) {
  return wrapRequired<FeatureClassFacet, ClassFacet>(object);
}

std::shared_ptr<host::ILayer> wrapLayer(ComRef object) {
  return wrapRequired<LayerFacet, GroupLayerFacet, CompositeLayerFacet, FeatureLayerFacet,
                      DisplayTableFacet>(object);
}

std::shared_ptr<host::IActiveView> wrapView(ComRef object) {
  return wrapRequired<ActiveViewFacet, PageLayoutFacet>(object);
}

}  // namespace

ObjectRef wrapApplicationObject(ComRef object) {
  return wrapAnswered<ApplicationFacet>(object);
}

std::shared_ptr<host::IQueryFilter> wrapQueryFilter(ComRef object) {
  return wrapRequired<QueryFilterFacet>(object);
}

std::shared_ptr<host::IFrameWindow> wrapFrameWindow(ComRef object) {
  return wrapRequired<FrameWindowFacet, WindowPositionFacet>(object);
}

std::shared_ptr<host::IRow> wrapRow(ComRef object) {
  // wrapRequired<RowFacet, RowValuesFacet> without its run-time cast: one row
  // per row read, so the wrapper's type is chosen here and converted statically.
  if (!object) return nullptr;
  Answers answers;
  const bool row = answers.ask(object.get(), RowFacet::iid);
  const bool values = answers.ask(object.get(), RowValuesFacet::iid);
  if (!row) raise(err::kTypeMismatch);
  if (values) return std::make_shared<Wrapper<RowFacet, RowValuesFacet>>(answers);
  return std::make_shared<Wrapper<RowFacet>>(answers);
}

IUnknown* comInterfaceOf(const ObjectRef& object, const GUID& iid) {
  auto* wrapper = dynamic_cast<ComWrapper*>(object.get());
  return wrapper ? wrapper->interfaceFor(iid) : nullptr;
}

}  // namespace corvale::arcmap
