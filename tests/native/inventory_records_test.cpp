// The native reply readers on replies laid out by the fake machine in both pointer widths, and
// on every prefix of them (each parsed from an exactly sized heap copy, so ASan reports any
// read past the end). Randomly corrupted replies are the fuzz target's part.
#include <gtest/gtest.h>

#include "inventory/native_records.h"
#include "tests/native/fake_machine.h"

namespace lurvik {
namespace {

constexpr RecordLayout kLayouts[] = {RecordLayout::Bits32, RecordLayout::Bits64};
const std::vector<FakeType> kTypes = {{"Process", 0x1F0FFF, 16}, {"Key", 0x80000000u, 18}, {"Thread", 5, 17}};
const std::vector<FakeEntry> kEntries = {{8, 2, 0x10, 1}, {70000, 37, 0x11170, 0x80000001u}, {4, 3, 0x8004, 2}};

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t cut) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(cut, bytes.size()));
}

// Maximum lengths 16, 18 and 17 advance by 112, 116 and 116 bytes in the 32-bit layout and by
// 120, 128 and 128 in the 64-bit one.
TEST(NativeRecords, TypeRecordsAdvanceByTheirRoundedMaximumLength) {
  for (RecordLayout layout : kLayouts) {
    const std::vector<uint8_t> bytes = BuildObjectTypesReply(kTypes, layout, 0x00400000);
    const std::vector<TypeRecord> types = ParseObjectTypes(bytes.data(), bytes.size(), 0x00400000, layout, 256);
    ASSERT_EQ(types.size(), 3u);
    const char* names[] = {"Process", "Key", "Thread"};
    const uint32_t masks[] = {0x1F0FFF, 0x80000000u, 5};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(types[i].name, Widen(names[i])) << "record " << i;
      EXPECT_EQ(types[i].genericAll, masks[i]) << "record " << i;
    }
    EXPECT_EQ(ParseObjectTypes(bytes.data(), bytes.size(), 0x00400000, layout, 2).size(), 2u) << "at most maxRecords";
  }
}

TEST(NativeRecords, TypeNamesOutsideTheReplyReadAsEmptyTooLongListsEndAtTheBuffer) {
  const uint64_t base = 0x00400000;
  std::vector<uint8_t> bytes = BuildObjectTypesReply(kTypes, RecordLayout::Bits32, base);
  Put(bytes, 8, base - 2, 4);                             // first name below the reply
  Put(bytes, 116 + 4, base + bytes.size() - 4, 4);        // second name runs past the end
  Put(bytes, 0, 0xFFFFFFFF, 4);                           // a count far beyond the records
  Put(bytes, 4 + 112 + 116 + 2, 0xFFFF, 2);               // a maximum length beyond the buffer
  const std::vector<TypeRecord> types = ParseObjectTypes(bytes.data(), bytes.size(), base, RecordLayout::Bits32, 256);
  ASSERT_EQ(types.size(), 3u);
  EXPECT_TRUE(types[0].name.empty());
  EXPECT_TRUE(types[1].name.empty());
  EXPECT_EQ(types[2].name, Widen("Thread"));
  EXPECT_EQ(types[1].genericAll, 0x80000000u);
}

// Entry 1 of three is read, so the stride shows: extended entries (class 64) carry full-width
// owner and value, short entries (class 16) a 16-bit owner above a back-trace index, an 8-bit
// type and a 16-bit value.
TEST(NativeRecords, HandleListsInBothClassesAndWidths) {
  struct Case { uint32_t infoClass; RecordLayout layout; size_t size; uint32_t pid, type; uint64_t handle; };
  const Case cases[] = {{64, RecordLayout::Bits32, 8 + 3 * 28, 70000, 37, 0x11170},
                        {64, RecordLayout::Bits64, 16 + 3 * 40, 70000, 37, 0x11170},
                        {16, RecordLayout::Bits32, 4 + 3 * 16, 4464, 37, 0x1170},
                        {16, RecordLayout::Bits64, 8 + 3 * 24, 4464, 37, 0x1170}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = BuildHandleListReply(kEntries, c.infoClass, c.layout);
    ASSERT_EQ(bytes.size(), c.size);
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size(), c.infoClass, c.layout), 3u);
    HandleEntry entry;
    ASSERT_TRUE(ReadHandleEntry(bytes.data(), bytes.size(), c.infoClass, c.layout, 1, entry));
    EXPECT_EQ(entry.ownerPid, c.pid) << "class " << c.infoClass;
    EXPECT_EQ(entry.typeNumber, c.type) << "class " << c.infoClass;
    EXPECT_EQ(entry.handleValue, c.handle) << "class " << c.infoClass;
    EXPECT_EQ(entry.grantedAccess, 0x80000001u) << "class " << c.infoClass;
    EXPECT_FALSE(ReadHandleEntry(bytes.data(), bytes.size(), c.infoClass, c.layout, 3, entry));
    Put(bytes, 0, 5000000, 4);  // the count is cut to the entries that fit
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size(), c.infoClass, c.layout), 3u);
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size() - 1, c.infoClass, c.layout), 2u);
  }
}

