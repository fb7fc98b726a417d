// Drives and reads the program's main window from another process, for the end-to-end tests
// under Wine: finds windows, reads title, sizes, status text and the whole tree (through a
// block of memory in the program's process), posts messages, resizes and answers the save
// dialog. Built for both widths; each copy drives a program of its own width.
// Usage (times in ms, 20000 when left out; exit code 0 on success):
//   gui_driver find TITLE [ms]             waits for a top-level window whose title starts so
//   gui_driver dialog TITLE PATH|- [ms]    answers the save dialog (- cancels), prints its
//                                          file name and filter count
//   gui_driver info                        prints title, sizes, item count, status text and the
//                                          find dialog's place
//   gui_driver wait-status TEXT [ms]       waits for the status text, prints the last one
//   gui_driver tree FILE                   writes the tree in the log's layout
//   gui_driver expand [TYPE...]            opens the first process and the named types
//   gui_driver post MESSAGE WPARAM | resize W H   (W x H: the client area)
//   gui_driver foreign-batch               sends the tree's batch message with foreign pointers
//   gui_driver keys [dialog] KEY...        real keys to the main window (or the find dialog) made
//                                          the foreground: ctrl+F, shift+F3, Escape, ... (+ joins)
//   gui_driver select INDEX...             selects the tree item at those child indices
//   gui_driver selected                    prints the selected item's text, its parents' expanded
//                                          states, the focused control, the find dialog and the
//                                          drop target's text
//   gui_driver find-dialog TEXT [ms]       puts TEXT into the open find dialog, presses Enter
//                                          there (Find Next) and prints the milliseconds it took
//   gui_driver copy | clipboard FILE       Ctrl+C on the main window, timed | the CF_TEXT to FILE
//   gui_driver serve                       runs the commands of stdin's lines (see main)
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTreeId = 55112;
constexpr int kStatusBarId = 2701;
constexpr size_t kTextSize = 4096;

// SendMessage with a time limit, so a hung program fails the test instead of hanging it; `wide`
// sends UTF-16 texts.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide = false) {
  DWORD_PTR result = 0;
  if (!(wide ? SendMessageTimeoutW : SendMessageTimeoutA)(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
    std::fprintf(stderr, "gui_driver: message 0x%X got no answer\n", message);
    std::exit(4);
  }
  return static_cast<LRESULT>(result);
}

