// Readers of the records the native system queries answer with: the object-types list, the
// two handle lists and the object-name record, in their 32- and 64-bit layouts. Each reader
// is a pure function of the reply bytes and never reads outside the buffer it is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "inventory/inventory_system.h"

namespace lurvik {

// One object type of the types list: its UTF-16 name and its GenericAll mask.
struct TypeRecord {
  std::u16string name;
  uint32_t genericAll = 0;
};

// The type records in list order, at most maxRecords of them. Records whose fixed part does
// not lie wholly inside the buffer end the list; a name whose address or length leaves the
// reply is read as empty. `baseAddress` is the address the system saw for bytes[0].
std::vector<TypeRecord> ParseObjectTypes(const uint8_t* bytes, size_t size, uint64_t baseAddress,
                                         RecordLayout layout, size_t maxRecords);

// Byte layout of a type record, exposed for tests that build replies.
struct TypeRecordLayout {
  size_t firstRecord;     // offset of the first record
  size_t fixedPart;       // size of the fixed part before the name area
  size_t nameAddress;     // offset of the name's address within the record
  size_t genericAll;      // offset of GenericAll within the record
  size_t nameAlignment;   // the maximum name length is raised to a multiple of this
};
TypeRecordLayout TypeRecordLayoutOf(RecordLayout layout);

// A handle-list entry, widened to one form for both list classes and both layouts.
struct HandleEntry {
  uint32_t ownerPid = 0;
  uint32_t typeNumber = 0;
  uint64_t handleValue = 0;
  uint32_t grantedAccess = 0;
};

// Byte layout of a handle list (class 16 or class 64), exposed for tests that build replies.
struct HandleListLayout {
  size_t firstEntry;
  size_t entrySize;
};
HandleListLayout HandleListLayoutOf(uint32_t infoClass, RecordLayout layout);

// The number of entries that can be read: the count field, cut to the entries that lie
// wholly inside the buffer.
uint64_t HandleEntryCount(const uint8_t* bytes, size_t size, uint32_t infoClass, RecordLayout layout);
// Reads entry `index` (0-based); false when it does not lie wholly inside the buffer.
bool ReadHandleEntry(const uint8_t* bytes, size_t size, uint32_t infoClass, RecordLayout layout,
                     uint64_t index, HandleEntry& entry);

// One record of the process list (class 5): the process id and its creation time in 100 ns
// units since 1601, as the system keeps it for the process's whole life.
struct ProcessRecord {
  uint32_t processId = 0;
  uint64_t creationTime = 0;
};

// Byte layout of a process-list record, exposed for tests that build replies.
struct ProcessRecordLayout {
  size_t creationTime;  // 8 bytes
  size_t processId;     // pointer width
  size_t fixedPart;     // the fields read lie inside this many bytes of a record
};
ProcessRecordLayout ProcessRecordLayoutOf(RecordLayout layout);

// The records of a process list, at most maxRecords. Each record names the offset of the next
// (0 ends the list); a record whose fields leave the buffer, an offset shorter than the fields
// read, and an id wider than 32 bits end the list.
std::vector<ProcessRecord> ParseProcessList(const uint8_t* bytes, size_t size, RecordLayout layout, size_t maxRecords);

// The characters of an object-name record (a counted UTF-16 string whose characters the
// record addresses): exactly length / 2 characters. False when the address or the length
// leaves the buffer; an empty name gives true and an empty text.
bool ParseObjectName(const uint8_t* bytes, size_t size, uint64_t baseAddress, RecordLayout layout,
                     std::u16string& name);

}  // namespace lurvik
