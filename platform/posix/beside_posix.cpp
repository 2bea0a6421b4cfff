// Work beside the caller on a POSIX thread.
#include <pthread.h>
#include <semaphore.h>

#include <cerrno>
#include <new>

#include "platform.h"

namespace {

struct Beside {
  pthread_t thread;
  void (*work)(void*);
  void* context;
};

void* RunBeside(void* beside) {
  Beside& task = *static_cast<Beside*>(beside);
  task.work(task.context);
  return nullptr;
}

}  // namespace

bool StartBeside(void (*work)(void* context), void* context, BesideTask* task) {
  Beside* beside = new (std::nothrow) Beside{pthread_t(), work, context};
  if (beside == nullptr) return false;
  if (pthread_create(&beside->thread, nullptr, RunBeside, beside) != 0) {
    delete beside;
    return false;
  }
  task->value = reinterpret_cast<intptr_t>(beside);
  return true;
}

void WaitBeside(BesideTask* task) {
  if (task->value == kNoHandle) return;
  Beside* beside = reinterpret_cast<Beside*>(task->value);
  pthread_join(beside->thread, nullptr);
  delete beside;
  task->value = kNoHandle;
}

bool CreateSignal(BesideSignal* signal) {
  sem_t* semaphore = new (std::nothrow) sem_t;
  if (semaphore == nullptr) return false;
  if (sem_init(semaphore, 0, 0) != 0) {
    delete semaphore;
    return false;
  }
  signal->value = reinterpret_cast<intptr_t>(semaphore);
  return true;
}

void RaiseSignal(BesideSignal* signal) { sem_post(reinterpret_cast<sem_t*>(signal->value)); }

void AwaitSignal(BesideSignal* signal) {
  while (sem_wait(reinterpret_cast<sem_t*>(signal->value)) != 0 && errno == EINTR) {
  }
}

void DestroySignal(BesideSignal* signal) {
  if (signal->value == kNoHandle) return;
  sem_t* semaphore = reinterpret_cast<sem_t*>(signal->value);
  sem_destroy(semaphore);
  delete semaphore;
  signal->value = kNoHandle;
}
