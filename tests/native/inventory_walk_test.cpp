// The scan as a whole on the fake machine: the type table, the calibration, the snapshot and
// its fallback, the walk with its labels, filter, status texts and progress, and the exact
// bytes of the log.
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

const std::string kBannerEnglish =
    "************************\r\n*  LOG-File of Lurvik  *\r\n************************\r\n\r\n";
const std::string kBannerGerman =
    "**************************\r\n*  LOG-Datei von Lurvik  *\r\n**************************\r\n\r\n";

TEST_F(InventoryTest, TypeNamesInAnyCaseWithBlanksAndTheirAccessMasks) {
  m.types = {{" process ", 0x1F0FFF}, {"THREAD", 0x1F03FF}, {"fiLe", 0x80000000u}, {"Gizmo", 0}, {"", 5}};
  for (int32_t code : {60, 65, 100}) {
    m.osVersionCode = code;
    LoadObjectTypes(m);
    std::string rows;  // rows 1..TypeCount as "name|query access|GenericAll"
    for (int32_t r = 1; r <= TypeCount; ++r)
      rows += TypeTable[r].TypeName + "|" + TypeTable[r].TypeQueryAccess + "|" + TypeTable[r].TypeGenericAll + "\n";
    EXPECT_EQ(rows, std::string(code > 60 ? "process|$1000|0x1F0FFF\nTHREAD|$800|0x1F03FF\n"
                                          : "process|$400|0x1F0FFF\nTHREAD|$40|0x1F03FF\n") +
                        "fiLe|$20|0x80000000\nGizmo|2147483648|0x0\n|2147483648|0x5\n")
        << "OS code " << code;
    EXPECT_EQ(ProcessTypeRow, 1);
  }
  m.types.assign(300, {"Event", 1});
  LoadObjectTypes(m);
  EXPECT_EQ(TypeCount, 256) << "longer lists are cut to the table";
}

TEST_F(InventoryTest, TypeListThatGrowsBetweenItsQueriesIsAskedOnceMore) {
  // 32-bit records: "Event" makes a list of 112 bytes; the added type (a name area of 200
  // bytes) makes it 296 bytes longer, more than the margin of 180 bytes can take.
  const FakeType added{"FilterConnectionPort", 0x1F0001, 200};
  // The list grows after each of the first growthQueries queries.
  struct Case { int growthQueries; std::vector<size_t> bufferSizes; std::vector<std::string> typeNames; };
  for (const Case& c : std::vector<Case>{{0, {5000, 292}, {"Event"}},
                                         {1, {5000, 292, 588}, {"Event", "FilterConnectionPort"}},
                                         {2, {5000, 292, 588}, {}}}) {  // grew again: given up
    m.types = {{"Event", 0x1F0003}};
    m.typeGrowth = {added};
    m.typeGrowthQueries = c.growthQueries;
    m.typeQuerySizes.clear();
    LoadObjectTypes(m);
    std::vector<std::string> names;
    for (int32_t r = 1; r <= TypeCount; ++r) names.push_back(TypeTable[r].TypeName);
    EXPECT_EQ(m.typeQuerySizes, c.bufferSizes) << "list growing after " << c.growthQueries << " queries";
    EXPECT_EQ(names, c.typeNames) << "list growing after " << c.growthQueries << " queries";
  }
}

