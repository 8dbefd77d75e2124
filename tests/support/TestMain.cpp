// The entry point of the test programs without a GUI: the tests run in folders of their own
// (tests/support/TestIsolation.h).
#include <gtest/gtest.h>

#include "tests/support/TestIsolation.h"

int main(int argc, char** argv) {
  // Static, so that it outlives whatever the tests leave to the end of the process.
  static TestProcessIsolation isolation;
  ::testing::InitGoogleTest(&argc, argv);
  return isolation.Finish(RUN_ALL_TESTS());
}
