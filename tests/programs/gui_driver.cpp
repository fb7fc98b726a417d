// Drives and reads the program's main window from another process, for the end-to-end tests
// under Wine: finds the window, reads title, sizes, status text and the whole tree (through
// memory of the program's process), posts commands, resizes, and answers the save dialog.
// Usage: gui_driver <command> [arguments]; prints its findings, exit code 0 on success.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kTitlePrefix[] = "Lurvik v.";
constexpr int kTreeId = 55112;
constexpr int kStatusBarId = 2701;

// SendMessage with a time limit, so a hung program fails the test instead of hanging it.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
    std::fprintf(stderr, "gui_driver: message 0x%X got no answer\n", message);
    std::exit(4);
  }
  return static_cast<LRESULT>(result);
}

struct FoundWindow {
  const char* prefix;
  const char* className;
  HWND window;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<FoundWindow*>(data);
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  if (std::strncmp(title, found->prefix, std::strlen(found->prefix)) != 0) return TRUE;
  if (found->className) {
    char className[128] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, found->className) != 0) return TRUE;
  }
  found->window = window;
  return FALSE;
}

HWND FindTopLevel(const char* prefix, const char* className, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    FoundWindow found = {prefix, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&found));
    if (found.window) return found.window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(100);
  }
}

HWND MainWindow(DWORD timeoutMs = 20000) { return FindTopLevel(kTitlePrefix, nullptr, timeoutMs); }

