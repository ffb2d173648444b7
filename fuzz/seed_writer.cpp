// Writes seed inputs for the fuzz targets into a folder: MDL7 files made by
// MDL7W with every record kind, and export programs for the sequence target.
// Usage: fuzz_seed_writer FOLDER; writes FOLDER/mdl7r and
// FOLDER/export_sequence. Exit status 1 when a seed cannot be written.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "modelfiles/mdl7w.h"

namespace {

using modelfiles::MDL7W;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + 7 * i);
  return bytes;
}

// Bones, two groups with skins of every kind, frames, deformers and a lump.
bool WriteFullModel(const std::string& path) {
  const std::vector<uint8_t> mip0 = Pattern(64, 1), mip1 = Pattern(16, 2), mip2 = Pattern(4, 3),
                             mip3 = Pattern(1, 0);
  const std::vector<uint8_t> rgba = Pattern(16, 4), grey = Pattern(3, 5), embedded = Pattern(10, 6);
  const float colors[4][4] = {{0.1f, 0.2f, 0.3f, 1.0f}, {0.4f, 0.5f, 0.6f, 0.5f}, {1, 1, 1, 1}, {0, 0, 0, 0}};
  const uint8_t block[5] = {'b', 'l', 'o', 'c', 'k'};
  uint8_t matrix[64];
  for (int i = 0; i < 64; ++i) matrix[i] = static_cast<uint8_t>(i);

  MDL7W w;
  bool ok = w.Open(path.c_str()) >= 0;
  ok = ok && w.AddBone(MDL7W::kNoBone, 0.5f, 1.5f, 2.5f, "root");
  ok = ok && w.AddBone(0, -1.0f, -2.0f, -3.0f, "arm");
  ok = ok && w.BeginGroup("body");
  ok = ok && w.BeginSkin(0x0A, "mipped");
  w.SetSkinImage(8, 4, 2, true);
  ok = ok && w.WriteSkinImage(mip0.data(), mip1.data(), mip2.data(), mip3.data()) && w.FinishSkin();
  ok = ok && w.BeginSkin(0x15, "material");
  w.SetSkinImage(2, 2, 4, false);
  ok = ok && w.WriteSkinImage(rgba.data(), nullptr, nullptr, nullptr) && w.WriteMaterial(colors, 2.0f) &&
       w.FinishSkin();
  ok = ok && w.BeginSkin(0x20, "block");
  w.SetSkinImage(3, 1, 1, false);
  ok = ok && w.WriteSkinImage(grey.data(), nullptr, nullptr, nullptr) && w.WriteSizedBlock(5, block) &&
       w.FinishSkin();
  ok = ok && w.BeginSkin(6, "embedded");
  w.SetSkinImage(10, 1, 1, false);
  ok = ok && w.WriteSkinImage(embedded.data(), nullptr, nullptr, nullptr) && w.FinishSkin();
  ok = ok && w.AddTexCoord(0.0f, 1.0f) && w.AddTexCoord(0.5f, 0.25f);
  ok = ok && w.AddTriangle(0, 1, 2, 0, 1, 0xFFFF, 3) && w.AddTriangle(2, 1, 0, 1, 1, 1, -1);
  ok = ok && w.AddVertex(1, 2, 3, 0, 0, 0, 1) && w.AddVertex(-4, 5, 0, 1, 1, 0, 0) &&
       w.AddVertex(7, 8, -9, MDL7W::kNoBone, 0, -1, 0);
  ok = ok && w.BeginFrame("bend") && w.AddFrameVertex(2, 1, 2, 3, 0, 1, 0) &&
       w.AddFrameVertex(0xFFFF, 4, 5, 6, 0, 0, -1) && w.AddBoneTransform(1, matrix) && w.FinishFrame();
  ok = ok && w.BeginFrame("rest") && w.FinishFrame() && w.SetGroupDeformers(1, 3);
  ok = ok && w.BeginGroup("tail") && w.AddTexCoord(0.75f, 0.75f) && w.AddTriangle(0, 1, 2, 0, 0, 0, 0) &&
       w.AddVertex(1, 1, 1, 0, 0, 0, 1) && w.SetGroupDeformers(1, 2);
  for (int32_t group = 0; group < 2; ++group) {
    ok = ok && w.BeginDeformer(static_cast<uint8_t>(group + 1), group) &&
         w.BeginDeformerElement(5 + group, "joint") && w.AddDeformerWeight(0, 0.75f) &&
         w.AddDeformerWeight(2, 0.25f) && w.FinishDeformerElement() && w.FinishDeformer();
  }
  ok = ok && w.BeginLump() && w.BeginLumpSection(100) && w.BeginLumpList(200) &&
       w.AddLumpTriangle(9, 8, 7, 6, 5, 0xFFFF, 42) && w.FinishLumpList() && w.BeginLumpList(201) &&
       w.FinishLumpList() && w.FinishLumpSection() && w.FinishLump();
  return w.Close() && ok;
}

