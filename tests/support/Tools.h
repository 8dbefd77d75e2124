// Running the oracle tools of the tests.
#pragma once
#include <cstdio>
#include <string>

// The standard output of a shell command line (the tests build these lines themselves).
inline std::string ShellOutput(const std::string& cmd, int* status = nullptr) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = rc;
  return out;
}

inline bool HaveTool(const std::string& tool) {
  return !ShellOutput("command -v " + tool + " 2>/dev/null").empty();
}

#define REQUIRE_TOOL(tool) \
  ASSERT_TRUE(HaveTool(tool)) << tool << " is required by this test; run scripts/setup"
