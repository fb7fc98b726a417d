// Text operations on Windows: the system headers come first here on purpose, because their
// ReplaceText macro once renamed ours; and upper-casing goes through the system's code page.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include "toolkit/text.h"

using namespace lurvik;

TEST(ToolkitText, ReplaceTextSurvivesTheSystemHeaders) {
  EXPECT_EQ(ReplaceText("a\r\nb", "\r\n", "  "), "a  b");
}

TEST(ToolkitText, UpperCaseFollowsTheWesternCodePage) {
  EXPECT_EQ(UpperCaseText("file \xE4\xF6\xFC\xDF"), "FILE \xC4\xD6\xDC\xDF") << "umlauts rise, sharp s stays";
}
