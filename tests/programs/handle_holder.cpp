// Test program for the end-to-end inventory tests: holds a known set of handles (file, folder,
// named pipe, named and unnamed events, mutex, semaphore, key, thread, process, token, window
// station, desktop and optionally many extra handles), writes a report of every handle it
// holds with the lines an inventory must show for it, and waits until told to end.
//
// Usage: handle_holder.exe <report path> [--extra N] [--extra-kinds process|mixed] [--seconds S]
//                          [--true-names 1] [--system32 1]
// --true-names: files and a folder beside the program whose names hold characters the ANSI code
// page lacks, each beside its best-fit look-alike (the folder's look-alike is a file).
// --system32: the folder C:\windows\system32\lurvik_onlyhere, which the 32-bit system folder
// lacks, and the file C:\windows\system32\lurvik_twin, whose twin there is a folder (for a
// 64-bit holder: a 32-bit program that asked by path would be sent to the 32-bit folder).
// The extra handles are copies of the own process handle (process, the default: the inventory
// resolves them without a probe), or with "mixed" copies of an unnamed event, a named event, a
// disk file, a key, the own process and a thread, in turn (the kinds a machine holds most).
// The report is written to <report path>.tmp and then renamed, so it appears complete. The
// program ends when the file <report path>.stop exists, or after S seconds (default 900).
// Report lines (tab-separated):
//   pid <pid>            label <process line>
//   handle <value> <type name> <granted access hex> <GenericAll hex> <type index>
//   detail <text>        (the detail lines of the handle above, in order)
//   extra <value>        (one line for each extra handle)
// The details are asked of the held handles directly, on this thread, and where possible by
// other calls than the inventory's: drive-form paths come from the system's final-path and
// process-image calls, the account from the logged-on user's name. Texts are converted to the
// ANSI code page without best fit: a character it lacks is "?", never a look-alike.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // a test program: the calls of newer systems are allowed here
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using NtQueryObjectFunction = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
NtQueryObjectFunction NtQueryObjectCall;

struct CountedWideText {
  USHORT length, maximumLength;
  wchar_t* characters;
};
// The object-type record (class 2) up to the type index.
struct ObjectTypeRecord {
  CountedWideText typeName;
  ULONG counters[13];
  GENERIC_MAPPING genericMapping;
  ULONG validAccessMask;
  BOOLEAN securityRequired, maintainHandleCount;
  UCHAR typeIndex;
};

std::string Ansi(const wchar_t* text, int length) {
  char ansi[10004] = {};
  int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, ansi, 10000, nullptr, nullptr);
  return written > 0 ? std::string(ansi, strnlen(ansi, written)) : std::string();
}

std::string WideToAnsi(const CountedWideText& text) { return Ansi(text.characters, text.length / 2); }

// The object's name as the object-name query (class 1) reports it, or "".
std::string ObjectName(HANDLE handle) {
  static uint8_t record[10004];
  memset(record, 0, sizeof record);
  if (NtQueryObjectCall(handle, 1, record, 10004, nullptr) != 0) return {};
  return WideToAnsi(*reinterpret_cast<CountedWideText*>(record));
}

std::string ImagePath(HANDLE process) {
  wchar_t path[2502] = {};
  DWORD length = 2500;
  return process && QueryFullProcessImageNameW(process, 0, path, &length) ? Ansi(path, -1) : "";
}

