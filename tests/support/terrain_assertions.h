// The terrain room's results in the tests' assertions.
#pragma once

#include <gtest/gtest.h>

#include "terrain/terrain_result.h"

namespace testsupport {

// Success, or a failure that reads the result's text:
// ASSERT_TRUE(Succeeded(terrain::SaveTerrain(...))).
inline ::testing::AssertionResult Succeeded(const terrain::TerrainResult& result) {
  if (result) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << result.Text();
}

}  // namespace testsupport
