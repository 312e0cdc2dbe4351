#include "hosts/arcmap/FormDispatch.h"

#include <atomic>

#include "hosts/arcmap/ComSupport.h"
#include "hosts/arcmap/ReferenceCounted.h"
#include "hosts/arcmap/ServerModule.h"
#include "platform/win32/forms/Win32Form.h"

namespace corvale::arcmap {

namespace {

constexpr DISPID kHwndId = 1;

class FormDispatch final : public ReferenceCounted<IDispatch> {
 public:
  explicit FormDispatch(std::shared_ptr<host::IWindow> window) : window_(std::move(window)) {}
  virtual ~FormDispatch() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    // Automation names are not case-sensitive.
    if (names[0] && CompareStringOrdinal(names[0], -1, L"hWnd", -1, TRUE) == CSTR_EQUAL) {
      ids[0] = kHwndId;
    } else {
      result = DISP_E_UNKNOWNNAME;
    }
    // The property takes no named arguments.
    if (count > 1) result = DISP_E_UNKNOWNNAME;
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id != kHwndId) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    HWND window = nullptr;
    auto failure = Trap::run([&] {
      auto form = std::dynamic_pointer_cast<win32::Win32Form>(need(window_).hWnd());
      if (!form) raise(err::kTypeMismatch);
      window = form->hwnd();
      if (!window) raise(err::kObjectNotSet);
    });
    if (failure) {
      const HRESULT hr = reportToCaller(*failure);
      if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = hr;
        exception->bstrSource = SysAllocString(L"CorvaleGIS.CorvaleStreetSearch");
        (void)Trap::run([&] { exception->bstrDescription = newBstr(failure->description); });
      }
      return DISP_E_EXCEPTION;
    }
    if (result) {
      VariantInit(result);
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
    }
    return S_OK;
  }

 private:
  module::LiveObject live_;
  std::shared_ptr<host::IWindow> window_;
};

}  // namespace

IDispatch* newFormDispatch(const std::shared_ptr<host::IWindow>& window) {
  if (!window) raise(err::kObjectNotSet);
  return new FormDispatch(window);
}

}  // namespace corvale::arcmap
