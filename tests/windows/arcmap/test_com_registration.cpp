// The DLL as COM and regsvr32 see it: registration entered and removed
// exactly (machine-wide and per user, called directly and through
// regsvr32), the class found the way the host finds it, and the unload
// counting of class objects, instances and locks.
#include <windows.h>
#include <comcat.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// What the host and the protocol fix; the class identifier is the DLL's own
// choice and is looked up through the ProgID.
constexpr wchar_t kProgId[] = L"CorvaleGIS.CorvaleStreetSearch";
constexpr wchar_t kCommandCategory[] = L"{B56A7C42-83D4-11D2-A2E9-080009B6F22B}";
constexpr wchar_t kCommandInterface[] = L"{36B06538-4437-11D1-B970-080009EE4E51}";
const GUID kCommandCategoryId = {0xB56A7C42, 0x83D4, 0x11D2, {0xA2, 0xE9, 0x08, 0x00, 0x09, 0xB6, 0xF2, 0x2B}};
const GUID kCommandInterfaceId = {0x36B06538, 0x4437, 0x11D1, {0xB9, 0x70, 0x08, 0x00, 0x09, 0xEE, 0x4E, 0x51}};

using Export = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

/// The DLL's export of that name as a function of type F, or null.
template <class F>
F exportOf(HMODULE dll, const char* name) {
  FARPROC entry = GetProcAddress(dll, name);
  F typed = nullptr;
  static_assert(sizeof typed == sizeof entry);
  std::memcpy(&typed, &entry, sizeof typed);
  return typed;
}

std::wstring braced(const GUID& id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return text;
}

/// Every key below `path` (itself included) with its values, as text, for comparing.
void snapshotInto(HKEY root, const std::wstring& path, std::map<std::wstring, std::wstring>& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::wstring values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    BYTE data[2048];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) {
      break;
    }
    values += std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":" +
              std::wstring(reinterpret_cast<wchar_t*>(data), dataLength / sizeof(wchar_t)) + L";";
  }
  out[path] = values;
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name, nameLength);
  }
  RegCloseKey(key);
  for (const auto& child : children) snapshotInto(root, path + L"\\" + child, out);
}

/// The hand-made path of an affected key in the machine's or the user's classes.
struct Subtree {
  HKEY hive;
  std::wstring path;
};

std::vector<Subtree> affectedSubtrees(const std::wstring& classId, const std::wstring& libraryId) {
  std::vector<Subtree> trees;
  for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    const std::wstring classes = L"Software\\Classes\\";
    for (const std::wstring& path :
         {L"CLSID\\" + classId, std::wstring(kProgId), L"TypeLib\\" + libraryId,
          std::wstring(L"Interface\\") + kCommandInterface,
          std::wstring(L"Component Categories\\") + kCommandCategory}) {
      trees.push_back({hive, classes + path});
    }
  }
  return trees;
}

using Snapshot = std::map<std::wstring, std::wstring>;

Snapshot snapshot(const std::pair<std::wstring, std::wstring>& ids) {
  Snapshot result;
  for (const auto& tree : affectedSubtrees(ids.first, ids.second)) {
    Snapshot part;
    snapshotInto(tree.hive, tree.path, part);
    const std::wstring prefix = tree.hive == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\";
    for (auto& [path, values] : part) result[prefix + path] = values;
  }
  return result;
}

