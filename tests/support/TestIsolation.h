// Every test program starts inside one of these, made by its main function before anything
// else: the process (and whatever it starts: the program, Python, the oracles) gets a home,
// data, config, cache, state, runtime and temporary folder of its own, and the caller's
// program folder and configuration overrides are dropped, so that nothing a test does reaches
// the user's desktop and nothing of the user's desktop changes what a test sees. CTest runs
// each test in a process of its own, so each test has its own folders.
//
// Where the process may make a mount namespace (as root, as in CI), /tmp itself is a folder of
// the process's own as well, and so is the user's real home (unless the sources or the build
// lie in it): whatever a test leaves in either fails the run, which catches a test or a tool
// that writes to a fixed path or finds the real home by the user database. Elsewhere the
// suite's own first and last tests compare the real home before and after
// (tests/support/home_snapshot.py).
#pragma once
#include <string>
#include <vector>

class TestProcessIsolation {
 public:
  TestProcessIsolation();
  ~TestProcessIsolation();
  TestProcessIsolation(const TestProcessIsolation&) = delete;
  TestProcessIsolation& operator=(const TestProcessIsolation&) = delete;

  // What was left in the private /tmp outside the process's own folders, after the tests;
  // empty where /tmp could not be made private.
  std::vector<std::string> LeftOutside() const;
  // The tests' status, made a failure (with the names printed) when something was left outside.
  int Finish(int status) const;
  bool PrivateTmp() const { return FPrivateTmp; }

 private:
  std::string FRoot;        // the process's folders (home, runtime, tmp) lie in here
  std::string FTrapSource;  // the folder of the real /tmp bound over /tmp, when it is private
  std::string FRealHome;    // the user's real home, hidden behind an empty folder, or empty
  bool FPrivateTmp = false;
};
