// Loads the built plug-in library as the engine does (dlopen, or LoadLibrary
// on Windows) and drives it through the addresses of its exports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/engine_layout.h"
#include "platform/library_export.h"
#include "platform/shared_library.h"
#include "support/byte_builder.h"
#include "support/fake_engine.h"
#include "support/temp_dir_fixture.h"

namespace {

using testsupport::LoadU32;
using testsupport::ToFixed10;

using BindFn = int32_t(LIBRARY_CALL*)(engine::HostRecord*);
using OpenFn = int32_t(LIBRARY_CALL*)(const char*);
using HeaderFn = int32_t(LIBRARY_CALL*)(const engine::Fixed10Vector*, const engine::Fixed10Vector*,
                                        const engine::Fixed10Vector*);
using SkinFn = int32_t(LIBRARY_CALL*)(const engine::EngineNamedRecord*, engine::EngineBitmap*);
using EmptySkinFn = int32_t(LIBRARY_CALL*)(int32_t, int32_t, const engine::EngineNamedRecord*);
using FrameFn = int32_t(LIBRARY_CALL*)(const engine::EngineNamedRecord*);
using VertexFn = int32_t(LIBRARY_CALL*)(int32_t, const engine::Fixed10Vector*);
using PlainFn = int32_t(LIBRARY_CALL*)();

class LoamwriterLibraryTest : public testsupport::TempDirFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.Open(LOAMWRITER_LIBRARY)) << library_.Error(); }
  void TearDown() override {
    library_.Close();
    TempDirFixture::TearDown();
  }
  // The export `name`; null (and a failed test) when the library lacks it.
  template <typename Fn>
  Fn Export(const char* name) {
    void* address = library_.Symbol(name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Fn>(address);
  }

  platform::SharedLibrary library_;
};

TEST_F(LoamwriterLibraryTest, ExportsTheNinePlainNamesOnly) {
  for (const char* name : {"A6_DLLAPI", "WriteHMP", "WriteHmpHeader", "WriteHmpSkin", "WriteSkinEmpty",
                           "WriteHmpFrame", "WriteHmpVertex", "WriteHmpFrameEnd", "WriteHmpClose"}) {
    EXPECT_NE(library_.Symbol(name), nullptr) << name;
  }
  // Internal names stay hidden.
  for (const char* name :
       {"_ZN10loamwriter9theWriterE", "_ZN10loamwriter9engineApiE", "_ZN10loamwriter5HMP5W5CloseEv"}) {
    EXPECT_EQ(library_.Symbol(name), nullptr) << name;
  }
}

TEST_F(LoamwriterLibraryTest, WritesATerrainFileForTheEngine) {
  testsupport::FakeEngine engine;
  ASSERT_EQ(Export<BindFn>("A6_DLLAPI")(engine.Host()), 630);
  EXPECT_EQ(engine.LookedUpNames().size(), 344u);

  const std::string path = temp_.File("t.hmp");
  ASSERT_EQ(Export<OpenFn>("WriteHMP")(path.c_str()), 1024);
  const engine::Fixed10Vector params{1024, 2048, 3072}, low{0, 0, 0},
      high{ToFixed10(10), ToFixed10(10), ToFixed10(65535)};
  EXPECT_EQ(Export<HeaderFn>("WriteHmpHeader")(&params, &low, &high), 1024);
  engine::EngineBitmap* bitmap = engine.AddBitmap(565, 4, 2, 1, 0x400, {0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(Export<SkinFn>("WriteHmpSkin")(engine.AddNamed("s"), bitmap), 1024);
  EXPECT_EQ(engine.LockCount(bitmap), 1);
  EXPECT_EQ(engine.UnlockCount(bitmap), 1);
  EXPECT_EQ(Export<EmptySkinFn>("WriteSkinEmpty")(2048, 1024, engine.AddNamed("e")), 1024);
  EXPECT_EQ(Export<FrameFn>("WriteHmpFrame")(engine.AddNamed("frame")), 1024);
  const engine::Fixed10Vector normal{1024, -1024, 0};
  EXPECT_EQ(Export<VertexFn>("WriteHmpVertex")(ToFixed10(42.75), &normal), 42 * 1024);
  EXPECT_EQ(Export<PlainFn>("WriteHmpFrameEnd")(), 1024);
  EXPECT_EQ(Export<PlainFn>("WriteHmpClose")(), 1024);
  EXPECT_EQ(engine.ProtocolErrors(), 0);

  testsupport::ByteBuilder expected;
  expected.Text("HMP7", 4).U32(0);
  expected.F32(static_cast<float>(10.0 / 65535.0)).F32(static_cast<float>(10.0 / 65535.0)).F32(1.0f);
  expected.F32(0).F32(0).F32(0).U32(0).F32(2.0f).F32(3.0f).F32(1.0f);
  expected.U32(2).U32(0).U32(0).U32(1).U32(0).U32(1).U32(0).U32(0).U32(0);
  expected.U32(10).U32(4).U32(2).Bytes({4, 5, 6, 7, 0, 1, 2, 3}).Bytes({4, 0});
  expected.U32(0).U32(2).U32(1).Bytes({0, 0});
  expected.U32(2).U16(0).U16(0).U16(0).U8(255).U8(0).U16(65535).U16(65535).U16(65535).U8(255).U8(0);
  expected.Text("frame", 16);
  expected.U16(42).U8(127).U8(0x81);
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
  EXPECT_EQ(bytes, expected.Data());
  EXPECT_EQ(LoadU32(bytes, 48), 2u);
}

// The library's load and unload entry point lets it be unloaded and loaded
// again; the writer of the new instance starts with no file open.
TEST_F(LoamwriterLibraryTest, UnloadsAndLoadsAgainWithAFreshWriter) {
  const std::string path = temp_.File("first.hmp");
  ASSERT_EQ(Export<OpenFn>("WriteHMP")(path.c_str()), 1024);
  library_.Close();  // with the file still open in the old instance
  EXPECT_FALSE(library_.IsOpen());
  EXPECT_EQ(library_.Symbol("WriteHMP"), nullptr);

  ASSERT_TRUE(library_.Open(LOAMWRITER_LIBRARY)) << library_.Error();
  testsupport::FakeEngine engine;
  EXPECT_EQ(Export<BindFn>("A6_DLLAPI")(engine.Host()), 630);
  // Nothing is open: a frame cannot be started, closing still answers 1024.
  EXPECT_EQ(Export<FrameFn>("WriteHmpFrame")(engine.AddNamed("f")), 0);
  EXPECT_EQ(Export<PlainFn>("WriteHmpClose")(), 1024);
  EXPECT_EQ(testsupport::ReadFileBytes(path).size(), 84u);  // the provisional header
}

TEST(SharedLibrary, MissingLibraryFailsWithAReasonAndFindsNothing) {
  testsupport::TempDir temp;
  platform::SharedLibrary library;
  EXPECT_FALSE(library.Open(temp.File("no-such-library.so")));
  EXPECT_FALSE(library.IsOpen());
  EXPECT_FALSE(library.Error().empty());
  EXPECT_EQ(library.Symbol("WriteHMP"), nullptr);

  // A file that is not a library at all is refused the same way.
  const std::string junk = temp.File("junk.so");
  ASSERT_TRUE(testsupport::WriteFileBytes(junk, {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'b'}));
  EXPECT_FALSE(library.Open(junk));
  EXPECT_FALSE(library.Error().empty());
}

}  // namespace
