#include "platform/file_name.h"

#include <gtest/gtest.h>

// The extension is the last component's, from its last dot, in lower case.
TEST(LowercaseExtension, TakesTheLastComponentsLastDot) {
  EXPECT_EQ(platform::LowercaseExtension("dir.v2/Terrain.PNG"), ".png");
  EXPECT_EQ(platform::LowercaseExtension("terrain.tar.R16"), ".r16");
  EXPECT_EQ(platform::LowercaseExtension(".png"), ".png");
  EXPECT_EQ(platform::LowercaseExtension("terrain."), ".");
  EXPECT_EQ(platform::LowercaseExtension("dir.v2/terrain"), "");
  EXPECT_EQ(platform::LowercaseExtension("terrain"), "");
  EXPECT_EQ(platform::LowercaseExtension(""), "");
#ifdef _WIN32
  EXPECT_EQ(platform::LowercaseExtension("dir.v2\\terrain"), "");
#endif
}
