// The host double called through its tables by a caller of the test's own,
// written from the host's interface table: slots and identifiers must be the
// ones the component will use, failures come where they are asked for, and
// every object is back to its starting count afterwards.

#include <gtest/gtest.h>

#include <windows.h>

#include "double/HostDouble.h"
#include "double/HostObject.h"
#include "double/Transcript.h"

namespace corvale::windouble {
namespace {

/// Calls slot n of an interface pointer, as any client of the table does.
template <class... A>
HRESULT call(void* object, int slot, A... args) {
  auto fn = reinterpret_cast<HRESULT(STDMETHODCALLTYPE*)(void*, A...)>((*static_cast<void***>(object))[slot]);
  return fn(object, args...);
}

void* query(void* object, const char* iid) {
  void* out = nullptr;
  const GUID id = guidOf(iid);
  call(object, 0, &id, &out);
  return out;
}

ULONG release(void* object) {
  auto fn = reinterpret_cast<ULONG(STDMETHODCALLTYPE*)(void*)>((*static_cast<void***>(object))[2]);
  return fn(object);
}

const char kApplication[] = "{8E52B9A5-307B-11D2-94C9-080009EEBECB}";
const char kDocument[] = "{0522A5F1-487C-11D0-98BD-00805F7CED21}";
const char kMap[] = "{E6BDAA75-4D35-11D0-98BE-00805F7CED21}";
const char kGroupType[] = "{EDAD6644-1810-11D1-86AE-0000F8751720}";
const char kLayerGroup[] = "{BA119BC4-939A-11D2-A2F4-080009B6F22B}";
const char kFeatureLayer[] = "{40A9E885-5533-11D0-98BE-00805F7CED21}";
const char kClass[] = "{1AFCDB32-AC09-11D2-8A1E-006097AFF44E}";
const char kQueryFilter[] = "{FDFEBD93-ED75-11D0-9A95-080009EC734B}";
const char kRowValues[] = "{93684651-1A83-11D1-8802-0000F877762D}";
const char kRow[] = "{FCB01CB4-9F0B-11D0-BEC7-00805F7C4268}";
const char kFeature[] = "{D4803EE9-79F4-11D0-97FC-0080C7F79481}";
const char kView[] = "{DD94D76B-836D-11D0-87EC-080009EC732A}";
const char kFrameWindow[] = "{06861E43-9020-49EB-B949-824552EE2DE0}";
const char kWindowPosition[] = "{88C995AE-64A7-43F5-BF12-88AC179B25A6}";

class HostDouble : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    World::get().buildSampleCity();
    World::get().start();
    World::get().clearRecords();
    Ledger::get().failCall(0, S_OK);
    Ledger::get().clearErrors();
    before_ = Object::alive();
  }
  void TearDown() override {
    EXPECT_EQ(Object::alive(), before_) << "every object is back to its starting count";
    EXPECT_EQ(Ledger::get().errors(), std::vector<std::string>{});
    World::get().stop();
    CoUninitialize();
  }

  /// The application as the component reaches it: a new instance of the application reference.
  void* application() {
    void* app = nullptr;
    EXPECT_EQ(CoCreateInstance(guidOf("{E1740EC5-9513-11D2-A2DF-0000F8774FB5}"), nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, &app),
              S_OK);
    void* typed = query(app, kApplication);
    release(app);
    return typed;
  }
  void* focusMap() {
    void* app = application();
    void* document = nullptr;
    EXPECT_EQ(call(app, 8, &document), S_OK);
    void* typed = query(document, kDocument);
    void* map = nullptr;
    EXPECT_EQ(call(typed, 9, &map), S_OK);
    void* typedMap = query(map, kMap);
    for (void* p : {app, document, typed, map}) release(p);
    return typedMap;
  }
  std::string layerName(void* layer) {
    BSTR name = nullptr;
    EXPECT_EQ(call(layer, 3, &name), S_OK);
    std::string s = utf8OfBstr(name);
    SysFreeString(name);
    return s;
  }

  std::vector<std::pair<std::string, LONG>> before_;
};

