// WindowsSystem against the real system (under Wine in CI): the native replies parse with the
// inventory's readers, probes answer for pipes, folders and named events, the per-type
// questions answer for the own process, thread and token, and tree items really arrive.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "inventory/device_paths.h"
#include "inventory/hang_safe_queries.h"
#include "inventory/native_records.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"

using namespace lurvik;

namespace {

class WindowsSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    HMODULE psapi = LoadLibraryA("psapi.dll");
    GetProcessId_Address = reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessId"));
    GetThreadId_Address = reinterpret_cast<void*>(GetProcAddress(kernel, "GetThreadId"));
    GetProcessIdOfThread_Address = reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessIdOfThread"));
    GetProcessImageFileNameA_Address = reinterpret_cast<void*>(GetProcAddress(psapi, "GetProcessImageFileNameA"));
    GetModuleFileNameExA_Address = reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExA"));
  }
  void TearDown() override {
    GetProcessId_Address = GetThreadId_Address = GetProcessIdOfThread_Address = nullptr;
    GetProcessImageFileNameA_Address = GetModuleFileNameExA_Address = nullptr;
  }

  // Runs a probe to its end (or abandons it after the usual bound) and returns its storage.
  std::shared_ptr<ProbeStorage> Probe(ProbeKind kind, HANDLE handle) {
    auto storage = std::make_shared<ProbeStorage>();
    storage->handle = reinterpret_cast<uintptr_t>(handle);
    const int32_t worker = system.StartProbe(kind, storage);
    EXPECT_NE(worker, 0);
    EXPECT_EQ(WaitOrKillWorker(system, worker, *storage), WaitResult::Finished);
    return storage;
  }

  std::string ProbedName(HANDLE handle) {
    auto storage = Probe(ProbeKind::ObjectName, handle);
    if (storage->nameStatus != 0) return "<status " + std::to_string(storage->nameStatus) + ">";
    std::u16string name;
    EXPECT_TRUE(ParseObjectName(storage->NameQueryBuffer.data(), storage->NameQueryBuffer.size(),
                                storage->nameReply.baseAddress, system.Layout(), name));
    return system.WideToAnsi(name.data(), name.size(), 10000);
  }

  WindowsSystem system;
};

std::string ModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

TEST_F(WindowsSystemTest, HandleListFindsAFreshHandleToTheOwnProcess) {
  SysHandle own = system.OpenProcess(PROCESS_QUERY_INFORMATION, system.CurrentProcessId());
  ASSERT_NE(own, 0u);
  std::vector<uint8_t> probe(24, 0);
  NativeReply sizeReply = system.QuerySystemInformation(SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS, probe);
  EXPECT_EQ(sizeReply.status, 0xC0000004u);  // the list does not fit: length mismatch
  std::vector<uint8_t> list(sizeReply.returnedLength + 4000000, 0);
  NativeReply reply = system.QuerySystemInformation(SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS, list);
  EXPECT_EQ(reply.status, 0u);

  const uint64_t count = HandleEntryCount(list.data(), list.size(), SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS, system.Layout());
  ASSERT_GT(count, 0u);
  int found = 0;
  for (uint64_t i = 0; i < count; ++i) {
    HandleEntry entry;
    ASSERT_TRUE(ReadHandleEntry(list.data(), list.size(), SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS, system.Layout(), i, entry));
    if (entry.ownerPid == system.CurrentProcessId() && entry.handleValue == own) {
      ++found;
      EXPECT_NE(entry.grantedAccess & PROCESS_QUERY_INFORMATION, 0u);  // newer systems add limited query
    }
  }
  EXPECT_EQ(found, 1);
  system.CloseHandle(own);
}

