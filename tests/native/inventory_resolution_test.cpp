// Per-handle resolution on the fake machine: the type branches, the duplication attempts, the
// failure paths that leave only the handle node and access line.
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

// One handle 0x44 of process 500; process 600 is C:\Windows\b.exe.
TEST_F(InventoryTest, ProcessThreadAndTokenHandles) {
  const std::string longPath = "\\Device\\HarddiskVolume2\\" + std::string(480, 'x') + ".exe";  // over 500 bytes
  struct Case { const char* what; StandardRow row; uint32_t access; FakeObject object; std::set<EntryPoint> missing;
                std::string image600; bool openable600; std::string lines; } cases[] = {
      {"process", kProcess, 0x1000, {.pid = 600}, {}, "", true,
       "Handle: 68 [11]\n  Imagename: C:\\Windows\\b.exe [2]\n  PID: 600 [2]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n"},
      {"process without id", kProcess, 0x1000, {}, {}, "", true, "Handle: 68 [11]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n"},
      {"process path too long", kProcess, 1, {.pid = 600}, {}, longPath, true,
       "Handle: 68 [11]\n  PID: 600 [2]\n  Opened with Access Rights: 0x1 (0x1F0FFF) [2]\n"},
      {"process on a volume without letter", kProcess, 1, {.pid = 600}, {}, "\\Device\\HarddiskVolume7\\b.exe", true,
       "Handle: 68 [11]\n  PID: 600 [2]\n  Opened with Access Rights: 0x1 (0x1F0FFF) [2]\n"},
      {"process without image and id entry points", kProcess, 1, {.pid = 600},
       {EntryPoint::GetProcessImageFileNameW, EntryPoint::GetModuleFileNameExW, EntryPoint::GetProcessId}, "", true,
       "Handle: 68 [11]\n  Opened with Access Rights: 0x1 (0x1F0FFF) [2]\n"},
      {"thread", kThread, 0x1FFFFF, {.pid = 600}, {}, "", true,
       "Handle: 68 [11]\n  TID: 0 [4]\n  PID: 600 [4]\n  Imagename: C:\\Windows\\b.exe [4]\n  Opened with Access Rights: 0x1FFFFF (0x1F03FF) [4]\n"},
      {"thread of a closed process", kThread, 1, {.pid = 600, .tid = 77}, {}, "", false,
       "Handle: 68 [11]\n  TID: 77 [4]\n  PID: 600 [4]\n  Opened with Access Rights: 0x1 (0x1F03FF) [4]\n"},
      {"thread without GetProcessIdOfThread", kThread, 1, {.pid = 600, .tid = 77}, {EntryPoint::GetProcessIdOfThread}, "", true,
       "Handle: 68 [11]\n  TID: 77 [4]\n  Opened with Access Rights: 0x1 (0x1F03FF) [4]\n"},
      {"thread without GetThreadId", kThread, 1, {.pid = 600, .tid = 77}, {EntryPoint::GetThreadId}, "", true,
       "Handle: 68 [11]\n  Opened with Access Rights: 0x1 (0x1F03FF) [4]\n"},
      {"token", kToken, 8, {.user = "Administrator"}, {}, "", true,
       "Handle: 68 [11]\n  Username: Administrator [9]\n  Opened with Access Rights: 0x8 (0xF01FF) [9]\n"},
      {"token without user", kToken, 8, {}, {}, "", true, "Handle: 68 [11]\n  Opened with Access Rights: 0x8 (0xF01FF) [9]\n"},
  };
  for (const Case& c : cases) {
    NewCase(c.what);
    m.missingEntryPoints = c.missing;
    if (!c.image600.empty()) m.processes[600].imagePath = c.image600;
    m.processes[600].openable = c.openable600;
    m.AddHandle(500, Type(c.row), 0x44, c.access, c.object);
    TakeInventory(m);
    EXPECT_EQ(HandleLines(), c.lines) << c.what;
    if (c.missing.size() == 3) EXPECT_EQ(m.statusTexts.front(), "...getting handles from 500 / unbekannt") << c.what;
    if (c.row == kThread && c.missing.empty()) EXPECT_EQ(m.openCalls.back(), std::make_pair(0x410u, 600u)) << c.what;
  }
}