TEST_F(HostDouble, AFeatureSearchYieldsTheStreetsFeaturesAndTheirZoomReachesTheView) {
  void* map = focusMap();
  LONG count = 0;
  ASSERT_EQ(call(map, 8, &count), S_OK);
  ASSERT_EQ(count, 3);
  void* streets = nullptr;
  ASSERT_EQ(call(map, 9, LONG{0}, &streets), S_OK);
  EXPECT_EQ(layerName(streets), "Streets");
  void* featureLayer = query(streets, kFeatureLayer);
  ASSERT_NE(featureLayer, nullptr);
  EXPECT_EQ(query(streets, kGroupType), nullptr) << "a feature layer is no group";

  void* featureClass = nullptr;
  ASSERT_EQ(call(featureLayer, 21, &featureClass), S_OK);
  void* cls = query(featureClass, kClass);
  LONG field = -2;
  BSTR name = SysAllocString(L"fullname");
  ASSERT_EQ(call(cls, 3, name, &field), S_OK);
  SysFreeString(name);
  EXPECT_EQ(field, 1);

  void* filter = nullptr;
  ASSERT_EQ(CoCreateInstance(guidOf("{FDFEBD95-ED75-11D0-9A95-080009EC734B}"), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &filter),
            S_OK);
  void* typedFilter = query(filter, kQueryFilter);
  BSTR clause = SysAllocString(L"FULLNAME = 'Main Street'");
  ASSERT_EQ(call(typedFilter, 7, clause), S_OK);
  SysFreeString(clause);
  void* cursor = nullptr;
  ASSERT_EQ(call(featureLayer, 29, typedFilter, VARIANT_FALSE, &cursor), S_OK);

  std::vector<LONG> ids;
  void* first = nullptr;
  for (void* feature = nullptr; call(cursor, 5, &feature) == S_OK && feature;) {
    void* row = query(feature, kRow);
    LONG id = 0;
    EXPECT_EQ(call(row, 7, &id), S_OK);
    ids.push_back(id);
    void* values = query(feature, kRowValues);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(call(values, 3, LONG{1}, &v), S_OK);
    EXPECT_EQ(v.vt, VT_BSTR);
    VariantClear(&v);
    release(values);
    release(row);
    if (first) {
      release(feature);
    } else {
      first = feature;
    }
  }
  EXPECT_EQ(ids, (std::vector<LONG>{1, 4})) << "both features of Main Street, in the table's order";

  void* shape = nullptr;
  ASSERT_EQ(call(query(first, kFeature), 13, &shape), S_OK);
  release(first);  // the reference the query above added
  void* envelope = nullptr;
  ASSERT_EQ(call(shape, 10, &envelope), S_OK);
  ASSERT_EQ(call(envelope, 50, 1.2, 1.2, VARIANT_TRUE), S_OK);
  void* view = query(map, kView);
  ASSERT_EQ(call(view, 6, envelope), S_OK);
  ASSERT_EQ(call(view, 31), S_OK);
  const auto extents = World::get().extents();
  ASSERT_EQ(extents.size(), 1u);
  // The first feature, (100 200)-(300 300), 1.2 times its size about its centre.
  EXPECT_DOUBLE_EQ(extents[0].xMin, 80);
  EXPECT_DOUBLE_EQ(extents[0].yMin, 190);
  EXPECT_DOUBLE_EQ(extents[0].xMax, 320);
  EXPECT_DOUBLE_EQ(extents[0].yMax, 310);
  EXPECT_EQ(World::get().refreshes(), 1);

  for (void* p : {view, envelope, shape, first, cursor, typedFilter, filter, cls, featureClass, featureLayer, streets,
                  map}) {
    release(p);
  }
}