// The detail lines the inventory shows for a handle of this type, asked of the handle itself.
std::vector<std::string> ExpectedDetails(HANDLE handle, const std::string& type) {
  std::vector<std::string> details;
  auto add = [&details](const char* label, const std::string& text) {
    if (!text.empty() && text != "0") details.push_back(label + text);
  };
  if (type == "Process") {
    add("Imagename: ", ImagePath(handle));
    add("PID: ", std::to_string(GetProcessId(handle)));
  } else if (type == "Thread") {
    DWORD pid = GetProcessIdOfThread(handle);
    details.push_back("TID: " + std::to_string(GetThreadId(handle)));
    details.push_back("PID: " + std::to_string(pid));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    add("Imagename: ", ImagePath(process));
    if (process) CloseHandle(process);
  } else if (type == "Token") {
    char user[257] = {};
    DWORD length = sizeof user;
    add("Username: ", GetUserNameA(user, &length) ? user : "");
  } else if (type != "File" || GetFileType(handle) == FILE_TYPE_PIPE) {
    add("Name of Object: ", ObjectName(handle));
  } else if (GetFileType(handle) == FILE_TYPE_DISK) {
    wchar_t path[2502] = {};  // "\\?\C:\..."
    if (GetFinalPathNameByHandleW(handle, path, 2500, VOLUME_NAME_DOS) > 4 && wcsncmp(path, L"\\\\?\\", 4) == 0) {
      DWORD attributes = GetFileAttributesW(path + 4);
      bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
      add(folder ? "Name of Folder: " : "Filename: ", Ansi(path + 4, -1));
    }
  }
  return details;
}

// The report line of one held handle and its details, or "" when the handle does not answer.
std::string DescribeHandle(uintptr_t value) {
  HANDLE handle = reinterpret_cast<HANDLE>(value);
  ULONG basic[16] = {};  // the basic record (class 0): attributes, granted access, ...
  static uint8_t typeRecord[4096];
  memset(typeRecord, 0, sizeof typeRecord);
  if (NtQueryObjectCall(handle, 0, basic, sizeof basic, nullptr) != 0 ||
      NtQueryObjectCall(handle, 2, typeRecord, sizeof typeRecord, nullptr) != 0)
    return {};
  auto* type = reinterpret_cast<ObjectTypeRecord*>(typeRecord);
  const std::string typeName = WideToAnsi(type->typeName);
  char numbers[40];
  snprintf(numbers, sizeof numbers, "%lX\t%lX\t%u", basic[1], type->genericMapping.GenericAll, type->typeIndex);
  std::string text = "handle\t" + std::to_string(value) + "\t" + typeName + "\t" + numbers + "\n";
  for (const std::string& detail : ExpectedDetails(handle, typeName)) text += "detail\t" + detail + "\n";
  return text;
}

// Every handle value the process holds, found by asking each value in turn; the search ends
// 1024 values after the last one that answered.
std::vector<uintptr_t> HeldHandleValues() {
  std::vector<uintptr_t> values;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < 8192 || (!values.empty() && value < values.back() + 4096); value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) values.push_back(value);
  return values;
}

DWORD WINAPI WaitForever(void* event) { return WaitForSingleObject(event, INFINITE); }

// Holds the file (or, with `folder`, the folder) at the path, made first when it is missing.
void Hold(const std::wstring& path, bool folder) {
  if (folder) CreateDirectoryW(path.c_str(), nullptr);
  CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
              folder ? OPEN_EXISTING : OPEN_ALWAYS, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
}

