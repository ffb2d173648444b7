// PreviewRequest: the area, output and channel a preview asks for.
#include "studio/preview_request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "studio/studio_error.h"

namespace {

using nlohmann::json;
using studio::PreviewRequest;

const char* const kFile = "0 1 1 1 4 4 -1 3 2 5 0 0  0 6 1 0.5 0";

json With(const json& fields = json::object()) {
  json request = {{"commandFile", kFile}};
  request.update(fields);
  return request;
}

int StatusOf(const json& request) {
  try {
    PreviewRequest::Parse(request);
  } catch (const studio::StudioError& e) {
    return e.Status();
  }
  return 0;
}

TEST(PreviewRequestTest, TakesTheAreaAndOutputAsked) {
  const PreviewRequest plain = PreviewRequest::Parse(With());
  EXPECT_EQ(plain.Area().width, 256);
  EXPECT_EQ(plain.Area().height, 256);
  EXPECT_EQ(plain.Area().lowerX, -1.0);
  EXPECT_EQ(plain.Area().upperX, 3.0);
  EXPECT_EQ(plain.Area().lowerZ, 2.0);
  EXPECT_EQ(plain.Area().upperZ, 5.0);
  EXPECT_EQ(plain.GetOutput(), PreviewRequest::Output::kPng);
  EXPECT_EQ(plain.Channel(), "");

  const PreviewRequest asked = PreviewRequest::Parse(
      With({{"width", 1}, {"height", 7}, {"bounds", {0.5, 1.5, -2, 4}}, {"output", "heights"}}));
  EXPECT_EQ(asked.Area().width, 1);
  EXPECT_EQ(asked.Area().height, 7);
  EXPECT_EQ(asked.Area().lowerX, 0.5);
  EXPECT_EQ(asked.Area().upperX, 1.5);
  EXPECT_EQ(asked.Area().lowerZ, -2.0);
  EXPECT_EQ(asked.Area().upperZ, 4.0);
  EXPECT_EQ(asked.GetOutput(), PreviewRequest::Output::kHeights);
  EXPECT_EQ(PreviewRequest::Parse(With({{"output", "png"}})).GetOutput(), PreviewRequest::Output::kPng);

  EXPECT_EQ(StatusOf(With({{"output", "jpeg"}})), 400);
  EXPECT_EQ(StatusOf(With({{"bounds", {0, 1, 0}}})), 400);
  EXPECT_EQ(StatusOf(With({{"bounds", {0, 1, 0, "1"}}})), 400);
  EXPECT_EQ(StatusOf(With({{"width", 2.5}})), 400);
  EXPECT_EQ(StatusOf(With({{"width", 0}})), 400);
  EXPECT_EQ(StatusOf(With({{"height", 1025}})), 400);
  EXPECT_EQ(StatusOf(json{{"settings", {{"rows", {{0, 6, 1, 0.5, 0}}}}}, {"commandFile", kFile}}), 400);
  EXPECT_EQ(StatusOf(json{{"width", 4}}), 400);
  // A command file duneforge refuses is a bad request too.
  EXPECT_EQ(StatusOf(json{{"commandFile", "0 1 1 1 4 4 0 1 0 1 0"}}), 400);
}

// Sequences as a page sends them, parsed from text.
TEST(PreviewRequestTest, ChannelsAreShortNamesWithSequencesUpTo2To53) {
  const std::string longest(64, 'c');
  const auto channel = [](const std::string& name, const char* sequence) {
    return With(json::parse("{\"channel\": \"" + name + "\", \"sequence\": " + sequence + "}"));
  };
  const PreviewRequest named = PreviewRequest::Parse(channel(longest, "9007199254740992"));
  EXPECT_EQ(named.Channel(), longest);
  EXPECT_EQ(named.Sequence(), uint64_t{1} << 53);
  EXPECT_EQ(PreviewRequest::Parse(channel("p", "0")).Sequence(), 0u);
  EXPECT_EQ(StatusOf(channel(longest + "c", "1")), 400);
  EXPECT_EQ(StatusOf(channel("", "1")), 400);
  EXPECT_EQ(StatusOf(channel("p", "9007199254740993")), 400);
  EXPECT_EQ(StatusOf(channel("p", "-1")), 400);
  EXPECT_EQ(StatusOf(channel("p", "1.5")), 400);
  EXPECT_EQ(StatusOf(With(json::parse(R"({"channel": 5, "sequence": 1})"))), 400);
  EXPECT_EQ(StatusOf(With(json::parse(R"({"channel": "p"})"))), 400);
  EXPECT_EQ(StatusOf(With(json::parse(R"({"sequence": 1})"))), 400);
}

}  // namespace