// The search starts h + 800 entries before the end, h being the own handle's value (0x100,
// the first the fake hands out): of 2000 entries the one at index 943 is the first searched.
// Whatever finds nothing leaves the offset of the last calibration (5 here).
TEST_F(InventoryTest, CalibrationFindsTheOwnProcessHandleInItsWindowOnly) {
  struct Case { const char* what; uint32_t ownType; int matchAt; bool quit, openable; int32_t processRow, found, offset; };
  for (const Case& c : {Case{"found", 7, -1, false, true, 1, 1, 6}, Case{"not listed", 0, -1, false, true, 1, 0, 5},
                        Case{"quit", 9, -1, true, true, 1, 0, 5}, Case{"own process not openable", 9, -1, false, false, 1, 0, 5},
                        Case{"no Process type", 9, -1, false, true, 0, 0, 5}, Case{"just before the window", 0, 942, false, true, 1, 0, 5},
                        Case{"first in the window", 0, 943, false, true, 1, 1, 8}}) {
    NewCase(c.what);
    LoadObjectTypes(m);
    TypeNumberOffset = 5;
    ProcessTypeRow = c.processRow;
    m.ownProcessTypeNumber = c.ownType;
    m.quit = c.quit;
    m.processes[m.ownPid].openable = c.openable;
    if (c.matchAt >= 0) {
      m.handles.assign(2000, {4, 50, 0x100, 0});
      m.handles[c.matchAt] = {m.ownPid, 9, 0x100, 0x400};
    }
    EXPECT_EQ(CalibrateTypeNumbers(m), c.found) << c.what;
    EXPECT_EQ(TypeNumberOffset, c.offset) << c.what;
    if (c.found) EXPECT_EQ(m.openCalls.back(), std::make_pair(0x400u, m.ownPid)) << c.what;
  }
}

TEST_F(InventoryTest, EmptyOrFailedSnapshotLogsTheBannerOnlyInBothLanguages) {
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish);
  EXPECT_EQ(StatusText, "Ready! ");
  CurrentLanguage = 1;
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerGerman);
  CurrentLanguage = 0;
  m.AddHandle(500, Type(kEvent), 8, 1);
  m.handleListStatus = 0xC0000017u;  // no memory
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish);
  EXPECT_TRUE(m.tree.empty() && m.progress.empty());
  EXPECT_EQ(m.statusTexts, (std::vector<std::string>{"Ready! ", "Fertig!", "Ready! "}));
}

// Calibration and walk each probe with 24 bytes, then read with the reported length +
// 20,000,000; the short list (16-bit owner and value) only after the extended one is refused.
TEST_F(InventoryTest, ExtendedListFirstShortListOnlyWhenRefusedInBothWidths) {
  const std::tuple<RecordLayout, bool, std::vector<uint32_t>, size_t, const char*> cases[] = {
      {RecordLayout::Bits32, false, {64, 64, 64, 64}, 8 + 28, "70000"},
      {RecordLayout::Bits64, false, {64, 64, 64, 64}, 16 + 40, "70000"},
      {RecordLayout::Bits32, true, {64, 16, 16, 64, 16, 16}, 4 + 16, "4464"},
      {RecordLayout::Bits64, true, {64, 16, 16, 64, 16, 16}, 8 + 24, "4464"}};
  for (const auto& [layout, refused, classes, listSize, number] : cases) {
    NewCase(number);
    m.layout = layout;
    m.extendedListRefused = refused;
    m.processes[70000] = m.processes[4464] = {"\\Device\\HarddiskVolume2\\Windows\\explorer.exe"};
    m.AddHandle(70000, Type(kFile), 0x11170, 0x12019F, {.fileType = 3, .name = u"\\Device\\NamedPipe\\lurvik"});
    m.objects[{4464, 0x1170}] = m.objects[{70000, 0x11170}];
    TakeInventory(m);
    EXPECT_EQ(std::vector<uint32_t>(m.queriedClasses.end() - 4, m.queriedClasses.end()), (std::vector<uint32_t>{classes.back(), 5, 5, classes.back()}))
        << number << ": the process list is read between the sizing and the query of the snapshot";
    std::erase(m.queriedClasses, 5u);
    EXPECT_EQ(m.queriedClasses, classes) << number;
    EXPECT_EQ(m.queriedSizes.back(), 20000000u + listSize) << number;
    EXPECT_EQ(LogBody(), number + std::string(" / explorer.exe\r\n  File\r\n    Handle: ") + number +
                             "\r\n      Name of Object: \\Device\\NamedPipe\\lurvik\r\n      Opened with Access Rights: 0x12019F (0x1F01FF)\r\n");
  }
}

