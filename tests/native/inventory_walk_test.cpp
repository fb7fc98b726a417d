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
    ASSERT_EQ(TypeCount, 5);
    EXPECT_EQ(TypeTable[1].TypeName, "process");
    EXPECT_EQ(ProcessTypeRow, 1);
    EXPECT_EQ(TypeTable[1].TypeQueryAccess, code > 60 ? "$1000" : "$400");
    EXPECT_EQ(TypeTable[2].TypeQueryAccess, code > 60 ? "$800" : "$40");
    EXPECT_EQ(TypeTable[3].TypeQueryAccess, "$20");
    EXPECT_EQ(TypeTable[3].TypeGenericAll, "0x80000000");
    EXPECT_EQ(TypeTable[4].TypeQueryAccess, "2147483648");
    EXPECT_EQ(TypeTable[4].TypeGenericAll, "0x0");
    EXPECT_EQ(TypeTable[5].TypeName, "");
  }
  // Lists of more than 256 types are cut to the table.
  m.types.assign(300, {"Event", 1});
  LoadObjectTypes(m);
  EXPECT_EQ(TypeCount, 256);
}

TEST_F(InventoryTest, NoTypesReadStillShowsEveryHandle) {
  m.typesStatus = 0xC0000001u;
  m.processes[500] = {"\\Device\\HarddiskVolume2\\app.exe"};
  m.AddHandle(500, 9, 8, 0x1F0003);
  TakeInventory(m);
  EXPECT_EQ(TypeCount, 0);
  EXPECT_EQ(TypeTable[1].TypeName, "ObjectType 1");
  EXPECT_EQ(m.TreeText(), "500 / app.exe [0]\n  ObjectType 9 [6]\n    Handle: 8 [11]\n      Opened with Access Rights: 0x1F0003 [11]\n");
  EXPECT_EQ(LogBody(), "500 / app.exe\r\n  ObjectType 9\r\n    Handle: 8\r\n      Opened with Access Rights: 0x1F0003\r\n");
}

TEST_F(InventoryTest, TypeListThatGrowsBetweenItsQueriesIsAskedOnceMore) {
  // 32-bit records: "Event" makes a list of 112 bytes; the added type (a name area of 200
  // bytes) makes it 296 bytes longer, more than the margin of 180 bytes can take.
  const FakeType added{"FilterConnectionPort", 0x1F0001, 200};
  struct Case {
    int growthQueries;  // the list grows after each of this many queries
    std::vector<size_t> bufferSizes;
    std::vector<std::string> typeNames;
  };
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

TEST_F(InventoryTest, CalibrationFindsTheOwnProcessHandle) {
  LoadObjectTypes(m);
  m.ownProcessTypeNumber = 7;
  EXPECT_EQ(CalibrateTypeNumbers(m), 1);
  EXPECT_EQ(TypeNumberOffset, 6);
  EXPECT_EQ(m.openCalls.back(), std::make_pair(0x400u, m.ownPid));
  // Not found: the offset of the last calibration stays.
  m.ownProcessTypeNumber = 0;
  EXPECT_EQ(CalibrateTypeNumbers(m), 0);
  EXPECT_EQ(TypeNumberOffset, 6);
  // The own process cannot be opened, or the quit flag is set: nothing changes.
  m.ownProcessTypeNumber = 9;
  m.quit = true;
  EXPECT_EQ(CalibrateTypeNumbers(m), 0);
  m.quit = false;
  m.processes[m.ownPid].openable = false;
  EXPECT_EQ(CalibrateTypeNumbers(m), 0);
  EXPECT_EQ(TypeNumberOffset, 6);
  // No type named PROCESS: the calibration changes nothing.
  m.processes.erase(m.ownPid);
  ProcessTypeRow = 0;
  EXPECT_EQ(CalibrateTypeNumbers(m), 0);
  EXPECT_EQ(TypeNumberOffset, 6);
}

TEST_F(InventoryTest, CalibrationSearchesNearTheEndOfLongLists) {
  LoadObjectTypes(m);
  for (uint32_t i = 0; i < 3000; ++i) m.handles.push_back({m.ownPid, 50, 0x100, 0});  // same value, wrong type, early
  EXPECT_EQ(CalibrateTypeNumbers(m), 1);
  EXPECT_EQ(TypeNumberOffset, static_cast<int32_t>(kTypeShift)) << "entries before the window are not searched";
}

TEST_F(InventoryTest, EmptyOrFailedSnapshotLogsTheBannerOnlyInBothLanguages) {
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish);
  EXPECT_TRUE(m.tree.empty());
  EXPECT_TRUE(m.progress.empty());
  EXPECT_EQ(m.statusTexts, std::vector<std::string>{"Ready! "});
  EXPECT_EQ(StatusText, "Ready! ");
  CurrentLanguage = 1;
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerGerman);
  EXPECT_EQ(m.statusTexts.back(), "Fertig!");
  // A snapshot that cannot be read (no memory) shows nothing either.
  CurrentLanguage = 0;
  m.AddHandle(500, Type(kEvent), 8, 1);
  m.handleListStatus = 0xC0000017u;
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish);
  EXPECT_TRUE(m.progress.empty());
}