bool keyExists(HKEY hive, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring defaultValue(HKEY hive, const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(hive, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

/// Runs regsvr32 with the arguments and the DLL; its exit code.
DWORD regsvr32(const std::wstring& arguments, const std::wstring& dll) {
  std::wstring command = L"regsvr32.exe " + arguments + L" \"" + dll + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 9999;
  }
  WaitForSingleObject(process.hProcess, 120000);
  DWORD code = 9998;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

/**
 * The DLL loaded from the test's own folder, COM initialised for an
 * apartment, and the keys a host installation has before the command is
 * registered (its category and its command interface) present, so that
 * unregistration can show that it leaves them.
 */
class ComServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    dllPath_ = exe;
    dllPath_ = dllPath_.substr(0, dllPath_.find_last_of(L'\\') + 1) + L"CorvaleStreetSearch.dll";
    dll_ = LoadLibraryW(dllPath_.c_str());
    ASSERT_NE(dll_, nullptr) << "cannot load the DLL";
    registerServer_ = exportOf<Export>(dll_, "DllRegisterServer");
    unregisterServer_ = exportOf<Export>(dll_, "DllUnregisterServer");
    canUnload_ = exportOf<Export>(dll_, "DllCanUnloadNow");
    getClassObject_ = exportOf<GetClassObject>(dll_, "DllGetClassObject");
    install_ = exportOf<Install>(dll_, "DllInstall");
    ASSERT_TRUE(registerServer_ && unregisterServer_ && canUnload_ && getClassObject_ && install_)
        << "an export is missing or decorated";

    createdHostKeys_ = !keyExists(HKEY_LOCAL_MACHINE, categoryKey());
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, categoryKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, L"409", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Host Commands"),
                   sizeof(L"Host Commands"));
    RegCloseKey(key);
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, interfaceKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ICommand"),
                   sizeof(L"ICommand"));
    RegCloseKey(key);
  }

  void TearDown() override {
    if (createdHostKeys_) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, categoryKey().c_str());
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, interfaceKey().c_str());
    }
    // The DLL stays loaded: COM may still hold it, and unloading is the DLL's own decision.
    CoUninitialize();
  }

  static std::wstring categoryKey() {
    return std::wstring(L"Software\\Classes\\Component Categories\\") + kCommandCategory;
  }
  static std::wstring interfaceKey() {
    return std::wstring(L"Software\\Classes\\Interface\\") + kCommandInterface;
  }

  /// The class identifier registered for the ProgID, or GUID_NULL.
  static GUID registeredClass() {
    CLSID id = GUID_NULL;
    if (FAILED(CLSIDFromProgID(kProgId, &id))) return GUID_NULL;
    return id;
  }

  /// The command class as the type library embedded in the DLL declares it.
  GUID classFromLibrary() const { return embeddedIds().second; }

  /// The identifiers of the embedded type library and of the class it declares.
  std::pair<GUID, GUID> embeddedIds() const {
    GUID found = GUID_NULL;
    GUID libraryId = GUID_NULL;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(dllPath_.c_str(), REGKIND_NONE, &library))) return {libraryId, found};
    TLIBATTR* libraryAttributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&libraryAttributes))) {
      libraryId = libraryAttributes->guid;
      library->ReleaseTLibAttr(libraryAttributes);
    }
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
      TYPEKIND kind;
      if (SUCCEEDED(library->GetTypeInfoType(i, &kind)) && kind == TKIND_COCLASS) {
        ITypeInfo* info = nullptr;
        TYPEATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetTypeInfo(i, &info)) && SUCCEEDED(info->GetTypeAttr(&attributes))) {
          found = attributes->guid;
          info->ReleaseTypeAttr(attributes);
        }
        if (info) info->Release();
      }
    }
    library->Release();
    return {libraryId, found};
  }

  /// The classes the host would list: those implementing its command category.
  static std::vector<GUID> commandClasses() {
    std::vector<GUID> found;
    ICatInformation* categories = nullptr;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICatInformation, reinterpret_cast<void**>(&categories)))) {
      return found;
    }
    CATID wanted = kCommandCategoryId;
    IEnumGUID* classes = nullptr;
    if (SUCCEEDED(categories->EnumClassesOfCategories(1, &wanted, static_cast<ULONG>(-1), nullptr,
                                                      &classes))) {
      GUID id;
      ULONG fetched = 0;
      while (classes->Next(1, &id, &fetched) == S_OK) found.push_back(id);
      classes->Release();
    }
    categories->Release();
    return found;
  }

  /// Checks what a registration in `hive` holds; `other` must hold none of it.
  void expectRegisteredIn(HKEY hive, HKEY other) {
    const std::wstring progIdClass =
        defaultValue(hive, std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID");
    GUID classId = GUID_NULL;
    ASSERT_TRUE(SUCCEEDED(CLSIDFromString(progIdClass.c_str(), &classId))) << progIdClass;
    EXPECT_EQ(classId, classFromLibrary());
    const std::wstring cls = L"Software\\Classes\\CLSID\\" + braced(classId);
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(dll_, loaded, MAX_PATH);
    EXPECT_EQ(defaultValue(hive, cls + L"\\InprocServer32"), loaded);
    EXPECT_EQ(defaultValue(hive, cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(defaultValue(hive, cls + L"\\ProgID"), kProgId);
    EXPECT_TRUE(keyExists(hive, cls + L"\\Implemented Categories\\" + kCommandCategory));
    EXPECT_FALSE(keyExists(other, cls));
    EXPECT_FALSE(keyExists(other, std::wstring(L"Software\\Classes\\") + kProgId));

    // Wine's merged classes root does not show per-user classes; Windows' does.
    if (hive == HKEY_LOCAL_MACHINE) {
      EXPECT_EQ(registeredClass(), classId);
      std::vector<GUID> listed = commandClasses();
      EXPECT_NE(std::find(listed.begin(), listed.end(), classId), listed.end())
          << "the host would not list the command";
    }

    // The type library the class names is registered and describes the class and ICommand.
    const std::wstring libraryText = defaultValue(hive, cls + L"\\TypeLib");
    GUID libraryId = GUID_NULL;
    ASSERT_TRUE(SUCCEEDED(CLSIDFromString(libraryText.c_str(), &libraryId))) << libraryText;
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(libraryId, 1, 0, 0, &library), S_OK);
    BSTR name = nullptr;
    library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, L"CorvaleGIS");
    SysFreeString(name);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(library->GetTypeInfoOfGuid(classId, &info), S_OK);
    if (info) info->Release();
    info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kCommandInterfaceId, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    // Twelve operations after IUnknown's three: slots 3 to 14.
    EXPECT_EQ(attributes->cFuncs, 12);
    EXPECT_EQ(attributes->cbSizeVft, 15 * sizeof(void*));
    info->ReleaseTypeAttr(attributes);
    info->Release();
    library->Release();
  }

  std::wstring dllPath_;
  HMODULE dll_ = nullptr;
  Export registerServer_ = nullptr;
  Export unregisterServer_ = nullptr;
  Export canUnload_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
  Install install_ = nullptr;
  bool createdHostKeys_ = false;
};

