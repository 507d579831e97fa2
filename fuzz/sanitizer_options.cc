// Defaults of the sanitizer runtime for every fuzz target. libFuzzer brings the
// C++ library into the link ahead of the shared sanitizer runtime; that order is
// harmless here (the C++ library does not replace malloc), so the runtime's check
// of it is turned off.
extern "C" const char* __asan_default_options() {
  return "verify_asan_link_order=0:detect_leaks=1";
}

extern "C" const char* __ubsan_default_options() {
  return "print_stacktrace=1:halt_on_error=1";
}
