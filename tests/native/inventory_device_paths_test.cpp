// Device paths to drive paths: a device name matches only at a path-component boundary, only
// the leading name is replaced, the first letter wins, and the object manager's drive form
// is taken as it is.
#include "inventory/device_paths.h"

#include <gtest/gtest.h>

#include "tests/native/fake_machine.h"

namespace lurvik {
namespace {

TEST(DevicePaths, LeadingDeviceNameBecomesTheDriveLetter) {
  FakeMachine m;
  m.drives["C:"] = "\\Device\\HarddiskVolume2";
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume2\\Windows\\explorer.exe"), "C:\\Windows\\explorer.exe");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\DEVICE\\HARDDISKVOLUME2\\Temp"), "C:\\Temp");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume2"), "C:");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume3\\x"), "");
  EXPECT_EQ(DevicePathToDrivePath(m, ""), "");
  EXPECT_EQ(DevicePathToDrivePath(m, "C:\\Windows"), "") << "plain drive form is not a device path";
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\Mup\\server\\share\\x"), "");
  // Only the leading occurrence is replaced.
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume2\\copy\\Device\\HarddiskVolume2\\x"),
            "C:\\copy\\Device\\HarddiskVolume2\\x");
}

TEST(DevicePaths, DeviceNamesMatchOnlyWholePathComponents) {
  FakeMachine m;
  m.drives["A:"] = "\\Device\\HarddiskVolume1";
  m.drives["D:"] = "\\Device\\HarddiskVolume10";
  m.drives["E:"] = "\\Device\\HarddiskVolume10";
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume10\\data"), "D:\\data") << "first matching letter wins";
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume1\\data"), "A:\\data");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\HarddiskVolume1x"), "");
}

TEST(DevicePaths, ObjectManagerDriveFormIsAlreadyADrivePath) {
  FakeMachine m;
  EXPECT_EQ(DevicePathToDrivePath(m, "\\??\\C:\\windows"), "C:\\windows");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\??\\c:"), "c:");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\??\\UNC\\server\\share"), "");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\??\\C:x"), "");
}

}  // namespace
}  // namespace lurvik
