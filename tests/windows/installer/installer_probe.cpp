// What the installer's test asks of Windows itself, in the prefix the
// installer ran in:
//   installer_probe create DLL_PATH
//     finds the command as the host does (the classes of its command
//     category, by ProgID), checks that the ProgID names the same class,
//     creates it through CoCreateInstance, reads its caption through ICommand
//     and checks that the DLL serving it is DLL_PATH. Exit code 0 when all holds.
//   installer_probe uninstall [ARGUMENT...]
//     runs the QuietUninstallString of the installed program's entry, with the
//     arguments behind it, and waits for it and every process it starts (the
//     uninstaller runs from a copy of itself in the temporary folder).
//     Exit code: the uninstaller's, or 100 and more when it could not be run.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "double/HostStartup.h"

using namespace corvale::windouble;

namespace {

std::wstring lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

int create(const std::wstring& expectedDll) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 10;
  int result = 0;
  {
    const CLSID fromCategory = findCommandClass();
    CLSID fromProgId = GUID_NULL;
    const HRESULT byProgId = CLSIDFromProgID(L"CorvaleGIS.CorvaleStreetSearch", &fromProgId);
    std::printf("category lists the command: %s; ProgID: 0x%08lx\n",
                IsEqualGUID(fromCategory, GUID_NULL) ? "no" : "yes", static_cast<unsigned long>(byProgId));
    if (IsEqualGUID(fromCategory, GUID_NULL) || FAILED(byProgId) ||
        !IsEqualGUID(fromCategory, fromProgId)) {
      CoUninitialize();
      return 11;
    }
    Command command;
    const HRESULT created = Command::create(fromProgId, command);
    std::printf("CoCreateInstance: 0x%08lx\n", static_cast<unsigned long>(created));
    if (FAILED(created)) {
      CoUninitialize();
      return 12;
    }
    const CommandProperties properties = command.readProperties();
    std::printf("caption: %s\n", properties.caption.c_str());
    if (properties.caption != "CorvaleStreetSearch") result = 13;
    wchar_t served[MAX_PATH] = L"";
    HMODULE module = GetModuleHandleW(L"CorvaleStreetSearch.dll");
    if (module) GetModuleFileNameW(module, served, MAX_PATH);
    std::printf("served by: %ls\n", served);
    if (lower(served) != lower(expectedDll)) result = 14;
  }
  CoUninitialize();
  return result;
}

int uninstall(int argc, wchar_t** argv) {
  // The entry is in the registry view of the installer's bitness, which is this program's.
  wchar_t line[2048] = L"";
  DWORD size = sizeof line;
  const LSTATUS read = RegGetValueW(
      HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvaleStreetSearch",
      L"QuietUninstallString", RRF_RT_REG_SZ, nullptr, line, &size);
  if (read != ERROR_SUCCESS) return 100;
  std::wstring command = line;
  for (int i = 2; i < argc; ++i) command += std::wstring(L" ") + argv[i];
  std::printf("running: %ls\n", command.c_str());

  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return 101;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    return 102;
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 103;
  GetExitCodeProcess(process.hProcess, &code);
  // Then every process of the job, the uninstaller's copy among them: the
  // job's count of active processes, read until it is zero.
  const DWORD start = GetTickCount();
  for (;;) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr)) {
      return 104;
    }
    if (accounting.ActiveProcesses == 0) break;
    if (GetTickCount() - start > 60000) {
      std::printf("%lu of the uninstaller's processes still run after a minute\n",
                  static_cast<unsigned long>(accounting.ActiveProcesses));
      return 105;
    }
    Sleep(100);
  }
  std::printf("exit code: %lu\n", static_cast<unsigned long>(code));
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  int result = 2;
  if (mode == L"create" && argc == 3) result = create(argv[2]);
  if (mode == L"uninstall") result = uninstall(argc, argv);
  std::fflush(stdout);
  return result;
}
