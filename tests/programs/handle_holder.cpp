// Test program for the end-to-end inventory tests: holds a known set of handles (file, folder,
// named pipe, named and unnamed events, mutex, semaphore, key, thread, process, token and
// optionally many cheap extra process handles), writes a report of every handle it holds with
// the lines an inventory must show for it, and waits until told to end.
//
// Usage: handle_holder.exe <report path> [--extra N] [--seconds S]
// The report is written to <report path>.tmp and then renamed, so it appears complete. The
// program ends when the file <report path>.stop exists, or after S seconds (default 900).
// Report lines (tab-separated):
//   pid <pid>            label <process line>
//   handle <value> <type name> <granted access hex> <GenericAll hex> <type index>
//   detail <text>        (the detail lines of the handle above, in order)
//   extra <count>        followed by   run <first value> <last value>   for each run of
//                        consecutive extra handle values (steps of 4)
// The expected details are found by asking the held handles directly, on this thread, with
// the same rules the inventory follows; no probe workers, no duplication.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using NtQueryObjectFunction = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using ImageNameFunction = DWORD(WINAPI*)(HANDLE, char*, DWORD);
using IdFunction = DWORD(WINAPI*)(HANDLE);

NtQueryObjectFunction NtQueryObjectCall;
ImageNameFunction ImageNameCall;
IdFunction ProcessIdCall, ThreadIdCall, ProcessIdOfThreadCall;

// The layout of the object-type record (class 2): a counted string, 13 counters, the mapping.
struct CountedWideText {
  USHORT length, maximumLength;
  wchar_t* characters;
};
struct ObjectTypeRecord {
  CountedWideText typeName;
  ULONG counters[13];
  GENERIC_MAPPING genericMapping;
  ULONG validAccessMask;
  BOOLEAN securityRequired, maintainHandleCount;
  UCHAR typeIndex;
  CHAR reservedByte;
  ULONG poolType, pagedCharge, nonPagedCharge;
};

struct HandleFacts {
  uintptr_t value = 0;
  std::string typeName;
  uint32_t access = 0, genericAll = 0, typeIndex = 0;
  std::vector<std::string> details;
};

std::string WideToAnsi(const wchar_t* characters, int count) {
  if (characters == nullptr || count == 0) return {};
  char text[10004] = {};
  int written = WideCharToMultiByte(CP_ACP, 0, characters, count, text, 10000, nullptr, nullptr);
  return written > 0 ? std::string(text, strnlen(text, written)) : std::string();
}

std::string UpperCase(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The object's name as the object-name query reports it, or "" when it has none.
std::string ObjectName(HANDLE handle) {
  static uint8_t record[10004];
  memset(record, 0, sizeof record);
  ULONG length = 0;
  if (NtQueryObjectCall(handle, 1, record, 10004, &length) != 0) return {};
  auto* name = reinterpret_cast<CountedWideText*>(record);
  return WideToAnsi(name->characters, name->length / 2);
}

// Device-form path to drive form: the first letter whose device name begins the path up to
// a backslash or its end. The object manager's drive form (\??\C:\...) is already a drive path.
std::string DriveFormPath(const std::string& path) {
  if (path.size() >= 6 && path.compare(0, 4, "\\??\\") == 0 && isalpha(static_cast<unsigned char>(path[4])) &&
      path[5] == ':' && (path.size() == 6 || path[6] == '\\'))
    return path.substr(4);
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char drive[3] = {letter, ':', 0};
    char device[2002] = {};
    QueryDosDeviceA(drive, device, 2000);
    std::string deviceName = device;
    if (!deviceName.empty() && path.size() >= deviceName.size() &&
        UpperCase(path.substr(0, deviceName.size())) == UpperCase(deviceName) &&
        (path.size() == deviceName.size() || path[deviceName.size()] == '\\' || deviceName.back() == '\\')) {
      return std::string(drive) + path.substr(deviceName.size());
    }
  }
  return {};
}

std::string ImagePathOf(HANDLE process) {
  if (ImageNameCall == nullptr) return {};
  char text[2502] = {};
  if (ImageNameCall(process, text, 500) == 0) return {};
  return DriveFormPath(text);
}

