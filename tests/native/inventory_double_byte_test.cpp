// Texts on a double-byte code page, where 0x95 is a lead byte and 0x95 0x5C one character
// (as in code page 932): a trail byte 0x5C is no "\", and a cut keeps whole characters.
#include "inventory/device_paths.h"
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

TEST(DoubleByteTexts, DeviceNameEndingInADoubleByteCharacterMatchesWholeComponentsOnly) {
  FakeMachine m;
  m.leadBytes = {0x95};
  m.drives["Z:"] = "\\Device\\Share\\\x95\x5C";
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\Share\\\x95\x5C\\a.txt"), "Z:\\a.txt");
  EXPECT_EQ(DevicePathToDrivePath(m, "\\Device\\Share\\\x95\x5C" "x\\a.txt"), "") << "the component goes on after the character";
}

TEST_F(InventoryTest, LongObjectNameIsCutBeforeADoubleByteCharacter) {
  m.leadBytes = {0x95};
  const std::string kept = "\\" + std::string(2500, 'n');  // 2501 bytes; the character would be bytes 2502 and 2503
  m.AddHandle(500, Type(kEvent), 0x44, 0x1F0003, {.name = Widen(kept + "\x95\x5C")});
  TakeInventory(m);
  EXPECT_EQ(HandleLines(), "Handle: 68 [11]\n  Name of Object: " + kept + " [11]\n  Opened with Access Rights: 0x1F0003 (0x1F0003) [11]\n");
}

}  // namespace
}  // namespace lurvik
