// The native reply readers on hand-laid byte buffers in both pointer widths, and on
// truncated and corrupted replies (each parsed from an exactly sized heap copy, so ASan
// reports any read past the end).
#include <gtest/gtest.h>

#include <random>

#include "inventory/native_records.h"
#include "tests/native/fake_machine.h"

namespace lurvik {
namespace {

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width, 0);
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutName(std::vector<uint8_t>& bytes, size_t offset, const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) Put(bytes, offset + 2 * i, static_cast<unsigned char>(name[i]), 2);
}

// Two 32-bit type records, the first with maximum name length `maxLength`.
std::vector<uint8_t> TwoTypes32(size_t maxLength, uint64_t base) {
  std::vector<uint8_t> bytes;
  Put(bytes, 0, 2, 4);
  Put(bytes, 4, 14, 2);
  Put(bytes, 6, maxLength, 2);
  Put(bytes, 8, base + 100, 4);
  Put(bytes, 4 + 72, 0x1F0FFF, 4);
  PutName(bytes, 100, "Process");
  const size_t second = 4 + 96 + (maxLength + 3) / 4 * 4;
  Put(bytes, second, 6, 2);
  Put(bytes, second + 2, 8, 2);
  Put(bytes, second + 4, base + second + 96, 4);
  Put(bytes, second + 72, 0x80000000u, 4);
  PutName(bytes, second + 96, "Key");
  bytes.resize(second + 96 + 8, 0);
  return bytes;
}

TEST(NativeRecords, TypeRecordsAdvanceByRoundedMaximumLength32) {
  for (size_t maxLength : {16u, 18u}) {
    const std::vector<uint8_t> bytes = TwoTypes32(maxLength, 0x00400000);
    const std::vector<TypeRecord> types = ParseObjectTypes(bytes.data(), bytes.size(), 0x00400000, RecordLayout::Bits32, 256);
    ASSERT_EQ(types.size(), 2u) << maxLength;
    EXPECT_EQ(types[0].name, Widen("Process"));
    EXPECT_EQ(types[0].genericAll, 0x1F0FFFu);
    EXPECT_EQ(types[1].name, Widen("Key")) << "second record at " << (maxLength == 16 ? 112 : 116) << " past the first";
    EXPECT_EQ(types[1].genericAll, 0x80000000u);
  }
}

TEST(NativeRecords, TypeRecords64) {
  const uint64_t base = 0x000001F2A0000000ull;
  std::vector<uint8_t> bytes;
  Put(bytes, 0, 2, 4);
  Put(bytes, 8, 8, 2);
  Put(bytes, 10, 18, 2);  // raised to 24: next record at 8 + 104 + 24
  Put(bytes, 16, base + 112, 8);
  Put(bytes, 8 + 80, 0x000F01FF, 4);
  PutName(bytes, 112, "File");
  Put(bytes, 136, 12, 2);
  Put(bytes, 138, 14, 2);
  Put(bytes, 144, base + 240, 8);
  Put(bytes, 136 + 80, 0x001F0003, 4);
  PutName(bytes, 240, "Thread");
  bytes.resize(256, 0);
  const std::vector<TypeRecord> types = ParseObjectTypes(bytes.data(), bytes.size(), base, RecordLayout::Bits64, 256);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].name, Widen("File"));
  EXPECT_EQ(types[0].genericAll, 0x000F01FFu);
  EXPECT_EQ(types[1].name, Widen("Thread"));
  EXPECT_EQ(types[1].genericAll, 0x001F0003u);
}

TEST(NativeRecords, TypeNamesOutsideTheReplyReadAsEmpty) {
  const uint64_t base = 0x00400000;
  std::vector<uint8_t> bytes = TwoTypes32(16, base);
  Put(bytes, 8, base - 2, 4);           // first name below the reply
  Put(bytes, 4 + 112 + 4, base + bytes.size() - 4, 4);  // second name runs past the end
  const std::vector<TypeRecord> types = ParseObjectTypes(bytes.data(), bytes.size(), base, RecordLayout::Bits32, 256);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_TRUE(types[0].name.empty());
  EXPECT_TRUE(types[1].name.empty());
  // A count beyond the records and a maximum length beyond the buffer end the list.
  bytes = TwoTypes32(16, base);
  Put(bytes, 0, 0xFFFFFFFF, 4);
  Put(bytes, 4 + 112 + 2, 0xFFFF, 2);
  EXPECT_EQ(ParseObjectTypes(bytes.data(), bytes.size(), base, RecordLayout::Bits32, 256).size(), 2u);
  EXPECT_EQ(ParseObjectTypes(bytes.data(), bytes.size(), base, RecordLayout::Bits32, 1).size(), 1u);
  EXPECT_TRUE(ParseObjectTypes(bytes.data(), 3, base, RecordLayout::Bits32, 256).empty());
}

