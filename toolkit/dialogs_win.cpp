// The modal dialogs: owner choice, disabling the thread's other top-level windows around the
// dialog (and restoring exactly those, topmost ones made topmost again), and the save dialog's
// record.
#include "toolkit/dialogs_win.h"

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "toolkit/dialogs.h"

namespace lurvik {

namespace {

// Disables the thread's other visible, enabled top-level windows for the life of a dialog.
class ModalScope {
 public:
  ModalScope() {
    HWND foreground = GetForegroundWindow();
    DWORD processId = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &processId);
    owner_ = (foreground && processId == GetCurrentProcessId()) ? foreground : nullptr;
    foreground_ = foreground;
    EnumWindows(&ModalScope::Visit, reinterpret_cast<LPARAM>(this));
  }
  ~ModalScope() {
    for (const Disabled& entry : disabled_) {
      EnableWindow(entry.window, TRUE);
      if (entry.wasTopmost)
        SetWindowPos(entry.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  HWND Owner() const { return owner_; }

 private:
  struct Disabled {
    HWND window;
    bool wasTopmost;
  };

  static BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* self = reinterpret_cast<ModalScope*>(data);
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
    if (window == self->foreground_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    bool topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (topmost) SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EnableWindow(window, FALSE);
    self->disabled_.push_back({window, topmost});
    return TRUE;
  }

  HWND owner_ = nullptr;
  HWND foreground_ = nullptr;
  std::vector<Disabled> disabled_;
};

// The record size of the build: the 76 bytes of the classic 32-bit record in the 32-bit
// program; a 64-bit program must pass its own (larger) layout, or the dialog refuses it.
DWORD SaveRecordSize() {
#if defined(_WIN64)
  return sizeof(OPENFILENAMEA);
#else
  return offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);  // 76
#endif
}

}  // namespace

int32_t ShowMessageBox(const std::string& title, const std::string& text, uint32_t flags) {
  ModalScope scope;
  return MessageBoxA(scope.Owner(), text.c_str(), title.c_str(), flags);
}

std::string AskSaveFileName(const std::string& title, const std::string& defaultFile,
                            const std::string& pattern, int32_t patternPosition) {
  std::string filter = SaveDialogFilter(pattern);
  SaveDialogStart start = SplitDefaultFile(defaultFile);
  char file[kSaveDialogBufferBytes] = {};
  std::memcpy(file, start.fileName.data(), start.fileName.size());  // at most 259 bytes

  ModalScope scope;
  OPENFILENAMEA record = {};
  record.lStructSize = SaveRecordSize();
  record.hwndOwner = scope.Owner();
  record.lpstrFilter = filter.data();
  record.nFilterIndex = static_cast<DWORD>(patternPosition + 1);
  record.lpstrFile = file;
  record.nMaxFile = kSaveDialogBufferBytes;
  record.lpstrInitialDir = start.folder.empty() ? nullptr : start.folder.c_str();
  record.lpstrTitle = title.c_str();
  record.Flags = kSaveDialogFlags;
  if (!GetSaveFileNameA(&record)) return std::string();
  file[kSaveDialogBufferBytes - 1] = '\0';
  return std::string(file);
}

}  // namespace lurvik
