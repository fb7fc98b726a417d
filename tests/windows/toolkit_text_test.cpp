// Upper-casing on Windows goes through the system's ANSI code page (Windows-1252 here).
#include <gtest/gtest.h>

#include "toolkit/text.h"

using namespace lurvik;

TEST(ToolkitText, UpperCaseFollowsTheWesternCodePage) {
  EXPECT_EQ(UpperCaseText("file \xE4\xF6\xFC\xDF"), "FILE \xC4\xD6\xDC\xDF") << "umlauts rise, sharp s stays";
}
