// Work beside the caller on a thread of Windows' own: the 32-bit build's
// MinGW has no std::thread in its win32 thread model.
#include <windows.h>

#include <new>

#include "platform.h"

namespace {

struct Beside {
  void (*work)(void*);
  void* context;
};

DWORD WINAPI RunBeside(LPVOID beside) {
  Beside* task = static_cast<Beside*>(beside);
  task->work(task->context);
  delete task;
  return 0;
}

}  // namespace

bool StartBeside(void (*work)(void* context), void* context, BesideTask* task) {
  Beside* beside = new (std::nothrow) Beside{work, context};
  if (beside == nullptr) return false;
  DWORD id = 0;  // Windows 95 wants somewhere to write it
  HANDLE thread = CreateThread(nullptr, 0, RunBeside, beside, 0, &id);
  if (thread == nullptr) {
    delete beside;
    return false;
  }
  task->value = reinterpret_cast<intptr_t>(thread);
  return true;
}

void WaitBeside(BesideTask* task) {
  if (task->value == kNoHandle) return;
  HANDLE thread = reinterpret_cast<HANDLE>(task->value);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  task->value = kNoHandle;
}

bool CreateSignal(BesideSignal* signal) {
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 0x7fffffff, nullptr);
  if (semaphore == nullptr) return false;
  signal->value = reinterpret_cast<intptr_t>(semaphore);
  return true;
}

void RaiseSignal(BesideSignal* signal) { ReleaseSemaphore(reinterpret_cast<HANDLE>(signal->value), 1, nullptr); }

void AwaitSignal(BesideSignal* signal) { WaitForSingleObject(reinterpret_cast<HANDLE>(signal->value), INFINITE); }

void DestroySignal(BesideSignal* signal) {
  if (signal->value == kNoHandle) return;
  CloseHandle(reinterpret_cast<HANDLE>(signal->value));
  signal->value = kNoHandle;
}
