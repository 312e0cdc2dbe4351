// The window handed to a host frame window: a frame written here from the
// host's interface table (frame window slot 3 attach(window as IDispatch),
// slot 4 set visible) takes the window in the host's way, reading its
// property hWnd, and keeps it until the frame itself goes.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <memory>

#include "host/Services.h"
#include "hosts/arcmap/ComObjects.h"
#include "platform/win32/forms/Win32Toolkit.h"

namespace {

const GUID kFrameWindow = {0x06861E43, 0x9020, 0x49EB, {0xB9, 0x49, 0x82, 0x45, 0x52, 0xEE, 0x2D, 0xE0}};

/**
 * A host frame window: Create asks the window for "hWnd", reads it, keeps
 * the window (one reference) and records the handle; put_Visible records
 * the flag. Its own reference count decides nothing: the test owns it.
 */
class HostFrame {
 public:
  HostFrame() {
    for (auto& entry : table_) entry = reinterpret_cast<void*>(&unexpected);
    table_[0] = reinterpret_cast<void*>(&queryInterface);
    table_[1] = reinterpret_cast<void*>(&addRef);
    table_[2] = reinterpret_cast<void*>(&release);
    table_[3] = reinterpret_cast<void*>(&create);
    table_[4] = reinterpret_cast<void*>(&putVisible);
  }
  ~HostFrame() {
    if (window) window->Release();
  }
  IUnknown* object() { return reinterpret_cast<IUnknown*>(&face_); }

  IDispatch* window = nullptr;
  HRESULT createResult = S_OK;
  EXCEPINFO exception{};
  LONG handle = 0;
  bool visible = false;
  long references = 1;
  int unexpectedCalls = 0;

 private:
  struct Face {
    void* const* table;
    HostFrame* frame;
  };
  static HostFrame& of(void* self) { return *static_cast<Face*>(self)->frame; }

  static HRESULT STDMETHODCALLTYPE queryInterface(void* self, REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, kFrameWindow)) return E_NOINTERFACE;
    *out = self;
    ++of(self).references;
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE addRef(void* self) { return static_cast<ULONG>(++of(self).references); }
  static ULONG STDMETHODCALLTYPE release(void* self) { return static_cast<ULONG>(--of(self).references); }
  static HRESULT STDMETHODCALLTYPE unexpected(void* self) {
    ++of(self).unexpectedCalls;
    return E_NOTIMPL;
  }
  static HRESULT STDMETHODCALLTYPE create(void* self, IDispatch* window) {
    HostFrame& f = of(self);
    LPOLESTR name = const_cast<LPOLESTR>(L"hWnd");
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = window->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    hr = window->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                        &f.exception, nullptr);
    if (FAILED(hr)) return f.createResult = hr;
    if (V_VT(&result) != VT_I4) return E_UNEXPECTED;
    f.handle = V_I4(&result);
    window->AddRef();
    if (f.window) f.window->Release();
    f.window = window;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putVisible(void* self, VARIANT_BOOL visible) {
    of(self).visible = visible != VARIANT_FALSE;
    return S_OK;
  }

  void* table_[16];
  Face face_{table_, this};
};

/// A window of the component: built by the toolkit the first time its handle is asked for.
class Window : public corvale::host::IWindow, public corvale::host::IFormEvents {
 public:
  explicit Window(corvale::win32::Win32Toolkit& toolkit) : toolkit_(toolkit) {}
  std::shared_ptr<corvale::host::IForm> hWnd() override {
    if (failWith) corvale::raise(failWith);
    if (!form_) {
      corvale::host::FormLayout layout;
      layout.name = "frmTest";
      layout.caption = "frmTest";
      layout.clientWidth = 3000;
      layout.clientHeight = 2000;
      form_ = toolkit_.load(layout, std::shared_ptr<corvale::host::IFormEvents>(
                                        std::shared_ptr<Window>(), this));
      ++loads;
    }
    return form_;
  }
  void fire(std::string_view) noexcept override {}

  int loads = 0;
  int32_t failWith = 0;

 private:
  corvale::win32::Win32Toolkit& toolkit_;
  std::shared_ptr<corvale::host::IForm> form_;
};

TEST(FrameHandOff, TheFrameReadsTheFormsWindowAndKeepsTheFormAsLongAsItLives) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  corvale::win32::Win32Toolkit toolkit(corvale::win32::Win32Toolkit::Mode::Headless);
  auto window = std::make_shared<Window>(toolkit);
  std::weak_ptr<Window> watch = window;
  {
    HostFrame host;
    {
      auto frame = corvale::arcmap::wrapFrameWindow(corvale::arcmap::ComRef::share(host.object()));
      frame->attach(window);
      frame->setVisible(true);
    }
    EXPECT_EQ(window->loads, 1) << "reading hWnd loads the window once";
    auto form = std::dynamic_pointer_cast<corvale::win32::Win32Form>(window->hWnd());
    ASSERT_TRUE(form);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(host.handle)), form->hwnd());
    EXPECT_TRUE(IsWindow(form->hwnd()));
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(host.references, 1) << "the adapter gave back its reference to the frame";

    // The host keeps the window object; the component's window lives while it does.
    window.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(host.unexpectedCalls, 0);
  }
  EXPECT_TRUE(watch.expired()) << "the frame's going releases the window";
  CoUninitialize();
}

TEST(FrameHandOff, AWindowThatCannotLoadFailsTheAttachWithItsNumberAndDescription) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    corvale::win32::Win32Toolkit toolkit(corvale::win32::Win32Toolkit::Mode::Headless);
    auto window = std::make_shared<Window>(toolkit);
    window->failWith = corvale::err::kFileNotFound;
    HostFrame host;
    auto frame = corvale::arcmap::wrapFrameWindow(corvale::arcmap::ComRef::share(host.object()));
    int32_t number = 0;
    try {
      frame->attach(window);
    } catch (const corvale::Failure& failure) {
      number = failure.number;
    }
    EXPECT_EQ(host.createResult, DISP_E_EXCEPTION);
    EXPECT_EQ(host.exception.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 53));
    EXPECT_STREQ(host.exception.bstrDescription, L"File not found");
    EXPECT_EQ(number, static_cast<int32_t>(DISP_E_EXCEPTION)) << "the host's failure reaches the caller";
    EXPECT_EQ(host.window, nullptr);
    SysFreeString(host.exception.bstrDescription);
    SysFreeString(host.exception.bstrSource);
  }
  CoUninitialize();
}

}  // namespace
