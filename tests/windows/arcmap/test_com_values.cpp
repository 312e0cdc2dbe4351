// Values and failures at the edge between the host's objects and the
// component: a row of the host, written here from the host's interface
// table (row: slot 7 object id; row values: slot 3 value(field index) giving
// a VARIANT), read through the adapter.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/arcmap/ComObjects.h"
#include "runtime/Object.h"

namespace {

const GUID kRow = {0xFCB01CB4, 0x9F0B, 0x11D0, {0xBE, 0xC7, 0x00, 0x80, 0x5F, 0x7C, 0x42, 0x68}};
const GUID kRowValues = {0x93684651, 0x1A83, 0x11D1, {0x88, 0x02, 0x00, 0x00, 0xF8, 0x77, 0x76, 0x2D}};

/**
 * A host row: one object answering the row interface and, unless told
 * otherwise, the row values interface, each with a table of operations of
 * its own. Slots the table does not name count as unexpected calls.
 * Failing value reads leave an error object when they have a text; the row
 * tells through ISupportErrorInfo whether its values interface leaves them.
 */
class HostRow {
 public:
  struct Face {
    void* const* table;
    HostRow* row;
  };

  HostRow() {
    for (auto& entry : rowTable_) entry = reinterpret_cast<void*>(&unexpected);
    for (auto& entry : valuesTable_) entry = reinterpret_cast<void*>(&unexpected);
    for (auto* table : {rowTable_, valuesTable_, supportTable_}) {
      table[0] = reinterpret_cast<void*>(&queryInterface);
      table[1] = reinterpret_cast<void*>(&addRef);
      table[2] = reinterpret_cast<void*>(&release);
    }
    rowTable_[7] = reinterpret_cast<void*>(&objectId);
    valuesTable_[3] = reinterpret_cast<void*>(&value);
    supportTable_[3] = reinterpret_cast<void*>(&supportsErrorInfo);
  }
  ~HostRow() {
    for (auto& v : values) VariantClear(&v);
  }

  IUnknown* row() { return reinterpret_cast<IUnknown*>(&rowFace_); }

  std::vector<VARIANT> values;
  bool offersValues = true;
  /// What QueryInterface for the values interface answers when it fails otherwise than E_NOINTERFACE.
  HRESULT valuesQueryFailure = S_OK;
  /// Reads of a field index beyond the values fail with this, leaving the text as error object.
  HRESULT outOfRange = E_FAIL;
  std::wstring outOfRangeText = L"The row has no such field";
  /// What ISupportErrorInfo says of the values interface.
  bool ownsErrors = true;
  long references = 1;
  int unexpectedCalls = 0;

 private:
  static HostRow& of(void* self) { return *static_cast<Face*>(self)->row; }

  static HRESULT STDMETHODCALLTYPE queryInterface(void* self, REFIID iid, void** out) {
    HostRow& r = of(self);
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kRow)) {
      *out = &r.rowFace_;
    } else if (IsEqualGUID(iid, kRowValues)) {
      if (r.valuesQueryFailure != S_OK) return r.valuesQueryFailure;
      if (!r.offersValues) return E_NOINTERFACE;
      *out = &r.valuesFace_;
    } else if (IsEqualGUID(iid, IID_ISupportErrorInfo)) {
      *out = &r.supportFace_;
    } else {
      return E_NOINTERFACE;
    }
    ++r.references;
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE addRef(void* self) { return static_cast<ULONG>(++of(self).references); }
  static ULONG STDMETHODCALLTYPE release(void* self) { return static_cast<ULONG>(--of(self).references); }
  static HRESULT STDMETHODCALLTYPE unexpected(void* self) {
    ++of(self).unexpectedCalls;
    return E_NOTIMPL;
  }
  static HRESULT STDMETHODCALLTYPE objectId(void*, LONG* id) {
    *id = 4711;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE value(void* self, LONG index, VARIANT* out) {
    HostRow& r = of(self);
    VariantInit(out);
    if (index < 0 || static_cast<size_t>(index) >= r.values.size()) {
      ICreateErrorInfo* create = nullptr;
      if (!r.outOfRangeText.empty() && SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(r.outOfRangeText.c_str()));
        IErrorInfo* info = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
        SetErrorInfo(0, info);
        info->Release();
        create->Release();
      }
      return r.outOfRange;
    }
    return VariantCopy(out, &r.values[static_cast<size_t>(index)]);
  }
  static HRESULT STDMETHODCALLTYPE supportsErrorInfo(void* self, REFIID iid) {
    return of(self).ownsErrors && IsEqualGUID(iid, kRowValues) ? S_OK : S_FALSE;
  }