TEST_F(ComServer, RegistrationByEveryRouteIsUndoneExactly) {
  const auto embedded = embeddedIds();
  ASSERT_NE(embedded.second, GUID_NULL);
  const std::pair<std::wstring, std::wstring> classId{braced(embedded.second),
                                                      braced(embedded.first)};
  // Start from no registration in either scope (a registration found is put back at the end).
  const bool machineBefore = keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + classId.first);
  const bool userBefore = keyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + classId.first);
  ASSERT_EQ(unregisterServer_(), S_OK);
  ASSERT_EQ(install_(FALSE, L"user"), S_OK);
  struct PutBack {
    Export registerServer;
    Install install;
    bool machine, user;
    ~PutBack() {
      if (machine) registerServer();
      if (user) install(TRUE, L"user");
    }
  } putBack{registerServer_, install_, machineBefore, userBefore};
  const Snapshot before = snapshot(classId);
  ASSERT_FALSE(before.empty()) << "the host's own keys should be there";

  SCOPED_TRACE("DllRegisterServer / DllUnregisterServer");
  ASSERT_EQ(registerServer_(), S_OK);
  expectRegisteredIn(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
  EXPECT_NE(snapshot(classId), before);
  // Registering again changes nothing and is undone by one unregistration.
  const Snapshot once = snapshot(classId);
  ASSERT_EQ(registerServer_(), S_OK);
  EXPECT_EQ(snapshot(classId), once);
  ASSERT_EQ(unregisterServer_(), S_OK);
  EXPECT_EQ(snapshot(classId), before);
  // Unregistering what is not registered is no failure and changes nothing.
  EXPECT_EQ(unregisterServer_(), S_OK);
  EXPECT_EQ(snapshot(classId), before);

  {
    SCOPED_TRACE("regsvr32 and regsvr32 /u");
    ASSERT_EQ(regsvr32(L"/s", dllPath_), 0u);
    expectRegisteredIn(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
    ASSERT_EQ(regsvr32(L"/u /s", dllPath_), 0u);
    EXPECT_EQ(snapshot(classId), before);
  }
  {
    SCOPED_TRACE("regsvr32 /n /i:user and regsvr32 /u /n /i:user");
    ASSERT_EQ(regsvr32(L"/s /n /i:user", dllPath_), 0u);
    expectRegisteredIn(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE);
    ASSERT_EQ(regsvr32(L"/u /s /n /i:user", dllPath_), 0u);
    EXPECT_EQ(snapshot(classId), before);
  }
  {
    SCOPED_TRACE("DllInstall with a command line it does not know");
    EXPECT_EQ(install_(TRUE, L"everyone"), E_INVALIDARG);
    EXPECT_EQ(snapshot(classId), before);
  }
}

/// Calls slot `slot` of an interface whose operation yields a text.
std::wstring textAt(IUnknown* object, int slot) {
  using Getter = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, BSTR*);
  Getter getter = reinterpret_cast<Getter>((*reinterpret_cast<void***>(object))[slot]);
  BSTR text = nullptr;
  if (FAILED(getter(object, &text))) return L"<failed>";
  std::wstring result(text, SysStringLen(text));
  SysFreeString(text);
  return result;
}

