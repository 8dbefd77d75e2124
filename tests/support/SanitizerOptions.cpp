// The sanitizers' options of a sanitizer build's test programs: any report fails the test,
// and leaks inside third-party libraries are suppressed by the project's suppression file,
// which names no code of ours. ASAN_OPTIONS, LSAN_OPTIONS and UBSAN_OPTIONS of the caller
// still take precedence.
#ifndef ZELMORA_ASAN_EXTRA
#define ZELMORA_ASAN_EXTRA ""
#endif

extern "C" {
__attribute__((used)) const char* __asan_default_options() {
  return "detect_leaks=1:abort_on_error=1" ZELMORA_ASAN_EXTRA;
}
__attribute__((used)) const char* __lsan_default_options() {
  return "suppressions=" ZELMORA_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
__attribute__((used)) const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
}
