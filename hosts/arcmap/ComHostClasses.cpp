#include "hosts/arcmap/ComHostClasses.h"

#include "hosts/arcmap/ComObjects.h"
#include "hosts/arcmap/HostOperations.h"
#include "hosts/arcmap/ServerModule.h"
#include "platform/win32/Win32FileSystem.h"
#include "runtime/FileChannel.h"
#include "runtime/PerThread.h"
#include "windows/Form.h"
#include "state/ProductState.h"
#include "platform/win32/forms/Win32Toolkit.h"

namespace corvale::arcmap {

namespace {

ComRef createInstance(const GUID& classId) {
  IUnknown* object = nullptr;
  const HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
  if (FAILED(hr)) raiseHostFailure(hr, nullptr, IID_IUnknown);
  if (!object) raise(err::kObjectNotSet);
  return ComRef::adopt(object);
}

}  // namespace

ObjectRef ComHostClasses::createAppReference() {
  return wrapApplicationObject(createInstance(clsid::AppReference));
}

std::shared_ptr<host::IQueryFilter> ComHostClasses::createQueryFilter() {
  return wrapQueryFilter(createInstance(clsid::QueryFilter));
}

std::shared_ptr<host::IFrameWindow> ComHostClasses::createFrameWindow() {
  return wrapFrameWindow(createInstance(clsid::FrameWindow));
}

void installServices() {
  host::Services& s = host::services();
  if (!s.hostClasses) s.hostClasses = std::make_shared<ComHostClasses>();
  if (!s.fileSystem) s.fileSystem = std::make_shared<win32::Win32FileSystem>();
  if (!s.forms) s.forms = std::make_shared<win32::Win32Toolkit>();
  module::keepLoaded();
}

void endThreadInstance() noexcept {
  // The windows go first, as the product unloads them (which lets their frame
  // windows go), while the services they call are still there.
  if (auto toolkit = std::dynamic_pointer_cast<win32::Win32Toolkit>(host::services().forms)) {
    (void)Trap::run([&] {
      const auto events = toolkit->loadedEvents();
      for (auto it = events.rbegin(); it != events.rend(); ++it) {
        if (auto form = std::dynamic_pointer_cast<Form>(*it)) {
          (void)Trap::run([&] { form->Unload(); });
        }
      }
      toolkit->unloadAll();
    });
  }
  (void)Trap::run([] { endPerThread<ProductState>(); });
  (void)Trap::run([] { endPerThread<FileChannel>(); });
  (void)Trap::run([] { endPerThread<host::Services>(); });
}

}  // namespace corvale::arcmap