// One entry per list, hand-laid: extended entries (class 64) carry 32- or 64-bit owner and
// value; short entries (class 16) a 16-bit owner above a back-trace index and a 16-bit value.
TEST(NativeRecords, HandleListsInBothClassesAndWidths) {
  struct Field { size_t offset, width; uint64_t value; };
  struct Case { uint32_t infoClass; RecordLayout layout; size_t countWidth, first, size; std::vector<Field> fields; uint32_t pid; uint64_t handle; };
  const Case cases[] = {
      {64, RecordLayout::Bits32, 4, 8, 28, {{4, 4, 70000}, {8, 4, 0x11170}, {12, 4, 0x80000001u}, {18, 2, 37}}, 70000, 0x11170},
      {64, RecordLayout::Bits64, 8, 16, 40, {{8, 8, 70000}, {16, 8, 0x11170}, {24, 4, 0x80000001u}, {30, 2, 37}}, 70000, 0x11170},
      {16, RecordLayout::Bits32, 4, 4, 16, {{0, 4, 0xBEEF1234}, {4, 1, 37}, {6, 2, 0x8004}, {12, 4, 0x80000001u}}, 0x1234, 0x8004},
      {16, RecordLayout::Bits64, 4, 8, 24, {{0, 4, 0xBEEF1234}, {4, 1, 37}, {6, 2, 0x8004}, {16, 4, 0x80000001u}}, 0x1234, 0x8004}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes;
    Put(bytes, 0, 1, c.countWidth);
    for (const Field& f : c.fields) Put(bytes, c.first + f.offset, f.value, f.width);
    bytes.resize(c.first + c.size);
    ASSERT_EQ(HandleEntryCount(bytes.data(), bytes.size(), c.infoClass, c.layout), 1u);
    HandleEntry entry;
    ASSERT_TRUE(ReadHandleEntry(bytes.data(), bytes.size(), c.infoClass, c.layout, 0, entry));
    EXPECT_EQ(entry.ownerPid, c.pid);
    EXPECT_EQ(entry.handleValue, c.handle);
    EXPECT_EQ(entry.typeNumber, 37u);
    EXPECT_EQ(entry.grantedAccess, 0x80000001u);
    EXPECT_FALSE(ReadHandleEntry(bytes.data(), bytes.size(), c.infoClass, c.layout, 1, entry));
    // The count is cut to the entries that fit.
    Put(bytes, 0, 5000000, 4);
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size(), c.infoClass, c.layout), 1u);
    EXPECT_EQ(HandleEntryCount(bytes.data(), bytes.size() - 1, c.infoClass, c.layout), 0u);
  }
}

TEST(NativeRecords, ObjectNameRecord) {
  for (RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) {
    const size_t p = layout == RecordLayout::Bits64 ? 8 : 4;
    const uint64_t base = 0x00C00000;
    std::vector<uint8_t> bytes(64, 0);
    Put(bytes, 0, 6, 2);
    Put(bytes, 2, 8, 2);
    Put(bytes, p, base + 2 * p, p);
    PutName(bytes, 2 * p, "KeyX");  // the length says three characters: the fourth is not taken
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
    EXPECT_FALSE(ParseObjectName(bytes.data(), p + 2, base, layout, name));
  }
}

// Parses every prefix of a valid reply, and many randomly corrupted copies, each from an
// exactly sized heap buffer; ASan turns any read outside into a failure.
TEST(NativeRecords, TruncatedAndCorruptedRepliesStayInsideTheirBuffer) {
  std::mt19937 random(12345);
  for (RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) {
    const uint64_t base = 0x00B00000;
    const std::vector<uint8_t> types = BuildObjectTypesReply({{"Type", 1, -1}, {"Directory", 2, 30}, {"Event", 3, 12}}, layout, base);
    std::vector<FakeEntry> entries;
    for (uint32_t i = 0; i < 5; ++i) entries.push_back({i * 4, i + 2, 0x1000u + i, 0x1F0000u | i});
    std::vector<std::vector<uint8_t>> lists = {BuildHandleListReply(entries, 16, layout), BuildHandleListReply(entries, 64, layout)};
    std::vector<uint8_t> name(64, 0);
    WriteObjectNameRecord(name, Widen("\\Device\\NamedPipe\\x"), layout, base);

    auto parseAll = [&](const std::vector<uint8_t>& t, const std::vector<uint8_t>& l16, const std::vector<uint8_t>& l64,
                        const std::vector<uint8_t>& n) {
      ParseObjectTypes(t.data(), t.size(), base, layout, 256);
      for (auto [list, infoClass] : {std::pair{&l16, 16u}, std::pair{&l64, 64u}}) {
        const uint64_t count = HandleEntryCount(list->data(), list->size(), infoClass, layout);
        HandleEntry entry;
        for (uint64_t i = 0; i <= count; ++i) ReadHandleEntry(list->data(), list->size(), infoClass, layout, i, entry);
      }
      std::u16string text;
      ParseObjectName(n.data(), n.size(), base, layout, text);
    };
    for (size_t cut = 0; cut <= types.size() || cut <= lists[1].size(); ++cut) {
      auto prefix = [cut](const std::vector<uint8_t>& v) {
        return std::vector<uint8_t>(v.begin(), v.begin() + std::min(cut, v.size()));
      };
      parseAll(prefix(types), prefix(lists[0]), prefix(lists[1]), prefix(name));
    }
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> t = types, l16 = lists[0], l64 = lists[1], n = name;
      for (std::vector<uint8_t>* v : {&t, &l16, &l64, &n})
        for (int flips = 0; flips < 4; ++flips) (*v)[random() % v->size()] = static_cast<uint8_t>(random());
      parseAll(t, l16, l64, n);
    }
  }
}

}  // namespace
}  // namespace lurvik
