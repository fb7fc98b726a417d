// LoadObjectTypes and the per-type constants (query access, node image) chosen by type name.
#include "inventory/type_table.h"

#include <vector>

#include "inventory/native_records.h"
#include "inventory/zeroed_buffer.h"
#include "toolkit/text.h"

namespace lurvik {

TypeRow TypeTable[kTypeTableRows];
int32_t TypeCount = 0;
int32_t ProcessTypeRow = 0;

namespace {

constexpr size_t kTypeProbeSize = 5000;
constexpr size_t kTypeReplySlack = 180;
constexpr size_t kTypeNameBytes = 261;

}  // namespace

std::string TypeQueryAccessFor(const std::string& upperName, int32_t osVersionCode) {
  const bool newer = osVersionCode > 60;
  if (upperName == "PROCESS") return newer ? "$1000" : "$400";
  if (upperName == "THREAD") return newer ? "$800" : "$40";
  if (upperName == "WINDOWSTATION") return "$2";
  if (upperName == "DESKTOP" || upperName == "EVENT" || upperName == "SEMAPHORE" || upperName == "MUTANT" ||
      upperName == "KEY")
    return "$1";
  if (upperName == "TOKEN") return "$8";
  if (upperName == "FILE") return "$20";
  return DecimalText(0x80000000LL);
}

int32_t TypeIconIndexFor(const std::string& upperName) {
  if (upperName == "FILE" || upperName == "PROCESS") return 2;
  if (upperName == "THREAD") return 4;
  if (upperName == "DESKTOP") return 8;
  if (upperName == "TOKEN") return 9;
  if (upperName == "KEY") return 12;
  if (upperName == "WINDOWSTATION") return 10;
  return 6;
}

// The object manager answers an object-name question either from the name it keeps in the
// object's header, or, for a few types, by asking the type's own name procedure. Only the
// file system's procedure (FILE objects, pipes included) can wait: on a file opened for
// synchronous I/O it waits for the file's lock, held by any read that is pending, and it
// sends a request to the file system driver, which may never answer. The types below are
// asked on the scan thread:
//   EVENT, MUTANT, SEMAPHORE, TIMER, KEYEDEVENT  synchronization objects: the header's name;
//       a question does not wait on the object's signal state or its owner
//   SECTION, JOB, IOCOMPLETION                   the header's name; the file behind a
//       section is not asked
//   DIRECTORY, SYMBOLICLINK                      objects of the name space itself
//   DESKTOP, WINDOWSTATION                       named in the header by the window manager
//   KEY                                          built from the registry's key blocks in
//       memory, under the registry's lock. That lock is also held while a hive is loaded,
//       unloaded or flushed, which does file I/O, so a key's name can wait for that I/O: long
//       for a hive on a slow network share. It is asked directly all the same: such waits are
//       rare and end with their I/O (no program holds the lock at will, as a pending read
//       holds a file's lock), and keys are among the most common handles, where a hand-over
//       to the worker costs the most. While such a wait lasts, the scan waits with it, with
//       no bound.
// Every type not listed (FILE, DEVICE, unknown and new types) keeps the bounded worker.
bool NameQueryNeverWaits(const std::string& upperName) {
  static const char* const kNeverWaits[] = {"EVENT", "MUTANT", "SEMAPHORE", "TIMER", "KEYEDEVENT",
                                            "SECTION", "JOB", "IOCOMPLETION", "DIRECTORY", "SYMBOLICLINK",
                                            "DESKTOP", "WINDOWSTATION", "KEY"};
  for (const char* name : kNeverWaits)
    if (upperName == name) return true;
  return false;
}

std::string TypeHeaderLine(const std::string& typeName) { return "  " + typeName + "\r\n"; }

void LoadObjectTypes(InventorySystem& system) {
  // The first query only learns the size of the list; the second reads it.
  std::vector<uint8_t> buffer;
  uint64_t replySize = 0;
  if (TakeZeroedBuffer(buffer, kTypeProbeSize)) replySize = system.QueryObjectTypes(buffer).returnedLength;
  std::vector<TypeRecord> records;
  if (TakeZeroedBuffer(buffer, replySize + kTypeReplySlack)) {
    NativeReply reply = system.QueryObjectTypes(buffer);
    // A list that grew in between (a driver registered a type) no longer fits: it is asked
    // once more with the length it now reports, plus the same margin.
    if (reply.status == STATUS_INFO_LENGTH_MISMATCH_CODE &&
        TakeZeroedBuffer(buffer, uint64_t{reply.returnedLength} + kTypeReplySlack))
      reply = system.QueryObjectTypes(buffer);
    // A refused query reads as an empty list, whatever the buffer holds.
    if (!IsErrorStatus(reply.status))
      records = ParseObjectTypes(buffer.data(), buffer.size(), reply.baseAddress, system.Layout(), kTypeTableRows - 1);
  }

  const int32_t osVersionCode = system.OsVersionCode();
  int32_t row = 1;
  for (const TypeRecord& record : records) {
    TypeRow& type = TypeTable[row];
    std::string converted = record.name.empty() ? std::string()
                                                : system.WideToAnsi(record.name.data(), record.name.size(), kTypeNameBytes);
    type.TypeName = TrimText(converted.substr(0, converted.find('\0')));
    type.TypeGenericAll = "0x" + HexText(record.genericAll);
    const std::string upperName = UpperCaseText(type.TypeName);
    type.TypeQueryAccess = TypeQueryAccessFor(upperName, osVersionCode);
    type.UpperName = upperName;
    type.QueryAccessValue = static_cast<uint32_t>(ParseInteger(type.TypeQueryAccess));
    type.TypeIconIndex = TypeIconIndexFor(upperName);
    type.NameAskedDirectly = NameQueryNeverWaits(upperName);
    if (upperName == "PROCESS") ProcessTypeRow = row;
    ++row;
  }
  TypeCount = row - 1;
}

}  // namespace lurvik
