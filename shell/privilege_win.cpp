// Enables one privilege in the token of a process. The process and token handles are owned
// by small guards so they are closed on every path.
#include "shell/privilege_win.h"

#include <windows.h>

namespace lurvik {

namespace {

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

constexpr DWORD kQueryAndSetInformation = 0x600;  // PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION
constexpr DWORD kKeptAttributes = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_USED_FOR_ACCESS;

}  // namespace

int32_t EnableProcessPrivilege(uint32_t pid, const std::string& name, uint32_t attributes) {
  OwnedHandle process(OpenProcess(kQueryAndSetInformation, FALSE, pid));
  if (process.get() == nullptr) return 0;
  HANDLE tokenHandle = nullptr;
  if (!OpenProcessToken(process.get(), TOKEN_ADJUST_PRIVILEGES, &tokenHandle)) return 0;
  OwnedHandle token(tokenHandle);

  TOKEN_PRIVILEGES privileges = {};
  // The lookup's result is not examined: an unknown name leaves a zero identifier, which
  // AdjustTokenPrivileges then refuses.
  LookupPrivilegeValueA(nullptr, name.c_str(), &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = attributes & kKeptAttributes;
  return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

}  // namespace lurvik