struct Search {
  const char* prefix;
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  char text[512] = {};
  // Not GetWindowTextA, which waits without limit for a window of a hung program.
  DWORD_PTR length = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &length);
  if (std::strncmp(text, search->prefix, std::strlen(search->prefix)) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// The first top-level window whose title starts with the prefix, waiting up to timeoutMs.
HWND FindTopLevel(const char* prefix, DWORD timeoutMs) {
  for (DWORD start = GetTickCount();; Sleep(100)) {
    Search search = {prefix, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found || GetTickCount() - start >= timeoutMs) return search.found;
  }
}

// A block in the program's process for the messages whose pointers the system does not carry
// across processes: a record at its start, the text the program writes behind it.
HANDLE Program;
char* Block;

void OpenBlock(HWND main) {
  DWORD id = 0;
  GetWindowThreadProcessId(main, &id);
  Program = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
  Block = static_cast<char*>(VirtualAllocEx(Program, nullptr, 2 * kTextSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

// Sends the message with the block as lParam (the record at its start, or the text part when
// there is no record) and returns the text the program wrote.
std::string SendForText(HWND window, UINT message, WPARAM wParam, const void* record, size_t size) {
  char text[kTextSize] = {};
  WriteProcessMemory(Program, Block + kTextSize, text, 1, nullptr);
  if (size) WriteProcessMemory(Program, Block, record, size, nullptr);
  Send(window, message, wParam, reinterpret_cast<LPARAM>(size ? Block : Block + kTextSize));
  ReadProcessMemory(Program, Block + kTextSize, text, kTextSize - 1, nullptr);
  return text;
}

std::string StatusText(HWND main) { return SendForText(GetDlgItem(main, kStatusBarId), SB_GETTEXTA, 1, nullptr, 0); }

HTREEITEM Next(HWND tree, HTREEITEM item, WPARAM relation) {
  return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string ItemText(HWND tree, HTREEITEM item) {
  TVITEMA record = {};
  record.mask = TVIF_TEXT | TVIF_HANDLE;
  record.hItem = item;
  record.pszText = Block + kTextSize;
  record.cchTextMax = kTextSize - 1;
  return SendForText(tree, TVM_GETITEMA, 0, &record, sizeof record);
}

// The tree in the log's layout: two blanks more per level, CR LF line ends. Type nodes
// without handles stand in the tree but not in the log.
void TreeAsLog(HWND tree, HTREEITEM item, size_t depth, std::string& out) {
  for (; item; item = Next(tree, item, TVGN_NEXT)) {
    HTREEITEM child = Next(tree, item, TVGN_CHILD);
    if (depth == 1 && !child) continue;
    out += std::string(2 * depth, ' ') + ItemText(tree, item) + "\r\n";
    TreeAsLog(tree, child, depth + 1, out);
  }
}

// The find dialog: a #32770 window owned by the main window.
HWND FindDialog(HWND main) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr))
    if (GetWindow(w, GW_OWNER) == main && IsWindowVisible(w)) return w;
  return nullptr;
}

// Prints a window's rectangle in the client coordinates of another window.
void PrintRect(const char* name, HWND window, HWND parent) {
  RECT r = {};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  std::printf("%s=%ld,%ld,%ldx%ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int Info(HWND main) {
  char title[512] = {};
  Send(main, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title));
  RECT client = {};
  GetClientRect(main, &client);
  HWND tree = GetDlgItem(main, kTreeId), status = GetDlgItem(main, kStatusBarId);
  std::printf("title=%s\nvisible=%d\nclient=%ldx%ld\ncymenu=%d\ntreeitems=%ld\nstatus=%s\n", title,
              IsWindowVisible(main) ? 1 : 0, client.right, client.bottom, GetSystemMetrics(SM_CYMENU),
              static_cast<long>(Send(tree, TVM_GETCOUNT, 0, 0)), StatusText(main).c_str());
  PrintRect("outer", main, nullptr);
  PrintRect("tree", tree, main);
  PrintRect("statusbar", status, main);
  PrintRect("progress", FindWindowExA(status, nullptr, "msctls_progress32", nullptr), status);
  PrintRect("dialog", FindDialog(main), nullptr);
  return 0;
}

// Opens the first process node, and of each type node named in the list (all with handles
// when the list is empty) the node and its first handle, then scrolls back to the top: the
// view of the screenshot.
void ExpandFirstProcess(HWND tree, char** types, int count) {
  HTREEITEM process = Next(tree, nullptr, TVGN_ROOT);
  Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(process));
  for (HTREEITEM type = Next(tree, process, TVGN_CHILD); type; type = Next(tree, type, TVGN_NEXT)) {
    HTREEITEM handle = Next(tree, type, TVGN_CHILD);
    bool named = count == 0;
    for (int i = 0; i < count && !named; ++i) named = ItemText(tree, type) == types[i];
    if (!handle || !named) continue;
    Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(type));
    Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
  }
  Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(process));
}