TEST_F(HostDouble, QueryInterfaceAnswersExactlyWhatEachKindOffers) {
  void* map = focusMap();
  void* utilities = nullptr;
  ASSERT_EQ(call(map, 9, LONG{1}, &utilities), S_OK);
  void* group = query(utilities, kLayerGroup);
  ASSERT_NE(group, nullptr);
  EXPECT_NE(query(utilities, kGroupType), nullptr);
  release(utilities);  // the type test's reference
  EXPECT_EQ(query(utilities, kFeatureLayer), nullptr);
  LONG members = 0;
  EXPECT_EQ(call(group, 3, &members), S_OK);
  EXPECT_EQ(members, 2);
  void* other = nullptr;
  ASSERT_EQ(call(map, 9, LONG{2}, &other), S_OK);
  EXPECT_EQ(layerName(other), "Orthophoto 2024");
  for (const char* iid : {kFeatureLayer, kGroupType, kLayerGroup, kMap, kDocument}) {
    EXPECT_EQ(query(other, iid), nullptr) << iid;
  }
  EXPECT_EQ(call(map, 9, LONG{3}, &other), E_INVALIDARG) << "an index past the last layer";
  release(other);
  release(group);
  release(utilities);
  release(map);
}

TEST_F(HostDouble, TheChosenCallFailsWithItsStatusAndUnservedSlotsAreRecorded) {
  void* map = focusMap();
  Ledger::get().failCall(2, E_ACCESSDENIED);
  LONG count = -1;
  EXPECT_EQ(call(map, 8, &count), S_OK);
  count = -1;
  EXPECT_EQ(call(map, 8, &count), E_ACCESSDENIED);
  EXPECT_EQ(count, -1) << "a failing call changes nothing";
  EXPECT_TRUE(Ledger::get().injected());
  EXPECT_EQ(Ledger::get().injectedOperation(), "IMap.LayerCount");
  EXPECT_EQ(call(map, 8, &count), S_OK);
  Ledger::get().failCall(0, S_OK);

  EXPECT_EQ(call(map, 5), E_NOTIMPL) << "slot 5 of the map is never served";
  ASSERT_EQ(Ledger::get().errors().size(), 1u);
  EXPECT_NE(Ledger::get().errors()[0].find("slot 5 of map"), std::string::npos);
  Ledger::get().clearErrors();
  release(map);
}

/// The component's form as the frame window sees it: IDispatch with a property hWnd.
class Form : public IDispatch {
 public:
  Form() {
    hwnd = CreateWindowExW(0, L"STATIC", L"form", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  }
  ~Form() { DestroyWindow(hwnd); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    if (_wcsicmp(names[0], L"hWnd") != 0) return DISP_E_UNKNOWNNAME;
    ids[0] = 7;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != 7 || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_I4;
    result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd));
    return S_OK;
  }
  HWND hwnd;
  int refs = 1;
};

TEST_F(HostDouble, AFrameWindowHoldsTheFormAsItsChildUntilItIsReleased) {
  Form form;
  void* frame = nullptr;
  ASSERT_EQ(CoCreateInstance(guidOf("{9F79BAAE-E23A-4E3E-83F9-6D85B3D1094F}"), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &frame),
            S_OK);
  void* typed = query(frame, kFrameWindow);
  ASSERT_EQ(call(typed, 3, static_cast<IDispatch*>(&form)), S_OK);
  EXPECT_EQ(form.refs, 2) << "the frame keeps the form";
  BSTR caption = SysAllocString(L"CorvaleStreetSearch");
  EXPECT_EQ(call(typed, 6, caption), S_OK);
  SysFreeString(caption);
  EXPECT_EQ(call(typed, 4, VARIANT_TRUE), S_OK);
  void* position = query(frame, kWindowPosition);
  EXPECT_EQ(call(position, 11, LONG{40}, LONG{30}, LONG{0}, LONG{0}), S_OK);

  const FrameRecord f = World::get().frames().back();
  EXPECT_EQ(GetParent(form.hwnd), f.frame);
  EXPECT_TRUE(GetWindowLongPtrW(form.hwnd, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(f.frame));
  RECT rc;
  GetWindowRect(f.frame, &rc);
  EXPECT_EQ(rc.left, 40);
  EXPECT_EQ(rc.top, 30);
  RECT client;
  GetClientRect(f.frame, &client);
  EXPECT_EQ(client.right, 300) << "the frame fits the form";
  EXPECT_EQ(client.bottom, 200);
  EXPECT_EQ(f.caption, "CorvaleStreetSearch");

  release(position);
  release(typed);
  release(frame);
  EXPECT_EQ(form.refs, 1) << "released with the frame";
  EXPECT_TRUE(World::get().frames().back().released);
}

}  // namespace
}  // namespace corvale::windouble
