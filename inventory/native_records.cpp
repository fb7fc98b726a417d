// Bounded readers of the native reply records. Every field is read through ReadField, which
// checks the offset against the buffer first, so a corrupt count, length or address can at
// worst make a record read as empty or end a list early.
#include "inventory/native_records.h"

#include <cstring>

namespace lurvik {
namespace {

// Little-endian unsigned field of `width` bytes at `offset`; false when it leaves the buffer.
bool ReadField(const uint8_t* bytes, size_t size, size_t offset, size_t width, uint64_t& value) {
  if (offset > size || width > size - offset) return false;
  value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
  return true;
}

uint64_t FieldOrZero(const uint8_t* bytes, size_t size, size_t offset, size_t width) {
  uint64_t value = 0;
  return ReadField(bytes, size, offset, width, value) ? value : 0;
}

size_t PointerSize(RecordLayout layout) { return layout == RecordLayout::Bits64 ? 8 : 4; }

// Reads `length` bytes of UTF-16 text at the system address `address`, if they lie wholly
// inside the reply. The copy is made byte-wise, so unaligned names are fine.
bool ReadCountedText(const uint8_t* bytes, size_t size, uint64_t baseAddress, uint64_t address,
                     size_t length, std::u16string& text) {
  text.clear();
  if (length == 0) return true;
  if (address < baseAddress) return false;
  uint64_t offset = address - baseAddress;
  if (offset > size || length > size - offset) return false;
  size_t count = length / 2;
  text.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = bytes + offset + 2 * i;
    text[i] = static_cast<char16_t>(at[0] | (at[1] << 8));
  }
  return true;
}

}  // namespace

TypeRecordLayout TypeRecordLayoutOf(RecordLayout layout) {
  // OBJECT_TYPES_INFORMATION is one ULONG, the records follow aligned to the pointer size.
  // OBJECT_TYPE_INFORMATION: UNICODE_STRING (8 or 16 bytes), 13 ULONGs, GENERIC_MAPPING
  // (GenericAll is its fourth ULONG), ValidAccessMask, two BOOLEANs, two bytes, three ULONGs.
  if (layout == RecordLayout::Bits64) return {8, 104, 8, 80, 8};
  return {4, 96, 4, 72, 4};
}

std::vector<TypeRecord> ParseObjectTypes(const uint8_t* bytes, size_t size, uint64_t baseAddress,
                                         RecordLayout layout, size_t maxRecords) {
  std::vector<TypeRecord> records;
  const TypeRecordLayout form = TypeRecordLayoutOf(layout);
  const uint64_t count = FieldOrZero(bytes, size, 0, 4);
  size_t offset = form.firstRecord;
  while (records.size() < count && records.size() < maxRecords) {
    if (offset > size || form.fixedPart > size - offset) break;
    const size_t nameLength = static_cast<size_t>(FieldOrZero(bytes, size, offset, 2));
    const size_t maxLength = static_cast<size_t>(FieldOrZero(bytes, size, offset + 2, 2));
    const uint64_t nameAddress = FieldOrZero(bytes, size, offset + form.nameAddress, PointerSize(layout));
    TypeRecord record;
    record.genericAll = static_cast<uint32_t>(FieldOrZero(bytes, size, offset + form.genericAll, 4));
    if (!ReadCountedText(bytes, size, baseAddress, nameAddress, nameLength, record.name)) record.name.clear();
    records.push_back(std::move(record));
    const size_t rounded = (maxLength + form.nameAlignment - 1) / form.nameAlignment * form.nameAlignment;
    offset += form.fixedPart + rounded;  // at most 65536 + 104 per record: no overflow
  }
  return records;
}

HandleListLayout HandleListLayoutOf(uint32_t infoClass, RecordLayout layout) {
  const bool wide = layout == RecordLayout::Bits64;
  if (infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS) {
    // SYSTEM_HANDLE_INFORMATION_EX: two ULONG_PTRs, then entries of
    // {PVOID, ULONG_PTR pid, ULONG_PTR handle, ULONG access, USHORT, USHORT type, ULONG, ULONG}.
    return wide ? HandleListLayout{16, 40} : HandleListLayout{8, 28};
  }
  // SYSTEM_HANDLE_INFORMATION: one ULONG, then entries of
  // {USHORT pid, USHORT, UCHAR type, UCHAR, USHORT handle, PVOID object, ULONG access}.
  return wide ? HandleListLayout{8, 24} : HandleListLayout{4, 16};
}

