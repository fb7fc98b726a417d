// The direct reference of tools/bench: the fewest system calls that give the program's log of
// one process, plus (unless told --no-tree) the same tree. Everything is asked directly on
// this one thread: no probe worker, no bounded wait, no cross-thread message. Its run time,
// compared with that of the program on the same process, shows what the program's own
// machinery costs.
//
// It asks the type list (ZwQueryObject class 3, a 5,000-byte probe, then the reported length
// plus 180), opens its own process and finds that handle in a handle list to learn the offset
// of the list's type numbers, takes the handle list (ZwQuerySystemInformation class 64: a
// 24-byte probe, then the reported length plus 20,000,000 bytes) and reads the device names of
// the 26 drive letters once (QueryDosDeviceA A: to Z:, the first name of each). It opens the
// listed process once (PROCESS_DUP_HANDLE and query rights), for its label and for every
// duplication, then for each of its handles: DuplicateHandle (GENERIC_READ, the type's query
// access after ERROR_ACCESS_DENIED, then 0) and by type:
//   Process  GetProcessImageFileNameA, device path to drive path, GetProcessId;
//   Thread   GetThreadId, GetProcessIdOfThread, OpenProcess(0x410) and that process's image;
//   Token    GetTokenInformation(TokenUser) twice (size, then data), LookupAccountSidA;
//   File     GetFileType; for pipes and disk files the name (ZwQueryObject class 1), and for
//            disk files the drive path and PathIsDirectoryA;
//   other    the name (ZwQueryObject class 1).
// A device path becomes a drive path with the first drive, A: to Z:, whose device name begins
// it (letter case aside) and is followed by "\" or the end; "\??\C:\..." is taken as "C:\...".
//
// It inserts the nodes the program shows into a tree view of its own hidden window, with
// TVM_INSERTITEMA on this thread: the process's label; under it a node per row of the type
// list, in that order, with or without handles; under a type, "Handle: <value>" per handle;
// under that, its detail lines and last its access line. With --no-tree it makes no window
// and inserts nothing: the reference of the program's unattended runs, whose hidden window
// gets no tree. It builds the log lines as the
// program does (a block per type with handles, in type-list order) and writes them to the log
// path at the end, so that the bench can check that both did the same work. Handles of other
// processes are not touched; the program only opens their owners, a cost that does not depend
// on the listed process.
//
// Usage: direct_lister.exe <process id> <log path> [--no-tree]   (assumes a system newer than XP)
// Exit code: 0, or 1 when the log could not be written, or 3 when a tree insert failed.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // a benchmark program: the calls of newer systems are allowed here
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using QueryObjectFunction = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using QuerySystemInformationFunction = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using ImageFileNameFunction = DWORD(WINAPI*)(HANDLE, char*, DWORD);
QueryObjectFunction ZwQueryObject;
QuerySystemInformationFunction ZwQuerySystemInformation;
ImageFileNameFunction GetImageFileName;

struct CountedWideText {
  USHORT length, maximumLength;
  wchar_t* characters;
};
// A record of the type list (class 3) up to its generic mapping; the name's characters follow
// the record, and the next record starts after them at pointer alignment.
struct TypeRecord {
  CountedWideText name;
  ULONG counters[13];
  GENERIC_MAPPING genericMapping;
};
// An entry of the extended handle list (class 64) and the list's head.
struct HandleEntry {
  void* object;
  ULONG_PTR ownerPid, handleValue;
  ULONG grantedAccess;
  USHORT backTraceIndex, typeNumber;
  ULONG attributes, reserved;
};
struct HandleListHead {
  ULONG_PTR count, reserved;
};

struct TypeRow {
  std::string name, upperName, genericAll, block;
  DWORD queryAccess;
};

std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

std::string Hex(DWORD value) {
  char text[12];
  snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
  return text;
}