TEST_F(WindowsSystemTest, TypeListNamesTheKnownTypesWithTheirGenericAll) {
  std::vector<uint8_t> probe(5000, 0);
  NativeReply sizeReply = system.QueryObjectTypes(probe);
  ASSERT_GT(sizeReply.returnedLength, 0u);
  std::vector<uint8_t> list(sizeReply.returnedLength + 180, 0);
  NativeReply reply = system.QueryObjectTypes(list);
  std::vector<TypeRecord> types = ParseObjectTypes(list.data(), list.size(), reply.baseAddress, system.Layout(), 256);
  ASSERT_GT(types.size(), 10u);
  bool process = false, event = false, file = false;
  for (const TypeRecord& type : types) {
    std::string name = system.WideToAnsi(type.name.data(), type.name.size(), 261);
    if (name == "Process") process = type.genericAll == 0x1FFFFF;
    if (name == "Event") event = type.genericAll == 0x1F0003;
    if (name == "File") file = type.genericAll == 0x1F01FF;
  }
  EXPECT_TRUE(process);
  EXPECT_TRUE(event);
  EXPECT_TRUE(file);
}

TEST_F(WindowsSystemTest, ProbesTellPipesFoldersAndNames) {
  const std::string pipeName = "lurvik_test_pipe_" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + pipeName).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Probe(ProbeKind::FileType, pipe)->ProbedFileType, FILE_TYPE_PIPE);
  EXPECT_EQ(ProbedName(pipe), "\\Device\\NamedPipe\\" + pipeName);
  CloseHandle(pipe);

  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  HANDLE folder = CreateFileA(windows, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Probe(ProbeKind::FileType, folder)->ProbedFileType, FILE_TYPE_DISK);
  std::string folderPath = DevicePathToDrivePath(system, ProbedName(folder));
  EXPECT_EQ(lstrcmpiA(folderPath.c_str(), windows), 0) << folderPath;
  EXPECT_TRUE(system.PathIsDirectory(folderPath));
  EXPECT_FALSE(system.PathIsDirectory(ModulePath()));
  CloseHandle(folder);

  const std::string eventName = "lurvik_test_event_" + std::to_string(GetCurrentProcessId());
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  std::string name = ProbedName(event);
  EXPECT_EQ(name.substr(name.rfind('\\') + 1), eventName) << name;
  HANDLE unnamed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(ProbedName(unnamed), "");
  CloseHandle(event);
  CloseHandle(unnamed);
}

TEST_F(WindowsSystemTest, OwnProcessThreadAndTokenAnswer) {
  const std::string module = ModulePath();
  SysHandle own = system.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, system.CurrentProcessId());
  ASSERT_NE(own, 0u);
  std::string image;
  ASSERT_GT(system.GetProcessImageFileNameA(own, image, 500), 0u);
  EXPECT_EQ(lstrcmpiA(DevicePathToDrivePath(system, image).c_str(), module.c_str()), 0) << image;
  std::string driveForm;
  EXPECT_GT(system.GetModuleFileNameExA(own, driveForm, 500), 0u);
  EXPECT_EQ(lstrcmpiA(driveForm.c_str(), module.c_str()), 0) << driveForm;
  EXPECT_EQ(system.GetProcessId(own), GetCurrentProcessId());
  system.CloseHandle(own);

  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(system.GetThreadId(reinterpret_cast<uintptr_t>(thread)), GetCurrentThreadId());
  EXPECT_EQ(system.GetProcessIdOfThread(reinterpret_cast<uintptr_t>(thread)), GetCurrentProcessId());
  CloseHandle(thread);

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  std::string account;
  EXPECT_TRUE(system.LookupTokenUserName(reinterpret_cast<uintptr_t>(token), account));
  char user[256] = {};
  DWORD userLength = sizeof user;
  GetUserNameA(user, &userLength);
  EXPECT_EQ(account, user);
  CloseHandle(token);
  // An event is no token: the lookup fails and leaves no name.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(system.LookupTokenUserName(reinterpret_cast<uintptr_t>(event), account));
  EXPECT_EQ(account, "");
  CloseHandle(event);
}