TEST(NativeRecords, ObjectNameRecord) {
  for (RecordLayout layout : kLayouts) {
    const size_t p = layout == RecordLayout::Bits64 ? 8 : 4;
    const uint64_t base = 0x00C00000;
    std::vector<uint8_t> bytes(64, 0);
    WriteObjectNameRecord(bytes, Widen("KeyX"), layout, base);
    Put(bytes, 0, 6, 2);  // the length says three characters: the fourth is not taken
    std::u16string name;
    ASSERT_TRUE(ParseObjectName(bytes.data(), bytes.size(), base, layout, name));
    EXPECT_EQ(name, Widen("Key"));
    Put(bytes, 0, 200, 2);  // runs past the end
    EXPECT_FALSE(ParseObjectName(bytes.data(), bytes.size(), base, layout, name));
    Put(bytes, 0, 6, 2);
    Put(bytes, p, base - 16, p);  // below the reply
    EXPECT_FALSE(ParseObjectName(bytes.data(), bytes.size(), base, layout, name));
    Put(bytes, 0, 0, 2);  // an unnamed object: no address needed
    EXPECT_TRUE(ParseObjectName(bytes.data(), bytes.size(), base, layout, name));
    EXPECT_TRUE(name.empty());
    EXPECT_FALSE(ParseObjectName(bytes.data(), p + 2, base, layout, name)) << "address field cut";
  }
}

// A reply cut anywhere gives a shortened list: only records that lie wholly inside, equal to
// the full reply's (a type name cut off reads as empty), and a cut name record gives no name.
TEST(NativeRecords, TruncatedRepliesGiveShortenedLists) {
  const uint64_t base = 0x00B00000;
  for (RecordLayout layout : kLayouts) {
    const std::vector<uint8_t> types = BuildObjectTypesReply(kTypes, layout, base);
    std::vector<uint8_t> name(64, 0);
    WriteObjectNameRecord(name, Widen("\\Device\\NamedPipe\\x"), layout, base);
    const size_t nameEnd = layout == RecordLayout::Bits64 ? 16 + 38 : 8 + 38;
    for (size_t cut = 0; cut < types.size(); ++cut) {
      const std::vector<uint8_t> t = Prefix(types, cut);
      const std::vector<TypeRecord> got = ParseObjectTypes(t.data(), t.size(), base, layout, 256);
      ASSERT_LE(got.size(), 3u) << "cut at " << cut;
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_TRUE(got[i].name.empty() || got[i].name == Widen(kTypes[i].name)) << "cut at " << cut;
        EXPECT_EQ(got[i].genericAll, kTypes[i].genericAll) << "cut at " << cut;
      }
      for (uint32_t infoClass : {16u, 64u}) {
        const std::vector<uint8_t> full = BuildHandleListReply(kEntries, infoClass, layout), l = Prefix(full, cut);
        const uint64_t count = HandleEntryCount(l.data(), l.size(), infoClass, layout);
        ASSERT_LE(count, cut < full.size() ? 2u : 3u) << "cut at " << cut;
        HandleEntry entry;
        for (uint64_t i = 0; i < count; ++i) {
          ASSERT_TRUE(ReadHandleEntry(l.data(), l.size(), infoClass, layout, i, entry));
          EXPECT_EQ(entry.grantedAccess, kEntries[i].grantedAccess) << "cut at " << cut;
          EXPECT_EQ(entry.handleValue & 0xFFFF, kEntries[i].handleValue & 0xFFFF) << "cut at " << cut;
        }
      }
      const std::vector<uint8_t> n = Prefix(name, cut);
      std::u16string text = u"old";
      const bool read = ParseObjectName(n.data(), n.size(), base, layout, text);
      EXPECT_EQ(read, cut >= nameEnd) << "cut at " << cut;
      EXPECT_EQ(text, read ? Widen("\\Device\\NamedPipe\\x") : u"") << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace lurvik
