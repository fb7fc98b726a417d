// Enabling a privilege in the token of a process; the program enables the debug privilege
// in its own token so that it can open the processes of other users.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

// The result of AdjustTokenPrivileges (nonzero on success), or 0 when the process or its
// token could not be opened. Only the bits SE_PRIVILEGE_ENABLED and
// SE_PRIVILEGE_USED_FOR_ACCESS of attributes are kept.
int32_t EnableProcessPrivilege(uint32_t pid, const std::string& name, uint32_t attributes);

}  // namespace lurvik