// One group, one plain skin, no bones, no lump.
bool WriteSmallModel(const std::string& path) {
  const std::vector<uint8_t> pixels = Pattern(12, 9);
  MDL7W w;
  bool ok = w.Open(path.c_str()) >= 0 && w.BeginGroup("only") && w.BeginSkin(2, "skin");
  w.SetSkinImage(2, 3, 2, false);
  ok = ok && w.WriteSkinImage(pixels.data(), nullptr, nullptr, nullptr) && w.FinishSkin();
  ok = ok && w.AddTexCoord(0, 0) && w.AddTriangle(0, 0, 0, 0, 0, 0, 0) && w.AddVertex(0, 0, 0, 0, 0, 0, 1) &&
       w.BeginFrame("f") && w.AddFrameVertex(0, 1, 1, 1, 1, 0, 0) && w.FinishFrame() && w.FinishGroup();
  return w.Close() && ok;
}

// Encodes a program for the export sequence target, opcode by opcode; the
// layout of each call's arguments mirrors the target's decoder.
class Program {
 public:
  Program& Op(uint8_t code) { return Byte(code); }
  Program& Byte(uint32_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    return *this;
  }
  Program& Word(uint32_t value) {
    for (int i = 0; i < 4; ++i) Byte(value >> (8 * i));
    return *this;
  }
  Program& Name(const std::string& name) {
    Byte(1).Byte(static_cast<uint32_t>(name.size()));
    for (char c : name) Byte(static_cast<uint8_t>(c));
    return Byte(0);  // not a null name
  }
  Program& Open(uint8_t path) { return Op(0).Byte(path); }
  Program& Header() {
    Op(1);
    const int32_t values[9] = {1024, 2048, 3072, 0, 0, -10240, 65535 * 1024, 65535 * 1024, 10240};
    for (int32_t v : values) Word(static_cast<uint32_t>(v));
    return Byte(0);
  }
  // format index, high flag, bytes per pixel + 1, width, height, shape.
  Program& Skin(uint8_t format, bool high, uint8_t bytesPerPixel, uint8_t width, uint8_t height) {
    Op(2).Byte(format).Byte(high ? 1 : 0);
    if (!high) Word(0);  // the engine-private flag bits
    Byte(bytesPerPixel + 1u).Byte(width).Byte(height).Byte(7);
    for (uint32_t i = 0; i < uint32_t{width} * height * bytesPerPixel; ++i) Byte(i * 13u);
    return Name("skin");
  }
  Program& EmptySkin(uint8_t width, uint8_t height) {
    return Op(3).Byte(width).Byte(height).Byte(7).Byte(5).Byte(0).Name("blank");
  }
  Program& Frame(const std::string& name) { return Op(4).Name(name); }
  Program& Vertices(uint8_t count) {
    Op(5).Byte(count - 1u);
    for (uint32_t i = 0; i < count; ++i) {
      Word(0).Word(i * 100u).Word(1024).Word(i * 4096u).Byte(1);
    }
    return *this;
  }
  Program& FrameEnd() { return Op(6); }
  Program& Close() { return Op(7); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seed_writer FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root(argv[1]);
  std::error_code error;
  fs::create_directories(root / "mdl7r", error);
  fs::create_directories(root / "export_sequence", error);

  bool ok = WriteFullModel((root / "mdl7r" / "full.mdl").string());
  ok = WriteSmallModel((root / "mdl7r" / "small.mdl").string()) && ok;

  Program terrain;
  terrain.Open(0).Header().EmptySkin(4, 4).Skin(0, true, 2, 8, 8).Frame("first").Vertices(16).FrameEnd();
  terrain.Frame("second").Vertices(16).FrameEnd().Close();
  ok = WriteBytes(root / "export_sequence" / "terrain.bin", terrain.Bytes()) && ok;

  Program skins;
  skins.Open(1)
      .Skin(1, false, 3, 5, 3)
      .Skin(3, false, 4, 16, 8)
      .Skin(2, false, 2, 7, 9)
      .Skin(4, false, 2, 2, 2);
  skins.Open(0).Frame("reopened").Vertices(4).Open(2).Close();
  ok = WriteBytes(root / "export_sequence" / "skins.bin", skins.Bytes()) && ok;

  Program unopened;
  unopened.Frame("early").Vertices(3).FrameEnd().EmptySkin(2, 2).Close().Open(0).Vertices(2).Close();
  ok = WriteBytes(root / "export_sequence" / "unopened.bin", unopened.Bytes()) && ok;

  if (!ok) std::fprintf(stderr, "fuzz_seed_writer: cannot write the seeds under %s\n", argv[1]);
  return ok ? 0 : 1;
}