// Sends the tree the program's batch message as a foreign program would: once with a pointer
// to nowhere, once with a delivery forged in the block, laid out as the program's own (a batch
// of one node at the root, whose item the receiver would write into the block's item table).
// Prints both answers and whether the block still holds what was written.
int ForeignBatch(HWND tree) {
  constexpr UINT kBatchMessage = WM_APP + 0x4C;
  constexpr size_t W = sizeof(uintptr_t);
  const uintptr_t base = reinterpret_cast<uintptr_t>(Block);
  uintptr_t forged[64] = {};
  forged[0] = base + 8 * W;   // the batch
  forged[1] = base + 40 * W;  // the item table, 8 rows
  forged[2] = 8;
  forged[8] = 1;              // the batch's first number; then its texts: address, length, inline buffer
  forged[9] = base + 24 * W;
  forged[10] = 1;
  const size_t nodes = 11 + 16 / W;  // its nodes: first, end, capacity
  forged[nodes] = base + 28 * W;
  forged[nodes + 1] = forged[nodes + 2] = base + 28 * W + 16;
  forged[24] = 'X';
  const uint32_t node[4] = {0, 1, 0, 0};  // text offset and length, parent, image
  std::memcpy(&forged[28], node, sizeof node);
  WriteProcessMemory(Program, Block, forged, sizeof forged, nullptr);
  const LRESULT nowhere = Send(tree, kBatchMessage, 0, 0x10);
  const LRESULT forgedAnswer = Send(tree, kBatchMessage, 0, reinterpret_cast<LPARAM>(Block));
  uintptr_t after[64] = {};
  ReadProcessMemory(Program, Block, after, sizeof after, nullptr);
  std::printf("answers %ld %ld, block %s\n", static_cast<long>(nowhere), static_cast<long>(forgedAnswer),
              std::memcmp(forged, after, sizeof after) == 0 ? "unchanged" : "changed");
  return 0;
}

UINT KeyCode(const std::string& name) {
  if (name.size() == 1) return static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[0])));
  if (name[0] == 'F' && name.size() <= 3) return VK_F1 + std::atoi(name.c_str() + 1) - 1;
  if (name == "Insert") return VK_INSERT;
  if (name == "Escape") return VK_ESCAPE;
  if (name == "Enter") return VK_RETURN;
  return name == "Tab" ? VK_TAB : 0;
}

// Presses a chord (modifiers and one key joined by "+") as real keys.
void Press(const std::string& chord) {
  std::vector<UINT> keys;
  for (size_t start = 0, end; start <= chord.size(); start = end + 1) {
    end = chord.find('+', start);
    if (end == std::string::npos) end = chord.size();
    const std::string name = chord.substr(start, end - start);
    keys.push_back(name == "ctrl" ? VK_CONTROL : name == "shift" ? VK_SHIFT : name == "alt" ? VK_MENU : KeyCode(name));
  }
  for (UINT key : keys) keybd_event(static_cast<BYTE>(key), 0, 0, 0);
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) keybd_event(static_cast<BYTE>(*key), 0, KEYEVENTF_KEYUP, 0);
}

void MakeForeground(HWND window) {
  if (GetForegroundWindow() == window) return;
  SetForegroundWindow(window);
  Sleep(200);
}

// Presses each chord on the window made the foreground.
int Keys(HWND window, char** chords, int count) {
  if (!window) return 1;
  MakeForeground(window);
  for (int i = 0; i < count; ++i) Press(chords[i]), Sleep(300);
  return 0;
}

double Milliseconds(const LARGE_INTEGER& before) {
  LARGE_INTEGER frequency, after;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&after);
  return 1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  if (window) GetClassNameA(window, name, sizeof name);
  return window ? name : "none";
}

int Selected(HWND main, HWND tree) {
  HTREEITEM item = Next(tree, nullptr, TVGN_CARET);
  std::printf("selected=%s\nexpanded=", item ? ItemText(tree, item).c_str() : "");
  for (HTREEITEM parent = item ? Next(tree, item, TVGN_PARENT) : nullptr; parent; parent = Next(tree, parent, TVGN_PARENT))
    std::printf("%d", (Send(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(parent), TVIS_EXPANDED) & TVIS_EXPANDED) ? 1 : 0);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui);
  HTREEITEM target = Next(tree, nullptr, TVGN_DROPHILITE);
  std::printf("\nfocus=%s\nfinddialog=%d\nhighlighted=%s\n", ClassOf(gui.hwndFocus).c_str(), FindDialog(main) ? 1 : 0,
              target ? ItemText(tree, target).c_str() : "");
  return 0;
}

