// The hang-safe queries: file handles told apart as pipes, folders and files, probes that end
// in time or are killed after 50 pauses, and the proof (under ASan) that a killed probe which
// goes on later writes only into storage that is still alive.
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

// The running test comes before the tick count: 51 polls in the loop, then one more.
TEST_F(ProbeTest, ProbeEndingDuringTheLastPauseCountsAsFinished) {
  FakeObject slow = FileObject(3, "\\Device\\NamedPipe\\slow");
  slow.fileTypePolls = 51;
  EXPECT_EQ(ScanFile(slow), "Handle: 68 [11]\n  Name of Object: \\Device\\NamedPipe\\slow [5]\n"
                            "  Opened with Access Rights: 0x100081 (0x1F01FF) [5]\n");
  EXPECT_EQ(m.pauses, 50);
  EXPECT_EQ(m.kills, 0);
}

TEST_F(ProbeTest, ProbeStillRunningAfterFiftyPausesIsKilled) {
  FakeObject slow = FileObject(3, "\\Device\\NamedPipe\\slow");
  slow.fileTypePolls = 52;
  EXPECT_EQ(ScanFile(slow), "Handle: 68 [11]\n  Opened with Access Rights: 0x100081 (0x1F01FF) [11]\n");
  EXPECT_EQ(m.pauses, 50);
  EXPECT_EQ(m.kills, 1);
  EXPECT_EQ(m.probesStarted, 1) << "no name is asked after an abandoned type probe";
}

TEST_F(ProbeTest, ProbesThatCannotStartGiveNoDetails) {
  m.failProbeStarts = true;
  EXPECT_EQ(ScanFile(FileObject(3, "\\Device\\NamedPipe\\x")), "Handle: 68 [11]\n  Opened with Access Rights: 0x100081 (0x1F01FF) [11]\n");
  EXPECT_EQ(m.pauses, 0);
}

// Hung probes run on real threads. After the kill the scan drops its storage; the test then
// lets the threads go on, and they write into their storage. ASan would report a write into
// freed memory if the storage were not kept until the thread has ended.
TEST_F(ProbeTest, HungProbesAreKilledAndNeverWriteIntoFreedStorage) {
  FakeObject hungType = FileObject(1, "\\Device\\HarddiskVolume2\\x");
  hungType.fileTypePolls = kHangs;
  FakeObject hungPipeName = FileObject(3, "\\Device\\NamedPipe\\x");
  hungPipeName.namePolls = kHangs;
  FakeObject hungEventName;
  hungEventName.name = Widen("\\x");
  hungEventName.namePolls = kHangs;
  m.AddHandle(500, Type(kFile), 0x10, 1, hungType);
  m.AddHandle(500, Type(kFile), 0x14, 2, hungPipeName);
  m.AddHandle(500, Type(kEvent), 0x18, 3, hungEventName);
  TakeInventory(m);
  EXPECT_EQ(HandleLines(), "Handle: 16 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [11]\n"
                           "Handle: 20 [11]\n  Opened with Access Rights: 0x2 (0x1F01FF) [5]\n"
                           "Handle: 24 [11]\n  Opened with Access Rights: 0x3 (0x1F0003) [11]\n");
  EXPECT_EQ(m.kills, 3);
  EXPECT_EQ(m.pauses, 150);
  EXPECT_EQ(m.probesStarted, 4);
  // Only the three hung threads still hold storage; the scan holds none.
  int alive = 0;
  for (const std::weak_ptr<ProbeStorage>& storage : m.probeStorages) alive += storage.expired() ? 0 : 1;
  EXPECT_EQ(alive, 3);
  m.ReleaseHungProbes();
  m.JoinProbeThreads();
  for (const std::weak_ptr<ProbeStorage>& storage : m.probeStorages) EXPECT_TRUE(storage.expired());
}

}  // namespace
}  // namespace lurvik
