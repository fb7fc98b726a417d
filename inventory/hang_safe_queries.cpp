// The hang-prone questions. Each question's storage is shared with the system layer, which
// keeps it while a killed or given-up worker may still touch it; the scan drops its own
// reference when the question is over, so a killed worker never writes into freed memory.
#include "inventory/hang_safe_queries.h"

#include <memory>

#include "inventory/ansi_characters.h"
#include "inventory/device_paths.h"
#include "inventory/handle_output.h"
#include "inventory/native_records.h"
#include "inventory/scan_state.h"
#include "shell/language_text.h"

namespace lurvik {

namespace {

constexpr size_t kNameQueryBufferSize = 10004;
constexpr size_t kNameTextBytes = 10000;
constexpr int32_t kFileTypeDisk = 1;
constexpr int32_t kFileTypePipe = 3;

}  // namespace

std::shared_ptr<ProbeStorage> NewProbeQuestion(SysHandle handle) {
  try {
    std::shared_ptr<ProbeStorage> storage = std::make_shared<ProbeStorage>();
    storage->handle = handle;
    storage->NameQueryBuffer.assign(kNameQueryBufferSize, 0);
    return storage;
  } catch (...) {  // no buffer, no question
    return nullptr;
  }
}

namespace {

// The name in an answered question's record, as ANSI text of at most 2502 bytes.
std::string NameOf(InventorySystem& system, const ProbeStorage& storage) {
  if (storage.nameStatus != STATUS_SUCCESS_CODE) return std::string();
  std::u16string name;
  const std::vector<uint8_t>& record = storage.NameQueryBuffer;
  if (!ParseObjectName(record.data(), record.size(), storage.nameReply.baseAddress, system.Layout(), name) ||
      name.empty())
    return std::string();
  std::string text = system.WideToAnsi(name.data(), name.size(), kNameTextBytes);
  text = text.substr(0, text.find('\0'));
  return CutToWholeCharacters(system, text, kImageNameBufferSize);
}

}  // namespace

std::string QueryObjectNameBounded(ScanState& state, SysHandle handle) {
  std::shared_ptr<ProbeStorage> storage = NewProbeQuestion(handle);
  if (!storage) return std::string();
  if (state.Probes.Ask(ProbeKind::ObjectName, storage) == WaitResult::Abandoned) return std::string();
  return NameOf(state.system, *storage);
}

std::string QueryObjectNameDirectly(ScanState& state, SysHandle handle) {
  std::shared_ptr<ProbeStorage> storage = NewProbeQuestion(handle);
  if (!storage) return std::string();
  state.system.AskDirectly(ProbeKind::ObjectName, *storage);
  return NameOf(state.system, *storage);
}

// The file's question, answered on the worker with its stretch: the file's type, and in the
// same question the name of a disk file or a pipe and whether a named disk file is a folder.
// A hung type leaves nothing; a hung name leaves the type (a pipe's image) only. The folder is
// asked of the handle, not of the path: the path shown is in the ANSI code page, where a
// character it lacks is "?", and on 64-bit Windows a 32-bit program's path calls are sent from
// the 64-bit system folder to the 32-bit one. A folder question that failed or hung leaves a
// file, as a path that cannot be asked about is not a folder.
void ResolveFileHandle(HandleResolution& resolution, const PreparedFile& file) {
  InventorySystem& system = resolution.state.system;
  if (!file.question || !FirstProbeCallAnswered(file.question->phase)) return;
  const int32_t fileType = file.question->ProbedFileType;
  std::string& name = resolution.state.ImageNameBuffer;
  name = SecondProbeCallAnswered(file.question->phase) ? NameOf(system, *file.question) : std::string();

  if (fileType == kFileTypePipe) {
    resolution.DetailIconIndex = 5;
    if (!name.empty()) AddDetail(resolution, LanguageText(7) + name);
  } else if (fileType == kFileTypeDisk) {
    if (name.empty()) return;
    name = resolution.state.Drives.DrivePathOf(name);
    if (name.empty()) return;
    const bool folder = file.answered == WaitResult::Finished && file.question->ProbedFolder == 1;
    resolution.DetailIconIndex = folder ? 1 : 7;
    AddDetail(resolution, LanguageText(folder ? 5 : 4) + name);
  }
}

}  // namespace lurvik
