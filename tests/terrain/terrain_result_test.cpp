// The terrain room's result: the line a person reads names the file once,
// and a reader's reason keeps the byte it names.
#include "terrain/terrain_result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

using terrain::TerrainResult;
using Kind = TerrainResult::Kind;

TEST(TerrainResultTest, TheTextNamesTheFirstFileNamed) {
  const TerrainResult refused(Kind::kUnsupported, "this build has no PNG support");
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.Text(), "this build has no PNG support");
  EXPECT_EQ(refused.WithPath("t.png", "cannot write").Text(),
            "cannot write t.png: this build has no PNG support");
  // A caller further out does not rename the file a failure names.
  const TerrainResult named = refused.WithPath("t.mtl").WithPath("t.obj", "cannot write");
  EXPECT_EQ(named.Path(), "t.mtl");
  EXPECT_EQ(named.Text(), "t.mtl: this build has no PNG support");
  EXPECT_EQ(named.Description(), "this build has no PNG support");
  EXPECT_TRUE(TerrainResult().WithPath("t.png"));
}

TEST(TerrainResultTest, ReasonsKeepTheByteTheyName) {
  const TerrainResult cut = TerrainResult::FromReason(platform::FailureReason::Truncated("header", 0));
  EXPECT_EQ(cut.GetKind(), Kind::kTruncated);
  EXPECT_EQ(cut.Offset(), 0);  // the first byte is a byte
  EXPECT_EQ(cut.Text(), "truncated at offset 0 (header)");
  EXPECT_EQ(TerrainResult::FromReason(platform::FailureReason::Malformed("skin count", 52)).Offset(), 52);
  const TerrainResult absent = TerrainResult::FromReason(platform::FailureReason::CannotOpen(ENOENT));
  EXPECT_EQ(absent.GetKind(), Kind::kCannotOpen);
  EXPECT_EQ(absent.Offset(), -1);
  EXPECT_EQ(absent.WithPath("a.hmp").Text(), std::string("a.hmp: cannot open: ") + std::strerror(ENOENT));
  EXPECT_TRUE(TerrainResult::FromReason(platform::FailureReason()));
}

}  // namespace
