// Malformed replies fed through the whole scan on the fake machine, with the exact log each
// must give: empty and refused type lists, counts beyond the buffer, a type name running out
// of the reply, and type numbers that name no row of the type table.
#include "inventory/native_records.h"
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

// Process-list records, written at the offsets of SYSTEM_PROCESS_INFORMATION: the next
// record's offset at 0, CreateTime at 32, UniqueProcessId at 68 (32-bit) or 80 (64-bit). A
// record that leaves the buffer, an offset shorter than the fields read and an id wider than
// 32 bits end the list; nothing loops.
TEST(ProcessListRecords, AreReadInBothLayoutsAndEndAtAnyMalformedLink) {
  struct Case { const char* what; RecordLayout layout; std::vector<uint64_t> nexts; uint64_t lastId; size_t size; size_t read; };
  for (const Case& c : {Case{"32-bit", RecordLayout::Bits32, {200, 200, 0}, 3, 600, 3},
                        Case{"64-bit", RecordLayout::Bits64, {300, 300, 0}, 3, 900, 3},
                        Case{"next past the end", RecordLayout::Bits32, {200, 500, 0}, 3, 600, 2},
                        Case{"next inside the fields", RecordLayout::Bits32, {200, 4, 0}, 3, 600, 2},
                        Case{"next of 0 first", RecordLayout::Bits64, {0, 300, 0}, 3, 900, 1},
                        Case{"wide id", RecordLayout::Bits64, {300, 300, 0}, 1ull << 32, 900, 2},
                        Case{"last record cut", RecordLayout::Bits64, {300, 300, 0}, 3, 687, 2}}) {
    const bool wide = c.layout == RecordLayout::Bits64;
    std::vector<uint8_t> bytes(c.size, 0);
    size_t at = 0;
    for (size_t i = 0; i < c.nexts.size() && at < c.size; at += c.nexts[i++]) {
      Put(bytes, at, c.nexts[i], 4);
      Put(bytes, at + 32, 0x01D0000000000000ull + i, 8);
      Put(bytes, at + (wide ? 80 : 68), i + 1 == c.nexts.size() ? c.lastId : i + 1, wide ? 8 : 4);
      Put(bytes, at + (wide ? 88 : 72), 99, wide ? 8 : 4);  // the parent's id
      if (c.nexts[i] < (wide ? 88u : 72u)) break;
    }
    bytes.resize(c.size);
    const auto records = ParseProcessList(bytes.data(), bytes.size(), c.layout, 10);
    ASSERT_EQ(records.size(), c.read) << c.what;
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].processId, i + 1) << c.what;
      EXPECT_EQ(records[i].creationTime, 0x01D0000000000000ull + i) << c.what;
    }
  }
}

// Without a usable type list no row is filled, and every handle is listed under the type
// number the snapshot gives, without a GenericAll bracket.
TEST_F(InventoryTest, EmptyOrRefusedTypeListStillShowsEveryHandle) {
  for (uint32_t status : {0u, 0xC0000001u}) {
    NewCase("type list status " + std::to_string(status));
    m.typesReply = std::vector<uint8_t>(4, 0);  // a count of 0
    m.typesStatus = status;
    m.AddHandle(500, 9, 8, 0x1F0003);
    TakeInventory(m);
    EXPECT_EQ(TypeCount, 0);
    EXPECT_EQ(TypeTable[1].TypeName, "ObjectType 1");
    EXPECT_EQ(m.TreeText(), "500 / a.exe [0]\n  ObjectType 9 [6]\n    Handle: 8 [11]\n      Opened with Access Rights: 0x1F0003 [11]\n");
    EXPECT_EQ(LogBody(), "500 / a.exe\r\n  ObjectType 9\r\n    Handle: 8\r\n      Opened with Access Rights: 0x1F0003\r\n");
  }
}

// The type reply is read with 180 bytes of zeros behind it: a count beyond the records reads
// exactly one more record from them, nameless and with GenericAll 0, and stops there.
TEST_F(InventoryTest, TypeCountBeyondTheRecordsEndsAtTheBuffer) {
  m.typesReply = BuildObjectTypesReply(m.types, m.layout, m.Base(0xB00000));
  Put(*m.typesReply, 0, 0xFFFFFFFF, 4);
  m.AddHandle(500, Type(kEvent), 8, 1);
  m.AddHandle(500, 9 + kTypeShift, 12, 2);
  TakeInventory(m);
  EXPECT_EQ(TypeCount, 9);
  EXPECT_EQ(LogBody(), "500 / a.exe\r\n  Event\r\n    Handle: 8\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
                       "  \r\n    Handle: 12\r\n      Opened with Access Rights: 0x2 (0x0)\r\n");
}

