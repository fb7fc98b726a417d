// The window layer's event queue (collapse of identical neighbours, order, dropping a closed
// window's events) and the save dialog's filter and default-file rules.
#include "toolkit/dialogs.h"
#include "toolkit/event_queue.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lurvik;

namespace {
WindowEvent Event(int32_t code, int32_t item, intptr_t window, int32_t type = -1) {
  WindowEvent e;
  e.code = code;
  e.item = item;
  e.window = window;
  e.type = type;
  return e;
}

std::vector<int32_t> DrainCodes(EventQueue& queue) {
  std::vector<int32_t> codes;
  WindowEvent e;
  while (queue.Take(e)) codes.push_back(e.code);
  return codes;
}
}  // namespace

TEST(EventQueue, IdenticalNeighboursCollapseOthersKeepOrder) {
  EventQueue queue;
  queue.Post(Event(EVENT_MAXIMIZE, 0, 7));
  queue.Post(Event(EVENT_SIZE, 0, 7));
  queue.Post(Event(EVENT_SIZE, 0, 7));  // same as the last: dropped
  queue.Post(Event(EVENT_SIZE, 0, 8));  // other window: kept
  queue.Post(Event(EVENT_SIZE, 0, 7));  // not the same as the last any more: kept
  EXPECT_EQ(queue.Size(), 4u);
  EXPECT_EQ(DrainCodes(queue), (std::vector<int32_t>{EVENT_MAXIMIZE, EVENT_SIZE, EVENT_SIZE, EVENT_SIZE}));
}

TEST(EventQueue, CollapseComparesItemAndTypeButNotData) {
  EventQueue queue;
  WindowEvent first = Event(EVENT_GADGET, 5, 1, 0);
  first.data1 = 11;
  WindowEvent same = first;
  same.data1 = 99;
  queue.Post(first);
  queue.Post(same);                            // only the data differ: collapses, first kept
  queue.Post(Event(EVENT_GADGET, 5, 1, 1));    // other type
  queue.Post(Event(EVENT_GADGET, 6, 1, 1));    // other item
  WindowEvent out;
  ASSERT_TRUE(queue.Take(out));
  EXPECT_EQ(out.data1, 11);
  EXPECT_EQ(queue.Size(), 2u);
}

TEST(EventQueue, EmptyQueueAndTakenEventsAllowRepost) {
  EventQueue queue;
  WindowEvent out;
  out.code = 42;
  EXPECT_FALSE(queue.Take(out));
  EXPECT_EQ(out.code, 42);  // untouched
  queue.Post(Event(EVENT_CLOSE, 1, 1));
  ASSERT_TRUE(queue.Take(out));
  queue.Post(Event(EVENT_CLOSE, 1, 1));  // the earlier one left the queue: not a duplicate
  EXPECT_EQ(queue.Size(), 1u);
}

TEST(EventQueue, DropWindowRemovesOnlyThatWindow) {
  EventQueue queue;
  queue.Post(Event(EVENT_MOVE, 1, 1));
  queue.Post(Event(EVENT_MOVE, 2, 2));
  queue.Post(Event(EVENT_CLOSE, 1, 1));
  queue.DropWindow(1);
  WindowEvent out;
  ASSERT_TRUE(queue.Take(out));
  EXPECT_EQ(out.window, 2);
  EXPECT_FALSE(queue.Take(out));
}

TEST(SaveDialogRules, FilterSplitsAtBarsWithoutTrimming) {
  EXPECT_EQ(SaveDialogFilter("*.txt | *.log"), std::string("*.txt \0 *.log\0\0", 15));
  EXPECT_EQ(SaveDialogFilter("a|b|c|d"), std::string("a\0b\0c\0d\0\0", 9));
  EXPECT_EQ(SaveDialogFilter(""), std::string("\0\0", 2));
}

TEST(SaveDialogRules, DefaultFileSplitsAtLastBackslashAfterFirstCharacter) {
  // A backslash as the first character does not split: the name holds "\" and is dropped.
  const char* cases[][3] = {{"Lurvik_LOG.txt", "", "Lurvik_LOG.txt"}, {"C:\\logs\\today\\run.txt", "C:\\logs\\today", "run.txt"},
                            {"C:\\logs\\", "C:\\logs", ""}, {"\\run.txt", "", ""}, {"", "", ""}};
  for (auto& c : cases) {
    const SaveDialogStart start = SplitDefaultFile(c[0]);
    EXPECT_EQ(start.folder, c[1]) << c[0];
    EXPECT_EQ(start.fileName, c[2]) << c[0];
  }
}

TEST(SaveDialogRules, UnusableFileNamesAreDroppedLongOnesCut) {
  for (const char* bad : {"a?b", "a*b", "a/b", "a:b", "a<b", "a>b", "a|b", "a\"b", "a\tb"})
    EXPECT_EQ(SplitDefaultFile(bad).fileName, "") << bad;
  EXPECT_EQ(SplitDefaultFile("C:\\x\\a?b").folder, "C:\\x");  // the folder stays
  EXPECT_EQ(SplitDefaultFile("Grüße.log").fileName, "Grüße.log");  // bytes above 127 are fine
  std::string longName(300, 'n');
  EXPECT_EQ(SplitDefaultFile(longName).fileName, std::string(259, 'n'));
  // The cut happens before the check: a bad byte beyond byte 259 is cut away.
  EXPECT_EQ(SplitDefaultFile(std::string(259, 'n') + "?").fileName, std::string(259, 'n'));
}
