#include "hosts/arcmap/CommandServer.h"

#include <ocidl.h>

#include <atomic>
#include <memory>

#include "command/CorvaleStreetSearch.h"
#include "hosts/arcmap/ComHostClasses.h"
#include "hosts/arcmap/ComObjects.h"
#include "hosts/arcmap/HostOperations.h"
#include "hosts/arcmap/ReferenceCounted.h"
#include "hosts/arcmap/ServerIdentity.h"
#include "hosts/arcmap/ServerModule.h"

namespace corvale::arcmap {

namespace {

/// The command interface as the host calls it: slots 3 to 14 after IUnknown's three.
struct HostCommand : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* checked) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tooltip(BSTR* tooltip) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* message) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* helpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HelpContextID(LONG* helpId) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bitmap(OLE_HANDLE* bitmap) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnCreate(IDispatch* hook) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnClick() = 0;
};

/// The commands alive on the calling thread; the thread's instance of the component ends with the last.
thread_local long commandsOfThread = 0;

/// An object that offers none of the host's interfaces.
class NothingOffered : public Object {};

/**
 * One command the host created. Its portable command does the work and
 * shows its own messages; what reaches the host is S_OK, or a failure only
 * where the portable command could not even be reached (an argument pointer
 * that is null, memory for a string).
 */
class CommandObject final : public ReferenceCounted<HostCommand> {
 public:
  CommandObject() : command_(std::make_shared<CorvaleStreetSearch>()) { ++commandsOfThread; }
  virtual ~CommandObject() {
    (void)Trap::run([&] { command_.reset(); });
    if (--commandsOfThread == 0) endThreadInstance();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, iid::Command) ||
        IsEqualGUID(iid, identity::DefaultInterface)) {
      *out = static_cast<HostCommand*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
    return flag(enabled, [&] { return command_->Enabled(); });
  }
  HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* checked) override {
    return flag(checked, [&] { return command_->Checked(); });
  }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    return text(name, [&] { return command_->Name(); });
  }
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override {
    return text(caption, [&] { return command_->Caption(); });
  }
  HRESULT STDMETHODCALLTYPE get_Tooltip(BSTR* tooltip) override {
    return text(tooltip, [&] { return command_->Tooltip(); });
  }
  HRESULT STDMETHODCALLTYPE get_Message(BSTR* message) override {
    return text(message, [&] { return command_->Message(); });
  }
  HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* helpFile) override {
    return text(helpFile, [&] { return command_->HelpFile(); });
  }
  HRESULT STDMETHODCALLTYPE get_HelpContextID(LONG* helpId) override {
    if (!helpId) return E_POINTER;
    *helpId = 0;
    return guarded([&] {
      *helpId = command_->HelpContextID();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Bitmap(OLE_HANDLE* bitmap) override {
    if (!bitmap) return E_POINTER;
    *bitmap = 0;
    return guarded([&] {
      installServices();
      *bitmap = static_cast<OLE_HANDLE>(command_->Bitmap());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) override {
    return text(category, [&] { return command_->Category(); });
  }
  HRESULT STDMETHODCALLTYPE OnCreate(IDispatch* hook) override {
    return guarded([&] {
      installServices();
      // A hook that cannot even be asked is one that offers nothing: the
      // command tells the user as it does for any hook it cannot use.
      ObjectRef application;
      if (Trap::run([&] { application = wrapApplicationObject(ComRef::share(hook)); })) {
        application = std::make_shared<NothingOffered>();
      }
      command_->OnCreate(application);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE OnClick() override {
    return guarded([&] {
      installServices();
      command_->OnClick();
      return S_OK;
    });
  }

 private:
  template <class Getter>
  static HRESULT text(BSTR* out, Getter getter) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guarded([&] {
      *out = newBstr(getter());
      return S_OK;
    });
  }
  template <class Getter>
  static HRESULT flag(VARIANT_BOOL* out, Getter getter) {
    if (!out) return E_POINTER;
    *out = VARIANT_FALSE;
    return guarded([&] {
      *out = variantBool(getter());
      return S_OK;
    });
  }

  void destroy() override {
    // The portable command's end (Class_Terminate) must not let anything through either.
    (void)guarded([&] {
      delete this;
      return S_OK;
    });
  }

  module::LiveObject live_;
  std::shared_ptr<CorvaleStreetSearch> command_;
};

class CommandFactory final : public ReferenceCounted<IClassFactory> {
 public:
  virtual ~CommandFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return guarded([&] {
      auto* command = new CommandObject();
      const HRESULT hr = command->QueryInterface(iid, out);
      command->Release();
      return hr;
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL locked) override {
    module::lock(locked != FALSE);
    return S_OK;
  }

 private:
  module::LiveObject live_;
};

}  // namespace

HRESULT getClassObject(REFCLSID classId, REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(classId, identity::CommandClass)) return CLASS_E_CLASSNOTAVAILABLE;
  return guarded([&] {
    auto* factory = new CommandFactory();
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  });
}

}  // namespace corvale::arcmap
