#include "hosts/arcmap/ComHostClasses.h"

#include "hosts/arcmap/ComObjects.h"
#include "hosts/arcmap/HostOperations.h"
#include "hosts/arcmap/ServerModule.h"
#include "platform/win32/Win32FileSystem.h"
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

}  // namespace corvale::arcmap