bool WriteReport(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  FILE* file = fopen(temporary.c_str(), "wb");
  bool ok = file && fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = file && fclose(file) == 0 && ok;
  return ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return fprintf(stderr, "usage: handle_holder <report path> [--extra N] [--extra-kinds process|mixed] [--seconds S]\n"), 2;
  const std::string reportPath = argv[1];
  long extraCount = 0, seconds = 900;
  bool mixedExtras = false, trueNames = false, system32 = false;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--extra") extraCount = strtol(argv[i + 1], nullptr, 10);
    if (std::string(argv[i]) == "--extra-kinds") mixedExtras = std::string(argv[i + 1]) == "mixed";
    if (std::string(argv[i]) == "--seconds") seconds = strtol(argv[i + 1], nullptr, 10);
    if (std::string(argv[i]) == "--true-names") trueNames = true;
    if (std::string(argv[i]) == "--system32") system32 = true;
  }
  NtQueryObjectCall = reinterpret_cast<NtQueryObjectFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));

  // The known set. Names carry the process id so two holders never share an object.
  const std::string suffix = std::to_string(GetCurrentProcessId());
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::wstring wideDirectory = std::wstring(module).substr(0, std::wstring(module).find_last_of(L'\\'));
  const std::string imagePath = Ansi(module, -1);
  const std::string imageName = imagePath.substr(imagePath.find_last_of('\\') + 1);
  const std::string directory = imagePath.substr(0, imagePath.find_last_of('\\'));
  HANDLE quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // unnamed event
  CreateFileA((directory + "\\holder_file_" + suffix + ".txt").c_str(), GENERIC_READ | GENERIC_WRITE,
              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  CreateFileA(directory.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  CreateNamedPipeA(("\\\\.\\pipe\\lurvik_holder_pipe_" + suffix).c_str(), PIPE_ACCESS_DUPLEX,
                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  CreateEventA(nullptr, TRUE, FALSE, ("lurvik_holder_event_" + suffix).c_str());
  CreateMutexA(nullptr, FALSE, ("lurvik_holder_mutex_" + suffix).c_str());
  CreateSemaphoreA(nullptr, 0, 5, ("lurvik_holder_semaphore_" + suffix).c_str());
  CreateMutexA(nullptr, FALSE, nullptr);
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key);
  HANDLE thread = CreateThread(nullptr, 0, WaitForever, quitEvent, 0, nullptr);
  GetProcessWindowStation();  // user32 opens the window station and the desktop
  HANDLE ownProcess = nullptr, token = nullptr, copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &ownProcess, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  if (trueNames) {
    for (const wchar_t* name : {L"\u0101bc.txt", L"abc.txt", L"\uFF45vil.txt", L"evil.txt", L"\u4E2D\u6587.txt", L"dor"})
      Hold(wideDirectory + L"\\" + name, false);
    Hold(wideDirectory + L"\\d\u014Dr", true);
  }
  if (system32) {  // as Wine's prefix names the Windows folder
    CreateDirectoryW(L"C:\\windows\\syswow64\\lurvik_twin", nullptr);
    Hold(L"C:\\windows\\system32\\lurvik_onlyhere", true);
    Hold(L"C:\\windows\\system32\\lurvik_twin", false);
  }

  // The extras: copies of the sources in turn, each source one handle of the known set.
  std::vector<HANDLE> sources = {GetCurrentProcess()};
  if (mixedExtras)
    sources = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
               CreateEventA(nullptr, TRUE, FALSE, ("lurvik_holder_extra_event_" + suffix).c_str()),
               CreateFileA((directory + "\\holder_extra_" + suffix + ".txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr),
               key, GetCurrentProcess(), thread};
  std::set<uintptr_t> extras;
  std::string extraLines;
  for (long i = 0; i < extraCount; ++i) {
    if (!DuplicateHandle(GetCurrentProcess(), sources[i % sources.size()], GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      return fprintf(stderr, "handle_holder: extra handle %ld failed (%lu)\n", i, GetLastError()), 1;
    extras.insert(reinterpret_cast<uintptr_t>(copy));
    extraLines += "extra\t" + std::to_string(reinterpret_cast<uintptr_t>(copy)) + "\n";
  }

  // Describe the handles (without the extras), write the report, and repeat when writing it
  // changed the set of held handles.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::vector<uintptr_t> values = HeldHandleValues();
    std::string report = "pid\t" + suffix + "\nlabel\t" + suffix + " / " + imageName + "\n" + extraLines;
    for (uintptr_t value : values)
      if (extras.count(value) == 0) report += DescribeHandle(value);
    if (!WriteReport(reportPath, report))
      return fprintf(stderr, "handle_holder: cannot write %s\n", reportPath.c_str()), 1;
    if (HeldHandleValues() == values) break;
  }

  const std::string stopPath = reportPath + ".stop";
  for (long waited = 0; waited < seconds * 10 && GetFileAttributesA(stopPath.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
    Sleep(100);
  SetEvent(quitEvent);
  return 0;
}