TEST_F(InventoryTest, ExtendedListFirstShortListOnlyWhenRefused) {
  m.processes[70000] = {"\\Device\\HarddiskVolume2\\big.exe"};
  m.AddHandle(70000, Type(kEvent), 0x11170, 0x1F0003);
  TakeInventory(m);
  // Calibration and walk each probe with 24 bytes, then read with reported length + 20,000,000.
  ASSERT_EQ(m.queriedClasses, (std::vector<uint32_t>{64, 64, 64, 64}));
  EXPECT_EQ(m.queriedSizes[0], 24u);
  EXPECT_EQ(m.queriedSizes[3], BuildHandleListReply(m.handles, 64, m.layout).size() + 20000000u);
  EXPECT_NE(LogText.find("70000 / big.exe\r\n"), std::string::npos);
  EXPECT_NE(LogText.find("    Handle: 70000\r\n"), std::string::npos) << "handle values above 65535 in full";
}

TEST_F(InventoryTest, ShortListWhenTheExtendedOneIsRefused) {
  m.extendedListRefused = true;
  m.processes[700] = {"\\Device\\HarddiskVolume2\\old.exe"};
  m.AddHandle(700, Type(kEvent), 0x8004, 0x1F0003);
  TakeInventory(m);
  EXPECT_EQ(m.queriedClasses, (std::vector<uint32_t>{64, 16, 16, 64, 16, 16}));
  EXPECT_EQ(TypeNumberOffset, static_cast<int32_t>(kTypeShift));
  EXPECT_NE(LogText.find("700 / old.exe\r\n  Event\r\n    Handle: 32772\r\n"), std::string::npos);
}

TEST_F(InventoryTest, ProgressPositionsOfFourEntries) {
  for (uint64_t value : {4, 8, 12, 16}) m.AddHandle(0, Type(kEvent), value, 0);
  TakeInventory(m);
  EXPECT_EQ(m.progress, (std::vector<int32_t>{50, 75, 100, 125}));
}

TEST_F(InventoryTest, ProcessLabelsStatusTextsAndSleeps) {
  m.processes[500] = {"\\Device\\HarddiskVolume2\\Program Files\\Tool Box\\ tool.exe "};
  m.processes[600] = {"\\Device\\HarddiskVolume2\\locked.exe"};
  m.processes[600].refusedAccess = {0x1000};
  m.processes[700] = {"", "C:\\Windows\\mod.exe"};  // only GetModuleFileNameExA would know
  for (uint32_t pid : {0u, 4u, 500u, 600u, 700u, 800u}) m.AddHandle(pid, Type(kEvent), 4, 0);
  TakeInventory(m);
  const std::vector<std::string> expected = {"...getting handles from 0 / [System Process]", "...getting handles from 4 / System",
                                             "...getting handles from 500 / tool.exe", "...getting handles from 600 / unbekannt",
                                             "...getting handles from 700 / unbekannt", "...getting handles from 800 / unbekannt",
                                             "Ready! "};
  EXPECT_EQ(m.statusTexts, expected);
  EXPECT_EQ(m.sleeps, 6);
  EXPECT_EQ(m.debugPrivilegeCalls, 1);
  // Ids 0 and 4 are never opened for their names; the others with query-limited access.
  for (auto call : m.openCalls) {
    if (call.first == 0x1000) EXPECT_TRUE(call.second >= 500) << call.second;
  }
}

