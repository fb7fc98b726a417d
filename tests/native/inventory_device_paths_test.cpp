// Device paths to drive paths: a device name matches only at a path-component boundary, only
// the leading name is replaced, the first letter wins, and the object manager's drive form
// is taken as it is.
#include "inventory/device_paths.h"

#include <gtest/gtest.h>

#include "tests/native/fake_machine.h"

namespace lurvik {
namespace {

TEST(DevicePaths, LeadingDeviceNameOfAWholeComponentBecomesTheFirstMatchingLetter) {
  FakeMachine m;
  m.drives = {{"A:", "\\Device\\HarddiskVolume1"}, {"C:", "\\Device\\HarddiskVolume2"},
              {"D:", "\\Device\\HarddiskVolume10"}, {"E:", "\\Device\\HarddiskVolume10"}};
  const std::pair<const char*, const char*> cases[] = {
      {"\\Device\\HarddiskVolume2\\Windows\\explorer.exe", "C:\\Windows\\explorer.exe"},
      {"\\DEVICE\\HARDDISKVOLUME2\\Temp", "C:\\Temp"}, {"\\Device\\HarddiskVolume2", "C:"},
      {"\\Device\\HarddiskVolume3\\x", ""}, {"", ""},
      {"C:\\Windows", ""},  // the plain drive form is not a device path
      {"\\Device\\Mup\\server\\share\\x", ""},
      {"\\Device\\HarddiskVolume2\\copy\\Device\\HarddiskVolume2\\x", "C:\\copy\\Device\\HarddiskVolume2\\x"},
      {"\\Device\\HarddiskVolume10\\data", "D:\\data"}, {"\\Device\\HarddiskVolume1\\data", "A:\\data"},
      {"\\Device\\HarddiskVolume1x", ""},
      // The object manager's drive form is already a drive path.
      {"\\??\\C:\\windows", "C:\\windows"}, {"\\??\\c:", "c:"}, {"\\??\\UNC\\server\\share", ""}, {"\\??\\C:x", ""}};
  for (const auto& [device, drive] : cases) EXPECT_EQ(DriveMap(m).DrivePathOf(device), drive) << device;
}

// On a double-byte code page (0x95 0x5C one character, as in code page 932) a device name
// ending in that character matches only whole components: its trail byte 0x5C is no "\".
TEST(DevicePaths, DeviceNameEndingInADoubleByteCharacterMatchesWholeComponentsOnly) {
  FakeMachine m;
  m.leadBytes = {0x95};
  m.drives["Z:"] = "\\Device\\Share\\\x95\x5C";
  EXPECT_EQ(DriveMap(m).DrivePathOf("\\Device\\Share\\\x95\x5C\\a.txt"), "Z:\\a.txt");
  EXPECT_EQ(DriveMap(m).DrivePathOf("\\Device\\Share\\\x95\x5C" "x\\a.txt"), "") << "the component goes on after the character";
}

}  // namespace
}  // namespace lurvik