// Without GetProcessImageFileNameW (older systems) the module file name names the process,
// which Windows XP (code 60) opens with query information instead of limited query.
TEST_F(InventoryTest, ProcessLabelsStatusTextsAndSleeps) {
  for (bool older : {false, true}) {
    NewCase(older ? "Windows XP" : "newer systems");
    if (older) m.missingEntryPoints = {EntryPoint::GetProcessImageFileNameW};
    m.osVersionCode = older ? 60 : 65;
    m.processes[500] = {"\\Device\\HarddiskVolume2\\Program Files\\Tool Box\\ tool.exe "};
    m.processes[600].refusedAccess = {0x1000};
    m.processes[700] = {"", "C:\\Windows\\mod.exe"};
    for (uint32_t pid : {0u, 4u, 500u, 600u, 700u, 800u}) m.AddHandle(pid, Type(kEvent), 4, 0);
    TakeInventory(m);
    const std::string from = "...getting handles from ";
    EXPECT_EQ(m.statusTexts, (std::vector<std::string>{from + "0 / [System Process]", from + "4 / System",
                                                       from + (older ? "500 / unbekannt" : "500 / tool.exe"), from + "600 / unbekannt",
                                                       from + (older ? "700 / mod.exe" : "700 / unbekannt"), from + "800 / unbekannt",
                                                       "Ready! "}));
    EXPECT_EQ(m.sleeps, 6);
    EXPECT_EQ(m.debugPrivilegeCalls, 1);
    std::vector<uint32_t> named;  // ids 0 and 4 are never opened for their names
    for (auto call : m.openCalls)
      if (call.first == (older ? 0x400u : 0x1000u) && call.second != m.ownPid) named.push_back(call.second);
    EXPECT_EQ(named, (std::vector<uint32_t>{500, 600, 700, 800})) << (older ? "Windows XP" : "newer systems");
  }
}

// Hidden processes are still named in the status bar but open nothing for duplication; a shown
// process's owner is opened once for all of its entries, and once more for a later run of them.
TEST_F(InventoryTest, FilterInAnyLetterCaseShowsOnlyMatchingProcesses) {
  ProcessFilter = "NOTEPAD.exe";
  m.processes[500] = {"\\Device\\HarddiskVolume2\\Windows\\Notepad.EXE"};
  for (uint32_t pid : {0u, 4u, 600u}) m.AddHandle(pid, Type(kEvent), 4, 0);
  m.AddHandle(600, Type(kEvent), 8, 0);
  m.AddHandle(500, Type(kEvent), 12, 0x1F0003);
  m.AddHandle(500, Type(kEvent), 16, 1);
  m.AddHandle(600, Type(kEvent), 20, 0);
  m.AddHandle(500, Type(kEvent), 24, 1);
  TakeInventory(m);
  EXPECT_EQ(LogBody(), "500 / Notepad.EXE\r\n  Event\r\n    Handle: 12\r\n      Opened with Access Rights: 0x1F0003 (0x1F0003)\r\n"
                       "    Handle: 16\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
                       "500 / Notepad.EXE\r\n  Event\r\n    Handle: 24\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n");
  EXPECT_EQ(m.tree.front().line + " " + std::to_string(m.tree.size()), "500 / Notepad.EXE [0] 24");
  EXPECT_EQ(m.statusTexts.size(), 7u);
  std::vector<uint32_t> owners;
  for (auto call : m.openCalls)
    if (call.first == 0x40u) owners.push_back(call.second);
  EXPECT_EQ(owners, (std::vector<uint32_t>{500, 500}));
  EXPECT_EQ(m.duplicateAccesses.size(), 3u);
}