// Enter in the dialog presses Find Next; an "x" pressed after it reaches the search text, which
// the focus selects whole, once the search is over. The text is then put back.
int FindInDialog(HWND main, const char* text, DWORD timeoutMs) {
  HWND dialog = nullptr;
  for (DWORD start = GetTickCount(); !(dialog = FindDialog(main)) && GetTickCount() - start < timeoutMs;) Sleep(100);
  if (!dialog) return std::printf("no find dialog\n"), 1;
  HWND edit = GetDlgItem(dialog, 1152);
  Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  MakeForeground(dialog);
  Send(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
  LARGE_INTEGER before;
  QueryPerformanceCounter(&before);
  Press("Enter"), Press("X");
  char now[512] = {};
  for (DWORD start = GetTickCount(); Send(edit, WM_GETTEXT, sizeof now, reinterpret_cast<LPARAM>(now)), std::strcmp(now, text) == 0;) {
    if (GetTickCount() - start > 60000) return std::printf("the search did not end\n"), 1;
  }
  std::printf("ms=%.1f\n", Milliseconds(before));
  Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  return 0;
}

// Ctrl+C, timed until the text is on the clipboard and the program has closed it again.
int CopyByKeys(HWND main) {
  MakeForeground(main);
  const DWORD sequence = GetClipboardSequenceNumber();
  LARGE_INTEGER before;
  QueryPerformanceCounter(&before);
  Press("ctrl+C");
  for (DWORD start = GetTickCount();; Sleep(0)) {
    if (GetTickCount() - start > 60000) return std::printf("no copy\n"), 1;
    if (GetClipboardSequenceNumber() == sequence || !OpenClipboard(nullptr)) continue;
    const bool text = IsClipboardFormatAvailable(CF_TEXT);
    CloseClipboard();
    if (text) break;
  }
  std::printf("ms=%.1f\n", Milliseconds(before));
  return 0;
}

int ClipboardToFile(const char* path) {
  if (!OpenClipboard(nullptr)) return 1;
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  FILE* file = std::fopen(path, "wb");
  const size_t length = text ? std::strlen(text) : 0;
  const bool written = file && text && std::fwrite(text, 1, length, file) == length;
  if (text) GlobalUnlock(data);
  CloseClipboard();
  return file && std::fclose(file) == 0 && written ? 0 : 1;
}

// Waits for the save dialog, prints its file name and filter count, then types the path (in
// UTF-8, as the served commands come, so it may hold characters the ANSI code page lacks) and
// presses OK (or Cancel when the path is "-").
int AnswerDialog(const char* title, const char* path, DWORD timeoutMs) {
  HWND dialog = FindTopLevel(title, timeoutMs);
  if (!dialog) return std::printf("no dialog \"%s\"\n", title), 1;
  Sleep(300);
  // Wine's explorer-style dialog keeps the name in combo box 0x47C.
  HWND name = GetDlgItem(dialog, 0x47C);
  char text[MAX_PATH + 1] = {};
  Send(name, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("filename=%s\nfilters=%ld\n", text, static_cast<long>(Send(GetDlgItem(dialog, 0x470), CB_GETCOUNT, 0, 0)));
  wchar_t widePath[MAX_PATH + 1] = {};
  MultiByteToWideChar(CP_UTF8, 0, path, -1, widePath, MAX_PATH);
  if (std::strcmp(path, "-") != 0) Send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(widePath), true);
  return PostMessageA(dialog, WM_COMMAND, std::strcmp(path, "-") != 0 ? IDOK : IDCANCEL, 0) ? 0 : 1;
}

// One command, its words in argv[1..argc-1]; returns its exit code.
int Run(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  auto number = [&](int index) { return argc > index ? std::strtoul(argv[index], nullptr, 10) : 20000; };
  if (command == "find" && argc > 2) return FindTopLevel(argv[2], number(3)) ? 0 : 1;
  if (command == "dialog" && argc > 3) return AnswerDialog(argv[2], argv[3], number(4));
  HWND main = FindTopLevel("Lurvik v.", 20000);
  if (!main) return std::fprintf(stderr, "gui_driver: no main window that answers\n"), 3;
  OpenBlock(main);
  HWND tree = GetDlgItem(main, kTreeId);
  int result = 2;
  if (command == "info") result = Info(main);
  if (command == "wait-status" && argc > 2) {  // prints the status text it ended with
    DWORD start = GetTickCount();
    std::string text;
    while ((text = StatusText(main)) != argv[2] && GetTickCount() - start < number(3)) Sleep(100);
    std::printf("%s\n", text.c_str());
    result = text == argv[2] ? 0 : 1;
  }
  if (command == "tree" && argc > 2) {
    std::string out;
    TreeAsLog(tree, Next(tree, nullptr, TVGN_ROOT), 0, out);
    FILE* file = std::fopen(argv[2], "wb");
    result = file && std::fwrite(out.data(), 1, out.size(), file) == out.size() && std::fclose(file) == 0 ? 0 : 1;
  }
  if (command == "expand") result = (ExpandFirstProcess(tree, argv + 2, argc - 2), 0);
  if (command == "foreign-batch") result = ForeignBatch(tree);
  if (command == "keys" && argc > 2 && std::strcmp(argv[2], "dialog") == 0) result = Keys(FindDialog(main), argv + 3, argc - 3);
  else if (command == "keys") result = Keys(main, argv + 2, argc - 2);
  if (command == "selected") result = Selected(main, tree);
  if (command == "find-dialog" && argc > 2) result = FindInDialog(main, argv[2], number(3));
  if (command == "copy") result = CopyByKeys(main);
  if (command == "clipboard" && argc > 2) result = ClipboardToFile(argv[2]);
  if (command == "select") {
    HTREEITEM item = nullptr;
    for (int i = 2; i < argc; ++i) {
      item = Next(tree, item, item ? TVGN_CHILD : TVGN_ROOT);
      for (unsigned long n = std::strtoul(argv[i], nullptr, 10); n > 0 && item; --n) item = Next(tree, item, TVGN_NEXT);
    }
    result = item && Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) ? 0 : 1;
  }
  if (command == "post" && argc > 3) result = PostMessageA(main, number(2), number(3), 0) ? 0 : 1;
  if (command == "resize" && argc > 3) {  // to a client area of W x H
    RECT client = {}, outer = {};
    GetClientRect(main, &client);
    GetWindowRect(main, &outer);
    int width = number(2) + (outer.right - outer.left) - client.right;
    int height = number(3) + (outer.bottom - outer.top) - client.bottom;
    result = SetWindowPos(main, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER) ? 0 : 1;
  }
  VirtualFreeEx(Program, Block, 0, MEM_RELEASE);
  CloseHandle(Program);
  if (result == 2)
    std::fprintf(stderr, "gui_driver: unknown command or missing arguments\n");
  return result;
}

}  // namespace

// "serve" reads one command a line, its words separated by tabs, and ends each answer with
// the line "end <exit code>". One driver serves a whole test, so that no process is being
// created while a scan reads the handle list (see tests/e2e/gui_window.sh).
int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "serve") != 0) return Run(argc, argv);
  GetDesktopWindow();  // the desktop's process is up before the first answer
  std::printf("end 0\n");
  std::fflush(stdout);
  for (std::string line; ; line.clear()) {
    for (int c; (c = std::getchar()) != EOF && c != '\n';) line += static_cast<char>(c);
    if (line.empty() && std::feof(stdin)) return 0;
    std::vector<char*> words = {argv[0]};
    for (char* word = std::strtok(&line[0], "\t\r"); word; word = std::strtok(nullptr, "\t\r")) words.push_back(word);
    const int result = Run(static_cast<int>(words.size()), words.data());
    std::printf("end %d\n", result);
    std::fflush(stdout);
  }
}
