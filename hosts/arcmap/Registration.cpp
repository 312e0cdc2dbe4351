#include "hosts/arcmap/Registration.h"

#include <oleauto.h>

#include <string>

#include "hosts/arcmap/ComSupport.h"
#include "hosts/arcmap/HostOperations.h"
#include "hosts/arcmap/ServerIdentity.h"
#include "hosts/arcmap/ServerModule.h"
#include "platform/win32/Utf16.h"

// Declared by the Windows SDK's oleauto.h (Vista and later), not by MinGW-w64's.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID locale,
                                      SYSKIND kind);
}

namespace corvale::arcmap {

namespace {

std::wstring braced(const GUID& id) {
  wchar_t text[40] = {};
  if (StringFromGUID2(id, text, 40) == 0) raise(err::kInternalError);
  return text;
}

/// Raises a failing Win32 status as its HRESULT.
void check(LSTATUS status, const wchar_t* what) {
  if (status == ERROR_SUCCESS) return;
  const HRESULT hr = HRESULT_FROM_WIN32(static_cast<DWORD>(status));
  raise(static_cast<int32_t>(hr), systemText(hr) + " (" + win32::toUtf8(what) + ")");
}

class Key {
 public:
  Key(HKEY parent, const std::wstring& path) {
    check(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key_, nullptr),
          path.c_str());
  }
  ~Key() { RegCloseKey(key_); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY get() const { return key_; }
  void set(const wchar_t* name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    check(RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
          name ? name : L"(default)");
  }

 private:
  HKEY key_ = nullptr;
};

/// The scope's classes root, opened for writing.
class ClassesRoot {
 public:
  explicit ClassesRoot(RegistrationScope scope) {
    const HKEY hive = scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    check(RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key_, nullptr),
          L"Software\\Classes");
  }
  ~ClassesRoot() { RegCloseKey(key_); }
  ClassesRoot(const ClassesRoot&) = delete;
  ClassesRoot& operator=(const ClassesRoot&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring classKeyPath() { return L"CLSID\\" + braced(identity::CommandClass); }

/// Deletes the key and everything below it; a key that is not there is no failure.
void deleteTree(HKEY root, const std::wstring& path) {
  const LSTATUS status = RegDeleteTreeW(root, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return;
  check(status, path.c_str());
  // RegDeleteTree empties the key; the key itself goes here.
  const LSTATUS removed = RegDeleteKeyW(root, path.c_str());
  if (removed != ERROR_FILE_NOT_FOUND) check(removed, path.c_str());
}

void hresultCheck(HRESULT hr, const char* what) {
  if (FAILED(hr)) raise(static_cast<int32_t>(hr), systemText(hr) + " (" + what + ")");
}

void writeKeys(HKEY root, const std::wstring& dllPath) {
  const std::wstring classId = braced(identity::CommandClass);
  {
    Key cls(root, classKeyPath());
    cls.set(nullptr, identity::kClassName);
    Key server(cls.get(), L"InprocServer32");
    server.set(nullptr, dllPath);
    server.set(L"ThreadingModel", L"Apartment");
    Key(cls.get(), L"ProgID").set(nullptr, identity::kProgId);
    Key(cls.get(), L"TypeLib").set(nullptr, braced(identity::TypeLibrary));
    Key(cls.get(), L"Implemented Categories\\" + braced(catid::HostCommands));
  }
  Key progId(root, identity::kProgId);
  progId.set(nullptr, identity::kClassName);
  Key(progId.get(), L"CLSID").set(nullptr, classId);
}

void registerTypeLibrary(RegistrationScope scope, const std::wstring& dllPath) {
  ITypeLib* library = nullptr;
  hresultCheck(LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &library), "LoadTypeLibEx");
  std::wstring path = dllPath;
  std::wstring folder = dllPath.substr(0, dllPath.find_last_of(L'\\') + 1);
  const HRESULT hr = scope == RegistrationScope::User
                         ? RegisterTypeLibForUser(library, path.data(), folder.data())
                         : RegisterTypeLib(library, path.data(), folder.data());
  library->Release();
  hresultCheck(hr, "RegisterTypeLib");
}

/// The kind of the embedded library: the DLL's own.
constexpr const wchar_t* kLibraryKindKey = sizeof(void*) == 8 ? L"win64" : L"win32";

/// True when the classes root (machine and user together) still names the library.
bool typeLibraryRegistered() {
  const std::wstring path = L"TypeLib\\" + braced(identity::TypeLibrary) + L"\\" +
                            std::to_wstring(identity::kTypeLibraryMajor) + L"." +
                            std::to_wstring(identity::kTypeLibraryMinor) + L"\\0\\" +
                            kLibraryKindKey;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

constexpr SYSKIND kLibraryKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

void unregisterTypeLibrary(RegistrationScope scope) {
  const HRESULT hr =
      scope == RegistrationScope::User
          ? UnRegisterTypeLibForUser(identity::TypeLibrary, identity::kTypeLibraryMajor,
                                     identity::kTypeLibraryMinor, LOCALE_NEUTRAL, kLibraryKind)
          : UnRegisterTypeLib(identity::TypeLibrary, identity::kTypeLibraryMajor,
                              identity::kTypeLibraryMinor, LOCALE_NEUTRAL, kLibraryKind);
  // A library that is not registered (the system's answers to that vary) is
  // what unregistration wants.
  if (FAILED(hr) && !typeLibraryRegistered()) return;
  hresultCheck(hr, "UnRegisterTypeLib");
}

void removeKeys(HKEY root) {
  deleteTree(root, classKeyPath());
  deleteTree(root, identity::kProgId);
}

}  // namespace

HRESULT registerServer(RegistrationScope scope) noexcept {
  return guarded([&] {
    const std::wstring dllPath = module::path();
    ClassesRoot root(scope);
    auto failure = Trap::run([&] {
      writeKeys(root.get(), dllPath);
      registerTypeLibrary(scope, dllPath);
    });
    if (failure) {
      (void)Trap::run([&] { unregisterTypeLibrary(scope); });
      (void)Trap::run([&] { removeKeys(root.get()); });
      raise(failure->number, failure->description);
    }
    return S_OK;
  });
}

HRESULT unregisterServer(RegistrationScope scope) noexcept {
  return guarded([&] {
    ClassesRoot root(scope);
    unregisterTypeLibrary(scope);
    removeKeys(root.get());
    return S_OK;
  });
}

}  // namespace corvale::arcmap