// The filter compares true characters: one the code page lacks (U+0101, shown "?") matches only
// itself, in either letter case; never its look-alike "a", another lacking character (U+0113)
// or a real "?". Names the code page holds compare as they always did.
TEST_F(InventoryTest, FilterFindsTheTrueNameNotItsLookAlike) {
  const struct { const char* filter; const char* shown; } cases[] = {
      {"C\u0100T.EXE", "700 / c?t.exe [0]\n"}, {"CAT.exe", "800 / cat.exe [0]\n"}, {"c?t.exe", ""}, {"c\u0113t.exe", ""}};
  for (const auto& c : cases) {
    NewCase(c.filter);
    ProcessFilter = c.filter;
    m.processes[700] = {"\\Device\\HarddiskVolume2\\c\u0101t.exe"};
    m.processes[800] = {"\\Device\\HarddiskVolume2\\cat.exe"};
    for (uint32_t pid : {700u, 800u}) m.AddHandle(pid, Type(kEvent), 4, 0);
    TakeInventory(m);
    std::string shown;  // the process nodes
    for (const auto& node : m.tree) shown += node.parent == 0 ? node.line + "\n" : "";
    EXPECT_EQ(shown, c.shown) << c.filter;
  }
}

TEST_F(InventoryTest, ExactLogAndTreeOfOneProcess) {
  m.processes[500] = {"\\Device\\HarddiskVolume2\\Windows\\notepad.exe"};
  m.AddHandle(500, Type(kEvent), 12, 0x1F0003);
  m.AddHandle(500, Type(kKey), 8, 0x20019, {.name = u"\\REGISTRY\\MACHINE\\SOFTWARE"});
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish +
                         "500 / notepad.exe\r\n"
                         "  Key\r\n    Handle: 8\r\n      Name of Object: \\REGISTRY\\MACHINE\\SOFTWARE\r\n"
                         "      Opened with Access Rights: 0x20019 (0xF003F)\r\n"
                         "  Event\r\n    Handle: 12\r\n      Opened with Access Rights: 0x1F0003 (0x1F0003)\r\n");
  EXPECT_EQ(m.TreeText(),
            "500 / notepad.exe [0]\n  Process [2]\n  Thread [4]\n  File [2]\n  Token [9]\n"
            "  Key [12]\n    Handle: 8 [11]\n      Name of Object: \\REGISTRY\\MACHINE\\SOFTWARE [12]\n"
            "      Opened with Access Rights: 0x20019 (0xF003F) [12]\n"
            "  Event [6]\n    Handle: 12 [11]\n      Opened with Access Rights: 0x1F0003 (0x1F0003) [11]\n"
            "  Desktop [8]\n  WindowStation [10]\n");
}

// Three entries, so the progress positions are 200/3, 300/3 and 400/3 cut to whole numbers.
TEST_F(InventoryTest, NonAdjacentRunsAreListedOncePerRun) {
  m.AddHandle(500, Type(kEvent), 4, 1);
  m.AddHandle(600, Type(kEvent), 4, 2);
  m.handles.push_back({500, Type(kKey), 4, 3});
  TakeInventory(m);
  EXPECT_EQ(LogBody(),
            "500 / a.exe\r\n  Event\r\n    Handle: 4\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
            "600 / b.exe\r\n  Event\r\n    Handle: 4\r\n      Opened with Access Rights: 0x2 (0x1F0003)\r\n"
            "500 / a.exe\r\n  Key\r\n    Handle: 4\r\n      Opened with Access Rights: 0x3 (0xF003F)\r\n");
  EXPECT_EQ(m.tree.size(), 3u * (1 + 8 + 2));
  EXPECT_EQ(m.progress, (std::vector<int32_t>{66, 100, 133}));
  const std::string log = LogText;
  m.refuseTreeInserts = true;
  TakeInventory(m);
  EXPECT_EQ(LogText, log) << "a tree that refuses every insert still gets the full log";
}

