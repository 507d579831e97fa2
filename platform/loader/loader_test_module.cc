// A small module for the loader tests: a named export, an ordinal alias, and a
// function that loads modules as code inside a module does.
#include "windows.h"

#define KOVA_TEST_EXPORT extern "C" __attribute__((visibility("default")))

KOVA_TEST_EXPORT int KovaLoaderTestAnswer(void) { return 42; }

// Export by ordinal 7.
KOVA_TEST_EXPORT int kova_ordinal_7(void) __attribute__((alias("KovaLoaderTestAnswer")));

// LoadLibraryA called from inside this module: its search starts in this
// module's folder.
KOVA_TEST_EXPORT HMODULE KovaLoaderTestLoad(const char* name) {
  return LoadLibraryA(name);
}
