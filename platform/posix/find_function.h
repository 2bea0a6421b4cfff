// A function of a library loaded at run time (dlopen), by its name, into a
// pointer of its own type: the libraries a split may use are loaded at
// their first use, so that the package depends on libc alone.
#ifndef DORVENAL_FIND_FUNCTION_H
#define DORVENAL_FIND_FUNCTION_H

#include <dlfcn.h>

template <typename Function>
bool FindFunction(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

#endif