  void* rowTable_[16];
  void* valuesTable_[16];
  void* supportTable_[4];
  Face rowFace_{rowTable_, this};
  Face valuesFace_{valuesTable_, this};
  Face supportFace_{supportTable_, this};
};

VARIANT text(const wchar_t* chars, UINT length) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = chars ? SysAllocStringLen(chars, length) : nullptr;
  return v;
}

VARIANT typed(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  return v;
}

std::string decimalSeparator() {
  wchar_t separator[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  std::string narrow;
  for (const wchar_t* c = separator; *c; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

class HostValues : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override {
    EXPECT_EQ(host.unexpectedCalls, 0) << "a slot the table does not name was called";
    CoUninitialize();
  }

  /// The failure a call raises, or number 0 when it raises none.
  template <class Body>
  static corvale::Failure failureOf(Body body) {
    try {
      body();
    } catch (const corvale::Failure& failure) {
      return failure;
    }
    return {};
  }

  HostRow host;
};

TEST_F(HostValues, EveryKindOfValueReadsAsTheComponentsValueAndAsTheSystemsText) {
  const wchar_t street[] = L"Stra\u00DFe \u00C6r\u00F8 \u6771\u4EAC \U0001F6B2";
  const wchar_t withNul[] = {L'a', L'\0', L'b'};
  SYSTEMTIME when{2024, 2, 4, 29, 13, 45, 30, 0};
  DOUBLE date = 0;
  SystemTimeToVariantTime(&when, &date);
  host.values.push_back(text(street, static_cast<UINT>(wcslen(street))));  // 0
  host.values.push_back(typed(VT_NULL));                                    // 1
  host.values.push_back(typed(VT_I4));                                      // 2
  V_I4(&host.values.back()) = -7;
  host.values.push_back(typed(VT_R8));  // 3
  V_R8(&host.values.back()) = 2.5;
  host.values.push_back(typed(VT_DATE));  // 4
  V_DATE(&host.values.back()) = date;
  host.values.push_back(typed(VT_EMPTY));            // 5
  host.values.push_back(text(withNul, 3));           // 6
  host.values.push_back(text(nullptr, 0));           // 7: a null BSTR is the empty text
  host.values.push_back(typed(VT_UI8));              // 8
  V_UI8(&host.values.back()) = ~0ULL;
  host.values.push_back(typed(VT_ERROR));            // 9
  V_ERROR(&host.values.back()) = DISP_E_PARAMNOTFOUND;
  host.values.push_back(typed(VT_BOOL));             // 10
  V_BOOL(&host.values.back()) = VARIANT_TRUE;
  const wchar_t loneSurrogate[] = {L'a', 0xD800, L'b'};
  host.values.push_back(text(loneSurrogate, 3));     // 11: the system's replacement, as for any text

  {
    auto row = corvale::arcmap::wrapRow(corvale::arcmap::ComRef::share(host.row()));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->objectId(), 4711);
    auto values = corvale::query<corvale::host::IRowValues>(row);
    const std::string streetUtf8 = "Stra\xC3\x9F" "e \xC3\x86r\xC3\xB8 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x9A\xB2";

    EXPECT_EQ(values->value(0).text(), streetUtf8);
    EXPECT_TRUE(values->value(1).isNull());
    EXPECT_EQ(values->value(2).integer(), -7);
    EXPECT_EQ(values->value(3).number(), 2.5);
    EXPECT_EQ(values->value(4).date(), (corvale::Date{2024, 2, 29, 13, 45, 30}));
    EXPECT_TRUE(values->value(5).isEmpty());
    EXPECT_EQ(values->value(6).text(), std::string("a\0b", 3));
    EXPECT_EQ(values->value(7).text(), "");
    EXPECT_EQ(failureOf([&] { values->value(8); }).number, corvale::err::kOverflow);
    EXPECT_EQ(failureOf([&] { values->value(9); }).number, corvale::err::kTypeMismatch);
    EXPECT_TRUE(values->value(10).boolean());

    std::string scratch;
    auto textOf = [&](int32_t index) -> std::string {
      auto shown = values->valueText(index, scratch);
      return shown ? std::string(*shown) : std::string("<null>");
    };
    EXPECT_EQ(textOf(0), streetUtf8);
    EXPECT_EQ(textOf(1), "<null>");
    EXPECT_EQ(textOf(2), "-7");
    EXPECT_EQ(textOf(3), "2" + decimalSeparator() + "5");
    EXPECT_EQ(textOf(5), "");
    EXPECT_EQ(textOf(6), std::string("a\0b", 3));
    EXPECT_EQ(textOf(7), "");
    // Dates and Booleans as the system's own conversions of each kind write them.
    auto narrowed = [](BSTR converted) {
      std::string narrow;
      const int length = static_cast<int>(SysStringLen(converted));
      const int size = WideCharToMultiByte(CP_UTF8, 0, converted, length, nullptr, 0, nullptr, nullptr);
      narrow.resize(static_cast<size_t>(size));
      WideCharToMultiByte(CP_UTF8, 0, converted, length, narrow.data(), size, nullptr, nullptr);
      SysFreeString(converted);
      return narrow;
    };
    BSTR dateText = nullptr;
    ASSERT_EQ(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, &dateText), S_OK);
    EXPECT_EQ(textOf(4), narrowed(dateText));
    BSTR trueText = nullptr;
    ASSERT_EQ(VarBstrFromBool(VARIANT_TRUE, LOCALE_USER_DEFAULT, 0, &trueText), S_OK);
    EXPECT_EQ(textOf(10), narrowed(trueText));
    EXPECT_EQ(textOf(11), narrowed(SysAllocStringLen(loneSurrogate, 3)));
    EXPECT_EQ(textOf(2), "-7") << "a shorter text after a longer one in the same scratch";
  }
  EXPECT_EQ(host.references, 1) << "every reference the adapter took is given back once";
}

