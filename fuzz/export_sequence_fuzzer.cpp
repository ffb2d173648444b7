// Sequence fuzz target of loamwriter's eight terrain exports: the input is a
// program of export calls with their arguments, run against the engine stand-in
// with bitmaps of random shapes and formats. Besides crashes it checks what
// the calls report and, for every file the sequence finishes, that the size
// and the header's counts match what the sequence wrote. Nothing fails on
// this side, so every failure a call reports must come from its arguments.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/engine_layout.h"
#include "platform/engine_stand_in.h"
#include "plugin/exports.h"

namespace {

constexpr int32_t kTrue = 1024;
constexpr int32_t kFalse = 0;
constexpr int32_t kRefused = -1024;
constexpr uint32_t kHeaderBytes = 84;
constexpr uint32_t kSkinHeaderBytes = 12;
constexpr uint32_t kFrameHeaderBytes = 36;
constexpr uint32_t kVertexBytes = 4;
// The largest side of a generated bitmap; big enough for every mip level
// to hold pixels, small enough to keep a unit fast.
constexpr int32_t kMaxSide = 40;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "export sequence: %s\n", what.c_str());
  std::abort();
}

void Expect(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

int32_t LoadI32(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
      (static_cast<uint32_t>(bytes[offset + 2]) << 16) | (static_cast<uint32_t>(bytes[offset + 3]) << 24));
}

// What the sequence has written into the file that is open.
struct OpenFile {
  int path = -1;  // index into the scratch paths
  int32_t skins = 0;
  int32_t frames = 0;
  int32_t vertices = 0;  // of the first frame
  uint64_t bytes = kHeaderBytes;
};

// The skin type code the plug-in derives from a bitmap, -1 for a bitmap it
// cannot take; mip levels follow level 0 for codes with bit 3.
int ExpectedSkinType(int32_t format, int32_t flags, int32_t bytesPerPixel) {
  const bool high = (flags & engine::kBitmapFlagHighTypes) != 0;
  switch (format) {
    case 565:
      return high ? 10 : 2;
    case 4444:
      return high ? 11 : 3;
    case 888:
      return 12;
    case 8888:
      return bytesPerPixel == 3 ? 12 : 13;
    default:
      return -1;
  }
}

uint64_t SkinBytes(int type, int64_t width, int64_t height, int64_t bytesPerPixel) {
  uint64_t bytes = kSkinHeaderBytes + static_cast<uint64_t>(width * height * bytesPerPixel);
  if ((type & 8) != 0) {
    for (int level = 1; level <= 3; ++level) {
      width /= 2;
      height /= 2;
      bytes += static_cast<uint64_t>(width * height * bytesPerPixel);
    }
  }
  return bytes;
}

class SequenceRun {
 public:
  explicit SequenceRun(fuzzing::FuzzInput& in) : in_(in) {
    paths_[0] = fuzzing::ScratchPath("terrain-a.hmp");
    paths_[1] = fuzzing::ScratchPath("terrain-b.hmp");
    // A file in a folder that does not exist: the open fails.
    paths_[2] = fuzzing::ScratchPath("no-such-folder") + "/terrain.hmp";
  }

  void Run() {
    Expect(A6_DLLAPI(engine_.Host()) == 630, "binding result");
    // A file left open by an earlier unit is closed unchecked.
    WriteHmpClose();
    for (int step = 0; step < 64 && !in_.Empty(); ++step) Step();
    Close();
  }

 private:
  void Step() {
    switch (in_.Below(8)) {
      case 0:
        Open();
        break;
      case 1:
        Header();
        break;
      case 2:
        Skin();
        break;
      case 3:
        EmptySkin();
        break;
      case 4: {
        const bool named = in_.U8() != 0;
        const int32_t result = WriteHmpFrame(named ? Named() : nullptr);
        if (named && open_) {
          Expect(result == kTrue, "WriteHmpFrame failed on an open file");
          current_.frames++;
          current_.bytes += kFrameHeaderBytes;
        } else {
          Expect(result == kFalse, "WriteHmpFrame succeeded without a file or record");
        }
        break;
      }
      case 5:
        Vertices();
        break;
      case 6:
        Expect(WriteHmpFrameEnd() == kTrue, "WriteHmpFrameEnd failed");
        break;
      default:
        Close();
        break;
    }
  }

  engine::EngineNamedRecord* Named() {
    const std::string name = in_.Text(24);
    return in_.Bool() ? engine_.AddNamed(nullptr) : engine_.AddNamed(name.c_str());
  }

  void Open() {
    const uint32_t choice = in_.Below(4);
    const char* path = choice < 3 ? paths_[choice].c_str() : nullptr;
    const int32_t result = WriteHMP(path);
    if (path == nullptr) {
      Expect(result == kFalse, "WriteHMP accepted a null path");
      return;
    }
    // Any open file was closed first, whatever became of the new one.
    if (open_ && static_cast<int>(choice) != current_.path) CheckFinished(current_);
    open_ = false;
    if (choice == 2) {
      Expect(result == kFalse, "WriteHMP created a file in a missing folder");
      return;
    }
    Expect(result == kTrue, "WriteHMP failed");
    open_ = true;
    current_ = OpenFile();
    current_.path = static_cast<int>(choice);
  }

  void Close() {
    Expect(WriteHmpClose() == kTrue, "WriteHmpClose failed");
    if (open_) CheckFinished(current_);
    open_ = false;
  }

