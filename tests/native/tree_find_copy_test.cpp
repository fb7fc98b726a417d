// Find and copy over the kept copy of the tree: the tree's top-down order (which is not the
// order the nodes were made in), both directions, going round once, the nodes kept so far during
// a scan; letter case, whole words and double-byte characters; and a process's copy, which must
// equal its lines of the scan's own log.
#include <gtest/gtest.h>

#include "shell/node_search.h"
#include "shell/subtree_text.h"
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

bool NoLeadBytes(uint8_t) { return false; }
bool LeadByte95(uint8_t byte) { return byte == 0x95; }

// Keeps nodes numbered from `first`, given as (text, parent); node n is item 0x100 * n, or 0
// (refused) when its text is "refused".
void KeepBatch(KeptNodes& kept, NodeNumber first, std::vector<std::pair<std::string, NodeNumber>> nodes) {
  TreeNodeBatch batch;
  batch.firstNumber = first;
  std::vector<uintptr_t> items(first + nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    batch.nodes.push_back({static_cast<uint32_t>(batch.texts.size()), static_cast<uint32_t>(nodes[i].first.size()),
                           nodes[i].second, 0});
    batch.texts += nodes[i].first + '\0';
    items[first + i] = nodes[i].first == "refused" ? 0 : 0x100 * (first + i);
  }
  kept.Keep(batch, items.data(), items.size());
}

NodeNumber Find(const KeptNodes& kept, NodeNumber from, const std::string& text, bool down) {
  TextMatcher matcher(text, false, false, NoLeadBytes);
  return FindNode(kept, from, matcher, down);
}

// Made in the order of a scan: process 1, its types 2 and 3, a handle of type 3 (4) before one
// of type 2 (5), then process 6 and its handle 7. Top-down: 1, 2, 5, 3, 4, 6, 7.
TEST(NodeSearch, FollowsTheTopDownOrderBothWaysAndGoesRoundTheEndOnce) {
  KeptNodes kept;
  EXPECT_EQ(Find(kept, 0, "x", true), 0u) << "an empty tree, down";
  EXPECT_EQ(Find(kept, 0, "x", false), 0u) << "an empty tree, up";
  KeepBatch(kept, 1, {{"10 / a.exe", 0}, {"Event", 1}, {"File", 1}, {"Handle: 8", 3}, {"Handle: 4", 2},
                      {"20 / b.exe", 0}, {"Handle: 12", 6}});
  const struct { NodeNumber from; bool down; NodeNumber found; } steps[] = {
      {0, true, 5}, {5, true, 4}, {4, true, 7}, {7, true, 5},     // down, round the end
      {0, false, 7}, {7, false, 4}, {4, false, 5}, {5, false, 7}};  // up, round the top
  for (const auto& step : steps)
    EXPECT_EQ(Find(kept, step.from, "Handle", step.down), step.found) << "from " << step.from << (step.down ? " down" : " up");
  EXPECT_EQ(Find(kept, 1, "handle: 12", true), 7u) << "the last node, from the top";
  EXPECT_EQ(Find(kept, 6, "b.EXE", true), 6u) << "the only match is the selected node: found again, last";
  EXPECT_EQ(Find(kept, 6, "b.exe", false), 6u);
  EXPECT_EQ(Find(kept, 3, "nowhere", true), 0u);
  EXPECT_EQ(Find(kept, 3, "nowhere", false), 0u);
}

// During a scan only the batches so far are kept; a refused node is not found and its children
// stand at the root, where the control put them; a new scan's first batch starts anew.
TEST(NodeSearch, SearchesTheNodesKeptSoFarAndStartsAnewWithANewScan) {
  KeptNodes kept;
  KeepBatch(kept, 1, {{"10 / a.exe", 0}, {"refused", 1}});
  EXPECT_EQ(Find(kept, 0, "Handle", true), 0u);
  KeepBatch(kept, 3, {{"Handle: 8", 2}, {"Handle: 9", 1}});
  EXPECT_EQ(Find(kept, 0, "refused", true), 0u);
  EXPECT_EQ(Find(kept, 0, "Handle", true), 4u) << "under the process, before the orphan at the root";
  EXPECT_EQ(Find(kept, 4, "Handle", true), 3u);
  EXPECT_EQ(kept.Parent(3), 0u);
  EXPECT_EQ(kept.NodeOfItem(0x300), 3u);
  KeepBatch(kept, 1, {{"30 / c.exe", 0}});
  EXPECT_EQ(kept.Count(), 1u);
  EXPECT_EQ(Find(kept, 0, "Handle", true), 0u);
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
