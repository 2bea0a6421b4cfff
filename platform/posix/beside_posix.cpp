// Work beside the caller on a POSIX thread.
#include <pthread.h>

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