TEST_F(HostValues, HostFailuresCarryTheirHresultAndTheRightDescription) {
  auto row = corvale::arcmap::wrapRow(corvale::arcmap::ComRef::share(host.row()));
  auto values = corvale::query<corvale::host::IRowValues>(row);

  // With the host's error object: its description.
  corvale::Failure withText = failureOf([&] { values->value(3); });
  EXPECT_EQ(withText.number, static_cast<int32_t>(E_FAIL));
  EXPECT_EQ(withText.description, "The row has no such field");

  // Without one, the system's text, not a description left over from before.
  host.outOfRange = DISP_E_BADINDEX;
  host.outOfRangeText.clear();
  std::string scratch;
  corvale::Failure plain = failureOf([&] { values->valueText(3, scratch); });
  EXPECT_EQ(plain.number, static_cast<int32_t>(DISP_E_BADINDEX));
  EXPECT_FALSE(plain.description.empty());
  EXPECT_NE(plain.description, "The row has no such field");

  // An error object left by someone else, while the row says its errors come without one.
  host.ownsErrors = false;
  ICreateErrorInfo* create = nullptr;
  ASSERT_TRUE(SUCCEEDED(CreateErrorInfo(&create)));
  create->SetDescription(const_cast<LPOLESTR>(L"stale"));
  IErrorInfo* stale = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&stale));
  create->Release();
  SetErrorInfo(0, stale);
  stale->Release();
  corvale::Failure disowned = failureOf([&] { values->value(-1); });
  EXPECT_EQ(disowned.number, static_cast<int32_t>(DISP_E_BADINDEX));
  EXPECT_NE(disowned.description, "stale");
}

TEST_F(HostValues, InterfacesAreOfferedExactlyAsTheHostAnswersThem) {
  host.offersValues = false;
  {
    auto row = corvale::arcmap::wrapRow(corvale::arcmap::ComRef::share(host.row()));
    EXPECT_TRUE(corvale::isA<corvale::host::IRow>(row));
    EXPECT_FALSE(corvale::isA<corvale::host::IRowValues>(row));
    EXPECT_EQ(failureOf([&] { corvale::query<corvale::host::IRowValues>(row); }).number,
              corvale::err::kTypeMismatch);
  }
  EXPECT_EQ(host.references, 1);

  // A QueryInterface that fails for another reason than E_NOINTERFACE is the host's failure.
  host.valuesQueryFailure = E_OUTOFMEMORY;
  EXPECT_EQ(failureOf([&] { corvale::arcmap::wrapRow(corvale::arcmap::ComRef::share(host.row())); })
                .number,
            static_cast<int32_t>(E_OUTOFMEMORY));
  EXPECT_EQ(host.references, 1);

  // Nothing is nothing.
  EXPECT_EQ(corvale::arcmap::wrapRow(corvale::arcmap::ComRef()), nullptr);
}

}  // namespace