  void Header() {
    engine::Fixed10Vector v[3];
    for (engine::Fixed10Vector& vector : v) {
      vector.x = in_.I32();
      vector.y = in_.I32();
      vector.z = in_.I32();
    }
    const uint32_t nulls = in_.Below(4);  // 0: all given, else one missing
    const int32_t result = WriteHmpHeader(nulls == 1 ? nullptr : &v[0], nulls == 2 ? nullptr : &v[1],
                                          nulls == 3 ? nullptr : &v[2]);
    Expect(result == (nulls == 0 ? kTrue : kFalse), "WriteHmpHeader result");
  }

  void Skin() {
    static const int32_t kFormats[] = {565, 888, 4444, 8888, 0, 1555, -565};
    const int32_t format = kFormats[in_.Below(sizeof kFormats / sizeof kFormats[0])];
    const int32_t flags =
        in_.Bool() ? engine::kBitmapFlagHighTypes : static_cast<int32_t>(in_.U32() & 0x7FFFFFFF);
    const int32_t bytesPerPixel = static_cast<int32_t>(in_.Below(6)) - 1;  // -1 .. 4
    int32_t width = static_cast<int32_t>(in_.Below(kMaxSide + 1));
    int32_t height = static_cast<int32_t>(in_.Below(kMaxSide + 1));
    const uint32_t shape = in_.Below(8);
    if (shape == 0) width = -2 - width;
    if (shape == 1) height = -2 - height;
    std::vector<uint8_t> pixels;
    if (width > 0 && height > 0 && bytesPerPixel > 0) {
      pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) *
                    static_cast<size_t>(bytesPerPixel));
      for (uint8_t& p : pixels) p = in_.U8();
    }
    engine::EngineBitmap* bitmap = engine_.AddBitmap(format, width, height, bytesPerPixel, flags, pixels);
    const bool named = in_.U8() != 0;
    const int32_t result = WriteHmpSkin(named ? Named() : nullptr, bitmap);

    const int type = ExpectedSkinType(format, flags, bytesPerPixel);
    const bool takeable = named && type >= 0 && bytesPerPixel > 0 && width >= 0 && height >= 0;
    if (!takeable) {
      Expect(result == kRefused, "WriteHmpSkin took a bitmap it must refuse");
    } else if (!open_) {
      Expect(result == kFalse, "WriteHmpSkin succeeded without a file");
    } else {
      Expect(result == kTrue, "WriteHmpSkin failed on an open file");
      current_.skins++;
      current_.bytes += SkinBytes(type, width, height, bytesPerPixel);
    }
    if (named) {
      Expect(engine_.LockCount(bitmap) == 1 && engine_.UnlockCount(bitmap) == 1, "bitmap not locked once");
    }
    Expect(engine_.ProtocolErrors() == 0, "engine protocol broken");
  }

  void EmptySkin() {
    int64_t width = in_.Below(kMaxSide + 1);
    int64_t height = in_.Below(kMaxSide + 1);
    const uint32_t shape = in_.Below(8);
    if (shape == 0) width = -2 - width;
    if (shape == 1) height = -2 - height;
    if (shape == 2) width = height = 46341 + width;  // a product beyond 2^31 - 1
    const int32_t fraction = static_cast<int32_t>(in_.U16() & 1023);
    const bool named = in_.U8() != 0;
    const int32_t result =
        WriteSkinEmpty(static_cast<int32_t>(width * 1024 + fraction),
                       static_cast<int32_t>(height * 1024 + fraction), named ? Named() : nullptr);
    const bool accepted = named && width >= 0 && height >= 0 && width * height <= INT32_MAX;
    if (accepted && open_) {
      Expect(result == kTrue, "WriteSkinEmpty failed on an open file");
      current_.skins++;
      current_.bytes += SkinBytes(0, width, height, 1);
    } else {
      Expect(result == kFalse, "WriteSkinEmpty succeeded without a file or with a refused size");
    }
  }

  void Vertices() {
    const uint32_t count = in_.Below(32) + 1;
    for (uint32_t i = 0; i < count; ++i) {
      engine::Fixed10Vector normal{in_.I32(), in_.I32(), in_.I32()};
      const int32_t height = in_.I32();
      const bool given = in_.U8() != 0;
      const int32_t result = WriteHmpVertex(height, given ? &normal : nullptr);
      if (!given) {
        Expect(result == kFalse, "WriteHmpVertex without a normal");
        continue;
      }
      Expect(result >= 0 && result % 1024 == 0 && result / 1024 <= 65535, "packed height out of range");
      if (open_) {
        current_.bytes += kVertexBytes;
        if (current_.frames == 1) current_.vertices++;
      }
    }
  }

  void CheckFinished(const OpenFile& file) {
    std::ifstream stream(paths_[file.path], std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)),
                                     std::istreambuf_iterator<char>());
    Expect(bytes.size() == file.bytes, "finished file has " + std::to_string(bytes.size()) +
                                           " bytes, expected " + std::to_string(file.bytes));
    Expect(std::memcmp(bytes.data(), "HMP7", 4) == 0 && LoadI32(bytes, 4) == 0, "magic or version");
    Expect(LoadI32(bytes, 48) == file.skins,
           "skin count " + std::to_string(LoadI32(bytes, 48)) + ", expected " + std::to_string(file.skins));
    Expect(LoadI32(bytes, 60) == file.vertices, "vertex count " + std::to_string(LoadI32(bytes, 60)) +
                                                    ", expected " + std::to_string(file.vertices));
    Expect(LoadI32(bytes, 68) == file.frames,
           "frame count " + std::to_string(LoadI32(bytes, 68)) + ", expected " + std::to_string(file.frames));
  }

  fuzzing::FuzzInput& in_;
  platform::EngineStandIn engine_;
  std::string paths_[3];
  bool open_ = false;
  OpenFile current_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput in(data, size);
  SequenceRun run(in);
  run.Run();
  return 0;
}
