// Stands in for icacls.exe in the test's Wine prefix: Wine's icacls is a
// dummy that changes no access rights and reports success. This one records
// each call, argument by argument as Windows splits the command line, and
// whether its second argument names an existing folder, in C:\icacls-calls.txt;
// it reports success too.
#include <windows.h>

#include <string>

// wmain's arguments are the command line as CommandLineToArgvW splits it.
int wmain(int count, wchar_t** arguments) {
  std::wstring record = L"call\n";
  for (int i = 1; i < count; ++i) record += std::wstring(L"arg ") + arguments[i] + L"\n";
  if (count > 1) {
    const DWORD attributes = GetFileAttributesW(arguments[1]);
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    record += folder ? L"folder exists\n" : L"no such folder\n";
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, record.c_str(), static_cast<int>(record.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, record.c_str(), static_cast<int>(record.size()), text.data(), bytes,
                      nullptr, nullptr);
  HANDLE file = CreateFileW(L"C:\\icacls-calls.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
