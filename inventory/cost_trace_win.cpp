// TakeTracedInventory: a forwarding InventorySystem that adds up the time of each kind of call
// with the performance counter. What the scan spends outside these calls is its own work
// (texts, the log, the walk). The table: one line "kind<TAB>calls<TAB>microseconds" per kind,
// then "total" for the whole scan.
#include "inventory/cost_trace_win.h"

#ifdef LURVIK_TEST_SEAMS
#include <windows.h>
#undef QueryDosDevice
#undef PathStripPath

#include <cstdio>
#include <string>

#include "inventory/inventory.h"
#endif

namespace lurvik {

#ifndef LURVIK_TEST_SEAMS
bool TakeTracedInventory(InventorySystem&) { return false; }
#else
namespace {

enum Kind { kNative, kOpenClose, kDuplicate, kProcessQuestions, kDrives, kPaths, kProbes, kDirect, kText, kTree, kStatus, kProgress, kSleep, kKinds };
const char* const kKindNames[kKinds] = {"native queries", "open and close", "duplicate", "process, thread, token",
                                        "drive letters", "path calls", "probe worker", "direct names", "wide to ansi",
                                        "tree batches", "status text", "progress", "sleep"};

int64_t Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

struct Cost { int64_t calls = 0, ticks = 0; };

class Timed {
 public:
  explicit Timed(Cost& cost) : cost_(cost), started_(Now()) {}
  ~Timed() { ++cost_.calls, cost_.ticks += Now() - started_; }
 private:
  Cost& cost_;
  int64_t started_;
};

class CostTracingSystem : public InventorySystem {
 public:
  explicit CostTracingSystem(InventorySystem& inner) : s_(inner) {}
  Cost costs[kKinds];

  RecordLayout Layout() const override { return s_.Layout(); }
  int32_t OsVersionCode() override { return s_.OsVersionCode(); }
  bool QuitRequested() override { return s_.QuitRequested(); }
  uint32_t TickMilliseconds() override { return s_.TickMilliseconds(); }
  NativeReply QueryObjectTypes(std::vector<uint8_t>& b) override { Timed t(costs[kNative]); return s_.QueryObjectTypes(b); }
  NativeReply QuerySystemInformation(uint32_t c, std::vector<uint8_t>& b) override {
    Timed t(costs[kNative]);
    return s_.QuerySystemInformation(c, b);
  }
  std::string WideToAnsi(const char16_t* c, size_t n, size_t m) override { Timed t(costs[kText]); return s_.WideToAnsi(c, n, m); }
  std::u16string UpperCaseWide(const std::u16string& w) override { Timed t(costs[kText]); return s_.UpperCaseWide(w); }
  uint32_t CurrentProcessId() override { return s_.CurrentProcessId(); }
  SysHandle OpenProcess(uint32_t a, uint32_t p) override { Timed t(costs[kOpenClose]); return s_.OpenProcess(a, p); }
  void CloseHandle(SysHandle h) override { Timed t(costs[kOpenClose]); s_.CloseHandle(h); }
  DuplicateResult DuplicateHandle(SysHandle o, uint64_t v, uint32_t a) override {
    Timed t(costs[kDuplicate]);
    return s_.DuplicateHandle(o, v, a);
  }
  bool EnableDebugPrivilege() override { return s_.EnableDebugPrivilege(); }
  void Sleep(uint32_t ms) override { Timed t(costs[kSleep]); s_.Sleep(ms); }
  bool ProcessCreationTime(SysHandle p, uint64_t& time) override {
    Timed t(costs[kProcessQuestions]);
    return s_.ProcessCreationTime(p, time);
  }
  bool HasEntryPoint(EntryPoint e) override { return s_.HasEntryPoint(e); }
  uint32_t GetProcessImageFileNameW(SysHandle p, std::u16string& text, uint32_t n) override {
    Timed t(costs[kProcessQuestions]);
    return s_.GetProcessImageFileNameW(p, text, n);
  }
  uint32_t GetModuleFileNameExW(SysHandle p, std::u16string& text, uint32_t n) override {
    Timed t(costs[kProcessQuestions]);
    return s_.GetModuleFileNameExW(p, text, n);
  }
  uint32_t GetProcessId(SysHandle h) override { Timed t(costs[kProcessQuestions]); return s_.GetProcessId(h); }
  uint32_t GetThreadId(SysHandle h) override { Timed t(costs[kProcessQuestions]); return s_.GetThreadId(h); }
  uint32_t GetProcessIdOfThread(SysHandle h) override { Timed t(costs[kProcessQuestions]); return s_.GetProcessIdOfThread(h); }
  bool LookupTokenUserName(SysHandle h, std::string& name) override {
    Timed t(costs[kProcessQuestions]);
    return s_.LookupTokenUserName(h, name);
  }
  std::string QueryDosDevice(const std::string& d) override { Timed t(costs[kDrives]); return s_.QueryDosDevice(d); }
  std::string PathStripPath(const std::string& p) override { Timed t(costs[kPaths]); return s_.PathStripPath(p); }
  bool IsDBCSLeadByte(uint8_t b) override { return s_.IsDBCSLeadByte(b); }
  int32_t StartProbeWorker() override { Timed t(costs[kProbes]); return s_.StartProbeWorker(); }
  void AskProbe(int32_t w, ProbeKind k, ProbeTrip trip) override {
    Timed t(costs[kProbes]);
    s_.AskProbe(w, k, std::move(trip));
  }
  bool AwaitProbe(int32_t w, uint32_t ms) override { Timed t(costs[kProbes]); return s_.AwaitProbe(w, ms); }
  void KillWorker(int32_t w) override { Timed t(costs[kProbes]); s_.KillWorker(w); }
  void EndProbeWorker(int32_t w) override { Timed t(costs[kProbes]); s_.EndProbeWorker(w); }
  void AskDirectly(ProbeKind k, ProbeStorage& st) override { Timed t(costs[kDirect]); s_.AskDirectly(k, st); }
  void SendTreeNodes(const TreeNodeBatch& b) override { Timed t(costs[kTree]); s_.SendTreeNodes(b); }
  void SetStatusText(const std::string& text) override { Timed t(costs[kStatus]); s_.SetStatusText(text); }
  void SetProgressPosition(int32_t p) override { Timed t(costs[kProgress]); s_.SetProgressPosition(p); }

 private:
  InventorySystem& s_;
};

}  // namespace

bool TakeTracedInventory(InventorySystem& system) {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("LURVIK_COST_TRACE", path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  CostTracingSystem traced(system);
  Cost total;
  {
    Timed t(total);
    TakeInventory(traced);
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const double microseconds = 1e6 / static_cast<double>(frequency.QuadPart);
  FILE* file = fopen(path, "w");
  if (file == nullptr) return true;
  for (int kind = 0; kind < kKinds; ++kind)
    fprintf(file, "%s\t%lld\t%.0f\n", kKindNames[kind], static_cast<long long>(traced.costs[kind].calls),
            static_cast<double>(traced.costs[kind].ticks) * microseconds);
  fprintf(file, "total\t1\t%.0f\n", static_cast<double>(total.ticks) * microseconds);
  fclose(file);
  return true;
}
#endif

}  // namespace lurvik
