// PreviewChannels: which preview of a page is stale.
#include "studio/preview_channels.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using studio::PreviewChannels;

TEST(PreviewChannelsTest, OnlyAHigherNumberOnTheSameChannelMakesAPreviewStale) {
  PreviewChannels channels;
  const PreviewChannels::Latest five = channels.Enter("page", 5);
  EXPECT_FALSE(PreviewChannels::IsStale(five, 5));
  // An older preview arriving late changes nothing.
  const PreviewChannels::Latest three = channels.Enter("page", 3);
  EXPECT_TRUE(PreviewChannels::IsStale(three, 3));
  EXPECT_FALSE(PreviewChannels::IsStale(five, 5));
  channels.Enter("other", 9);
  EXPECT_FALSE(PreviewChannels::IsStale(five, 5));
  channels.Enter("page", 6);
  EXPECT_TRUE(PreviewChannels::IsStale(five, 5));
  EXPECT_FALSE(PreviewChannels::IsStale(five, 6));
}

// 256 channels are kept; the 257th makes the studio forget the others.
TEST(PreviewChannelsTest, Keeps256Channels) {
  PreviewChannels channels;
  channels.Enter("page", 10);
  for (int i = 1; i < 256; ++i) channels.Enter("page " + std::to_string(i), 1);
  EXPECT_TRUE(PreviewChannels::IsStale(channels.Enter("page", 1), 1));
  channels.Enter("page 256", 1);
  EXPECT_FALSE(PreviewChannels::IsStale(channels.Enter("page", 1), 1));
}

}  // namespace
