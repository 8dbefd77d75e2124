// Helpers of the oracle tests: headless Chromium and Firefox, and ImageMagick's pixel comparison.
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

// Takes a screenshot of the url with headless Firefox in a fresh profile: a viewport of
// width x height into the PNG file `shot`. The profile turns colour management off (pictures
// are shown as their bytes, as Chromium with an sRGB profile does) and keeps the first-run
// pages, updates and reports away. Like Chromium it is stopped, with its helpers, well
// inside the test's time limit.
inline bool FirefoxScreenshot(const TempDir& work, const std::string& url, int width, int height,
                              const std::string& shot) {
  static int run = 0;
  const std::string home = work.File("firefox-home" + std::to_string(++run));
  const std::string profile = home + "/profile";
  const std::string log = work.File("firefox" + std::to_string(run) + ".log");
  ShellOutput("mkdir -p " + ShellQuote(profile));
  WriteAll(profile + "/user.js",
           "user_pref(\"gfx.color_management.mode\", 0);\n"
           "user_pref(\"layout.css.devPixelsPerPx\", \"1.0\");\n"
           "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
           "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
           "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
           "user_pref(\"app.update.disabledForTesting\", true);\n"
           "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
           "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
           "user_pref(\"network.captive-portal-service.enabled\", false);\n"
           "user_pref(\"network.connectivity-service.enabled\", false);\n");
  const std::string cmd = "HOME=" + ShellQuote(home) +
                          " MOZ_HEADLESS=1 timeout -k 5 60 firefox-esr --headless " +
                          "--no-remote --profile " + ShellQuote(profile) + " --screenshot " +
                          ShellQuote(shot) + " --window-size=" + std::to_string(width) + "," +
                          std::to_string(height) + " " + ShellQuote(url) + " >" + ShellQuote(log) + " 2>&1";
  int rc = 0;
  ShellOutput(cmd, &rc);
  if (rc != 0) ADD_FAILURE() << "firefox-esr failed (" << rc << "):\n" << ReadAll(log);
  return rc == 0;
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
