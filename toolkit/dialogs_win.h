// The two modal dialogs of the toolkit: a message box and the save-file dialog. Both disable
// the calling thread's other top-level windows while they are shown.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

// MessageBoxA with the foreground window of this process as owner; its result unchanged.
int32_t ShowMessageBox(const std::string& title, const std::string& text, uint32_t flags);

// Flags of the save dialog: explorer style, hidden read-only box, existing path required,
// current directory kept; no question before replacing a file.
constexpr uint32_t kSaveDialogFlags = 0x8080C;
constexpr size_t kSaveDialogBufferCharacters = 260;

// The chosen full path in UTF-8 (its true characters, which the ANSI code page may lack), or
// an empty text when the user cancels (or the dialog fails). The title, default file and
// pattern are ANSI texts; the pattern is split at "|" (SaveDialogFilter), the default file by
// SplitDefaultFile.
std::string AskSaveFileName(const std::string& title, const std::string& defaultFile,
                            const std::string& pattern, int32_t patternPosition);

}  // namespace lurvik
