// Construction and resizing of the main window and its controls. Results of the control
// creations are not checked: a control that could not be made keeps handle 0, and messages
// to it do nothing. Only the menu bar's failure changes the build (no menu).
#include "shell/main_window_win.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cmath>
#include <string>

#include "inventory/tree_receiver_win.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "shell/tree_keys_win.h"
#include "toolkit/menu_win.h"
#include "toolkit/window_layer_win.h"

namespace lurvik {

namespace {

constexpr uint32_t kMainWindowStyle = 0x00CF0000;  // WS_OVERLAPPEDWINDOW
constexpr DWORD kStatusBarStyle = 0x54000900;
constexpr UINT kStatusBarId = 2701;
constexpr DWORD kProgressBarStyle = 0x50000000;
constexpr DWORD kTreeExtendedStyle = 0x200;         // WS_EX_CLIENTEDGE
constexpr DWORD kTreeStyle = 0x50400017;
constexpr UINT_PTR kTreeId = 55112;
constexpr int32_t kTreeLeft = 20;
constexpr int32_t kTreeTop = 20;

// The 13 tree icons, in image-list order.
struct IconSource {
  const char* file;  // nullptr: regedit.exe in the Windows directory
  int index;
};
constexpr IconSource kTreeIcons[] = {
    {"SHELL32.DLL", 90}, {"SHELL32.DLL", 3},  {"SHELL32.DLL", 0},   {"SHELL32.DLL", 2},  {"SHELL32.DLL", 71},
    {"SHELL32.DLL", 76}, {"SHELL32.DLL", 43}, {"SHELL32.DLL", 73},  {"SHELL32.DLL", 93}, {"SHELL32.DLL", 160},
    {"SHELL32.DLL", 92}, {"SHELL32.DLL", 104}, {nullptr, 0}};

HWND Hwnd(uintptr_t handle) { return reinterpret_cast<HWND>(handle); }

// |W - 40| and |H - 80| from the toolkit's inner size, formed as floating-point differences
// and made absolute, so a tiny window never gives a negative size.
int32_t TreeWidth() { return static_cast<int32_t>(std::fabs(double(WindowInnerWidth(MainWindow)) - 40.0)); }
int32_t TreeHeight() { return static_cast<int32_t>(std::fabs(double(WindowInnerHeight(MainWindow)) - 80.0)); }

void CreateStatusAndProgressBars(HWND main, HINSTANCE instance) {
  HWND status = CreateStatusWindowA(kStatusBarStyle, StatusText.c_str(), main, kStatusBarId);
  StatusBar = reinterpret_cast<uintptr_t>(status);
  int partEdges[2] = {250, -1};
  SendMessageA(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(partEdges));
  RECT outer = {};
  GetWindowRect(status, &outer);
  HWND progress = CreateWindowExA(0, "msctls_progress32", "", kProgressBarStyle, 3, 3, 244,
                                  (outer.bottom - outer.top) - 6, status, nullptr, instance, nullptr);
  ProgressBar = reinterpret_cast<uintptr_t>(progress);
}

void CreateMainMenu(HWND main) {
  MainMenu = CreateMenuBar(main);
  if (MainMenu == 0) return;
  AddMenuTitle(LanguageText(1));
  AddMenuItem(kRescanCommand, LanguageText(2));
  AddMenuItem(kSaveLogCommand, LanguageText(11));
  AddMenuSeparator();
  AddMenuItem(kGermanCommand, "&deutsch");
  SetMenuItemChecked(MainMenu, kGermanCommand, CurrentLanguage == 1);
  AddMenuItem(kEnglishCommand, "&english");
  SetMenuItemChecked(MainMenu, kEnglishCommand, CurrentLanguage == 0);
  AddMenuSeparator();
  AddMenuItem(kEndCommand, LanguageText(6));
}

void CreateTreeImages(HINSTANCE instance) {
  HIMAGELIST images = ImageList_Create(22, 22, 0xFF, 20, 40);
  TreeImages = reinterpret_cast<uintptr_t>(images);
  const std::string regedit = std::string(WindowsDirectory) + "\\regedit.exe";
  for (const IconSource& source : kTreeIcons) {
    HICON icon = ExtractIconA(instance, source.file ? source.file : regedit.c_str(), source.index);
    // 0: no such icon; 1: not a file with icons. Either way the image is left out.
    if (icon == nullptr || icon == reinterpret_cast<HICON>(1)) continue;
    ImageList_ReplaceIcon(images, -1, icon);
    DestroyIcon(icon);
  }
  SendMessageA(Hwnd(HandleTree), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

}  // namespace

void BuildMainWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const std::string title = "Lurvik v." + ProgramVersion;
  const bool batch = !BatchLogPath.empty();
  MainWindow = batch ? CreateAppWindow(100000, 100000, 0, 0, title, kMainWindowStyle)
                     : CreateAppWindow(0, 0, 640, 440, title, kMainWindowStyle);
  HWND main = WindowHandle(MainWindow);
  if (batch && main) ShowWindow(main, SW_HIDE);

  CreateStatusAndProgressBars(main, instance);
  CreateMainMenu(main);
  // Made after the menu bar, so its height already accounts for the menu line.
  HWND tree = CreateWindowExA(kTreeExtendedStyle, "SysTreeView32", "", kTreeStyle, kTreeLeft, kTreeTop, TreeWidth(),
                              TreeHeight(), main, reinterpret_cast<HMENU>(kTreeId), instance, nullptr);
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  InstallTreeReceiver(tree);  // the scan's nodes arrive in batches
  if (!batch) InstallTreeKeys(main, tree);  // find and copy
  CreateTreeImages(instance);
}

void FitMainWindow() {
  SetWindowPos(Hwnd(StatusBar), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(Hwnd(HandleTree), HWND_TOP, kTreeLeft, kTreeTop, TreeWidth(), TreeHeight(), SWP_SHOWWINDOW);
}

}  // namespace lurvik
