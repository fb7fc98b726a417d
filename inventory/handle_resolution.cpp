// ResolveHandleEntry with its PROCESS, THREAD, TOKEN and named-object branches (the FILE
// branch is in hang_safe_queries.cpp, its duplication in file_stretch.cpp) and the three
// duplication attempts.
#include "inventory/handle_resolution.h"

#include "inventory/ansi_characters.h"
#include "inventory/device_paths.h"
#include "inventory/handle_output.h"
#include "inventory/handle_snapshot.h"
#include "inventory/hang_safe_queries.h"
#include "inventory/owned_handle.h"
#include "inventory/process_image.h"
#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {

constexpr uint32_t kProcessDupHandle = 0x40;
constexpr uint32_t kProcessQueryInformationVmRead = 0x410;
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr int32_t kUnresolvedImage = 11;

// The "Imagename: " line for a process handle, when its path has a drive letter.
void AddImageLine(HandleResolution& resolution, SysHandle process) {
  InventorySystem& system = resolution.state.system;
  std::string& path = resolution.state.ImageNameBuffer;
  if (ReadProcessImagePath(system, process, path) == 0) return;
  path = resolution.state.Drives.DrivePathOf(path);
  if (!path.empty()) AddDetail(resolution, LanguageText(3) + path);
}

void ResolveProcessHandle(HandleResolution& resolution) {
  InventorySystem& system = resolution.state.system;
  resolution.DetailIconIndex = 2;
  AddImageLine(resolution, resolution.duplicate);
  if (!system.HasEntryPoint(EntryPoint::GetProcessId)) return;
  const uint32_t id = system.GetProcessId(resolution.duplicate);
  if (id != 0) AddDetail(resolution, "PID: " + DecimalText(id));
}

void ResolveThreadHandle(HandleResolution& resolution) {
  InventorySystem& system = resolution.state.system;
  resolution.DetailIconIndex = 4;
  if (!system.HasEntryPoint(EntryPoint::GetThreadId)) return;
  const uint32_t threadId = system.GetThreadId(resolution.duplicate);
  AddDetail(resolution, "TID: " + DecimalText(threadId));
  if (!system.HasEntryPoint(EntryPoint::GetProcessIdOfThread)) return;
  const uint32_t processId = system.GetProcessIdOfThread(resolution.duplicate);
  AddDetail(resolution, "PID: " + DecimalText(processId));
  OwnedHandle process(system, system.OpenProcess(kProcessQueryInformationVmRead, processId));
  if (process) AddImageLine(resolution, process.value());
}

void ResolveTokenHandle(HandleResolution& resolution) {
  InventorySystem& system = resolution.state.system;
  resolution.DetailIconIndex = 9;
  std::string& account = resolution.state.ImageNameBuffer;
  if (!system.LookupTokenUserName(resolution.duplicate, account)) return;
  account = account.substr(0, account.find('\0'));
  account = CutToWholeCharacters(system, account, kImageNameBufferSize);
  AddDetail(resolution, "Username: " + account);
}

void ResolveNamedObject(HandleResolution& resolution) {
  const std::string& upperName = resolution.row.UpperName;
  if (upperName == "DESKTOP") resolution.DetailIconIndex = 8;
  else if (upperName == "WINDOWSTATION") resolution.DetailIconIndex = 10;
  else if (upperName == "KEY") resolution.DetailIconIndex = 12;
  else resolution.DetailIconIndex = kUnresolvedImage;
  std::string& name = resolution.state.ImageNameBuffer;
  const bool direct = resolution.row.NameAskedDirectly && resolution.state.TypesCalibrated;
  name = direct ? QueryObjectNameDirectly(resolution.state, resolution.duplicate)
                : QueryObjectNameBounded(resolution.state, resolution.duplicate);
  if (!name.empty()) AddDetail(resolution, LanguageText(7) + name);
}