TEST_F(ComServer, UnloadWaitsForClassObjectsInstancesAndLocks) {
  const GUID classId = classFromLibrary();
  ASSERT_NE(classId, GUID_NULL);
  EXPECT_EQ(canUnload_(), S_OK);

  IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject_(kCommandCategoryId, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject_(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnload_(), S_FALSE) << "a class object is alive";

  IUnknown* outer = factory;
  IUnknown* none = nullptr;
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&none)),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&none)),
            E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  IUnknown* command = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, kCommandInterfaceId, reinterpret_cast<void**>(&command)),
            S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnload_(), S_FALSE) << "an instance is alive and the server is locked";

  // The command's texts arrive whole as new strings: Name (5), Caption (6), Tooltip (7), Category (12).
  EXPECT_EQ(textAt(command, 5), L"CorvaleGIS_CorvaleStreetSearch");
  EXPECT_EQ(textAt(command, 6), L"CorvaleStreetSearch");
  EXPECT_EQ(textAt(command, 7), L"CorvaleStreetSearch - Zoom to a street");
  EXPECT_EQ(textAt(command, 12), L"CorvaleGIS");
  command->Release();
  EXPECT_EQ(canUnload_(), S_FALSE) << "the server is still locked";

  ASSERT_EQ(getClassObject_(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnload_(), S_FALSE) << "the class object is alive";
  factory->Release();
  EXPECT_EQ(canUnload_(), S_OK);
}

// Once the command has built a window, the DLL stays loaded for the rest of the process.
TEST_F(ComServer, ToolbarBitmapIsA16By16TrueColourBitmapAndPinsTheDll) {
  const GUID classId = classFromLibrary();
  ASSERT_NE(classId, GUID_NULL);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IUnknown* command = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, kCommandInterfaceId, reinterpret_cast<void**>(&command)),
            S_OK);
  factory->Release();

  using BitmapGetter = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, UINT*);
  auto bitmap = reinterpret_cast<BitmapGetter>((*reinterpret_cast<void***>(command))[11]);
  UINT first = 0, second = 0;
  ASSERT_EQ(bitmap(command, &first), S_OK);
  ASSERT_EQ(bitmap(command, &second), S_OK);
  EXPECT_EQ(first, second) << "the same handle every time";
  BITMAP description{};
  ASSERT_EQ(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(first)), sizeof description,
                       &description),
            static_cast<int>(sizeof description));
  EXPECT_EQ(description.bmWidth, 16);
  EXPECT_EQ(description.bmHeight, 16);
  EXPECT_EQ(description.bmBitsPixel, 24);

  command->Release();
  EXPECT_EQ(canUnload_(), S_FALSE) << "the command's windows live in the DLL";
}

}  // namespace
