// Per-handle resolution on the fake machine: the type branches, the duplication attempts, the
// failure paths that leave only the handle node and access line.
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

class ResolutionTest : public InventoryTest {
 protected:
  void SetUp() override {
    InventoryTest::SetUp();
    m.processes[500] = {"\\Device\\HarddiskVolume2\\a.exe"};
    m.processes[600] = {"\\Device\\HarddiskVolume2\\Windows\\b.exe"};
  }
  // Scans one handle of process 500 and returns its lines under the type node.
  std::string ScanOne(StandardRow row, uint32_t access, const FakeObject& object) {
    m.AddHandle(500, Type(row), 0x44, access, object);
    TakeInventory(m);
    return HandleLines();
  }
};

FakeObject ProcessObject(uint32_t pid) {
  FakeObject object;
  object.kind = ObjectKind::Process;
  object.processId = pid;
  return object;
}

FakeObject ThreadObject(uint32_t tid, uint32_t pid) {
  FakeObject object;
  object.kind = ObjectKind::Thread;
  object.threadId = tid;
  object.processId = pid;
  return object;
}

TEST_F(ResolutionTest, ProcessHandle) {
  EXPECT_EQ(ScanOne(kProcess, 0x1000, ProcessObject(600)),
            "Handle: 68 [11]\n  Imagename: C:\\Windows\\b.exe [2]\n  PID: 600 [2]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n");
}

TEST_F(ResolutionTest, ProcessHandleWithoutIdOrPath) {
  FakeObject object = ProcessObject(600);
  object.processIdAnswer = 0;
  m.processes[600].imagePath = "\\Device\\HarddiskVolume2\\" + std::string(480, 'x') + ".exe";  // over 500
  EXPECT_EQ(ScanOne(kProcess, 0x1000, object), "Handle: 68 [11]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n");
}

TEST_F(ResolutionTest, ProcessHandleOnAVolumeWithoutLetterOrWithOnlyTheModuleName) {
  m.processes[600].imagePath = "\\Device\\HarddiskVolume7\\b.exe";
  EXPECT_EQ(ScanOne(kProcess, 0x1000, ProcessObject(600)), "Handle: 68 [11]\n  PID: 600 [2]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n");
}

TEST_F(ResolutionTest, ProcessHandleWithoutAnyImageEntryPoint) {
  m.missingEntryPoints = {EntryPoint::GetProcessImageFileNameA, EntryPoint::GetModuleFileNameExA, EntryPoint::GetProcessId};
  EXPECT_EQ(ScanOne(kProcess, 0x1000, ProcessObject(600)), "Handle: 68 [11]\n  Opened with Access Rights: 0x1000 (0x1F0FFF) [2]\n");
  EXPECT_EQ(m.statusTexts.front(), "...getting handles from 500 / unbekannt");
}

TEST_F(ResolutionTest, ThreadHandle) {
  EXPECT_EQ(ScanOne(kThread, 0x1FFFFF, ThreadObject(0, 600)),
            "Handle: 68 [11]\n  TID: 0 [4]\n  PID: 600 [4]\n  Imagename: C:\\Windows\\b.exe [4]\n"
            "  Opened with Access Rights: 0x1FFFFF (0x1F03FF) [4]\n");
  EXPECT_EQ(m.openCalls.back(), std::make_pair(0x410u, 600u));
}

TEST_F(ResolutionTest, ThreadHandleWhoseProcessCannotBeOpened) {
  m.processes[600].openable = false;
  EXPECT_EQ(ScanOne(kThread, 0x1FFFFF, ThreadObject(77, 600)),
            "Handle: 68 [11]\n  TID: 77 [4]\n  PID: 600 [4]\n  Opened with Access Rights: 0x1FFFFF (0x1F03FF) [4]\n");
}

TEST_F(ResolutionTest, ThreadHandleWithoutThreadEntryPoints) {
  m.missingEntryPoints = {EntryPoint::GetProcessIdOfThread};
  EXPECT_EQ(ScanOne(kThread, 1, ThreadObject(77, 600)), "Handle: 68 [11]\n  TID: 77 [4]\n  Opened with Access Rights: 0x1 (0x1F03FF) [4]\n");
}

TEST_F(ResolutionTest, ThreadHandleWithoutGetThreadId) {
  m.missingEntryPoints = {EntryPoint::GetThreadId};
  EXPECT_EQ(ScanOne(kThread, 1, ThreadObject(77, 600)), "Handle: 68 [11]\n  Opened with Access Rights: 0x1 (0x1F03FF) [4]\n");
}

