// The window layer's event queue (collapse of identical neighbours, order, dropping a closed
// window's events) and the save dialog's filter and default-file rules.
#include "toolkit/dialogs.h"
#include "toolkit/event_queue.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace lurvik;

// An event equal in code, item, window and type to the last queued one collapses into it
// (the first one's data stay); anything else keeps its place. Dropping a window removes only
// its events. Events are code, item, window, type and data1.
TEST(EventQueue, IdenticalNeighboursCollapseOthersKeepOrder) {
  using Fields = std::tuple<int32_t, int32_t, intptr_t, int32_t, intptr_t>;
  struct Case { std::vector<Fields> posts; intptr_t dropped; std::vector<Fields> taken; };
  const Case cases[] = {
      {{{EVENT_MAXIMIZE, 0, 7, -1, 0}, {EVENT_SIZE, 0, 7, -1, 0}, {EVENT_SIZE, 0, 7, -1, 0}, {EVENT_SIZE, 0, 8, -1, 0},
        {EVENT_SIZE, 0, 7, -1, 0}},
       0,
       {{EVENT_MAXIMIZE, 0, 7, -1, 0}, {EVENT_SIZE, 0, 7, -1, 0}, {EVENT_SIZE, 0, 8, -1, 0}, {EVENT_SIZE, 0, 7, -1, 0}}},
      {{{EVENT_GADGET, 5, 1, 0, 11}, {EVENT_GADGET, 5, 1, 0, 99}, {EVENT_GADGET, 5, 1, 1, 0}, {EVENT_GADGET, 6, 1, 1, 0}},
       0,
       {{EVENT_GADGET, 5, 1, 0, 11}, {EVENT_GADGET, 5, 1, 1, 0}, {EVENT_GADGET, 6, 1, 1, 0}}},
      {{{EVENT_MOVE, 1, 1, -1, 0}, {EVENT_MOVE, 2, 2, -1, 0}, {EVENT_CLOSE, 1, 1, -1, 0}}, 1, {{EVENT_MOVE, 2, 2, -1, 0}}}};
  for (const Case& c : cases) {
    EventQueue queue;
    WindowEvent e;
    for (const Fields& f : c.posts) {
      std::tie(e.code, e.item, e.window, e.type, e.data1) = f;
      queue.Post(e);
    }
    if (c.dropped) queue.DropWindow(c.dropped);
    std::vector<Fields> taken;
    while (queue.Take(e)) taken.emplace_back(e.code, e.item, e.window, e.type, e.data1);
    EXPECT_EQ(taken, c.taken);
  }
}

TEST(EventQueue, EmptyQueueAndTakenEventsAllowRepost) {
  EventQueue queue;
  WindowEvent out;
  out.code = 42;
  EXPECT_FALSE(queue.Take(out));
  EXPECT_EQ(out.code, 42) << "an empty queue leaves the event untouched";
  const WindowEvent close = {EVENT_CLOSE, 1, 1, -1, 0};
  queue.Post(close);
  ASSERT_TRUE(queue.Take(out));
  queue.Post(close);  // the earlier one left the queue: not a duplicate
  EXPECT_EQ(queue.Size(), 1u);
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
