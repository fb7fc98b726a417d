// The window's tree model: the order in which its finished nodes reach a control held to the
// documented rule of tree view inserts (TVI_LAST walks all of the parent's children, TVI_FIRST
// none), the finished tree, refused inserts whose children land at the root, slices; and find
// and copy over it: the tree's top-down order (not the order the nodes were made in), both
// directions, going round once, the processes inserted so far during a scan; letter case,
// whole words and double-byte characters; and a process's copy, which must equal its lines of
// the scan's own log.
#include <gtest/gtest.h>

#include <deque>

#include "shell/node_search.h"
#include "shell/subtree_text.h"
#include "tests/native/inventory_test_support.h"
#include "toolkit/tree_insertion.h"

namespace lurvik {
namespace {

bool NoLeadBytes(uint8_t) { return false; }
bool LeadByte95(uint8_t byte) { return byte == 0x95; }

// A tree view that walks what the documented rule makes it walk, and refuses a node whose text
// is "refused". Its own tree is the finished tree, written out with two blanks per level.
struct RuleControl : TreeControl {
  struct Item { std::string text; std::deque<uintptr_t> children; };
  std::vector<Item> items{1};  // [0] is the root
  uint64_t walked = 0, inserts = 0;
  uintptr_t Insert(uintptr_t parent, InsertPlace place, const char* text, int32_t image) override {
    ++inserts;
    if (std::string_view(text) == "refused") return 0;
    items.push_back({text + (" [" + std::to_string(image) + "]"), {}});
    std::deque<uintptr_t>& children = items.at(parent).children;
    if (place == InsertPlace::Last) walked += children.size();
    place == InsertPlace::First ? children.push_front(items.size() - 1) : children.push_back(items.size() - 1);
    return items.size() - 1;
  }
  std::string Text(uintptr_t item = 0, size_t depth = 0) const {
    std::string text = item == 0 ? "" : std::string(2 * (depth - 1), ' ') + items[item].text + "\n";
    for (uintptr_t child : items[item].children) text += Text(child, depth + 1);
    return text;
  }
};

// Holds nodes numbered from `first`, given as (text, parent), with image 1; `finished`: they and
// all before them are finished. Then inserts in slices of one node; returns the slices it took.
int Hold(TreeModel& model, TreeInsertion& insertion, RuleControl& control, NodeNumber first,
         const std::vector<std::pair<std::string, NodeNumber>>& nodes, bool finished = true) {
  for (size_t i = 0; i < nodes.size(); ++i) model.Add(first + static_cast<NodeNumber>(i), nodes[i].first, nodes[i].second, 1);
  if (finished) insertion.Finish(model.Count());
  int slices = 1;
  while (!insertion.Run(model, control, [] { return true; })) ++slices;
  return slices;
}

// The model's placed nodes in top-down order, as the control writes its tree.
std::string ModelText(const TreeModel& model) {
  std::string text;
  for (NodeNumber node = model.First(); node != 0; node = model.Next(node)) {
    for (NodeNumber up = model.Parent(node); up != 0; up = model.Parent(up)) text += "  ";
    text += std::string(model.Text(node)) + " [" + std::to_string(model.Image(node)) + "]\n";
  }
  return text;
}

NodeNumber Find(const TreeModel& model, NodeNumber from, const std::string& text, bool down) {
  TextMatcher matcher(text, false, false, NoLeadBytes);
  return FindNode(model, from, matcher, down);
}

// Made in the order of a scan: process 1, its types 2 (with handles 5 and 6 and their details)
// and 3 (empty) and 4 (handle 7, made between the handles of type 2), then process 10 with a
// type and a handle. Nothing is inserted before its process is finished; a process goes in in
// slices.
TEST(TreeInsertion, GivesTheTreeOfAppendingInNumberOrderWithoutWalkingAnyChildList) {
  TreeModel model;
  TreeInsertion insertion;
  RuleControl control;
  const std::vector<std::pair<std::string, NodeNumber>> process1 = {
      {"10 / a.exe", 0}, {"Event", 1}, {"File", 1}, {"Key", 1}, {"Handle: 4", 2}, {"Handle: 8", 4}, {"Handle: 12", 2},
      {"Name: a", 5}, {"Access: 1", 5}},
      process2 = {{"20 / b.exe", 0}, {"Event", 10}, {"Handle: 4", 11}};
  Hold(model, insertion, control, 1, process1, false);
  EXPECT_EQ(control.inserts, 0u) << "a process still walked is not inserted";
  EXPECT_EQ(Find(model, 0, "Handle", true), 0u) << "nor found";
  Hold(model, insertion, control, 10, process2);
  const std::string expected = "10 / a.exe [1]\n  Event [1]\n    Handle: 4 [1]\n      Name: a [1]\n      Access: 1 [1]\n"
                               "    Handle: 12 [1]\n  File [1]\n  Key [1]\n    Handle: 8 [1]\n"
                               "20 / b.exe [1]\n  Event [1]\n    Handle: 4 [1]\n";
  EXPECT_EQ(control.Text(), expected);
  EXPECT_EQ(ModelText(model), expected) << "the model's top-down order is the tree's";
  EXPECT_EQ(control.walked, 1u) << "only the second process's root insert walks (the first process)";
  EXPECT_EQ(model.NodeOfItem(model.Item(7)), 7u);
  std::vector<std::pair<std::string, NodeNumber>> process3(100, {"Handle", 13});
  process3[0] = {"30 / c.exe", 0};
  EXPECT_EQ(Hold(model, insertion, control, 13, process3), 2) << "100 inserts in slices of 64";
}

// A refused process node sends its types to the root; a refused type node its handles, and a
// refused handle node its details: at the root, in the order they were made, each followed by
// what stands under it.
TEST(TreeInsertion, ChildrenOfARefusedNodeLandAtTheRootInTheOrderTheyWereMade) {
  TreeModel model;
  TreeInsertion insertion;
  RuleControl control;
  Hold(model, insertion, control, 1,
       {{"10 / a.exe", 0}, {"refused", 1}, {"Key", 1}, {"Handle: 4", 2}, {"refused", 3}, {"Handle: 12", 2},
        {"Name: a", 5}, {"Access: 1", 5}, {"Access: 2", 4}, {"refused", 0}, {"Event", 10}, {"Handle: 8", 11}});
  const std::string expected = "10 / a.exe [1]\n  Key [1]\nHandle: 4 [1]\n  Access: 2 [1]\nHandle: 12 [1]\n"
                               "Name: a [1]\nAccess: 1 [1]\nEvent [1]\n  Handle: 8 [1]\n";
  EXPECT_EQ(control.Text(), expected);
  EXPECT_EQ(ModelText(model), expected);
  EXPECT_EQ(Find(model, 0, "refused", true), 0u);
  EXPECT_EQ(model.Parent(7), 0u);
}

// Made in the order of a scan: process 1, its types 2 and 3, a handle of type 3 (4) before one
// of type 2 (5), then process 6 and its handle 7. Top-down: 1, 2, 5, 3, 4, 6, 7.
TEST(NodeSearch, FollowsTheTopDownOrderBothWaysAndGoesRoundTheEndOnce) {
  TreeModel model;
  TreeInsertion insertion;
  RuleControl control;
  EXPECT_EQ(Find(model, 0, "x", true), 0u) << "an empty tree, down";
  EXPECT_EQ(Find(model, 0, "x", false), 0u) << "an empty tree, up";
  Hold(model, insertion, control, 1, {{"10 / a.exe", 0}, {"Event", 1}, {"File", 1}, {"Handle: 8", 3}, {"Handle: 4", 2},
                                      {"20 / b.exe", 0}, {"Handle: 12", 6}});
  const struct { NodeNumber from; bool down; NodeNumber found; } steps[] = {
      {0, true, 5}, {5, true, 4}, {4, true, 7}, {7, true, 5},     // down, round the end
      {0, false, 7}, {7, false, 4}, {4, false, 5}, {5, false, 7}};  // up, round the top
  for (const auto& step : steps)
    EXPECT_EQ(Find(model, step.from, "Handle", step.down), step.found) << "from " << step.from << (step.down ? " down" : " up");
  EXPECT_EQ(Find(model, 1, "handle: 12", true), 7u) << "the last node, from the top";
  EXPECT_EQ(Find(model, 6, "b.EXE", true), 6u) << "the only match is the selected node: found again, last";
  EXPECT_EQ(Find(model, 6, "b.exe", false), 6u);
  EXPECT_EQ(Find(model, 3, "nowhere", true), 0u);
  EXPECT_EQ(Find(model, 3, "nowhere", false), 0u);
}

TEST(TextMatcher, LetterCaseWholeWordsAndCharacterBoundaries) {
  const struct { const char* searched; bool matchCase, wholeWord; const char* text; bool matches; } cases[] = {
      {"handle.TXT", false, false, "Filename: C:\\Handle.txt", true},
      {"t\xFCr", false, false, "C:\\T\xDCR\\x", true},  // "tür" in "TÜR", Windows-1252
      {"t\xFCr", true, false, "C:\\T\xDCR\\x", false},
      {"Handle", true, false, "Handle: 8", true},
      {"event", false, true, "Name of Object: \\Event1", false},
      {"event", false, true, "\\BaseNamedObjects\\event", true},
      {"lurvik", false, true, "lurvik_x", false},
      {"\\e", false, true, "a\\e", true},  // the edge between "a" and "\" is a word's edge
      {"8", false, true, "Handle: 8", true},
      {"8", false, true, "Handle: 80", false},
  };
  for (const auto& c : cases) {
    TextMatcher matcher(c.searched, c.matchCase, c.wholeWord, NoLeadBytes);
    EXPECT_EQ(matcher.Matches(c.text), c.matches) << '"' << c.searched << "\" in \"" << c.text << '"';
  }
  // 0x95 0x5C and 0x95 0x61 are double-byte characters: their trail bytes are not "\" or "a".
  TextMatcher backslash("\\", false, false, LeadByte95), a("A", false, false, LeadByte95), whole("\x95\x5C", false, true, LeadByte95);
  EXPECT_FALSE(backslash.Matches("\x95\x5C.exe"));
  EXPECT_TRUE(backslash.Matches("C:\\\x95\x5C.exe"));
  EXPECT_FALSE(a.Matches("\x95\x61"));
  EXPECT_TRUE(whole.Matches("C:\\\x95\x5C.exe"));
  EXPECT_TRUE(TextMatcher("X.EXE", false, false, LeadByte95).Matches("\x95\x5Cx.exe")) << "letter case after a double-byte one";
}

// Every process node of a scan copies as exactly its lines of the log (type nodes without
// handles left out); a single detail copies as its text alone.
TEST_F(InventoryTest, AProcessNodeCopiesAsItsLinesOfTheLog) {
  m.AddHandle(500, Type(kEvent), 8, 1, {.name = u"\\E"});
  m.AddHandle(500, Type(kFile), 12, 0x12019F, {.fileType = 1, .name = u"\\Device\\HarddiskVolume2\\x.txt"});
  m.AddHandle(500, Type(kEvent), 16, 0);
  m.AddHandle(600, Type(kKey), 4, 0xF003F, {.name = u"\\REGISTRY\\MACHINE"});
  TakeInventory(m);
  const std::string log = LogBody();
  size_t processes = 0;
  for (NodeNumber node = m.kept.First(); node != 0; node = m.kept.NextSibling(node), ++processes) {
    const std::string label = std::string(m.kept.Text(node)) + "\r\n";
    const size_t start = log.find(label), end = log.find("\r\n6", start + 1);
    ASSERT_NE(start, std::string::npos) << label;
    EXPECT_EQ(SubtreeText(m.kept, node), log.substr(start, end == std::string::npos ? end : end + 2 - start));
  }
  EXPECT_EQ(processes, 2u);
  EXPECT_EQ(SubtreeText(m.kept, Find(m.kept, 0, "0x12019F", true)), "Opened with Access Rights: 0x12019F (0x1F01FF)\r\n");
}

}  // namespace
}  // namespace lurvik
