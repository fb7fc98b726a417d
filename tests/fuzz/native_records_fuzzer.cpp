// libFuzzer target of the native reply readers: any bytes, read as a type list, both handle
// lists, a process list and an object-name record in both layouts. Besides ASan and UBSan it checks that every
// value read comes from inside the reply: names are byte runs of the buffer, handle entries
// are read from inside their own slot, and no count exceeds what fits.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inventory/native_records.h"

namespace {

using lurvik::RecordLayout;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// True when the bytes occur in [from, to); nothing occurs everywhere.
bool Occurs(const uint8_t* from, const uint8_t* to, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return true;
  for (const uint8_t* at = from; at + bytes.size() <= to; ++at)
    if (std::memcmp(at, bytes.data(), bytes.size()) == 0) return true;
  return false;
}

// A value as `width` little-endian bytes; a zero value as none (zero fields are everywhere).
std::vector<uint8_t> Bytes(uint64_t value, size_t width) {
  Require(width >= 8 || value >> (8 * width) == 0, "value fits its field");
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < width && value != 0; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return bytes;
}

std::vector<uint8_t> Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  return bytes;
}

void CheckLayout(const uint8_t* data, size_t size, RecordLayout layout, uint64_t base) {
  const bool wide = layout == RecordLayout::Bits64;
  const uint8_t* end = data + size;
  // Type list: at most maxRecords, and no more fixed parts (96 or 104 bytes) than fit.
  const size_t first = wide ? 8 : 4, fixed = wide ? 104 : 96;
  const auto types = lurvik::ParseObjectTypes(data, size, base, layout, 40);
  Require(types.size() <= 40 && types.size() <= (size < first ? 0 : (size - first) / fixed), "type records fit");
  for (const lurvik::TypeRecord& type : types)
    Require(Occurs(data, end, Bytes(type.name)) && Occurs(data, end, Bytes(type.genericAll, 4)), "type fields inside the buffer");
  // Handle lists: entries (first offset, size) of class 16 and class 64.
  const size_t forms[2][3] = {{16, wide ? 8u : 4u, wide ? 24u : 16u}, {64, wide ? 16u : 8u, wide ? 40u : 28u}};
  for (const auto& form : forms) {
    const uint32_t infoClass = static_cast<uint32_t>(form[0]);
    const size_t room = size < form[1] ? 0 : (size - form[1]) / form[2];
    const uint64_t count = lurvik::HandleEntryCount(data, size, infoClass, layout);
    Require(count <= room, "handle count within the buffer");
    lurvik::HandleEntry entry;
    Require(!lurvik::ReadHandleEntry(data, size, infoClass, layout, room, entry), "no entry past the buffer");
    for (uint64_t i = 0; i < count && i < 64; ++i) {
      Require(lurvik::ReadHandleEntry(data, size, infoClass, layout, i, entry), "counted entry readable");
      const uint8_t *slot = data + form[1] + i * form[2], *slotEnd = slot + form[2];
      const size_t narrow = infoClass == 16 ? 2 : (wide ? 8 : 4);
      Require(Occurs(slot, slotEnd, Bytes(entry.ownerPid, narrow == 8 ? 4 : narrow)) &&
                  Occurs(slot, slotEnd, Bytes(entry.handleValue, narrow)) && Occurs(slot, slotEnd, Bytes(entry.grantedAccess, 4)) &&
                  Occurs(slot, slotEnd, Bytes(entry.typeNumber, infoClass == 16 ? 1 : 2)),
              "entry fields from inside their slot");
    }
  }
  // Process list: each record's fields from inside the buffer, no more records than fit.
  const auto processes = lurvik::ParseProcessList(data, size, layout, 40);
  Require(processes.size() <= 40 && processes.size() <= (size < (wide ? 88u : 72u) ? 0 : 1 + size / (wide ? 88 : 72)), "process records fit");
  for (const lurvik::ProcessRecord& process : processes)
    Require(Occurs(data, end, Bytes(process.processId, 4)) && Occurs(data, end, Bytes(process.creationTime, 8)), "process fields inside the buffer");
  // Object name: exactly length / 2 characters from inside the buffer, or nothing.
  std::u16string name = u"old";
  const bool read = lurvik::ParseObjectName(data, size, base, layout, name);
  Require(read || name.empty(), "a refused name is empty");
  Require(!read || (size >= 2 && name.size() == (data[0] | data[1] << 8) / 2u), "name length from its record");
  Require(Occurs(data, end, Bytes(name)), "object name inside the buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Addresses in the records are taken relative to a base the system saw for byte 0.
  for (RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) CheckLayout(data, size, layout, 0x100);
  return 0;
}
