// The native reply readers on replies laid out by the fake machine in both pointer widths.
// Replies cut or corrupted anywhere are the fuzz target's part.
#include <gtest/gtest.h>

#include "inventory/native_records.h"
#include "tests/native/fake_machine.h"

namespace lurvik {
namespace {

constexpr RecordLayout kLayouts[] = {RecordLayout::Bits32, RecordLayout::Bits64};

// Maximum lengths 16, 18 and 17 advance by 112, 116 and 116 bytes in the 32-bit layout and by
// 120, 128 and 128 in the 64-bit one.
TEST(NativeRecords, TypeRecordsAdvanceByTheirRoundedMaximumLength) {
  for (RecordLayout layout : kLayouts) {
    const auto bytes = BuildObjectTypesReply({{"Process", 0x1F0FFF, 16}, {"Key", 0x80000000u, 18}, {"Thread", 5, 17}}, layout, 0x400000);
    std::string got;
    for (const TypeRecord& type : ParseObjectTypes(bytes.data(), bytes.size(), 0x400000, layout, 256))
      got += std::string(type.name.begin(), type.name.end()) + " " + std::to_string(type.genericAll) + ",";
    EXPECT_EQ(got, "Process 2035711,Key 2147483648,Thread 5,");
    EXPECT_EQ(ParseObjectTypes(bytes.data(), bytes.size(), 0x400000, layout, 2).size(), 2u) << "at most maxRecords";
  }
}

// Entry 1 of three is read, so the stride shows: extended entries (class 64) carry full-width
// owner and value, short entries (class 16) a 16-bit owner above a back-trace index, an 8-bit
// type and a 16-bit value.
TEST(NativeRecords, HandleListsInBothClassesAndWidths) {
  struct Case { uint32_t infoClass; RecordLayout layout; size_t size; uint32_t pid; uint64_t handle; };
  const Case cases[] = {{64, RecordLayout::Bits32, 8 + 3 * 28, 70000, 0x11170}, {64, RecordLayout::Bits64, 16 + 3 * 40, 70000, 0x11170},
                        {16, RecordLayout::Bits32, 4 + 3 * 16, 4464, 0x1170}, {16, RecordLayout::Bits64, 8 + 3 * 24, 4464, 0x1170}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = BuildHandleListReply({{8, 2, 0x10, 1}, {70000, 37, 0x11170, 0x80000001u}, {4, 3, 0x8004, 2}}, c.infoClass, c.layout);
    ASSERT_EQ(bytes.size(), c.size);
    HandleEntry e;
    ASSERT_TRUE(ReadHandleEntry(bytes.data(), bytes.size(), c.infoClass, c.layout, 1, e));
    EXPECT_EQ(std::make_tuple(e.ownerPid, e.typeNumber, e.handleValue, e.grantedAccess), std::make_tuple(c.pid, 37u, c.handle, 0x80000001u))
        << "class " << c.infoClass;
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size(), c.infoClass, c.layout), 3u);
    Put(bytes, 0, 5000000, 4);  // the count is cut to the entries that fit
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size() - 1, c.infoClass, c.layout), 2u);
  }
}

TEST(NativeRecords, ObjectNameRecord) {
  for (RecordLayout layout : kLayouts) {
    std::vector<uint8_t> bytes(64, 0);
    WriteObjectNameRecord(bytes, u"KeyX", layout, 0xC00000);
    Put(bytes, 0, 6, 2);  // the length says three characters: the fourth is not taken
    std::u16string name;
    ASSERT_TRUE(ParseObjectName(bytes.data(), bytes.size(), 0xC00000, layout, name));
    EXPECT_EQ(name, u"Key");
    Put(bytes, 0, 0, 2);  // an unnamed object: no address needed
    Put(bytes, layout == RecordLayout::Bits64 ? 8 : 4, 1, 4);
    EXPECT_TRUE(ParseObjectName(bytes.data(), bytes.size(), 0xC00000, layout, name));
    EXPECT_TRUE(name.empty());
  }
}

}  // namespace
}  // namespace lurvik