TEST_F(WindowsSystemTest, MissingEntryPointsAnswerNothing) {
  GetProcessImageFileNameA_Address = GetThreadId_Address = nullptr;
  EXPECT_FALSE(system.HasEntryPoint(EntryPoint::GetProcessImageFileNameA));
  EXPECT_TRUE(system.HasEntryPoint(EntryPoint::GetModuleFileNameExA));
  std::string image = "stale";
  EXPECT_EQ(system.GetProcessImageFileNameA(reinterpret_cast<uintptr_t>(GetCurrentProcess()), image, 500), 0u);
  EXPECT_EQ(image, "");
  EXPECT_EQ(system.GetThreadId(reinterpret_cast<uintptr_t>(GetCurrentThread())), 0u);
}

TEST_F(WindowsSystemTest, DuplicationReportsAccessDeniedAndOtherErrors) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SysHandle own = system.OpenProcess(PROCESS_DUP_HANDLE, system.CurrentProcessId());
  DuplicateResult copy = system.DuplicateHandle(own, reinterpret_cast<uintptr_t>(event), SYNCHRONIZE);
  EXPECT_TRUE(copy.ok);
  EXPECT_NE(copy.handle, 0u);
  system.CloseHandle(copy.handle);
  DuplicateResult bad = system.DuplicateHandle(own, 0x7FFFFFF0, 0);  // no such handle
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.lastError, static_cast<uint32_t>(ERROR_INVALID_HANDLE));
  system.CloseHandle(own);
  CloseHandle(event);
}

TEST_F(WindowsSystemTest, DriveLettersAndTextConversion) {
  EXPECT_EQ(system.QueryDosDevice("C:"), "\\Device\\HarddiskVolume1");
  int64_t unused = 0;
  for (char letter = 'Q'; letter <= 'Y' && unused == 0; ++letter)
    if (GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) == DRIVE_NO_ROOT_DIR) unused = letter;
  if (unused != 0) EXPECT_EQ(system.QueryDosDevice(std::string(1, static_cast<char>(unused)) + ":"), "");

  const std::u16string word = u"Gr\u00FC\u00DFe";  // Grüße in Windows-1252
  EXPECT_EQ(system.WideToAnsi(word.data(), word.size(), 261), "Gr\xFC\xDF" "e");
  EXPECT_EQ(system.WideToAnsi(word.data(), 2, 261), "Gr");
  EXPECT_EQ(system.WideToAnsi(word.data(), 0, 261), "");
  const std::u16string withZero(u"ab\0cd", 5);
  EXPECT_EQ(system.WideToAnsi(withZero.data(), withZero.size(), 261), "ab");
  EXPECT_EQ(system.WideToAnsi(word.data(), word.size(), 3), "");  // does not fit: conversion fails
}

// The insert record reaches a real tree view: text, images and the parent come back.
TEST_F(WindowsSystemTest, TreeItemsArriveWithTextImagesAndParent) {
  EXPECT_EQ(system.InsertTreeItem("nothing to insert into", 0, 0, 0), 0u);  // no tree yet

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  TreeItem root = system.InsertTreeItem("1234 / handle_holder.exe", 0, 0, 0);
  ASSERT_NE(root, 0u);
  TreeItem child = system.InsertTreeItem("Handle: 32772", root, 11, 11);
  ASSERT_NE(child, 0u);
  system.InsertTreeItem("second", root, 4, 4);

  char text[64] = {};
  TVITEMA item = {};
  item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_HANDLE;
  item.hItem = reinterpret_cast<HTREEITEM>(child);
  item.pszText = text;
  item.cchTextMax = sizeof text;
  item.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
  ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_STREQ(text, "Handle: 32772");
  EXPECT_EQ(item.iImage, 11);
  EXPECT_EQ(item.iSelectedImage, 11);
  EXPECT_EQ(item.state & (TVIS_EXPANDED | TVIS_SELECTED), 0u);
  EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, static_cast<LPARAM>(child)), static_cast<LRESULT>(root));
  EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, static_cast<LPARAM>(root)), static_cast<LRESULT>(child));
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 3);

  HandleTree = 0;
  DestroyWindow(tree);
}

}  // namespace