void AddImageDetail(HANDLE process, std::vector<std::string>& details) {
  std::string path = ImagePathOf(process);
  if (!path.empty()) details.push_back("Imagename: " + path);
}

std::string TokenUserName(HANDLE token) {
  std::vector<uint8_t> buffer(4096);
  DWORD needed = 0;
  if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) return {};
  char name[2502] = {}, domain[2502] = {};
  DWORD nameLength = 2500, domainLength = 2500;
  SID_NAME_USE kind;
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!LookupAccountSidA(nullptr, sid, name, &nameLength, domain, &domainLength, &kind)) return {};
  return name;
}

// The detail lines the inventory shows for a handle of this type, asked of the handle itself.
std::vector<std::string> ExpectedDetails(HANDLE handle, const std::string& typeName) {
  std::vector<std::string> details;
  std::string type = UpperCase(typeName);
  if (type == "PROCESS") {
    AddImageDetail(handle, details);
    DWORD pid = ProcessIdCall ? ProcessIdCall(handle) : 0;
    if (pid != 0) details.push_back("PID: " + std::to_string(pid));
  } else if (type == "THREAD") {
    DWORD pid = ProcessIdOfThreadCall(handle);
    details.push_back("TID: " + std::to_string(ThreadIdCall(handle)));
    details.push_back("PID: " + std::to_string(pid));
    HANDLE process = OpenProcess(0x410, FALSE, pid);
    if (process != nullptr) {
      AddImageDetail(process, details);
      CloseHandle(process);
    }
  } else if (type == "TOKEN") {
    std::string user = TokenUserName(handle);
    if (!user.empty()) details.push_back("Username: " + user);
  } else if (type == "FILE") {
    DWORD fileType = GetFileType(handle);
    if (fileType == FILE_TYPE_PIPE) {
      std::string name = ObjectName(handle);
      if (!name.empty()) details.push_back("Name of Object: " + name);
    } else if (fileType == FILE_TYPE_DISK) {
      std::string path = DriveFormPath(ObjectName(handle));
      if (!path.empty()) {
        bool folder = (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                      GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        details.push_back((folder ? "Name of Folder: " : "Filename: ") + path);
      }
    }
  } else {
    std::string name = ObjectName(handle);
    if (!name.empty()) details.push_back("Name of Object: " + name);
  }
  return details;
}

bool DescribeHandle(uintptr_t value, HandleFacts& facts) {
  HANDLE handle = reinterpret_cast<HANDLE>(value);
  ULONG basic[16] = {};
  ULONG length = 0;
  if (NtQueryObjectCall(handle, 0, basic, sizeof basic, &length) != 0) return false;
  static uint8_t typeRecord[4096];
  memset(typeRecord, 0, sizeof typeRecord);
  if (NtQueryObjectCall(handle, 2, typeRecord, sizeof typeRecord, &length) != 0) return false;
  auto* type = reinterpret_cast<ObjectTypeRecord*>(typeRecord);
  facts.value = value;
  facts.access = basic[1];
  facts.typeName = WideToAnsi(type->typeName.characters, type->typeName.length / 2);
  facts.genericAll = type->genericMapping.GenericAll;
  facts.typeIndex = type->typeIndex;
  facts.details = ExpectedDetails(handle, facts.typeName);
  return true;
}

// Every handle value the process holds, found by asking each value in turn; the search ends
// 1024 values after the last one that answered.
std::vector<uintptr_t> HeldHandleValues() {
  std::vector<uintptr_t> values;
  uintptr_t lastFound = 0;
  for (uintptr_t value = 4; value < lastFound + 4096 || value < 8192; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      values.push_back(value);
      lastFound = value;
    }
  }
  return values;
}

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", value);
  return text;
}

DWORD WINAPI WaitForever(void* event) {
  WaitForSingleObject(event, INFINITE);
  return 0;
}

