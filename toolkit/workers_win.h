// Worker threads known by a small positive number: started, polled without blocking, killed
// from outside, and a pause with a 1 ms timer resolution for polling them.
#pragma once
#include <windows.h>

#include <cstdint>

namespace lurvik {

// Starts procedure(parameter) on a new thread (4096-byte initial stack). Returns the worker
// number (1, 2, ... for the whole run, never reused), or 0 if the thread could not be created.
int32_t StartWorker(LPTHREAD_START_ROUTINE procedure, void* parameter);
// 1 while the worker's thread runs, 0 once it has ended or for a number naming no worker.
int32_t IsWorkerRunning(int32_t worker);
// Terminates the worker (exit code 0) if it still runs and forgets it; does not wait.
void KillWorker(int32_t worker);
// Sleeps with the system timer raised to 1 ms resolution for the pause.
void PauseMilliseconds(uint32_t milliseconds);
// Program end: forgets every worker (closes the handles); running threads are left alone.
void ReleaseWorkers();
// A SYNCHRONIZE copy of a listed worker's thread handle for the caller to wait on and close,
// or nullptr. It lets a caller keep storage alive until a killed thread has really ended.
HANDLE DuplicateWorkerThreadHandle(int32_t worker);

}  // namespace lurvik