uint64_t HandleEntryCount(const uint8_t* bytes, size_t size, uint32_t infoClass, RecordLayout layout) {
  const HandleListLayout form = HandleListLayoutOf(infoClass, layout);
  const bool extended = infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS;
  const uint64_t count = FieldOrZero(bytes, size, 0, extended ? PointerSize(layout) : 4);
  const uint64_t room = size < form.firstEntry ? 0 : (size - form.firstEntry) / form.entrySize;
  return count < room ? count : room;
}

bool ReadHandleEntry(const uint8_t* bytes, size_t size, uint32_t infoClass, RecordLayout layout,
                     uint64_t index, HandleEntry& entry) {
  const HandleListLayout form = HandleListLayoutOf(infoClass, layout);
  if (size < form.firstEntry || index >= (size - form.firstEntry) / form.entrySize) return false;
  const size_t at = form.firstEntry + static_cast<size_t>(index) * form.entrySize;
  if (infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS) {
    const size_t p = PointerSize(layout);
    entry.ownerPid = static_cast<uint32_t>(FieldOrZero(bytes, size, at + p, p));
    entry.handleValue = FieldOrZero(bytes, size, at + 2 * p, p);
    entry.grantedAccess = static_cast<uint32_t>(FieldOrZero(bytes, size, at + 3 * p, 4));
    entry.typeNumber = static_cast<uint32_t>(FieldOrZero(bytes, size, at + 3 * p + 6, 2));
  } else {
    entry.ownerPid = static_cast<uint32_t>(FieldOrZero(bytes, size, at, 2));
    entry.typeNumber = static_cast<uint32_t>(FieldOrZero(bytes, size, at + 4, 1));
    entry.handleValue = FieldOrZero(bytes, size, at + 6, 2);
    entry.grantedAccess = static_cast<uint32_t>(FieldOrZero(bytes, size, at + (layout == RecordLayout::Bits64 ? 16 : 12), 4));
  }
  return true;
}

ProcessRecordLayout ProcessRecordLayoutOf(RecordLayout layout) {
  // SYSTEM_PROCESS_INFORMATION: NextEntryOffset, NumberOfThreads, three 8-byte counters, then
  // CreateTime at 32, UserTime, KernelTime, ImageName (UNICODE_STRING: 8 or 16 bytes),
  // BasePriority (a LONG, padded to 8 in the 64-bit layout), UniqueProcessId.
  if (layout == RecordLayout::Bits64) return {32, 80, 88};
  return {32, 68, 72};
}

std::vector<ProcessRecord> ParseProcessList(const uint8_t* bytes, size_t size, RecordLayout layout, size_t maxRecords) {
  std::vector<ProcessRecord> records;
  const ProcessRecordLayout form = ProcessRecordLayoutOf(layout);
  const size_t pointer = PointerSize(layout);
  size_t offset = 0;
  while (records.size() < maxRecords && offset <= size && form.fixedPart <= size - offset) {
    const uint64_t processId = FieldOrZero(bytes, size, offset + form.processId, pointer);
    if (processId > 0xFFFFFFFFu) break;
    records.push_back({static_cast<uint32_t>(processId), FieldOrZero(bytes, size, offset + form.creationTime, 8)});
    const uint64_t next = FieldOrZero(bytes, size, offset, 4);
    if (next == 0 || next < form.fixedPart || next > size - offset) break;
    offset += static_cast<size_t>(next);
  }
  return records;
}

bool ParseObjectName(const uint8_t* bytes, size_t size, uint64_t baseAddress, RecordLayout layout,
                     std::u16string& name) {
  uint64_t length = 0;
  uint64_t address = 0;
  name.clear();
  if (!ReadField(bytes, size, 0, 2, length)) return false;
  if (!ReadField(bytes, size, PointerSize(layout), PointerSize(layout), address)) return false;
  return ReadCountedText(bytes, size, baseAddress, address, static_cast<size_t>(length), name);
}

}  // namespace lurvik