bool WriteReport(const std::string& path, const std::string& text) {
  std::string temporary = path + ".tmp";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  ok = CloseHandle(file) && ok;
  return ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: handle_holder <report path> [--extra N] [--seconds S]\n");
    return 2;
  }
  std::string reportPath = argv[1];
  long extraCount = 0, seconds = 900;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--extra") extraCount = strtol(argv[i + 1], nullptr, 10);
    if (std::string(argv[i]) == "--seconds") seconds = strtol(argv[i + 1], nullptr, 10);
  }

  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  HMODULE psapi = LoadLibraryA("psapi.dll");
  NtQueryObjectCall = reinterpret_cast<NtQueryObjectFunction>(GetProcAddress(ntdll, "NtQueryObject"));
  ImageNameCall = reinterpret_cast<ImageNameFunction>(GetProcAddress(psapi, "GetProcessImageFileNameA"));
  ProcessIdCall = reinterpret_cast<IdFunction>(GetProcAddress(kernel, "GetProcessId"));
  ThreadIdCall = reinterpret_cast<IdFunction>(GetProcAddress(kernel, "GetThreadId"));
  ProcessIdOfThreadCall = reinterpret_cast<IdFunction>(GetProcAddress(kernel, "GetProcessIdOfThread"));

  // The known set. Names carry the process id so two holders never share an object.
  DWORD pid = GetCurrentProcessId();
  std::string suffix = std::to_string(pid);
  char folder[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, folder, MAX_PATH);
  std::string imagePath = folder;
  std::string imageName = imagePath.substr(imagePath.find_last_of('\\') + 1);
  std::string directory = imagePath.substr(0, imagePath.find_last_of('\\'));
  std::string filePath = directory + "\\holder_file_" + suffix + ".txt";
  HANDLE quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // unnamed event
  CreateFileA(filePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
              CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
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
  CreateThread(nullptr, 0, WaitForever, quitEvent, 0, nullptr);
  HANDLE ownProcess = nullptr, token = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &ownProcess, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);

  // The cheap extras: copies of the own process handle, which the inventory resolves
  // without a probe thread.
  std::set<uintptr_t> extras;
  std::string extraRuns;  // "run <first> <last>" lines of consecutive extra handle values
  uintptr_t runFirst = 0, runLast = 0;
  for (long i = 0; i < extraCount; ++i) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
      fprintf(stderr, "handle_holder: extra handle %ld failed (%lu)\n", i, GetLastError());
      return 1;
    }
    const uintptr_t value = reinterpret_cast<uintptr_t>(copy);
    extras.insert(value);
    if (i > 0 && value == runLast + 4) {
      runLast = value;
      continue;
    }
    if (i > 0) extraRuns += "run\t" + std::to_string(runFirst) + "\t" + std::to_string(runLast) + "\n";
    runFirst = runLast = value;
  }
  if (extraCount > 0) extraRuns += "run\t" + std::to_string(runFirst) + "\t" + std::to_string(runLast) + "\n";

  // Describe the handles (all of them, or the non-extra ones in the large case), write the
  // report, and repeat when writing it changed the set of held handles.
  std::vector<uintptr_t> values;
  for (int attempt = 0; attempt < 5; ++attempt) {
    values = HeldHandleValues();
    std::string report = "pid\t" + suffix + "\nlabel\t" + suffix + " / " + imageName + "\n";
    if (extraCount > 0) report += "extra\t" + std::to_string(extraCount) + "\n" + extraRuns;
    for (uintptr_t value : values) {
      if (extras.count(value) != 0) continue;
      HandleFacts facts;
      if (!DescribeHandle(value, facts)) continue;
      report += "handle\t" + std::to_string(value) + "\t" + facts.typeName + "\t" + Hex(facts.access) + "\t" +
                Hex(facts.genericAll) + "\t" + std::to_string(facts.typeIndex) + "\n";
      for (const std::string& detail : facts.details) report += "detail\t" + detail + "\n";
    }
    if (!WriteReport(reportPath, report)) {
      fprintf(stderr, "handle_holder: cannot write %s\n", reportPath.c_str());
      return 1;
    }
    if (HeldHandleValues() == values) break;
  }

  std::string stopPath = reportPath + ".stop";
  for (long waited = 0; waited < seconds * 10; ++waited) {
    if (GetFileAttributesA(stopPath.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  SetEvent(quitEvent);
  return 0;
}
