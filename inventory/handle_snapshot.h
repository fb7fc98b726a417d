// The system-wide handle snapshot and the calibration that maps its object type numbers to
// rows of TypeTable. The extended list (full-width owner ids and handle values) is taken;
// the short list only where the system refuses the extended one.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "inventory/inventory_system.h"
#include "inventory/native_records.h"

namespace lurvik {

// A handle of type number t is described by TypeTable row t - TypeNumberOffset. Kept from
// scan to scan until a calibration succeeds.
extern int32_t TypeNumberOffset;

struct HandleSnapshot {
  std::vector<uint8_t> bytes;  // the reply; empty when the query failed
  uint32_t infoClass = SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS;
  RecordLayout layout = RecordLayout::Bits32;

  // Entries that lie wholly inside the reply.
  uint64_t EntryCount() const { return HandleEntryCount(bytes.data(), bytes.size(), infoClass, layout); }
  // Reads entry `index` (0-based).
  bool Entry(uint64_t index, HandleEntry& entry) const {
    return ReadHandleEntry(bytes.data(), bytes.size(), infoClass, layout, index, entry);
  }
  // The short list carries 16-bit owner ids and handle values only.
  bool Narrow() const { return infoClass == SYSTEM_HANDLE_INFORMATION_CLASS; }
};

// One query to learn the size, one into a buffer of that size plus 20,000,000 bytes.
// A refused or failed query gives an empty snapshot. `justBefore` runs once the buffer is
// ready, right before the query, so what it reads is as near to the snapshot as can be.
HandleSnapshot TakeHandleSnapshot(InventorySystem& system, const std::function<void()>& justBefore = nullptr);

// Finds a freshly opened handle to the own process in a snapshot of its own and sets
// TypeNumberOffset from its type number and ProcessTypeRow. Returns 1 when found, else 0.
int32_t CalibrateTypeNumbers(InventorySystem& system);

}  // namespace lurvik
