// How the scan's output reaches the main thread: tree nodes in batches that give the same tree
// as one node at a time, sent when full, when 50 ms have passed, before every status text and
// at the end; none for the hidden window of an unattended run; progress positions only when
// they move.
#include <numeric>

#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

std::string TypeNodes(const std::string& eventChildren, const std::string& fileChildren) {
  return "  Process [2]\n  Thread [4]\n  File [2]\n" + fileChildren + "  Token [9]\n  Key [12]\n  Event [6]\n" + eventChildren +
         "  Desktop [8]\n  WindowStation [10]\n";
}

std::string EventNodes(uint64_t value, const std::string& name) {
  return "    Handle: " + std::to_string(value) + " [11]\n" + (name.empty() ? "" : "      Name of Object: " + name + " [11]\n") +
         "      Opened with Access Rights: 0x1 (0x1F0003) [11]\n";
}

// Process 500: 1,209 nodes (a full batch of 1,024 and 185 held until the next status text).
// Process 600: a file whose type question hangs for 50 pauses of 1 ms, so its access line is
// sent by the time rule with the 10 nodes before it; then an unnamed event (2 nodes), sent
// before "Ready! ".
TEST_F(InventoryTest, BatchesGiveTheTreeOfOneNodeAtATimeAndGoBeforeEachStatusText) {
  std::string events500;
  for (uint64_t i = 1; i <= 400; ++i) {
    m.AddHandle(500, Type(kEvent), 4 * i, 1, {.name = Widen("\\E" + std::to_string(i))});
    events500 += EventNodes(4 * i, "\\E" + std::to_string(i));
  }
  m.AddHandle(600, Type(kFile), 8, 0x12019F, {.fileType = 3, .fileTypePolls = kHangs});
  m.AddHandle(600, Type(kEvent), 12, 1);
  TakeInventory(m);

  EXPECT_EQ(m.TreeText(), "500 / a.exe [0]\n" + TypeNodes(events500, "") + "600 / b.exe [0]\n" +
                              TypeNodes(EventNodes(12, ""), "    Handle: 8 [11]\n      Opened with Access Rights: 0x12019F (0x1F01FF) [11]\n"));
  EXPECT_EQ(m.KeptTreeText(), m.TreeText()) << "the model, inserted from when each process is finished";
  ASSERT_EQ(m.batchSizes, (std::vector<size_t>{1024, 185, 11, 2}));
  EXPECT_EQ(m.batchTimes[2] - m.batchTimes[1], 50u) << "the third batch went by the time rule";
  EXPECT_EQ(m.kills, 1);
  // Every node reached the tree after its process's status text and before the next one.
  ASSERT_EQ(m.statusTexts.size(), 3u);
  for (size_t i = 0; i < m.tree.size(); ++i)
    ASSERT_EQ(m.tree[i].statusTextsBefore, i < 1209 ? 1u : 2u) << "node " << i << ": " << m.tree[i].line;
}

// Unattended (a log path given): no node is sent, the nodes are numbered as ever (the Event
// node of process 600 is number 19: 1 and 13 the processes, 2 to 9 and 14 to 21 their types,
// 10 to 12 the event of 500), and the log and status texts are the interactive scan's.
TEST_F(InventoryTest, AnUnattendedScanSendsNoNodesAndKeepsItsLog) {
  BatchLogPath = "C:\\lurvik.log";
  m.AddHandle(500, Type(kEvent), 8, 1, {.name = u"\\E"});
  m.AddHandle(600, Type(kFile), 12, 1, {.fileType = 1, .name = u"\\Device\\HarddiskVolume2\\x.txt"});
  TakeInventory(m);
  EXPECT_EQ(m.TreeText(), "");
  EXPECT_EQ(m.batchSizes.size(), 0u);
  EXPECT_EQ(TypeTable[kEvent].TypeNodeId, "19");
  EXPECT_EQ(LogBody(), "500 / a.exe\r\n  Event\r\n    Handle: 8\r\n      Name of Object: \\E\r\n"
                       "      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
                       "600 / b.exe\r\n  File\r\n    Handle: 12\r\n      Filename: C:\\x.txt\r\n"
                       "      Opened with Access Rights: 0x1 (0x1F01FF)\r\n");
  EXPECT_EQ(m.statusTexts, (std::vector<std::string>{"...getting handles from 500 / a.exe", "...getting handles from 600 / b.exe", "Ready! "}));
}

// Positions trunc((k + 1) x 100 / n) after entry k of n, each distinct value once, in order.
TEST_F(InventoryTest, ProgressGoesOnlyWhenItMoves) {
  for (uint64_t i = 1; i <= 4; ++i) m.AddHandle(500, Type(kEvent), 4 * i, 1);
  TakeInventory(m);
  EXPECT_EQ(m.progress, (std::vector<int32_t>{50, 75, 100, 125}));

  NewCase("250 entries");
  for (uint64_t i = 1; i <= 250; ++i) m.AddHandle(i % 2 ? 500 : 600, Type(kEvent), 4 * i, 1);
  TakeInventory(m);
  std::vector<int32_t> everyPosition(101);
  std::iota(everyPosition.begin(), everyPosition.end(), 0);
  EXPECT_EQ(m.progress, everyPosition) << "250 entries: 0 to 100, each once";
}

}  // namespace
}  // namespace lurvik
