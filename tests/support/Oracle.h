// Helpers of the oracle tests: headless Chromium and ImageMagick's pixel comparison.
#pragma once
#include <gtest/gtest.h>
#include <string>

#include "tests/support/TestSupport.h"
#include "tests/support/Tools.h"

// One word for the shell, whatever the text holds (a quote inside ends, escapes and reopens).
inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs headless Chromium with a fresh profile in the work folder. Its standard output is the
// result; its messages go to a log that a failure shows. A browser that hangs is stopped,
// with its helpers, well inside the test's own time limit.
inline std::string Chromium(const TempDir& work, const std::string& args, const std::string& url,
                            int* status = nullptr) {
  static int run = 0;
  std::string profile = work.File("profile" + std::to_string(++run));
  std::string log = work.File("chromium" + std::to_string(run) + ".log");
  std::string cmd =
      "timeout -k 5 30 chromium --headless --no-sandbox --disable-gpu --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--disable-quic --hide-scrollbars --force-device-scale-factor=1 "
      "--force-color-profile=srgb --user-data-dir=" +
      ShellQuote(profile) + " " + args + " " + ShellQuote(url) + " 2>" + ShellQuote(log);
  int rc = 0;
  std::string out = ShellOutput(cmd, &rc);
  if (status) *status = rc;
  if (rc != 0) ADD_FAILURE() << "chromium failed (" << rc << "):\n" << ReadAll(log);
  return out;
}

// The number of differing pixels by ImageMagick's compare; -1 when it gave no number.
inline long DifferentPixels(const std::string& a, const std::string& b) {
  std::string out =
      ShellOutput("compare -metric AE -alpha off " + ShellQuote(a) + " " + ShellQuote(b) + " null: 2>&1");
  try {
    return std::stol(out);
  } catch (...) {
    ADD_FAILURE() << "compare said: " << out;
    return -1;
  }
}