// A block of memory in the program's process, for messages whose pointers the system does not
// carry across processes (tree items, status bar texts).
class RemoteBlock {
 public:
  RemoteBlock(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  bool Ok() const { return address_ != nullptr; }
  char* Address(size_t offset = 0) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, Address(offset), data, size, &done) && done == size;
  }
  bool Read(size_t offset, void* data, size_t size) {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, Address(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

constexpr size_t kTextCapacity = 4096;

std::string StatusText(HWND main) {
  HWND status = GetDlgItem(main, kStatusBarId);
  RemoteBlock block(status, kTextCapacity);
  if (!status || !block.Ok()) return "<no status bar>";
  std::vector<char> zeros(kTextCapacity, 0);
  block.Write(0, zeros.data(), zeros.size());
  Send(status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(block.Address()));
  std::vector<char> text(kTextCapacity, 0);
  block.Read(0, text.data(), kTextCapacity - 1);
  return text.data();
}

// Reads the tree back in the log's layout: process lines, then for each type node with
// children "  " + type, "    " + handle, "      " + details; CR LF line ends.
class TreeReader {
 public:
  explicit TreeReader(HWND tree) : tree_(tree), block_(tree, sizeof(TVITEMA) + kTextCapacity) {}
  bool Ok() const { return tree_ && block_.Ok(); }

  std::string ItemText(HTREEITEM item) {
    TVITEMA record = {};
    record.mask = TVIF_TEXT | TVIF_HANDLE;
    record.hItem = item;
    record.pszText = block_.Address(sizeof(TVITEMA));
    record.cchTextMax = kTextCapacity;
    std::vector<char> text(kTextCapacity, 0);
    block_.Write(sizeof(TVITEMA), text.data(), 1);
    block_.Write(0, &record, sizeof record);
    if (!Send(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block_.Address()))) return "<unreadable>";
    block_.Read(sizeof(TVITEMA), text.data(), kTextCapacity - 1);
    return text.data();
  }
  HTREEITEM Next(HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(Send(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }

  void AsLog(HTREEITEM first, int depth, std::string& out) {
    static const char* const kIndent[] = {"", "  ", "    ", "      ", "        "};
    for (HTREEITEM item = first; item; item = Next(item, TVGN_NEXT)) {
      HTREEITEM child = Next(item, TVGN_CHILD);
      // Type nodes without handles stand in the tree but not in the log.
      if (depth == 1 && !child) continue;
      out += kIndent[depth < 4 ? depth : 4] + ItemText(item) + "\r\n";
      if (child) AsLog(child, depth + 1, out);
    }
  }

 private:
  HWND tree_;
  RemoteBlock block_;
};

RECT ChildRectInClient(HWND main, HWND child) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int Info(HWND main) {
  char title[512] = {};
  GetWindowTextA(main, title, sizeof title);
  RECT client = {}, outer = {};
  GetClientRect(main, &client);
  GetWindowRect(main, &outer);
  HWND tree = GetDlgItem(main, kTreeId);
  HWND status = GetDlgItem(main, kStatusBarId);
  RECT treeRect = ChildRectInClient(main, tree);
  RECT statusRect = ChildRectInClient(main, status);
  HWND progress = status ? FindWindowExA(status, nullptr, "msctls_progress32", nullptr) : nullptr;
  RECT progressRect = {};
  if (progress) {
    GetWindowRect(progress, &progressRect);
    MapWindowPoints(nullptr, status, reinterpret_cast<POINT*>(&progressRect), 2);
  }
  std::printf("title=%s\n", title);
  std::printf("visible=%d\n", IsWindowVisible(main) ? 1 : 0);
  std::printf("outer=%ld,%ld\n", outer.left, outer.top);
  std::printf("client=%ldx%ld\n", client.right, client.bottom);
  std::printf("menu=%d\n", GetMenu(main) ? 1 : 0);
  std::printf("cymenu=%d\n", GetSystemMetrics(SM_CYMENU));
  std::printf("tree=%ld,%ld,%ldx%ld\n", treeRect.left, treeRect.top, treeRect.right - treeRect.left,
              treeRect.bottom - treeRect.top);
  std::printf("treeitems=%ld\n", tree ? static_cast<long>(Send(tree, TVM_GETCOUNT, 0, 0)) : -1L);
  std::printf("statusbar=%ld,%ld,%ldx%ld\n", statusRect.left, statusRect.top, statusRect.right - statusRect.left,
              statusRect.bottom - statusRect.top);
  std::printf("progress=%ld,%ld,%ldx%ld\n", progressRect.left, progressRect.top,
              progressRect.right - progressRect.left, progressRect.bottom - progressRect.top);
  std::printf("status=%s\n", StatusText(main).c_str());
  return 0;
}

int DumpTree(HWND main, const char* path) {
  TreeReader reader(GetDlgItem(main, kTreeId));
  if (!reader.Ok()) return 2;
  std::string out;
  reader.AsLog(reader.Next(nullptr, TVGN_ROOT), 0, out);
  FILE* file = std::fopen(path, "wb");
  if (!file) return 2;
  std::fwrite(out.data(), 1, out.size(), file);
  std::fclose(file);
  return 0;
}

// Opens the first process node and its type nodes that hold handles, for a telling screenshot.
int ExpandFirstProcess(HWND main) {
  HWND tree = GetDlgItem(main, kTreeId);
  auto next = [tree](HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  };
  HTREEITEM process = next(nullptr, TVGN_ROOT);
  if (!process) return 1;
  Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(process));
  int opened = 0;
  for (HTREEITEM type = next(process, TVGN_CHILD); type && opened < 2; type = next(type, TVGN_NEXT)) {
    HTREEITEM handle = next(type, TVGN_CHILD);
    if (!handle) continue;
    Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(type));
    Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
    ++opened;
  }
  return 0;
}

int WaitStatus(HWND main, const std::string& expected, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (StatusText(main) != expected) {
    if (GetTickCount() - start >= timeoutMs) {
      std::printf("status=%s\n", StatusText(main).c_str());
      return 1;
    }
    Sleep(100);
  }
  return 0;
}

HWND FileNameBox(HWND dialog) {
  // Explorer-style save dialogs keep the name in combo box 0x47C (or edit 0x480).
  HWND combo = GetDlgItem(dialog, 0x47C);
  if (combo) {
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return edit ? edit : combo;
  }
  return GetDlgItem(dialog, 0x480);
}

// Waits for the save dialog, reports its file name and filter, then types the path and
// presses OK (or Cancel when the path is "-").
int AnswerDialog(const char* title, const char* path, DWORD timeoutMs) {
  HWND dialog = FindTopLevel(title, "#32770", timeoutMs);
  if (!dialog) {
    std::printf("no dialog\n");
    return 1;
  }
  Sleep(300);
  HWND nameBox = FileNameBox(dialog);
  char text[1024] = {};
  if (nameBox) Send(nameBox, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("filename=%s\n", text);
  HWND filter = GetDlgItem(dialog, 0x470);
  if (filter) {
    LRESULT count = Send(filter, CB_GETCOUNT, 0, 0);
    LRESULT selected = Send(filter, CB_GETCURSEL, 0, 0);
    char label[512] = {};
    Send(filter, CB_GETLBTEXT, selected < 0 ? 0 : selected, reinterpret_cast<LPARAM>(label));
    std::printf("filters=%ld\nfilter=[%s]\n", static_cast<long>(count), label);
  }
  if (std::strcmp(path, "-") == 0) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  if (!nameBox) return 1;
  Send(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "gui_driver find [ms] | gone [ms] | info | tree FILE | status-is TEXT [ms] | command ID |\n"
               "  expand | close | resize W H | maximize | restore | dialog TITLE PATH|- [ms] | window-exists TITLE [ms]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  DWORD wait = 20000;
  if (command == "find") {
    if (argc > 2) wait = std::strtoul(argv[2], nullptr, 10);
    return MainWindow(wait) ? 0 : 1;
  }
  if (command == "gone") {  // waits until no main window is left
    if (argc > 2) wait = std::strtoul(argv[2], nullptr, 10);
    DWORD start = GetTickCount();
    while (MainWindow(0)) {
      if (GetTickCount() - start >= wait) return 1;
      Sleep(100);
    }
    return 0;
  }
  if (command == "dialog" && argc >= 4) {
    if (argc > 4) wait = std::strtoul(argv[4], nullptr, 10);
    return AnswerDialog(argv[2], argv[3], wait);
  }
  if (command == "window-exists" && argc >= 3) {
    if (argc > 3) wait = std::strtoul(argv[3], nullptr, 10);
    return FindTopLevel(argv[2], nullptr, wait) ? 0 : 1;
  }
  HWND main = MainWindow();
  if (!main) {
    std::fprintf(stderr, "gui_driver: no main window\n");
    return 3;
  }
  if (command == "info") return Info(main);
  if (command == "expand") return ExpandFirstProcess(main);
  if (command == "tree" && argc >= 3) return DumpTree(main, argv[2]);
  if (command == "status-is" && argc >= 3) {
    if (argc > 3) wait = std::strtoul(argv[3], nullptr, 10);
    return WaitStatus(main, argv[2], wait);
  }
  if (command == "command" && argc >= 3)
    return PostMessageA(main, WM_COMMAND, std::strtoul(argv[2], nullptr, 10), 0) ? 0 : 1;
  if (command == "close") return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
  if (command == "resize" && argc >= 4) {
    // Resizes so that the client area becomes W x H (menu line included in the outer size).
    RECT client = {}, outer = {};
    GetClientRect(main, &client);
    GetWindowRect(main, &outer);
    int frameWidth = (outer.right - outer.left) - client.right;
    int frameHeight = (outer.bottom - outer.top) - client.bottom;
    int width = std::atoi(argv[2]) + frameWidth;
    int height = std::atoi(argv[3]) + frameHeight;
    return SetWindowPos(main, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER) ? 0 : 1;
  }
  if (command == "maximize") return PostMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0) ? 0 : 1;
  if (command == "restore") return PostMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0) ? 0 : 1;
  return Usage();
}
