// A system handle obtained through InventorySystem and closed by it when the owner goes out
// of scope, so every path of a step releases what the step opened.
#pragma once
#include "inventory/inventory_system.h"

namespace lurvik {

class OwnedHandle {
 public:
  OwnedHandle(InventorySystem& system, SysHandle handle) : system_(system), handle_(handle) {}
  ~OwnedHandle() { Close(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  SysHandle value() const { return handle_; }
  void Close() {
    if (handle_ != 0) system_.CloseHandle(handle_);
    handle_ = 0;
  }
  // Closes the handle held and takes another.
  void Reset(SysHandle handle) {
    Close();
    handle_ = handle;
  }

 private:
  InventorySystem& system_;
  SysHandle handle_;
};

}  // namespace lurvik