// The second record (Event, at 4 + 96 + 16) claims a name longer than the reply: its name
// reads as empty, its mask stays, and the records after it are read as usual.
TEST_F(InventoryTest, TypeNameRunningOutOfTheReplyReadsAsEmpty) {
  m.types = {{"Process", 0x1F0FFF}, {"Event", 0x1F0003}, {"Key", 0xF003F}};
  m.typesReply = BuildObjectTypesReply(m.types, m.layout, m.Base(0xB00000));
  Put(*m.typesReply, 116, 0x7FFE, 2);
  m.AddHandle(500, 2 + kTypeShift, 8, 1);
  m.AddHandle(500, 3 + kTypeShift, 12, 2);
  TakeInventory(m);
  EXPECT_EQ(LogBody(), "500 / a.exe\r\n  \r\n    Handle: 8\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
                       "  Key\r\n    Handle: 12\r\n      Opened with Access Rights: 0x2 (0xF003F)\r\n");
}

// The snapshot is read with 20,000,000 zero bytes behind the reply: a count beyond the buffer
// is cut to the 500,001 entries of 40 bytes that fit (16 + 40 + 20,000,000 bytes), and the
// zero entries belong to process 0, hidden here by the filter.
TEST_F(InventoryTest, HandleCountBeyondTheBufferIsCutToIt) {
  m.layout = RecordLayout::Bits64;
  ProcessFilter = "a.exe";
  m.handleListReply = BuildHandleListReply({{500, kEvent, 8, 0x1F0003}}, 64, m.layout);
  Put(*m.handleListReply, 0, ~0ull, 8);
  TakeInventory(m);
  EXPECT_EQ(LogBody(), "500 / a.exe\r\n  Event\r\n    Handle: 8\r\n      Opened with Access Rights: 0x1F0003 (0x1F0003)\r\n");
  ASSERT_EQ(m.progress.size(), 101u) << "positions 0 to 100, each once";
  EXPECT_EQ(m.progress.back(), 100) << "the position counts against the entries that fit";
  EXPECT_EQ(m.statusTexts, (std::vector<std::string>{"...getting handles from 500 / a.exe",
                                                     "...getting handles from 0 / [System Process]", "Ready! "}));
}

// Type numbers that give no row 1..TypeCount (rows 0 and -1, beyond the list, the largest
// 16-bit number) never index the table: each gets a type node of its own after the listed
// types, without GenericAll, and is not duplicated.
TEST_F(InventoryTest, TypeNumbersOutsideTheListGetANodeOfTheirOwn) {
  const std::pair<uint32_t, uint32_t> entries[] = {{Type(kEvent), 1}, {200, 0x80000000u}, {kTypeShift, 3}, {200, 4}, {kTypeShift - 1, 6}};
  for (uint64_t i = 0; i < 5; ++i) m.AddHandle(500, entries[i].first, 0x10 + 4 * i, entries[i].second);
  m.AddHandle(600, 0xFFFF, 0x24, 5);
  TakeInventory(m);
  EXPECT_EQ(LogBody(),
            "500 / a.exe\r\n"
            "  Event\r\n    Handle: 16\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
            "  ObjectType 200\r\n    Handle: 20\r\n      Opened with Access Rights: 0x80000000\r\n"
            "    Handle: 28\r\n      Opened with Access Rights: 0x4\r\n"
            "  ObjectType 2\r\n    Handle: 24\r\n      Opened with Access Rights: 0x3\r\n"
            "  ObjectType 1\r\n    Handle: 32\r\n      Opened with Access Rights: 0x6\r\n"
            "600 / b.exe\r\n"
            "  ObjectType 65535\r\n    Handle: 36\r\n      Opened with Access Rights: 0x5\r\n");
  const std::string tree = m.TreeText();
  EXPECT_NE(tree.find("  WindowStation [10]\n  ObjectType 200 [6]\n    Handle: 20 [11]\n"), std::string::npos) << tree;
  EXPECT_EQ(m.duplicateAccesses.size(), 1u) << "unlisted types are not duplicated";
}

}  // namespace
}  // namespace lurvik
