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
#include "toolkit/wide_text_win.h"

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
  return sizeof(OPENFILENAMEW);
#else
  return offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);  // 76
#endif
}

}  // namespace

int32_t ShowMessageBox(const std::string& title, const std::string& text, uint32_t flags) {
  ModalScope scope;
  return MessageBoxA(scope.Owner(), text.c_str(), title.c_str(), flags);
}

std::string AskSaveFileName(const std::string& title, const std::string& defaultFile,
                            const std::string& pattern, int32_t patternPosition) {
  // The wide dialog is the same dialog as the ANSI one; only the path it gives back keeps the
  // characters that the ANSI code page lacks (the ANSI dialog would give their look-alikes).
  const std::wstring filter = WideFromAnsi(SaveDialogFilter(pattern));
  const SaveDialogStart start = SplitDefaultFile(defaultFile);
  const std::wstring fileName = WideFromAnsi(start.fileName), folder = WideFromAnsi(start.folder);
  const std::wstring wideTitle = WideFromAnsi(title);
  wchar_t file[kSaveDialogBufferCharacters] = {};
  std::memcpy(file, fileName.data(), fileName.size() * sizeof(wchar_t));  // at most 259 characters

  ModalScope scope;
  OPENFILENAMEW record = {};
  record.lStructSize = SaveRecordSize();
  record.hwndOwner = scope.Owner();
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = static_cast<DWORD>(patternPosition + 1);
  record.lpstrFile = file;
  record.nMaxFile = kSaveDialogBufferCharacters;
  record.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  record.lpstrTitle = wideTitle.c_str();
  record.Flags = kSaveDialogFlags;
  if (!GetSaveFileNameW(&record)) return std::string();
  file[kSaveDialogBufferCharacters - 1] = L'\0';
  return Utf8FromWide(file);
}

}  // namespace lurvik