TEST_F(ResolutionTest, TokenHandles) {
  FakeObject named;
  named.kind = ObjectKind::Token;
  named.userName = "Administrator";
  FakeObject nameless;
  nameless.kind = ObjectKind::Token;
  m.AddHandle(500, Type(kToken), 0x10, 8, named);
  m.AddHandle(500, Type(kToken), 0x14, 8, nameless);
  TakeInventory(m);
  EXPECT_EQ(HandleLines(), "Handle: 16 [11]\n  Username: Administrator [9]\n  Opened with Access Rights: 0x8 (0xF01FF) [9]\n"
                           "Handle: 20 [11]\n  Opened with Access Rights: 0x8 (0xF01FF) [9]\n");
}

TEST_F(ResolutionTest, NamedObjectsAndTheirImages) {
  FakeObject desktop, station, event, key;
  desktop.name = Widen("\\Default");
  station.name = Widen("\\Sessions\\1\\Windows\\WindowStations\\WinSta0");
  key.name = Widen("\\REGISTRY\\MACHINE");
  m.AddHandle(500, Type(kDesktop), 0x10, 1, desktop);
  m.AddHandle(500, Type(kWindowStation), 0x14, 2, station);
  m.AddHandle(500, Type(kEvent), 0x18, 3, event);  // unnamed
  m.AddHandle(500, Type(kKey), 0x1C, 4, key);
  CurrentLanguage = 1;
  TakeInventory(m);
  EXPECT_EQ(HandleLines(),
            "Handle: 28 [11]\n  Objektname: \\REGISTRY\\MACHINE [12]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x4 (0xF003F) [12]\n"
            "Handle: 24 [11]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x3 (0x1F0003) [11]\n"
            "Handle: 16 [11]\n  Objektname: \\Default [8]\n  Ge\xF6" "ffnet mit Zugriffsrechten: 0x1 (0xF01FF) [8]\n"
            "Handle: 20 [11]\n  Objektname: \\Sessions\\1\\Windows\\WindowStations\\WinSta0 [10]\n"
            "  Ge\xF6" "ffnet mit Zugriffsrechten: 0x2 (0xF037F) [10]\n");
}

TEST_F(ResolutionTest, DuplicationFallsBackOnlyAfterAccessDenied) {
  FakeObject secondTry, thirdTry, never, otherError;
  secondTry.name = thirdTry.name = never.name = otherError.name = Widen("\\x");
  secondTry.duplicationErrors = {5};
  thirdTry.duplicationErrors = {5, 5};
  never.duplicationErrors = {5, 5, 5};
  otherError.duplicationErrors = {6};
  m.AddHandle(500, Type(kKey), 0x10, 1, secondTry);
  m.AddHandle(500, Type(kKey), 0x14, 1, thirdTry);
  m.AddHandle(500, Type(kKey), 0x18, 1, never);
  m.AddHandle(500, Type(kKey), 0x1C, 1, otherError);
  TakeInventory(m);
  EXPECT_EQ(m.duplicateAccesses, (std::vector<uint32_t>{0x80000000u, 1, 0x80000000u, 1, 0, 0x80000000u, 1, 0, 0x80000000u}));
  EXPECT_EQ(HandleLines(), "Handle: 16 [11]\n  Name of Object: \\x [12]\n  Opened with Access Rights: 0x1 (0xF003F) [12]\n"
                           "Handle: 20 [11]\n  Name of Object: \\x [12]\n  Opened with Access Rights: 0x1 (0xF003F) [12]\n"
                           "Handle: 24 [11]\n  Opened with Access Rights: 0x1 (0xF003F) [11]\n"
                           "Handle: 28 [11]\n  Opened with Access Rights: 0x1 (0xF003F) [11]\n");
}

TEST_F(ResolutionTest, OwnerThatCannotBeOpenedLeavesHandleAndAccessLine) {
  m.processes[500].refusedAccess = {0x40};
  EXPECT_EQ(ScanOne(kProcess, 0, ProcessObject(600)), "Handle: 68 [11]\n  Opened with Access Rights: 0x0 (0x1F0FFF) [11]\n");
  EXPECT_TRUE(m.duplicateAccesses.empty());
}

}  // namespace
}  // namespace lurvik