// The process list read right before the snapshot tells who held each id: 500 is listed with
// the time its handle gives; 600's id was given to a newer process after the list; 700 started
// after the list (whether before the snapshot or after it, no later list could tell); 800's
// creation time cannot be read; 900's query open is refused while duplication would be
// granted, and its id now has another holder. No clock is read at all, so one set back or
// forward changes nothing. Without a list every process is taken as the snapshot's.
TEST_F(InventoryTest, TheOwnerIsTheProcessListedWithTheCreationTimeItsHandleGives) {
  for (RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) {
    NewCase(layout == RecordLayout::Bits32 ? "32-bit" : "64-bit");
    m.layout = layout;
    m.processes[500].created = 77;
    m.processes[600] = {"\\Device\\HarddiskVolume2\\b.exe", "", true, {}, 90, {80}};
    m.processes[700] = {"\\Device\\HarddiskVolume2\\c.exe", "", true, {}, 55, {0}};
    m.processes[800] = {"\\Device\\HarddiskVolume2\\d.exe", "", true, {}, 0, {5}};
    m.processes[900] = {"\\Device\\HarddiskVolume2\\e.exe", "", true, {0x1000}, 41, {40}};
    for (uint32_t pid : {500, 600, 700, 800, 900}) {
      m.AddHandle(pid, Type(kToken), 4, 1, {.user = "u" + std::to_string(pid)});
      m.AddHandle(pid, Type(kToken), 8, 1, {.user = "u" + std::to_string(pid)});
    }
    TakeInventory(m);
    std::string unknown;
    for (const char* pid : {"600", "700", "800", "900"})
      unknown += pid + std::string(" / unbekannt\r\n  Token\r\n    Handle: 4\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n"
                                   "    Handle: 8\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n");
    EXPECT_EQ(LogBody(), "500 / a.exe\r\n  Token\r\n    Handle: 4\r\n      Username: u500\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n"
                         "    Handle: 8\r\n      Username: u500\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n" + unknown) << case_;
    std::vector<uint32_t> owners;
    for (auto call : m.openCalls)
      if (call.first == 0x40u) owners.push_back(call.second);
    EXPECT_EQ(owners, (std::vector<uint32_t>{500})) << case_ << ": no other process is opened for duplication";
    EXPECT_EQ(m.creationTimeQueries, 3) << case_ << ": one question per listed process, not per entry";
    EXPECT_EQ(m.unheldOpens[0x40], 0) << case_ << ": each owner is opened while the label's handle still holds its id";
    EXPECT_EQ(std::count(m.queriedClasses.begin(), m.queriedClasses.end(), 5u), 2) << case_ << ": a probe and one list";
  }

  NewCase("no process list");
  m.processListRefused = true;
  m.processes[600] = {"\\Device\\HarddiskVolume2\\b.exe", "", true, {}, 90, {80}};
  m.processes[900] = {"\\Device\\HarddiskVolume2\\e.exe", "", true, {0x1000}, 41, {40}};
  m.AddHandle(600, Type(kToken), 4, 1, {.user = "bob"});
  m.AddHandle(900, Type(kToken), 4, 1, {.user = "eve"});
  TakeInventory(m);
  EXPECT_EQ(LogBody(), "600 / b.exe\r\n  Token\r\n    Handle: 4\r\n      Username: bob\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n"
                       "900 / unbekannt\r\n  Token\r\n    Handle: 4\r\n      Username: eve\r\n      Opened with Access Rights: 0x1 (0xF01FF)\r\n");
}

TEST_F(InventoryTest, GermanLabelsAndUnsignedValues) {
  CurrentLanguage = 1;
  m.AddHandle(500, Type(kProcess), 0x8004, 0x80000000u, {.pid = 500});
  TakeInventory(m);
  EXPECT_EQ(LogBody(),
            "500 / a.exe\r\n  Process\r\n    Handle: 32772\r\n      Prozesserzeuger: C:\\a.exe\r\n      PID: 500\r\n"
            "      Ge\xF6" "ffnet mit Zugriffsrechten: 0x80000000 (0x1F0FFF)\r\n");
  EXPECT_EQ(m.statusTexts.front(), "...lese Handles von 500 / a.exe");
}

}  // namespace
}  // namespace lurvik
