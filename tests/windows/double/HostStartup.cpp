#include "double/HostStartup.h"

#include <comcat.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "double/HostObject.h"

namespace corvale::windouble {

const GUID kIID_ICommand = guidOf("{36B06538-4437-11D1-B970-080009EE4E51}");
const GUID kCATID_Commands = guidOf("{B56A7C42-83D4-11D2-A2E9-080009B6F22B}");
const char kProgId[] = "CorvaleGIS.CorvaleStreetSearch";

std::wstring windowsPath(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  const int n = MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

DWORD runRegsvr32(const std::string& dll, bool unregister) {
  std::wstring line = L"regsvr32.exe /s ";
  if (unregister) line += L"/u ";
  line += L"\"" + windowsPath(dll) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return GetLastError() | 0x80000000u;
  }
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFFFFFFu;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

std::vector<CLSID> classesOfCategory(const GUID& category) {
  std::vector<CLSID> found;
  ICatInformation* info = nullptr;
  if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                              reinterpret_cast<void**>(&info)))) {
    return found;
  }
  CATID wanted[1] = {category};
  IEnumCLSID* classes = nullptr;
  if (SUCCEEDED(info->EnumClassesOfCategories(1, wanted, static_cast<ULONG>(-1), nullptr, &classes)) && classes) {
    CLSID id;
    ULONG got = 0;
    while (classes->Next(1, &id, &got) == S_OK && got == 1) found.push_back(id);
    classes->Release();
  }
  info->Release();
  return found;
}

CLSID findCommandClass() {
  for (const CLSID& id : classesOfCategory(kCATID_Commands)) {
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(id, &progId))) {
      const bool ours = utf8Of(progId, -1) == kProgId;
      CoTaskMemFree(progId);
      if (ours) return id;
    }
  }
  return GUID_NULL;
}

HRESULT Command::create(const CLSID& clsid, Command& out) {
  out.reset();
  void* p = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIID_ICommand, &p);
  if (SUCCEEDED(hr)) out.p_ = static_cast<CommandObject*>(p);
  return hr;
}

void Command::reset() {
  if (p_) p_->table->Release(p_);
  p_ = nullptr;
}

CommandProperties Command::readProperties() {
  CommandProperties props;
  auto text = [&](HRESULT(STDMETHODCALLTYPE * getter)(void*, BSTR*), std::string& into) {
    BSTR s = nullptr;
    props.statuses.push_back(getter(p_, &s));
    into = utf8OfBstr(s);
    SysFreeString(s);
  };
  const CommandTable& t = *p_->table;
  props.statuses.push_back(t.get_Enabled(p_, &props.enabled));
  props.statuses.push_back(t.get_Checked(p_, &props.checked));
  text(t.get_Name, props.name);
  text(t.get_Caption, props.caption);
  text(t.get_Tooltip, props.tooltip);
  text(t.get_Message, props.message);
  text(t.get_HelpFile, props.helpFile);
  props.statuses.push_back(t.get_HelpContextID(p_, &props.helpContextId));
  props.statuses.push_back(t.get_Bitmap(p_, &props.bitmap));
  props.statuses.push_back(t.get_Bitmap(p_, &props.bitmapAgain));
  text(t.get_Category, props.category);
  return props;
}

std::string configPath() {
  wchar_t folder[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
  return utf8Of(folder, -1) + "\\CorvaleGIS\\CorvaleStreetSearch\\config";
}

std::string readConfigBytes() {
  std::ifstream in(windowsPath(configPath()).c_str(), std::ios::binary);
  if (!in) return "<absent>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeConfigBytes(const std::string& bytes) {
  const std::wstring path = windowsPath(configPath());
  if (bytes == "<absent>") {
    DeleteFileW(path.c_str());
    return;
  }
  const std::wstring folder = path.substr(0, path.rfind(L'\\'));
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace corvale::windouble
