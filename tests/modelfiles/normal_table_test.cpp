#include "modelfiles/normal_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "support/shared_data.h"

namespace {

using modelfiles::NearestNormalIndex;
using modelfiles::NormalCount;
using modelfiles::NormalFromIndex;
using modelfiles::NormalTable;

TEST(NormalTableTest, MatchesThePublishedTableInOrder) {
  const std::string path = testsupport::SharedPath("data/normals162.csv");
  TOOLKIT_REQUIRE_SHARED(path);
  std::ifstream csv(path);
  ASSERT_TRUE(csv.good());
  std::string line;
  std::getline(csv, line);  // column names
  int rows = 0;
  while (std::getline(csv, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string index, x, y, z;
    std::getline(fields, index, ',');
    std::getline(fields, x, ',');
    std::getline(fields, y, ',');
    std::getline(fields, z, ',');
    ASSERT_EQ(std::stoi(index), rows);
    ASSERT_LT(rows, NormalCount);
    EXPECT_EQ(NormalTable[rows][0], std::stof(x)) << "row " << rows;
    EXPECT_EQ(NormalTable[rows][1], std::stof(y)) << "row " << rows;
    EXPECT_EQ(NormalTable[rows][2], std::stof(z)) << "row " << rows;
    ++rows;
  }
  EXPECT_EQ(rows, NormalCount);
}

TEST(NormalTableTest, EntriesAreUnitVectorsAndKnownRowsSitAtTheirIndices) {
  for (int i = 0; i < NormalCount; ++i) {
    EXPECT_NEAR(std::sqrt(modelfiles::Dot3(NormalTable[i], NormalTable[i])), 1.0, 5e-7) << "entry " << i;
  }
  EXPECT_EQ(NormalTable[0][0], -0.525731f);
  EXPECT_EQ(NormalTable[0][2], 0.850651f);
  EXPECT_EQ(NormalTable[1][1], 0.238856f);
  EXPECT_EQ(NormalTable[5][2], 1.0f);
  EXPECT_EQ(NormalTable[161][0], -0.688191f);
  EXPECT_EQ(NormalTable[161][1], -0.587785f);
  EXPECT_EQ(NormalTable[161][2], -0.425325f);
}

TEST(NormalTableTest, DotIsAccumulatedInDoublePrecision) {
  const float a[3] = {1e8f, 1.0f, -1e8f};
  const float b[3] = {1.0f, 1.0f, 1.0f};
  // In float the two large terms would swallow the 1.
  EXPECT_EQ(modelfiles::Dot3(a, b), 1.0);
}

TEST(NormalTableTest, NearestNormalOfAxesAndOfTableEntries) {
  EXPECT_EQ(NearestNormalIndex(0, 0, 1), 5);
  EXPECT_EQ(NearestNormalIndex(1, 0, 0), 52);
  EXPECT_EQ(NearestNormalIndex(0, 1, 0), 32);
  EXPECT_EQ(NearestNormalIndex(0, 0, -1), 84);
  EXPECT_EQ(NearestNormalIndex(NormalTable[0][0], NormalTable[0][1], NormalTable[0][2]), 0);
  EXPECT_EQ(NearestNormalIndex(-NormalTable[0][0], -NormalTable[0][1], -NormalTable[0][2]), 64);
  // Every entry finds itself, also scaled by a positive factor.
  for (int i = 0; i < NormalCount; ++i) {
    const float* n = NormalTable[i];
    EXPECT_EQ(NearestNormalIndex(n[0], n[1], n[2]), i);
    EXPECT_EQ(NearestNormalIndex(4.0f * n[0], 4.0f * n[1], 4.0f * n[2]), i);
    EXPECT_EQ(NearestNormalIndex(0.25f * n[0], 0.25f * n[1], 0.25f * n[2]), i);
  }
}

TEST(NormalTableTest, DegenerateDirectionsAndTiesGiveTheLowestIndex) {
  EXPECT_EQ(NearestNormalIndex(0, 0, 0), 0);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(NearestNormalIndex(nan, 0, 1), 0);
  EXPECT_EQ(NearestNormalIndex(0, nan, 1), 0);
  EXPECT_EQ(NearestNormalIndex(0, 0, nan), 0);
  // Entries 7 and 8 differ only in the sign of x, entries 42 and 43 by
  // swapped x and y: these directions lie exactly between them.
  EXPECT_EQ(NearestNormalIndex(0, 1, 1), 7);
  EXPECT_EQ(NearestNormalIndex(1, 1, 0), 42);
}

TEST(NormalTableTest, LookupCoversExactlyTheTable) {
  float x = 9, y = 9, z = 9;
  ASSERT_TRUE(NormalFromIndex(161, x, y, z));
  EXPECT_EQ(x, NormalTable[161][0]);
  EXPECT_EQ(y, NormalTable[161][1]);
  EXPECT_EQ(z, NormalTable[161][2]);
  ASSERT_TRUE(NormalFromIndex(0, x, y, z));
  EXPECT_EQ(x, NormalTable[0][0]);
  for (int bad : {162, -1, 255, std::numeric_limits<int>::min()}) {
    x = y = z = 7;
    EXPECT_FALSE(NormalFromIndex(bad, x, y, z)) << bad;
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 7);
    EXPECT_EQ(z, 7);
  }
}

}  // namespace
