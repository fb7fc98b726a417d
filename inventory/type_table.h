// The table of kernel object types the scan works with: one row per type of the system's
// list (rows 1 to TypeCount), with its name, the working columns of the process being listed,
// its query access for duplication and its full-access mask.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

struct TypeRow {
  std::string TypeName;         // trimmed, in the system's letter case
  std::string TypeNodeId;       // decimal tree item of this type's node under the current process
  std::string TypeLogBlock;     // "  " + TypeName + "\r\n" and the handle lines of the current process
  std::string TypeQueryAccess;  // ParseInteger text: the second duplication attempt's access
  std::string TypeGenericAll;   // "0x" + HexText of GenericAll
  // Worked out from the name when the row is read, so the walk does not redo it per entry.
  std::string UpperName;
  uint32_t QueryAccessValue = 0;  // ParseInteger of TypeQueryAccess
  int32_t TypeIconIndex = 6;
  bool NameAskedDirectly = false;  // see NameQueryNeverWaits
};

constexpr int32_t kTypeTableRows = 257;  // rows 0 to 256; row 0 is never used
extern TypeRow TypeTable[kTypeTableRows];
extern int32_t TypeCount;
extern int32_t ProcessTypeRow;  // the row named PROCESS; kept when a list has no such type

// Reads the system's list of object types into rows 1 to TypeCount (columns TypeName,
// TypeQueryAccess, TypeGenericAll) and sets TypeCount and ProcessTypeRow. A list of more than
// 256 types is cut to the first 256.
void LoadObjectTypes(InventorySystem& system);

// The TypeQueryAccess text for an upper-cased type name.
std::string TypeQueryAccessFor(const std::string& upperName, int32_t osVersionCode);
// The image of a type node for an upper-cased type name.
int32_t TypeIconIndexFor(const std::string& upperName);

// Whether the object-name question for an upper-cased type name can be asked on the scan
// thread itself: true only for types whose name the system answers without waiting for
// another program (keys may wait for the registry's own disk I/O; see the .cpp).
bool NameQueryNeverWaits(const std::string& upperName);

// The header line that opens a type's log block.
std::string TypeHeaderLine(const std::string& typeName);

}  // namespace lurvik