std::string Ansi(const wchar_t* characters, int count, int limit) {
  std::vector<char> text(static_cast<size_t>(limit) + 4, 0);
  if (count <= 0 || WideCharToMultiByte(CP_ACP, 0, characters, count, text.data(), limit, nullptr, nullptr) <= 0)
    return {};
  return std::string(text.data(), strnlen(text.data(), static_cast<size_t>(limit))).substr(0, 2502);
}

// The access of the second duplication attempt, by upper-cased type name (post-XP values).
DWORD QueryAccessOf(const std::string& upper) {
  if (upper == "PROCESS") return 0x1000;
  if (upper == "THREAD") return 0x800;
  if (upper == "WINDOWSTATION") return 2;
  if (upper == "DESKTOP" || upper == "EVENT" || upper == "SEMAPHORE" || upper == "MUTANT" || upper == "KEY") return 1;
  if (upper == "TOKEN") return 8;
  if (upper == "FILE") return 0x20;
  return 0x80000000u;
}

// The type list, rows 1..n (row 0 unused).
std::vector<TypeRow> TypeList() {
  std::vector<uint8_t> buffer(5000, 0);
  ULONG length = 0;
  ZwQueryObject(nullptr, 3, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
  buffer.assign(length + 180, 0);
  std::vector<TypeRow> rows(1);
  if (ZwQueryObject(nullptr, 3, buffer.data(), static_cast<ULONG>(buffer.size()), &length) < 0) return rows;
  const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
  const uintptr_t align = sizeof(void*) - 1;
  uintptr_t at = (reinterpret_cast<uintptr_t>(buffer.data()) + sizeof(ULONG) + align) & ~align;
  for (ULONG i = 0; i < count && i < 255; ++i) {
    const auto* record = reinterpret_cast<const TypeRecord*>(at);
    TypeRow row;
    row.name = Ansi(record->name.characters, record->name.length / 2, 260);
    row.upperName = Upper(row.name);
    row.genericAll = Hex(record->genericMapping.GenericAll);
    row.queryAccess = QueryAccessOf(row.upperName);
    rows.push_back(row);
    at = (reinterpret_cast<uintptr_t>(record->name.characters) + record->name.maximumLength + align) & ~align;
  }
  return rows;
}

std::vector<uint8_t> HandleList() {
  std::vector<uint8_t> probe(24, 0);
  ULONG length = 0;
  ZwQuerySystemInformation(64, probe.data(), 24, &length);
  std::vector<uint8_t> list(length + 20000000ul, 0);
  if (ZwQuerySystemInformation(64, list.data(), static_cast<ULONG>(list.size()), &length) < 0) list.assign(sizeof(HandleListHead), 0);
  return list;
}

template <typename Visit>
void ForEachEntry(const std::vector<uint8_t>& list, Visit visit) {
  const auto* head = reinterpret_cast<const HandleListHead*>(list.data());
  const auto* entries = reinterpret_cast<const HandleEntry*>(head + 1);
  const size_t room = (list.size() - sizeof *head) / sizeof(HandleEntry);
  for (size_t i = 0; i < head->count && i < room; ++i) visit(entries[i]);
}

// The upper-cased device name of each drive letter A: to Z: (empty when the letter has none),
// read once per run.
std::string DriveDevices[26];

void ReadDriveDevices() {
  for (int i = 0; i < 26; ++i) {
    const char drive[3] = {static_cast<char>('A' + i), ':', 0};
    char device[2002] = {};
    QueryDosDeviceA(drive, device, 2000);
    DriveDevices[i] = Upper(device);
  }
}

std::string DrivePath(const std::string& path) {
  if (path.size() >= 6 && path.compare(0, 4, "\\??\\") == 0 && path[5] == ':') return path.substr(4);
  const std::string upperPath = Upper(path);
  for (int i = 0; i < 26 && !path.empty(); ++i) {
    const char drive[3] = {static_cast<char>('A' + i), ':', 0};
    const std::string& upperDevice = DriveDevices[i];
    if (upperDevice.empty() || upperPath.compare(0, upperDevice.size(), upperDevice) != 0) continue;
    if (path.size() > upperDevice.size() && path[upperDevice.size()] != '\\') continue;
    return drive + path.substr(upperDevice.size());
  }
  return {};
}

std::string ImagePath(HANDLE process) {
  char path[2502] = {};
  return GetImageFileName(process, path, 500) > 0 ? DrivePath(path) : std::string();
}

std::string ObjectName(HANDLE handle) {
  static uint8_t record[10004];
  memset(record, 0, sizeof record);
  if (ZwQueryObject(handle, 1, record, sizeof record, nullptr) != 0) return {};
  const auto* name = reinterpret_cast<const CountedWideText*>(record);
  return Ansi(name->characters, name->length / 2, 10000);
}

// The detail lines of one duplicated handle, without their indentation.
std::vector<std::string> Details(HANDLE copy, const std::string& upper) {
  std::vector<std::string> lines;
  auto add = [&lines](const std::string& text) { lines.push_back(text); };
  if (upper == "PROCESS") {
    const std::string image = ImagePath(copy);
    if (!image.empty()) add("Imagename: " + image);
    if (const DWORD id = GetProcessId(copy)) add("PID: " + std::to_string(id));
  } else if (upper == "THREAD") {
    add("TID: " + std::to_string(GetThreadId(copy)));
    const DWORD pid = GetProcessIdOfThread(copy);
    add("PID: " + std::to_string(pid));
    if (HANDLE process = OpenProcess(0x410, FALSE, pid)) {
      const std::string image = ImagePath(process);
      if (!image.empty()) add("Imagename: " + image);
      CloseHandle(process);
    }
  } else if (upper == "TOKEN") {
    uint8_t probe[1] = {};
    DWORD needed = 0;
    GetTokenInformation(copy, TokenUser, probe, 1, &needed);
    std::vector<uint8_t> user(needed + 20, 0);
    char name[2502] = {}, domain[2502] = {};
    DWORD nameLength = 2500, domainLength = 2500;
    SID_NAME_USE kind;
    if (GetTokenInformation(copy, TokenUser, user.data(), static_cast<DWORD>(user.size()), &needed) &&
        LookupAccountSidA(nullptr, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, name, &nameLength, domain,
                          &domainLength, &kind))
      add(std::string("Username: ") + name);
  } else if (upper == "FILE") {
    const DWORD fileType = GetFileType(copy);
    if (fileType == FILE_TYPE_PIPE) {
      const std::string name = ObjectName(copy);
      if (!name.empty()) add("Name of Object: " + name);
    } else if (fileType == FILE_TYPE_DISK) {
      const std::string path = DrivePath(ObjectName(copy));
      if (!path.empty()) add((PathIsDirectoryA(path.c_str()) ? "Name of Folder: " : "Filename: ") + path);
    }
  } else {
    const std::string name = ObjectName(copy);
    if (!name.empty()) add("Name of Object: " + name);
  }
  return lines;
}

// A hidden top-level window of this thread with a tree view in it, like the program's.
HWND MakeTree() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "direct_lister";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "direct_lister", "direct_lister", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  return CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                         WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0, 0, 580, 380,
                         window, nullptr, windowClass.hInstance, nullptr);
}

