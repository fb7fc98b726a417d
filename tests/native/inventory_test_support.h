// The fixture of the scan tests: program state reset before each test, a standard list of
// object types, and after each test the check that the scan closed every handle it opened.
#pragma once
#include <gtest/gtest.h>

#include <sstream>

#include "inventory/handle_snapshot.h"
#include "inventory/inventory.h"
#include "inventory/type_table.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "tests/native/fake_machine.h"

namespace lurvik {

// Rows of the standard type list; snapshot type numbers are row + kTypeShift.
enum StandardRow { kProcess = 1, kThread, kFile, kToken, kKey, kEvent, kDesktop, kWindowStation };
constexpr uint32_t kTypeShift = 2;
constexpr uint32_t Type(StandardRow row) { return row + kTypeShift; }

class InventoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillLanguageText();
    CurrentLanguage = 0;
    ProcessFilter.clear();
    BatchLogPath.clear();
    LogText.clear();
    StatusText.clear();
    TypeNumberOffset = ProcessTypeRow = TypeCount = 0;
    for (TypeRow& row : TypeTable) row = TypeRow();
    m = FakeMachine();
    m.types = {{"Process", 0x1F0FFF}, {"Thread", 0x1F03FF}, {"File", 0x1F01FF},  {"Token", 0xF01FF},
               {"Key", 0xF003F},      {"Event", 0x1F0003}, {"Desktop", 0xF01FF}, {"WindowStation", 0xF037F}};
    m.ownProcessTypeNumber = Type(kProcess);
    m.drives["C:"] = "\\Device\\HarddiskVolume2";
    m.processes[500] = {"\\Device\\HarddiskVolume2\\a.exe"};
    m.processes[600] = {"\\Device\\HarddiskVolume2\\Windows\\b.exe"};
  }
  void TearDown() override { ExpectEverythingClosed(); }
  // A test of several cases starts each with NewCase: the case before is checked as TearDown
  // checks the last one, then program state and machine start afresh.
  void NewCase(const std::string& what) {
    ExpectEverythingClosed();
    SetUp();
    case_ = what;
  }
  void ExpectEverythingClosed() {
    EXPECT_EQ(m.open.size(), 0u) << case_ << ": the scan left handles open";
    EXPECT_EQ(m.badCloses, 0) << case_ << ": the scan closed a handle it did not hold";
  }
  // The log without its banner.
  std::string LogBody() const { return LogText.substr(LogText.find("\r\n\r\n") + 4); }
  // The tree below the process nodes, without the type nodes.
  std::string HandleLines() const {
    std::istringstream all(m.TreeText());
    std::string line, lines;
    while (std::getline(all, line))
      if (line.compare(0, 4, "    ") == 0) lines += line.substr(4) + "\n";
    return lines;
  }

  FakeMachine m;
  std::string case_;
};

}  // namespace lurvik