// The row of a type number the type list does not cover, made for the current process when
// its first such handle appears: a type node "ObjectType <number>" after the listed ones.
TypeRow& UnlistedTypeRow(ScanState& state, uint32_t typeNumber) {
  auto found = state.UnlistedTypeIndex.find(typeNumber);
  if (found != state.UnlistedTypeIndex.end()) return state.UnlistedTypeRows[found->second];
  state.UnlistedTypeIndex[typeNumber] = state.UnlistedTypeRows.size();
  state.UnlistedTypeRows.emplace_back();
  TypeRow& row = state.UnlistedTypeRows.back();
  row.TypeName = "ObjectType " + DecimalText(typeNumber);
  const NodeNumber node = state.Tree.Add(row.TypeName, state.ProcessNode, 6);
  row.TypeNodeId = DecimalText(node);
  row.TypeLogBlock = TypeHeaderLine(row.TypeName);
  return row;
}

}  // namespace

// GENERIC_READ first; after a refusal the type's own query access; after a second refusal no
// access at all. Any other error ends the attempts. Returns the copy or 0.
SysHandle DuplicateWithFallbacks(InventorySystem& system, SysHandle owner, uint64_t handleValue, const TypeRow& row) {
  const uint32_t attempts[3] = {kGenericRead, row.QueryAccessValue, 0};
  for (uint32_t access : attempts) {
    DuplicateResult result = system.DuplicateHandle(owner, handleValue, access);
    if (result.ok) return result.handle;
    if (result.lastError != kErrorAccessDenied) return 0;
  }
  return 0;
}

// The current process opened for duplication, at its first entry that needs it; 0 when it
// cannot be opened (then for each of its entries, as the opening is not tried again). The
// label's handle, which kept the id from being reused until now, is closed after it.
SysHandle OwnerProcess(ScanState& state, uint32_t processId) {
  if (!state.OwnerTried) {
    state.OwnerTried = true;
    state.OwnerProcess.Reset(state.system.OpenProcess(kProcessDupHandle, processId));
    state.LabelProcess.Close();
  }
  return state.OwnerProcess.value();
}

TypeRow* ListedRowOf(const HandleEntry& entry) {
  const int64_t rowNumber = static_cast<int64_t>(entry.typeNumber) - TypeNumberOffset;
  return rowNumber < 1 || rowNumber > TypeCount ? nullptr : &TypeTable[rowNumber];
}

void AddDetail(HandleResolution& resolution, const std::string& text) {
  AddDetailLine(resolution.state.Tree, resolution.row, resolution.handleNode, text, resolution.DetailIconIndex);
}

void ResolveHandleEntry(ScanState& state, const HandleSnapshot& snapshot, uint64_t index, const HandleEntry& entry) {
  // Hidden processes: no node, no log line, nothing opened.
  if (state.ProcessShown != 1) return;
  InventorySystem& system = state.system;
  TypeRow* listed = ListedRowOf(entry);
  if (listed == nullptr) {
    TypeRow& row = UnlistedTypeRow(state, entry.typeNumber);
    const NodeNumber handleNode = AddHandleNode(state.Tree, row, entry.handleValue);
    AddAccessLine(state.Tree, row, handleNode, entry.grantedAccess, kUnresolvedImage);
    return;
  }

  TypeRow& row = *listed;
  HandleResolution resolution{state, row, AddHandleNode(state.Tree, row, entry.handleValue), 0, kUnresolvedImage};
  if (row.UpperName == "FILE") {  // duplicated and asked ahead, with the rest of its stretch
    const PreparedFile file = state.Files.Take(state, snapshot, index);
    OwnedHandle duplicate(system, file.duplicate);
    resolution.duplicate = duplicate.value();
    if (duplicate) ResolveFileHandle(resolution, file);
  } else if (const SysHandle owner = OwnerProcess(state, entry.ownerPid)) {
    OwnedHandle duplicate(system, DuplicateWithFallbacks(system, owner, entry.handleValue, row));
    if (duplicate) {
      resolution.duplicate = duplicate.value();
      const std::string& upperName = row.UpperName;
      if (upperName == "PROCESS") ResolveProcessHandle(resolution);
      else if (upperName == "THREAD") ResolveThreadHandle(resolution);
      else if (upperName == "TOKEN") ResolveTokenHandle(resolution);
      else ResolveNamedObject(resolution);
    }
  }
  AddAccessLine(state.Tree, row, resolution.handleNode, entry.grantedAccess, resolution.DetailIconIndex);
}

}  // namespace lurvik