// Inserts of the tree that failed; the run then ends with exit code 3.
size_t FailedInserts = 0;

HTREEITEM Insert(HWND tree, HTREEITEM parent, const std::string& text) {
  if (tree == nullptr) return nullptr;  // --no-tree
  TVINSERTSTRUCTA record = {};
  record.hParent = parent;
  record.hInsertAfter = TVI_LAST;
  record.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  record.item.pszText = const_cast<char*>(text.c_str());
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record)));
  if (!item) ++FailedInserts;
  return item;
}

HANDLE Duplicate(HANDLE owner, ULONG_PTR value, DWORD queryAccess) {
  const DWORD attempts[3] = {GENERIC_READ, queryAccess, 0};
  HANDLE copy = nullptr;
  for (DWORD access : attempts) {
    if (DuplicateHandle(owner, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, access, FALSE, 0)) return copy;
    if (GetLastError() != ERROR_ACCESS_DENIED) break;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return fprintf(stderr, "usage: direct_lister <process id> <log path> [--no-tree]\n"), 2;
  const bool withTree = !(argc > 3 && strcmp(argv[3], "--no-tree") == 0);
  const DWORD pid = strtoul(argv[1], nullptr, 10);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  ZwQueryObject = reinterpret_cast<QueryObjectFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQueryObject")));
  ZwQuerySystemInformation = reinterpret_cast<QuerySystemInformationFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQuerySystemInformation")));
  GetImageFileName = reinterpret_cast<ImageFileNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("psapi.dll"), "GetProcessImageFileNameA")));

  std::vector<TypeRow> types = TypeList();
  size_t processRow = 0;
  for (size_t row = 1; row < types.size(); ++row)
    if (types[row].upperName == "PROCESS") processRow = row;
  long offset = 0;
  if (HANDLE own = OpenProcess(0x400, FALSE, GetCurrentProcessId())) {
    ForEachEntry(HandleList(), [&](const HandleEntry& entry) {
      if (entry.ownerPid == GetCurrentProcessId() && entry.handleValue == reinterpret_cast<ULONG_PTR>(own))
        offset = static_cast<long>(entry.typeNumber) - static_cast<long>(processRow);
    });
    CloseHandle(own);
  }

  ReadDriveDevices();
  const HWND tree = withTree ? MakeTree() : nullptr;
  // One opening of the listed process serves its label and every duplication.
  const HANDLE owner = OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  std::string label = std::to_string(pid) + " / unbekannt";
  char image[2502] = {};
  if (owner && GetImageFileName(owner, image, 500) > 0) {
    PathStripPathA(image);
    label = std::to_string(pid) + " / " + image;
  }
  const HTREEITEM processNode = Insert(tree, TVI_ROOT, label);
  std::vector<HTREEITEM> typeNodes(types.size());
  for (size_t row = 1; row < types.size(); ++row) {
    types[row].block = "  " + types[row].name + "\r\n";
    typeNodes[row] = Insert(tree, processNode, types[row].name);
  }
  ForEachEntry(HandleList(), [&](const HandleEntry& entry) {
    const long row = static_cast<long>(entry.typeNumber) - offset;
    if (entry.ownerPid != pid || row < 1 || row >= static_cast<long>(types.size())) return;
    TypeRow& type = types[row];
    const std::string handle = "Handle: " + std::to_string(entry.handleValue);
    type.block += "    " + handle + "\r\n";
    const HTREEITEM handleNode = Insert(tree, typeNodes[row], handle);
    if (HANDLE copy = owner ? Duplicate(owner, entry.handleValue, type.queryAccess) : nullptr) {
      for (const std::string& line : Details(copy, type.upperName)) {
        type.block += "      " + line + "\r\n";
        Insert(tree, handleNode, line);
      }
      CloseHandle(copy);
    }
    const std::string access = "Opened with Access Rights: " + Hex(entry.grantedAccess) + " (" + type.genericAll + ")";
    type.block += "      " + access + "\r\n";
    Insert(tree, handleNode, access);
  });
  if (owner) CloseHandle(owner);

  std::string log = label + "\r\n";
  for (size_t row = 1; row < types.size(); ++row)
    if (types[row].block != "  " + types[row].name + "\r\n") log += types[row].block;
  FILE* file = fopen(argv[2], "wb");
  const bool written = file && fwrite(log.data(), 1, log.size(), file) == log.size();
  if (!(file && fclose(file) == 0 && written)) return 1;
  return FailedInserts ? 3 : 0;
}