TEST_F(InventoryTest, NamedObjectsAndTheirImages) {
  m.AddHandle(500, Type(kDesktop), 0x10, 1, {.name = u"\\Default"});
  m.AddHandle(500, Type(kWindowStation), 0x14, 2, {.name = u"\\Sessions\\1\\Windows\\WindowStations\\WinSta0"});
  m.AddHandle(500, Type(kEvent), 0x18, 3);  // unnamed
  m.AddHandle(500, Type(kKey), 0x1C, 4, {.name = u"\\REGISTRY\\MACHINE"});
  CurrentLanguage = 1;
  TakeInventory(m);
  EXPECT_EQ(HandleLines(),
            "Handle: 28 [11]\n  Objektname: \\REGISTRY\\MACHINE [12]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x4 (0xF003F) [12]\n"
            "Handle: 24 [11]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x3 (0x1F0003) [11]\n"
            "Handle: 16 [11]\n  Objektname: \\Default [8]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x1 (0xF01FF) [8]\n"
            "Handle: 20 [11]\n  Objektname: \\Sessions\\1\\Windows\\WindowStations\\WinSta0 [10]\n"
            "  Ge\xF6" "ffnet mit Zugriffsrechten: 0x2 (0xF037F) [10]\n");
}

// Accesses: GENERIC_READ, then the type's query access, then none, each only after a refusal.
TEST_F(InventoryTest, DuplicationFallsBackOnlyAfterAccessDenied) {
  const std::vector<uint32_t> errors[] = {{5}, {5, 5}, {5, 5, 5}, {6}};
  for (uint64_t i = 0; i < 4; ++i) m.AddHandle(500, Type(kKey), 0x10 + 4 * i, 1, {.name = u"\\x", .duplicationErrors = errors[i]});
  TakeInventory(m);
  EXPECT_EQ(m.duplicateAccesses, (std::vector<uint32_t>{0x80000000u, 1, 0x80000000u, 1, 0, 0x80000000u, 1, 0, 0x80000000u}));
  EXPECT_EQ(HandleLines(), "Handle: 16 [11]\n  Name of Object: \\x [12]\n  Opened with Access Rights: 0x1 (0xF003F) [12]\n"
                           "Handle: 20 [11]\n  Name of Object: \\x [12]\n  Opened with Access Rights: 0x1 (0xF003F) [12]\n"
                           "Handle: 24 [11]\n  Opened with Access Rights: 0x1 (0xF003F) [11]\n"
                           "Handle: 28 [11]\n  Opened with Access Rights: 0x1 (0xF003F) [11]\n");
}

// Each entry of an owner that cannot be opened gets its handle node and access line; the
// opening is tried once for the process, not for each entry.
TEST_F(InventoryTest, OwnerThatCannotBeOpenedLeavesHandleAndAccessLine) {
  m.processes[500].refusedAccess = {0x40};
  m.AddHandle(500, Type(kProcess), 0x44, 0, {.pid = 600});
  m.AddHandle(500, Type(kEvent), 0x48, 1, {.name = u"\\x"});
  TakeInventory(m);
  EXPECT_EQ(HandleLines(), "Handle: 68 [11]\n  Opened with Access Rights: 0x0 (0x1F0FFF) [11]\n"
                           "Handle: 72 [11]\n  Opened with Access Rights: 0x1 (0x1F0003) [11]\n");
  EXPECT_TRUE(m.duplicateAccesses.empty());
  EXPECT_EQ(std::count(m.openCalls.begin(), m.openCalls.end(), std::make_pair(0x40u, 500u)), 1);
}

}  // namespace
}  // namespace lurvik
