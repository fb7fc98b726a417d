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
    if (upperName == "PROCESS") ProcessTypeRow = row;
    ++row;
  }
  TypeCount = row - 1;
}

}  // namespace lurvik
