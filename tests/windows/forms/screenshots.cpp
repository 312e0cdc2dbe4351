// Pictures of the three windows as the Win32 toolkit draws them, one BMP file
// each, for the documentation: win32-search-window.bmp,
// win32-configuration-window.bmp and win32-help-window.bmp in the folder
// given as the only argument.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/forms/Win32Toolkit.h"
#include "state/ProductState.h"
#include "windows/frmConfig.h"
#include "windows/frmHelp.h"
#include "windows/frmMain.h"

namespace {

struct NoEvents : corvale::host::IFormEvents {
  void fire(std::string_view) noexcept override {}
};

void pumpFor(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (GetTickCount() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

/// The window with its frame, from the screen, as a 24-bit BMP file.
bool capture(HWND window, const std::string& path) {
  RECT outer{};
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, outer.left, outer.top, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
  const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageBytes;
  bool written = false;
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 &&
              std::fwrite(bits, imageBytes, 1, out) == 1;
    written = std::fclose(out) == 0 && written;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvale;
  if (argc != 2) {
    std::fprintf(stderr, "usage: win32_forms_screenshots FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  win32::Win32Toolkit toolkit(win32::Win32Toolkit::Mode::Headless);
  auto events = std::make_shared<NoEvents>();

  auto search = std::dynamic_pointer_cast<win32::Win32Form>(
      toolkit.load(frmMain::create()->layout(), events));
  for (const char* name : {"Abbey Road", "Baker Street", "Carnaby Street", "Downing Street",
                           "Fleet Street", "Oxford Street", "Pall Mall", "Regent Street",
                           "Straße des 17. Juni", "Ørstedsvej", "Whitehall", "Abbey Lane"})
    search->listBox("List1").append(name);
  search->setText("Text1", "Baker");
  search->listBox("List1").select(2);

  auto config = std::dynamic_pointer_cast<win32::Win32Form>(
      toolkit.load(frmConfig::instance()->layout(), events));
  for (const char* name : {"Streets", "Rivers", "Parcels"})
    config->listBox("List1").append(name);
  for (const char* name : {"OBJECTID", "NAME", "TYPE", "LENGTH"})
    config->listBox("List2").append(name);
  config->listBox("List1").select(0);
  config->listBox("List2").select(1);

  auto help = std::dynamic_pointer_cast<win32::Win32Form>(
      toolkit.load(frmHelp::create()->layout(), events));
  help->setText("txtVersion", "v2.15");

  int failures = 0;
  const std::pair<std::shared_ptr<win32::Win32Form>, const char*> shots[] = {
      {search, "win32-search-window.bmp"},
      {config, "win32-configuration-window.bmp"},
      {help, "win32-help-window.bmp"}};
  for (const auto& [form, file] : shots) {
    SetWindowPos(form->hwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(form->hwnd());
    UpdateWindow(form->hwnd());
    pumpFor(700);
    if (!capture(form->hwnd(), folder + "\\" + file)) {
      std::fprintf(stderr, "could not write %s\n", file);
      ++failures;
    }
    ShowWindow(form->hwnd(), SW_HIDE);
  }
  return failures == 0 ? 0 : 1;
}
