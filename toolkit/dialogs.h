// The portable rules of the save-file dialog: how a pattern text becomes the dialog's filter
// list and how a default file splits into the initial folder and file name. The dialogs
// themselves are Windows-only (dialogs_win.h).
#pragma once
#include <string>

namespace lurvik {

// The pattern with every "|" turned into a zero byte, followed by two more zero bytes; read as
// pairs of display text and file pattern, exactly as split (no trimming).
std::string SaveDialogFilter(const std::string& pattern);

struct SaveDialogStart {
  std::string folder;    // initial folder, empty for none
  std::string fileName;  // initial content of the file name box, empty for none
};

// A last backslash after the first character splits folder and file name; otherwise the whole
// text is the file name. The file name is cut to 259 bytes and dropped when it is empty or
// holds a control character or one of " * / : < > ? \ |.
SaveDialogStart SplitDefaultFile(const std::string& defaultFile);

}  // namespace lurvik
