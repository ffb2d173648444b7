// GoogleTest fixture that gives every test its own temporary folder.
#pragma once

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace testsupport {

// Each test gets a new TempDir in `temp_`, removed when the test ends. Any
// file faults a test arms are disarmed afterwards.
class TempDirFixture : public ::testing::Test {
 protected:
  void TearDown() override;
  TempDir temp_;
};

}  // namespace testsupport
