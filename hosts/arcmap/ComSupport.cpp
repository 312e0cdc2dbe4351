#include "hosts/arcmap/ComSupport.h"

#include <limits>

#include "platform/win32/Utf16.h"
#include "runtime/Object.h"

namespace corvale::arcmap {

namespace {

/// An interface pointer held in a value: an object that offers nothing of the host's.
class OpaqueComObject : public Object {
 public:
  explicit OpaqueComObject(ComRef object) : object_(std::move(object)) {}

 private:
  ComRef object_;
};

std::string trimmedLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

constexpr int32_t kFacilityControlBase = static_cast<int32_t>(0x800A0000);

}  // namespace

std::string systemText(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer) text = win32::toUtf8(std::wstring_view(buffer, length));
  if (buffer) LocalFree(buffer);
  text = trimmedLineEnds(std::move(text));
  return text.empty() ? std::string("Automation error") : text;
}

void raiseHostFailure(HRESULT hr, IUnknown* object, const GUID& iid) {
  // The error object is taken first: asking the object anything may replace it.
  std::string description;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    bool offered = true;
    ISupportErrorInfo* support = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                                   reinterpret_cast<void**>(&support))) &&
        support) {
      offered = support->InterfaceSupportsErrorInfo(iid) == S_OK;
      support->Release();
    }
    BSTR text = nullptr;
    if (offered && SUCCEEDED(info->GetDescription(&text))) description = utf8Of(text);
    SysFreeString(text);
    info->Release();
  }
  if (description.empty()) description = systemText(hr);
  raise(static_cast<int32_t>(hr), std::move(description));
}

HRESULT hresultOf(const Failure& failure) noexcept {
  if (failure.number < 0) return static_cast<HRESULT>(failure.number);
  if (failure.number == err::kOutOfMemory) return E_OUTOFMEMORY;
  if (failure.number == 0 || failure.number > 0xFFFF) return E_FAIL;
  return static_cast<HRESULT>(kFacilityControlBase | failure.number);
}

HRESULT reportToCaller(const Failure& failure) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
    // A description that cannot be built is left out; the HRESULT still tells.
    (void)Trap::run([&] {
      const std::wstring text = win32::widen(failure.description);
      create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
      create->SetSource(const_cast<LPOLESTR>(L"CorvaleGIS.CorvaleStreetSearch"));
    });
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) &&
        info) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return hresultOf(failure);
}

std::string utf8Of(BSTR text) {
  if (!text) return std::string();
  return win32::toUtf8(std::wstring_view(text, SysStringLen(text)));
}

BSTR newBstr(std::string_view utf8) {
  const std::wstring wide = win32::widen(utf8);
  BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!text) raise(err::kOutOfMemory);
  return text;
}

Bstr::Bstr(std::string_view utf8) : text_(newBstr(utf8)) {}

std::string Bstr::utf8() const { return utf8Of(text_); }

Variant variantFrom(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::null();
    case VT_BSTR: return Variant(utf8Of(V_BSTR(&value)));
    case VT_BOOL: return Variant(V_BOOL(&value) != VARIANT_FALSE);
    case VT_I1: return Variant(int32_t{V_I1(&value)});
    case VT_UI1: return Variant(int32_t{V_UI1(&value)});
    case VT_I2: return Variant(int32_t{V_I2(&value)});
    case VT_UI2: return Variant(int32_t{V_UI2(&value)});
    case VT_I4: return Variant(static_cast<int32_t>(V_I4(&value)));
    case VT_INT: return Variant(static_cast<int32_t>(V_INT(&value)));
    case VT_UI4: return Variant(static_cast<int64_t>(V_UI4(&value)));
    case VT_UINT: return Variant(static_cast<int64_t>(V_UINT(&value)));
    case VT_I8: return Variant(static_cast<int64_t>(V_I8(&value)));
    case VT_UI8: {
      const ULONGLONG number = V_UI8(&value);
      if (number > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max())) {
        raise(err::kOverflow);
      }
      return Variant(static_cast<int64_t>(number));
    }
    case VT_R4: return Variant(static_cast<double>(V_R4(&value)));
    case VT_R8: return Variant(V_R8(&value));
    case VT_CY:
    case VT_DECIMAL: {
      VariantHolder converted;
      const HRESULT hr = VariantChangeType(converted.out(), const_cast<VARIANT*>(&value), 0, VT_R8);
      if (FAILED(hr)) raise(static_cast<int32_t>(hr), systemText(hr));
      return Variant(V_R8(&converted.get()));
    }
    case VT_DATE: {
      UDATE parts{};
      const HRESULT hr = VarUdateFromDate(V_DATE(&value), 0, &parts);
      if (FAILED(hr)) raise(static_cast<int32_t>(hr), systemText(hr));
      const SYSTEMTIME& t = parts.st;
      return Variant(Date{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
    }
    case VT_UNKNOWN:
      return Variant(ObjectRef(std::make_shared<OpaqueComObject>(ComRef::share(V_UNKNOWN(&value)))));
    case VT_DISPATCH:
      return Variant(
          ObjectRef(std::make_shared<OpaqueComObject>(ComRef::share(V_DISPATCH(&value)))));
    default: break;
  }
  if (V_VT(&value) & VT_BYREF) {
    VariantHolder direct;
    const HRESULT hr = VariantCopyInd(direct.out(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) raise(static_cast<int32_t>(hr), systemText(hr));
    return variantFrom(direct.get());
  }
  raise(err::kTypeMismatch);
}

std::optional<std::string> standardText(const VARIANT& value) {
  std::string text;
  if (!standardText(value, text)) return std::nullopt;
  return text;
}

bool standardText(const VARIANT& value, std::string& text) {
  if (V_VT(&value) == VT_NULL) return false;
  const auto assign = [&](BSTR string) {
    win32::assignUtf8(std::wstring_view(string ? string : L"", string ? SysStringLen(string) : 0), text);
  };
  // A string converts to a copy of itself: its own characters serve, without the copy.
  if (V_VT(&value) == VT_BSTR) {
    assign(V_BSTR(&value));
    return true;
  }
  VariantHolder converted;
  // Booleans as "True" and "False", as the component's own text form has them,
  // not as the numbers -1 and 0 that the conversion gives without the flag.
  const HRESULT hr = VariantChangeTypeEx(converted.out(), const_cast<VARIANT*>(&value),
                                         LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) raise(static_cast<int32_t>(hr), systemText(hr));
  assign(V_BSTR(&converted.get()));
  return true;
}

}  // namespace corvale::arcmap
