#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/engine_layout.h"
#include "plugin/engine_api.h"
#include "plugin/exports.h"
#include "support/fake_engine.h"
#include "support/shared_data.h"

namespace {

using loamwriter::engineApi;
using loamwriter::EngineBindingList;
using loamwriter::kEngineBindingCount;
using testsupport::FakeEngine;

TEST(EngineBindingTest, AsksForEveryNameInOrderAndStoresEachAnswer) {
  FakeEngine engine;
  EXPECT_EQ(A6_DLLAPI(engine.Host()), 630);

  const auto& names = engine.LookedUpNames();
  ASSERT_EQ(names.size(), 344u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 344u);
  // Places counted from 1 in the binding order.
  EXPECT_EQ(names[0], "_str");
  EXPECT_EQ(names[1], "_vec");
  EXPECT_EQ(names[24], "bmap_height");
  EXPECT_EQ(names[25], "bmap_lock");
  EXPECT_EQ(names[28], "bmap_unlock");
  EXPECT_EQ(names[38], "bmap_width");
  EXPECT_EQ(names[99], "ent_next");
  EXPECT_EQ(names[199], "ph_setcorrections");
  EXPECT_EQ(names[299], "txt_setvisible");
  EXPECT_EQ(names[343], "engine_debugbreakpoint");

  ASSERT_EQ(kEngineBindingCount, 344u);
  for (size_t i = 0; i < kEngineBindingCount; ++i) {
    const loamwriter::EngineBinding& binding = EngineBindingList()[i];
    EXPECT_EQ(names[i], binding.name);
    EXPECT_EQ(engineApi.*binding.entry, engine.AnswerFor(binding.name)) << binding.name;
  }
  EXPECT_EQ(reinterpret_cast<engine::EngineAddress>(engineApi.BmapLock()), engine.AnswerFor("bmap_lock"));
  EXPECT_EQ(reinterpret_cast<engine::EngineAddress>(engineApi.BmapWidth()), engine.AnswerFor("bmap_width"));
  EXPECT_EQ(reinterpret_cast<engine::EngineAddress>(engineApi.BmapHeight()), engine.AnswerFor("bmap_height"));
  EXPECT_EQ(reinterpret_cast<engine::EngineAddress>(engineApi.BmapUnlock()), engine.AnswerFor("bmap_unlock"));
}

// The engine's published list of script functions, one name a line in
// binding order: the binding asks for exactly these, in this order.
TEST(EngineBindingTest, AsksForThePublishedNamesInThePublishedOrder) {
  const std::string path = testsupport::SharedPath("data/engine_binding_names.txt");
  TOOLKIT_REQUIRE_SHARED(path);
  std::ifstream in(path);
  ASSERT_TRUE(in.good());
  std::vector<std::string> published;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) published.push_back(line);
  }
  ASSERT_EQ(published.size(), 344u);

  FakeEngine engine;
  ASSERT_EQ(A6_DLLAPI(engine.Host()), 630);
  const std::vector<std::string>& asked = engine.LookedUpNames();
  ASSERT_EQ(asked.size(), published.size());
  ASSERT_EQ(kEngineBindingCount, published.size());
  for (size_t i = 0; i < published.size(); ++i) {
    EXPECT_EQ(asked[i], published[i]) << "place " << i + 1;
    EXPECT_STREQ(EngineBindingList()[i].name, published[i].c_str()) << "place " << i + 1;
  }
}

TEST(EngineBindingTest, SecondBindingOverwritesEveryEntryAndUnresolvedNamesStayZero) {
  FakeEngine first;
  EXPECT_EQ(A6_DLLAPI(first.Host()), 630);
  FakeEngine second;
  second.LeaveUnresolved("bmap_lock");
  second.LeaveUnresolved("vec_set");
  // The second engine's dummy answers differ from the first one's only in
  // that two names now resolve to 0.
  EXPECT_EQ(A6_DLLAPI(second.Host()), 630);
  EXPECT_EQ(second.LookedUpNames().size(), 344u);
  EXPECT_EQ(engineApi.bmap_lock, 0);
  EXPECT_EQ(engineApi.vec_set, 0);
  EXPECT_EQ(engineApi.BmapLock(), nullptr);
  for (size_t i = 0; i < kEngineBindingCount; ++i) {
    const loamwriter::EngineBinding& binding = EngineBindingList()[i];
    EXPECT_EQ(engineApi.*binding.entry, second.AnswerFor(binding.name)) << binding.name;
  }
}

TEST(EngineBindingTest, NullRecordOrLookupBindsNothing) {
  FakeEngine engine;
  ASSERT_EQ(A6_DLLAPI(engine.Host()), 630);
  const loamwriter::EngineApi before = engineApi;

  EXPECT_EQ(A6_DLLAPI(nullptr), 630);
  engine.Host()->lookupByName = nullptr;
  EXPECT_EQ(A6_DLLAPI(engine.Host()), 630);
  EXPECT_EQ(engine.LookedUpNames().size(), 344u);
  EXPECT_EQ(std::memcmp(&before, &engineApi, sizeof before), 0);
}

// The records as raw bytes: the members sit at the engine's offsets (the
// 32-bit ones in a 32-bit build, pointers widened to 8 bytes otherwise).
TEST(EngineLayoutTest, MembersSitAtTheEngineOffsets) {
  const bool wide = sizeof(void*) == 8;
  FakeEngine engine;
  std::vector<uint8_t> pixels = {1, 2, 3, 4};
  engine::EngineBitmap* bitmap = engine.AddBitmap(888, 1, 1, 3, 0x1234, pixels);
  bitmap->pixels = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(0x0A0B0C0D));
  uint8_t raw[sizeof(engine::EngineBitmap)];
  std::memcpy(raw, bitmap, sizeof raw);
  int32_t value;
  std::memcpy(&value, raw + 20, 4);
  EXPECT_EQ(value, 3);
  std::memcpy(&value, raw + (wide ? 40 : 32), 4);
  EXPECT_EQ(value, 0x1234);
  uintptr_t pointer;
  std::memcpy(&pointer, raw + (wide ? 32 : 28), sizeof pointer);
  EXPECT_EQ(pointer, 0x0A0B0C0Du);
  bitmap->pixels = nullptr;

  engine::EngineNamedRecord* named = engine.AddNamed("n");
  const char* name;
  std::memcpy(&name, reinterpret_cast<const uint8_t*>(named) + (wide ? 16 : 12), sizeof name);
  EXPECT_EQ(name, named->name);

  engine::LookupByName lookup;
  std::memcpy(&lookup, reinterpret_cast<const uint8_t*>(engine.Host()) + 2608, sizeof lookup);
  EXPECT_EQ(lookup, engine.Host()->lookupByName);

  const engine::Fixed10Vector vector{11, 22, 33};
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(&vector) + 8, 4);
  EXPECT_EQ(value, 33);
  EXPECT_EQ(sizeof(engine::EngineAddress), sizeof(void*));
}

}  // namespace
