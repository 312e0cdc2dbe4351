// The DLL's exports, as COM and regsvr32 call them. Each is guarded: nothing
// thrown ever leaves the DLL.
#include <windows.h>
#include <objbase.h>

#include <cwctype>
#include <string_view>

#include "hosts/arcmap/CommandServer.h"
#include "hosts/arcmap/Registration.h"
#include "hosts/arcmap/ServerModule.h"

using corvale::arcmap::RegistrationScope;
namespace module = corvale::arcmap::module;

namespace {

/// The scope a DllInstall command line names: "user" (any case) or nothing/"machine".
bool scopeOf(LPCWSTR commandLine, RegistrationScope& scope) {
  const std::wstring_view text = commandLine ? commandLine : L"";
  auto equalsNoCase = [&](std::wstring_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (std::towlower(text[i]) != std::towlower(word[i])) return false;
    }
    return true;
  };
  if (equalsNoCase(L"user")) {
    scope = RegistrationScope::User;
    return true;
  }
  if (text.empty() || equalsNoCase(L"machine")) {
    scope = RegistrationScope::Machine;
    return true;
  }
  return false;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module::setHandle(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  return corvale::arcmap::getClassObject(classId, iid, out);
}

STDAPI DllCanUnloadNow() {
  return module::canUnload() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  return corvale::arcmap::registerServer(RegistrationScope::Machine);
}

STDAPI DllUnregisterServer() {
  return corvale::arcmap::unregisterServer(RegistrationScope::Machine);
}

/**
 * regsvr32 /i:user (with /n: alone) registers for the calling user, /u /i:user
 * unregisters that; an empty command line or "machine" is the machine-wide
 * registration. Anything else is E_INVALIDARG.
 */
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  RegistrationScope scope = RegistrationScope::Machine;
  if (!scopeOf(commandLine, scope)) return E_INVALIDARG;
  return install ? corvale::arcmap::registerServer(scope)
                 : corvale::arcmap::unregisterServer(scope);
}