TEST_F(InventoryTest, ModuleFileNameNamesTheProcessOnOlderSystems) {
  // Without GetProcessImageFileNameA the drive-form module name names the process.
  m.missingEntryPoints = {EntryPoint::GetProcessImageFileNameA};
  m.osVersionCode = 60;
  m.processes[700] = {"", "C:\\Windows\\mod.exe"};
  m.AddHandle(700, Type(kEvent), 4, 0);
  TakeInventory(m);
  EXPECT_EQ(m.statusTexts.front(), "...getting handles from 700 / mod.exe");
  EXPECT_EQ(m.openCalls[1], std::make_pair(0x400u, 700u)) << "Windows XP asks with query information";
  EXPECT_EQ(LogBody(), "700 / mod.exe\r\n  Event\r\n    Handle: 4\r\n      Opened with Access Rights: 0x0 (0x1F0003)\r\n");
}

TEST_F(InventoryTest, FilterInAnyLetterCaseShowsOnlyMatchingProcesses) {
  ProcessFilter = "NOTEPAD.exe";
  m.processes[500] = {"\\Device\\HarddiskVolume2\\Windows\\Notepad.EXE"};
  m.processes[600] = {"\\Device\\HarddiskVolume2\\Windows\\calc.exe"};
  m.AddHandle(0, Type(kEvent), 4, 0);
  m.AddHandle(4, Type(kEvent), 4, 0);
  m.AddHandle(600, Type(kEvent), 4, 0);
  m.AddHandle(600, Type(kEvent), 8, 0);
  m.AddHandle(500, Type(kEvent), 12, 0x1F0003);
  TakeInventory(m);
  EXPECT_EQ(LogBody(), "500 / Notepad.EXE\r\n  Event\r\n    Handle: 12\r\n      Opened with Access Rights: 0x1F0003 (0x1F0003)\r\n");
  EXPECT_EQ(m.tree.front().text, "500 / Notepad.EXE");
  EXPECT_EQ(m.statusTexts.size(), 5u) << "hidden processes are still named in the status bar";
  // Each hidden entry still costs one OpenProcess for duplication, but is never duplicated.
  int ownerOpens = 0;
  for (auto call : m.openCalls) ownerOpens += call.first == 0x40;
  EXPECT_EQ(ownerOpens, 5);
  EXPECT_EQ(m.duplicateAccesses.size(), 1u);
}

TEST_F(InventoryTest, ExactLogAndTreeOfOneProcess) {
  m.processes[500] = {"\\Device\\HarddiskVolume2\\Windows\\notepad.exe"};
  FakeObject event;
  FakeObject key;
  key.name = Widen("\\REGISTRY\\MACHINE\\SOFTWARE");
  m.AddHandle(500, Type(kEvent), 12, 0x1F0003, event);
  m.AddHandle(500, Type(kKey), 8, 0x20019, key);
  TakeInventory(m);
  EXPECT_EQ(LogText, kBannerEnglish +
                         "500 / notepad.exe\r\n"
                         "  Key\r\n"
                         "    Handle: 8\r\n"
                         "      Name of Object: \\REGISTRY\\MACHINE\\SOFTWARE\r\n"
                         "      Opened with Access Rights: 0x20019 (0xF003F)\r\n"
                         "  Event\r\n"
                         "    Handle: 12\r\n"
                         "      Opened with Access Rights: 0x1F0003 (0x1F0003)\r\n");
  EXPECT_EQ(m.TreeText(),
            "500 / notepad.exe [0]\n"
            "  Process [2]\n"
            "  Thread [4]\n"
            "  File [2]\n"
            "  Token [9]\n"
            "  Key [12]\n"
            "    Handle: 8 [11]\n"
            "      Name of Object: \\REGISTRY\\MACHINE\\SOFTWARE [12]\n"
            "      Opened with Access Rights: 0x20019 (0xF003F) [12]\n"
            "  Event [6]\n"
            "    Handle: 12 [11]\n"
            "      Opened with Access Rights: 0x1F0003 (0x1F0003) [11]\n"
            "  Desktop [8]\n"
            "  WindowStation [10]\n");
  for (const FakeMachine::TreeNode& node : m.tree) EXPECT_EQ(node.image, node.selectedImage);
}

