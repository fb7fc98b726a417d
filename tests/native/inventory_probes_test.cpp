// The hang-safe queries: file handles told apart as pipes, folders and files, and the wait by
// probe phase: a probe is killed only inside its call, never while it is starting, and its
// result counts as soon as it has left its call.
#include "inventory/hang_safe_queries.h"
#include "tests/native/inventory_test_support.h"

namespace lurvik {
namespace {

// A name is asked only for pipes and disk files, in the same trip to the worker as the type;
// one worker answers every question, and answers that are in before the first look cost no
// pause. Long names are cut to 2502 bytes, before a character that would not fit whole (on
// a double-byte code page where 0x95 0x5C is one character), failed name queries give nothing.
TEST_F(InventoryTest, PipesFoldersFilesAndNames) {
  m.leadBytes = {0x95};
  const std::pair<int32_t, const char16_t*> files[] = {
      {3, u"\\Device\\NamedPipe\\lurvik"}, {3, u""}, {1, u"\\Device\\HarddiskVolume2\\Temp"}, {1, u"\\Device\\HarddiskVolume2\\Temp\\log.txt"},
      {1, u"\\Device\\HarddiskVolume9\\nope.txt"}, {2, u"\\Device\\ConDrv"}, {1, u"\\??\\C:\\Temp\\wine.txt"}};
  for (uint64_t i = 0; i < 7; ++i)
    m.AddHandle(500, Type(kFile), 0x10 + 4 * i, 1, {.fileType = files[i].first, .folder = i == 2, .name = files[i].second});
  m.AddHandle(600, Type(kEvent), 0x10, 1, {.name = Widen("\\" + std::string(3000, 'n'))});
  m.AddHandle(600, Type(kEvent), 0x14, 1, {.name = u"\\BaseNamedObjects\\x", .nameStatus = 0xC0000022u});
  m.AddHandle(600, Type(kEvent), 0x18, 1, {.name = Widen("\\" + std::string(2500, 'n') + "\x95\x5C")});
  TakeInventory(m);
  EXPECT_EQ(HandleLines(),
            "Handle: 16 [11]\n  Name of Object: \\Device\\NamedPipe\\lurvik [5]\n  Opened with Access Rights: 0x1 (0x1F01FF) [5]\n"
            "Handle: 20 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [5]\n"
            "Handle: 24 [11]\n  Name of Folder: C:\\Temp [1]\n  Opened with Access Rights: 0x1 (0x1F01FF) [1]\n"
            "Handle: 28 [11]\n  Filename: C:\\Temp\\log.txt [7]\n  Opened with Access Rights: 0x1 (0x1F01FF) [7]\n"
            "Handle: 32 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [11]\n"
            "Handle: 36 [11]\n  Opened with Access Rights: 0x1 (0x1F01FF) [11]\n"
            "Handle: 40 [11]\n  Filename: C:\\Temp\\wine.txt [7]\n  Opened with Access Rights: 0x1 (0x1F01FF) [7]\n"
            "Handle: 16 [11]\n  Name of Object: \\" + std::string(2501, 'n') + " [11]\n  Opened with Access Rights: 0x1 (0x1F0003) [11]\n"
            "Handle: 20 [11]\n  Opened with Access Rights: 0x1 (0x1F0003) [11]\n"
            "Handle: 24 [11]\n  Name of Object: \\" + std::string(2500, 'n') + " [11]\n  Opened with Access Rights: 0x1 (0x1F0003) [11]\n");
  EXPECT_EQ(m.questionsAsked, 7) << "one question per file, its type and name together";
  EXPECT_EQ(m.tripsAsked, 1) << "the process's seven files in one trip";
  EXPECT_EQ(m.directQuestions, 3) << "event names on the scan thread";
  EXPECT_EQ(m.workersStarted, 1);
  EXPECT_EQ(m.workersEnded, 1) << "told to end with the scan";
  EXPECT_EQ(m.pauses, 0);
  EXPECT_EQ(m.dosDeviceQueries, 26) << "the drive letters are read once per scan";
}

// Only a scan that found its own handle knows which row a type number stands for; one that did
// not (its type numbers read with an offset kept from an earlier scan) asks every name on the
// bounded worker, with the same lines.
TEST_F(InventoryTest, WithoutCalibrationEveryNameGoesToTheWorker) {
  for (bool calibrated : {true, false}) {
    NewCase(calibrated ? "calibrated" : "not calibrated");
    m.ownProcessTypeNumber = calibrated ? Type(kProcess) : 0;
    TypeNumberOffset = kTypeShift;
    m.AddHandle(500, Type(kEvent), 4, 1, {.name = u"\\BaseNamedObjects\\e"});
    m.AddHandle(500, Type(kKey), 8, 1, {.name = u"\\REGISTRY\\USER"});
    TakeInventory(m);
    SCOPED_TRACE(calibrated ? "calibrated" : "not calibrated");
    EXPECT_EQ(LogBody(), "500 / a.exe\r\n  Key\r\n    Handle: 8\r\n      Name of Object: \\REGISTRY\\USER\r\n"
                         "      Opened with Access Rights: 0x1 (0xF003F)\r\n"
                         "  Event\r\n    Handle: 4\r\n      Name of Object: \\BaseNamedObjects\\e\r\n"
                         "      Opened with Access Rights: 0x1 (0x1F0003)\r\n");
    EXPECT_EQ(m.directQuestions, calibrated ? 2 : 0);
    EXPECT_EQ(m.questionsAsked, calibrated ? 0 : 2);
  }
}

TEST_F(InventoryTest, ProbesThatCannotStartGiveNoDetails) {
  m.failProbeStarts = true;
  m.AddHandle(500, Type(kFile), 0x44, 0x100081, {.fileType = 3, .name = u"\\Device\\NamedPipe\\x"});
  TakeInventory(m);
  EXPECT_EQ(HandleLines(), "Handle: 68 [11]\n  Opened with Access Rights: 0x100081 (0x1F01FF) [11]\n");
  EXPECT_EQ(m.pauses, 0);
}

// Two objects of a type whose names go to the worker, asked in turn; the worker is held in
// each phase of the first question for a number of pauses. A worker killed or given up is not
// asked again.
TEST_F(InventoryTest, ProbesAreKilledOnlyInsideTheirCallAndReusedOtherwise) {
  struct Case { const char* what; int start, inCall, end; const char* named; int pauses, kills, workers; } cases[] = {
      {"leaves its call in the last of 50 pauses", 0, 50, 0, "12", 50, 0, 1},
      {"still inside after 50 pauses: killed, a new worker", 0, 51, 0, "2", 50, 1, 2},
      {"hung inside its call: killed, a new worker", 0, kHangs, 0, "2", 50, 1, 2},
      {"never starts: given up after 2 s, not killed", kHangs, 0, 0, "2", 2000, 0, 2},
      {"enters late: then 50 more pauses and the kill", 1990, kHangs, 0, "2", 2040, 1, 2},
      {"enters late and leaves in time", 1990, 10, 0, "12", 2000, 0, 1},
      {"back for the next question after 5 pauses", 3, 0, 5, "12", 3 + 5, 0, 1},
      {"never back after its call: the next question given up", 0, 0, kHangs, "1", 2000, 0, 1},
  };
  for (const Case& c : cases) {
    NewCase(c.what);
    m.types[kEvent - 1].name = "ALPC Port";
    m.AddHandle(500, Type(kEvent), 0x10, 1,
                {.name = u"\\BaseNamedObjects\\1", .probeStartPauses = c.start, .namePolls = c.inCall, .probeEndPauses = c.end});
    m.AddHandle(500, Type(kEvent), 0x14, 1, {.name = u"\\BaseNamedObjects\\2"});
    TakeInventory(m);
    std::string expected;
    for (char event : std::string("12"))
      expected += std::string("Handle: ") + (event == '1' ? "16" : "20") + " [11]\n" +
                  (std::string(c.named).find(event) != std::string::npos ? std::string("  Name of Object: \\BaseNamedObjects\\") + event + " [11]\n" : "") +
                  "  Opened with Access Rights: 0x1 (0x1F0003) [11]\n";
    EXPECT_EQ(HandleLines(), expected) << c.what;
    EXPECT_EQ(std::to_string(m.pauses) + " pauses, " + std::to_string(m.kills) + " kills, " + std::to_string(m.workersStarted) + " workers",
              std::to_string(c.pauses) + " pauses, " + std::to_string(c.kills) + " kills, " + std::to_string(c.workers) + " workers")
        << c.what;
    EXPECT_EQ(m.workersStarted - m.kills, m.workersEnded) << c.what << ": every worker not killed is told to end";
  }
}

// The files of a stretch (the coming entries of one process, at most 64) go to the worker in
// one trip. Each call has its own bound of 50 pauses, counted from the first look that finds
// the worker inside it; a hung call is killed, and the files after it go to a new worker in a
// trip of their own; a question that never begins is given up after 2,000 pauses without a
// kill. The lines are those of files asked one by one. Kinds, one handle each (value 4, 8, 12,
// ...): F a file, P a pipe, C a character device (whose name, which would hang, is not asked),
// e a named event (asked on the scan thread), T a file whose type hangs, N a pipe whose name
// hangs, L a file whose type takes 30 pauses and whose name then hangs, Q one whose type takes
// 30 and whose name leaves in the last of its own 50, D a character device whose type takes
// 40 pauses, S a question the worker never begins, G a folder whose folder question hangs
// (shown as a file), O a folder whose folder question leaves in the last of its own 50;
// | moves the handles after it to process 600.
TEST_F(InventoryTest, TheFilesOfAStretchGoInOneTripEachCallWithItsOwnBound) {
  struct Case { const char* what; std::string kinds; const char* effort; } cases[] = {
      {"one file", "F", "0 pauses, 0 kills, 1 workers, 1 trips"},
      {"files among other types", "FeFPeC", "0 pauses, 0 kills, 1 workers, 1 trips"},
      {"a change of process ends the stretch", "FP|FF", "0 pauses, 0 kills, 1 workers, 2 trips"},
      {"a stretch ends after 64 entries", std::string(70, 'F'), "0 pauses, 0 kills, 1 workers, 2 trips"},
      {"the type hangs first", "TFP", "50 pauses, 1 kills, 2 workers, 2 trips"},
      {"the type hangs in the middle", "FTP", "50 pauses, 1 kills, 2 workers, 2 trips"},
      {"the type hangs last", "FPT", "50 pauses, 1 kills, 1 workers, 1 trips"},
      {"the name hangs first", "NFP", "50 pauses, 1 kills, 2 workers, 2 trips"},
      {"the name hangs in the middle", "FNP", "50 pauses, 1 kills, 2 workers, 2 trips"},
      {"the name hangs last", "FPN", "50 pauses, 1 kills, 1 workers, 1 trips"},
      {"every question hangs", "TNL", "180 pauses, 3 kills, 3 workers, 3 trips"},
      {"a slow type, then the name's own 50 pauses", "QF", "80 pauses, 0 kills, 1 workers, 1 trips"},
      {"two slow types in a row, each with its own 50 pauses", "DD", "80 pauses, 0 kills, 1 workers, 1 trips"},
      {"a question never begun is given up, not killed", "FSF", "2000 pauses, 0 kills, 2 workers, 2 trips"},
      {"after a kill in one process, the next one's stretch", "FT|F", "50 pauses, 1 kills, 2 workers, 2 trips"},
      {"a hung folder question leaves a file, the next folder gets its own 50", "GO", "100 pauses, 1 kills, 2 workers, 2 trips"},
  };
  for (const Case& c : cases) {
    NewCase(c.what);
    uint32_t pid = 500;
    std::string files, events;  // the lines expected under each type node
    for (size_t k = 0; k < c.kinds.size(); ++k) {
      const char kind = c.kinds[k];
      if (kind == '|') {
        files += events, events.clear(), pid = 600;
        continue;
      }
      const std::string value = std::to_string(4 * (k + 1)), n = std::to_string(k);
      FakeObject object{.fileType = 1, .name = Widen("\\Device\\HarddiskVolume2\\f" + n + ".txt")};
      if (kind == 'P' || kind == 'N') object.fileType = 3, object.name = Widen("\\Device\\NamedPipe\\p" + n);
      if (kind == 'C' || kind == 'D') object.fileType = 2, object.namePolls = kHangs;
      if (kind == 'D') object.fileTypePolls = 40;
      if (kind == 'T') object.fileTypePolls = kHangs;
      if (kind == 'N') object.namePolls = kHangs;
      if (kind == 'L' || kind == 'Q') object.fileTypePolls = 30, object.namePolls = kind == 'L' ? kHangs : 50;
      if (kind == 'S') object.probeStartPauses = kHangs;
      if (kind == 'G' || kind == 'O') object.folder = true, object.folderPolls = kind == 'G' ? kHangs : 50;
      if (kind == 'e') {
        m.AddHandle(pid, Type(kEvent), 4 * (k + 1), 1, {.name = Widen("\\BaseNamedObjects\\e" + n)});
        events += "Handle: " + value + " [11]\n  Name of Object: \\BaseNamedObjects\\e" + n +
                  " [11]\n  Opened with Access Rights: 0x1 (0x1F0003) [11]\n";
        continue;
      }
      m.AddHandle(pid, Type(kFile), 4 * (k + 1), 1, object);
      const std::string access = "  Opened with Access Rights: 0x1 (0x1F01FF) ";
      files += "Handle: " + value + " [11]\n";
      if (kind == 'F' || kind == 'Q' || kind == 'G') files += "  Filename: C:\\f" + n + ".txt [7]\n" + access + "[7]\n";
      else if (kind == 'O') files += "  Name of Folder: C:\\f" + n + ".txt [1]\n" + access + "[1]\n";
      else if (kind == 'P') files += "  Name of Object: \\Device\\NamedPipe\\p" + n + " [5]\n" + access + "[5]\n";
      else files += access + (kind == 'N' ? "[5]\n" : "[11]\n");
    }
    TakeInventory(m);
    EXPECT_EQ(HandleLines(), files + events) << c.what;
    EXPECT_EQ(std::to_string(m.pauses) + " pauses, " + std::to_string(m.kills) + " kills, " + std::to_string(m.workersStarted) +
                  " workers, " + std::to_string(m.tripsAsked) + " trips",
              c.effort)
        << c.what;
    EXPECT_EQ(m.workersStarted - m.kills, m.workersEnded) << c.what << ": every worker not killed is told to end";
    EXPECT_LE(m.mostCopiesOpen, 64) << c.what << ": one stretch's copies at a time";
  }
}

}  // namespace
}  // namespace lurvik
