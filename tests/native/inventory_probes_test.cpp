// The hang-safe queries: file handles told apart as pipes, folders and files, and the wait by
// probe phase: a probe is killed only inside its call, never while it is starting, and its
// result counts as soon as it has left its call.
#include "inventory/hang_safe_queries.h"
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

class ProbeTest : public InventoryTest {
 protected:
  void SetUp() override {
    InventoryTest::SetUp();
    m.processes[500] = {"\\Device\\HarddiskVolume2\\a.exe"};
    m.folders.insert("C:\\Temp");
  }
  std::string ScanFile(const FakeObject& object) {
    m.AddHandle(500, Type(kFile), 0x44, 0x100081, object);
    TakeInventory(m);
    return HandleLines();
  }
};

FakeObject FileObject(int32_t fileType, const std::string& name) {
  FakeObject object;
  object.kind = ObjectKind::File;
  object.fileType = fileType;
  object.name = Widen(name);
  return object;
}

TEST_F(ProbeTest, PipesFoldersAndFiles) {
  m.AddHandle(500, Type(kFile), 0x10, 1, FileObject(3, "\\Device\\NamedPipe\\lurvik"));
  m.AddHandle(500, Type(kFile), 0x14, 1, FileObject(3, ""));
  m.AddHandle(500, Type(kFile), 0x18, 1, FileObject(1, "\\Device\\HarddiskVolume2\\Temp"));
  m.AddHandle(500, Type(kFile), 0x1C, 1, FileObject(1, "\\Device\\HarddiskVolume2\\Temp\\log.txt"));
  m.AddHandle(500, Type(kFile), 0x20, 1, FileObject(1, "\\Device\\HarddiskVolume9\\nope.txt"));
  m.AddHandle(500, Type(kFile), 0x24, 1, FileObject(2, "\\Device\\ConDrv"));
  m.AddHandle(500, Type(kFile), 0x28, 1, FileObject(1, "\\??\\C:\\Temp\\wine.txt"));
  TakeInventory(m);
  EXPECT_EQ(HandleLines(),
            "Handle: 16 [11]\n  Name of Object: \\Device\\NamedPipe\\lurvik [5]\n  Opened with Access Rights: 0x1 (0x1F01FF) [5]\n"
            "Handle: 20 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [5]\n"
            "Handle: 24 [11]\n  Name of Folder: C:\\Temp [1]\n  Opened with Access Rights: 0x1 (0x1F01FF) [1]\n"
            "Handle: 28 [11]\n  Filename: C:\\Temp\\log.txt [7]\n  Opened with Access Rights: 0x1 (0x1F01FF) [7]\n"
            "Handle: 32 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [11]\n"
            "Handle: 36 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [11]\n"
            "Handle: 40 [11]\n  Filename: C:\\Temp\\wine.txt [7]\n  Opened with Access Rights: 0x1 (0x1F01FF) [7]\n");
  EXPECT_EQ(m.probesStarted, 7 + 6) << "a name is asked only for pipes and disk files";
  EXPECT_EQ(m.pauses, 0) << "probes that end before the first poll cost no pause";
}

TEST_F(ProbeTest, LongNamesAreCutFailedQueriesGiveNothing) {
  FakeObject longName;
  longName.name = Widen("\\" + std::string(3000, 'n'));
  FakeObject failing;
  failing.name = Widen("\\BaseNamedObjects\\x");
  failing.nameStatus = 0xC0000022u;
  m.AddHandle(500, Type(kEvent), 0x10, 1, longName);
  m.AddHandle(500, Type(kEvent), 0x14, 1, failing);
  TakeInventory(m);
  const std::string expected = "      Name of Object: \\" + std::string(2501, 'n') + "\r\n";
  EXPECT_NE(LogText.find(expected), std::string::npos);
  EXPECT_EQ(LogText.find("BaseNamedObjects"), std::string::npos);
}

TEST_F(ProbeTest, ProbesThatCannotStartGiveNoDetails) {
  m.failProbeStarts = true;
  EXPECT_EQ(ScanFile(FileObject(3, "\\Device\\NamedPipe\\x")), "Handle: 68 [11]\n  Opened with Access Rights: 0x100081 (0x1F01FF) [11]\n");
  EXPECT_EQ(m.pauses, 0);
}

// One name probe of an event, held in each phase for a number of pauses.
TEST_F(ProbeTest, ProbesAreKilledOnlyInsideTheirCall) {
  struct Case {
    const char* what;
    int start, inCall, end;
    bool named;
    int pauses, kills;
  } cases[] = {
      {"leaves its call in the last of 50 pauses", 0, 50, 0, true, 50, 0},
      {"still inside after 50 pauses: killed", 0, 51, 0, false, 50, 1},
      {"hung inside its call: killed", 0, kHangs, 0, false, 50, 1},
      {"never enters: given up after 2 s, not killed", kHangs, 0, 0, false, 2000, 0},
      {"enters late: then 50 more pauses and the kill", 1990, kHangs, 0, false, 2040, 1},
      {"enters late and leaves in time", 1990, 10, 0, true, 2000, 0},
      {"left its call, thread still ending: finished at once", 0, 0, kHangs, true, 0, 0},
      {"left after a slow start, thread never ends", 3, 0, kHangs, true, 3, 0},
  };
  for (const Case& c : cases) {
    m = FakeMachine();
    SetUp();
    FakeObject event;
    event.name = Widen("\\BaseNamedObjects\\x");
    event.probeStartPauses = c.start;
    event.namePolls = c.inCall;
    event.probeEndPauses = c.end;
    m.AddHandle(500, Type(kEvent), 0x10, 1, event);
    TakeInventory(m);
    EXPECT_EQ(HandleLines(), std::string("Handle: 16 [11]\n") + (c.named ? "  Name of Object: \\BaseNamedObjects\\x [11]\n" : "") +
                                 "  Opened with Access Rights: 0x1 (0x1F0003) [11]\n")
        << c.what;
    EXPECT_EQ(m.pauses, c.pauses) << c.what;
    EXPECT_EQ(m.kills, c.kills) << c.what;
    EXPECT_EQ(m.OpenHandleCount(), 0u) << c.what;
  }
}

}  // namespace
}  // namespace lurvik