TEST_F(InventoryTest, NonAdjacentRunsAreListedOncePerRun) {
  m.processes[500] = {"\\Device\\HarddiskVolume2\\a.exe"};
  m.processes[600] = {"\\Device\\HarddiskVolume2\\b.exe"};
  m.AddHandle(500, Type(kEvent), 4, 1);
  m.AddHandle(600, Type(kEvent), 4, 2);
  m.handles.push_back({500, Type(kKey), 4, 3});
  TakeInventory(m);
  EXPECT_EQ(LogBody(),
            "500 / a.exe\r\n  Event\r\n    Handle: 4\r\n      Opened with Access Rights: 0x1 (0x1F0003)\r\n"
            "600 / b.exe\r\n  Event\r\n    Handle: 4\r\n      Opened with Access Rights: 0x2 (0x1F0003)\r\n"
            "500 / a.exe\r\n  Key\r\n    Handle: 4\r\n      Opened with Access Rights: 0x3 (0xF003F)\r\n");
  EXPECT_EQ(m.tree.size(), 3u * (1 + 8 + 2));
  // A tree that refuses every insert still gets the full log.
  const std::string log = LogText;
  m.refuseTreeInserts = true;
  TakeInventory(m);
  EXPECT_EQ(LogText, log);
}

TEST_F(InventoryTest, GermanLabelsAndUnsignedValues) {
  CurrentLanguage = 1;
  m.processes[500] = {"\\Device\\HarddiskVolume2\\a.exe"};
  FakeObject process;
  process.kind = ObjectKind::Process;
  process.processId = 500;
  m.AddHandle(500, Type(kProcess), 0x8004, 0x80000000u, process);
  TakeInventory(m);
  EXPECT_EQ(LogBody(),
            "500 / a.exe\r\n  Process\r\n    Handle: 32772\r\n"
            "      Prozesserzeuger: C:\\a.exe\r\n      PID: 500\r\n"
            "      Ge\xF6" "ffnet mit Zugriffsrechten: 0x80000000 (0x1F0FFF)\r\n");
  EXPECT_EQ(m.statusTexts.front(), "...lese Handles von 500 / a.exe");
}

TEST_F(InventoryTest, SixtyFourBitLayoutEndToEnd) {
  m.layout = RecordLayout::Bits64;
  m.processes[70000] = {"\\Device\\HarddiskVolume2\\Windows\\explorer.exe"};
  FakeObject pipe;
  pipe.kind = ObjectKind::File;
  pipe.fileType = 3;
  pipe.name = Widen("\\Device\\NamedPipe\\lurvik");
  m.AddHandle(70000, Type(kFile), 0x12345, 0x12019F, pipe);
  TakeInventory(m);
  EXPECT_EQ(TypeNumberOffset, static_cast<int32_t>(kTypeShift));
  EXPECT_EQ(LogBody(), "70000 / explorer.exe\r\n  File\r\n    Handle: 74565\r\n"
                       "      Name of Object: \\Device\\NamedPipe\\lurvik\r\n"
                       "      Opened with Access Rights: 0x12019F (0x1F01FF)\r\n");
}

}  // namespace
}  // namespace lurvik
