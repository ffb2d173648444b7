#include "tools/model_mesh.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "modelfiles/legacy_layout.h"
#include "modelfiles/legacy_model_reader.h"
#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7r.h"
#include "modelfiles/skin_format.h"
#include "platform/little_endian.h"

namespace tools {

namespace {

using modelfiles::LegacyModelReader;
using modelfiles::MDL7R;
using modelfiles::ModelReader;
using platform::LoadF32;
using platform::LoadI32;

// Skins larger than this many pixels are drawn without their texture.
constexpr uint64_t kMaximumSkinPixels = uint64_t{1} << 26;
// Frames that move only some vertices are stored whole; no more positions
// than this are kept.
constexpr size_t kMaximumFramePoints = size_t{1} << 25;

// "what: the reader's reason" for a record the reader refused.
std::string Refused(const ModelReader& reader, const std::string& what) {
  const std::string reason = reader.LastFailure().Text();
  return reason.empty() ? what + " cannot be read" : what + " cannot be read: " + reason;
}

bool Finite(const MeshPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// True when `size` bytes from `start` lie inside the reader's readable data.
bool InsideData(const ModelReader& reader, uint32_t start, uint64_t size) {
  return start <= reader.ReadableSize() && size <= reader.ReadableSize() - start;
}

// Decodes the skin whose `size` bytes of level 0 start at `start` when the
// mesh has no skin yet and this one holds colours.
void KeepFirstTrueColourSkin(const ModelReader& reader, uint32_t start, uint8_t type, int32_t bytesPerPixel,
                             int32_t width, int32_t height, MeshSkin& skin) {
  if (!skin.Empty() || width <= 0 || height <= 0 || bytesPerPixel < 2) return;
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > kMaximumSkinPixels) return;
  if (!InsideData(reader, start, pixels * static_cast<uint64_t>(bytesPerPixel))) return;
  DecodeTrueColourSkin(type, bytesPerPixel, width, height, reader.Buffer() + start, skin);
}

bool ReadLegacy(LegacyModelReader& reader, ModelMesh& mesh, std::string& error) {
  const int32_t format = reader.FormatCode();
  const bool idp2 = format == ModelReader::kFormatIdp2;
  const bool idpo = format == ModelReader::kFormatIdpo;
  const uint8_t* header = nullptr;
  if (!reader.GetHeader(&header)) {
    error = "the header cannot be read";
    return false;
  }
  for (int32_t i = 0; i < reader.SkinCount(); ++i) {
    const std::string what = "skin " + std::to_string(i);
    uint8_t type = 0, mip = 0;
    int32_t width = 0, height = 0, bytesPerPixel = 0;
    if (!reader.ReadSkin(&type, &width, &height, &bytesPerPixel, &mip)) {
      error = what + " has a pixel format this format does not know";
      return false;
    }
    const uint32_t start = reader.Offset();
    const uint8_t* level0 = nullptr;
    if (!reader.TakeSkinImage(idp2 ? nullptr : &level0, nullptr, nullptr, nullptr)) {
      error = Refused(reader, what);
      return false;
    }
    if (!idp2) KeepFirstTrueColourSkin(reader, start, type, bytesPerPixel, width, height, mesh.skin);
  }
  // IDPO and MDL2 texture coordinates on a seam move by half the skin width
  // on triangles that face backwards.
  std::vector<bool> onSeam;
  std::vector<float> pixelCoords;
  for (int32_t i = 0; i < reader.TexCoordCount(); ++i) {
    const uint32_t start = reader.Offset();
    int16_t s = 0, t = 0;
    if (!reader.ReadTexCoord(&s, &t)) {
      error = Refused(reader, "texture coordinate " + std::to_string(i));
      return false;
    }
    if (idpo) onSeam.push_back(LoadI32(reader.Buffer(), start) != 0);
    pixelCoords.push_back(s);
    pixelCoords.push_back(t);
  }
  const int32_t vertexCount = reader.VertexCount();
  const size_t texCoordCount = pixelCoords.size() / 2;
  for (int32_t i = 0; i < reader.TriangleCount(); ++i) {
    const uint32_t start = reader.Offset();
    MeshTriangle triangle;
    int32_t texCoords[3] = {-1, -1, -1};
    if (!reader.ReadTriangle(&triangle.vertices, &texCoords)) {
      error = "triangle " + std::to_string(i) + " cannot be read or names a vertex outside the " +
              std::to_string(vertexCount) + " vertices";
      return false;
    }
    bool facesFront = true;
    if (idpo) facesFront = LoadI32(reader.Buffer(), start) != 0;
    for (int c = 0; c < 3; ++c) {
      if (triangle.vertices[c] < 0 || triangle.vertices[c] >= vertexCount) {
        error = "triangle " + std::to_string(i) + " names vertex " + std::to_string(triangle.vertices[c]) +
                " outside the " + std::to_string(vertexCount) + " vertices";
        return false;
      }
      // IDPO and MDL2 store one texture coordinate per vertex.
      const int32_t texCoord = idpo ? triangle.vertices[c] : texCoords[c];
      if (texCoord >= 0 && static_cast<size_t>(texCoord) < texCoordCount) {
        triangle.texCoords[c] = texCoord;
        if (idpo && !facesFront && onSeam[static_cast<size_t>(texCoord)]) {
          // A back-facing corner on the seam reads the skin's right half,
          // which needs a coordinate of its own.
          const float s = pixelCoords[2 * static_cast<size_t>(texCoord)];
          const float t = pixelCoords[2 * static_cast<size_t>(texCoord) + 1];
          triangle.texCoords[c] = static_cast<int32_t>(pixelCoords.size() / 2);
          pixelCoords.push_back(s + static_cast<float>(mesh.skin.width) / 2);
          pixelCoords.push_back(t);
        }
      }
    }
    mesh.triangles.push_back(triangle);
  }
  if (!mesh.skin.Empty()) {
    for (size_t i = 0; i < pixelCoords.size(); i += 2) {
      mesh.texCoords.push_back(pixelCoords[i] / static_cast<float>(mesh.skin.width));
      mesh.texCoords.push_back(pixelCoords[i + 1] / static_cast<float>(mesh.skin.height));
    }
  } else {
    for (MeshTriangle& triangle : mesh.triangles)
      triangle.texCoords[0] = triangle.texCoords[1] = triangle.texCoords[2] = -1;
  }

  namespace legacy = modelfiles::legacy;
  float scale[3], origin[3];
  for (uint32_t a = 0; a < 3; ++a) {
    scale[a] = LoadF32(header, legacy::kHeaderScale + 4 * a);
    origin[a] = LoadF32(header, legacy::kHeaderOrigin + 4 * a);
  }
  for (int32_t f = 0; f < reader.FrameCount(); ++f) {
    const std::string what = "frame " + std::to_string(f);
    char name[LegacyModelReader::kNameSize] = {};
    float frameScale[3] = {}, translation[3] = {};
    if (!reader.ReadFrame(&name, nullptr, nullptr, &frameScale, &translation)) {
      error = what + " is not a simple frame (frame groups are not supported)";
      return false;
    }
    const float* s = idp2 ? frameScale : scale;
    const float* t = idp2 ? translation : origin;
    std::vector<MeshPoint> positions;
    for (int32_t v = 0; v < vertexCount; ++v) {
      uint16_t packed[3] = {};
      int32_t normal = 0;
      if (!reader.ReadFrameVertex(&packed, &normal)) {
        error = Refused(reader, what);
        return false;
      }
      const MeshPoint p{s[0] * packed[0] + t[0], s[1] * packed[1] + t[1], s[2] * packed[2] + t[2]};
      if (!Finite(p)) {
        error = what + " has a vertex position that is not a finite number";
        return false;
      }
      positions.push_back(p);
    }
    mesh.frames.push_back(std::move(positions));
    mesh.frameNames.emplace_back(name);
  }
  return true;
}

// One frame of a mesh group: the vertices it moves and where to.
struct GroupFrame {
  std::string name;
  std::vector<std::pair<int32_t, MeshPoint>> moves;
};

bool ReadMdl7(MDL7R& reader, ModelMesh& mesh, std::string& error) {
  int32_t bones = 0, groups = 0, dataSize = 0, lumpSize = 0, secondLumpSize = 0;
  reader.ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize);
  if (!reader.SkipBones()) {
    error = Refused(reader, "the bones");
    return false;
  }
  std::vector<MeshPoint> base;
  // Per mesh group: its first vertex in `base` and its frames.
  std::vector<std::pair<size_t, std::vector<GroupFrame>>> groupFrames;
  for (int32_t g = 0; g < groups; ++g) {
    const std::string group = "group " + std::to_string(g);
    uint8_t type = 0;
    int32_t groupBytes = 0;
    char groupName[MDL7R::kNameSize] = {};
    int32_t skins = 0, texCoords = 0, triangles = 0, vertices = 0, frames = 0;
    if (!reader.ReadGroup(type, groupBytes, groupName) ||
        !reader.ReadGroupCounts(skins, texCoords, triangles, vertices, frames)) {
      error = Refused(reader, group);
      return false;
    }
    if (type != modelfiles::mdl7::kMeshGroupType) {
      if (!reader.WalkGroup()) {
        error = Refused(reader, group + " of type " + std::to_string(type));
        return false;
      }
      continue;
    }
    // A record of 0 bytes (a record size of 0 in the header) leaves the
    // cursor where it was, so every later one of its kind reads the same
    // bytes: up to 2^31 - 1 of them would spin and fill memory with copies.
    // Such a run of skins or frames ends after its first, as the reader's
    // walk ends it; a run of any other kind of record is refused.
    auto emptyRun = [&](uint32_t before, int32_t index, int32_t count, const char* kind) {
      if (index != 0 || count < 2 || reader.Offset() != before) return false;
      error = group + ": " + std::to_string(count) + " " + kind + " records of 0 bytes each";
      return true;
    };
    for (int32_t s = 0; s < skins; ++s) {
      const std::string what = group + " skin " + std::to_string(s);
      const uint32_t skinStart = reader.Offset();
      uint8_t skinType = 0, mip = 0;
      char skinName[MDL7R::kNameSize] = {};
      int32_t width = 0, height = 0, bytesPerPixel = 0;
      if (!reader.ReadSkin(skinType, skinName) || !reader.ReadSkinImage(width, height, bytesPerPixel, mip)) {
        error = Refused(reader, what);
        return false;
      }
      const uint32_t start = reader.Offset();
      if (!reader.SkipSkinData()) {
        error = Refused(reader, what);
        return false;
      }
      const uint8_t format = skinType & modelfiles::kSkinFormatMask;
      if (format >= 2 && format <= 5) {
        KeepFirstTrueColourSkin(reader, start, skinType, bytesPerPixel, width, height, mesh.skin);
      }
      if (reader.Offset() == skinStart) break;
    }
    const size_t firstTexCoord = mesh.texCoords.size() / 2;
    for (int32_t i = 0; i < texCoords; ++i) {
      const uint32_t before = reader.Offset();
      float s = 0, t = 0;
      if (!reader.ReadTexCoord(s, t)) {
        error = Refused(reader, group + " texture coordinate " + std::to_string(i));
        return false;
      }
      if (emptyRun(before, i, texCoords, "texture coordinate")) return false;
      mesh.texCoords.push_back(s);
      mesh.texCoords.push_back(t);
    }
    const size_t firstVertex = base.size();
    for (int32_t i = 0; i < triangles; ++i) {
      const uint32_t before = reader.Offset();
      MeshTriangle triangle;
      int32_t corners[3] = {}, texCoordIndices[3] = {}, material = 0;
      if (!reader.ReadTriangle(corners, texCoordIndices, material)) {
        error = group + " triangle " + std::to_string(i) + " cannot be read or names a vertex outside the " +
                std::to_string(vertices) + " vertices";
        return false;
      }
      if (emptyRun(before, i, triangles, "triangle")) return false;
      for (int c = 0; c < 3; ++c) {
        // The reader checks the corners its record holds; a record too short
        // to hold one leaves it 0, which names no vertex in a group without.
        if (corners[c] < 0 || corners[c] >= vertices) {
          error = group + " triangle " + std::to_string(i) + " names vertex " + std::to_string(corners[c]) +
                  " outside the " + std::to_string(vertices) + " vertices";
          return false;
        }
        triangle.vertices[c] = static_cast<int32_t>(firstVertex) + corners[c];
        if (texCoordIndices[c] >= 0 && texCoordIndices[c] < texCoords) {
          triangle.texCoords[c] = static_cast<int32_t>(firstTexCoord) + texCoordIndices[c];
        }
      }
      mesh.triangles.push_back(triangle);
    }
    for (int32_t i = 0; i < vertices; ++i) {
      const uint32_t before = reader.Offset();
      MeshPoint p;
      int32_t bone = 0;
      if (!reader.ReadVertex(p.x, p.y, p.z, bone)) {
        error = Refused(reader, group + " vertex " + std::to_string(i));
        return false;
      }
      if (emptyRun(before, i, vertices, "vertex")) return false;
      if (!Finite(p)) {
        error = group + " vertex " + std::to_string(i) + " has a position that is not a finite number";
        return false;
      }
      base.push_back(p);
    }
    std::vector<GroupFrame> list;
    for (int32_t f = 0; f < frames; ++f) {
      const std::string what = group + " frame " + std::to_string(f);
      const uint32_t frameStart = reader.Offset();
      int32_t frameVertices = 0, transforms = 0;
      char frameName[MDL7R::kNameSize] = {};
      if (!reader.ReadFrame(frameVertices, transforms, frameName)) {
        error = Refused(reader, what);
        return false;
      }
      GroupFrame frame{frameName, {}};
      for (int32_t v = 0; v < frameVertices; ++v) {
        const uint32_t before = reader.Offset();
        int32_t index = 0;
        MeshPoint p;
        if (!reader.ReadFrameVertex(index, p.x, p.y, p.z)) {
          error = Refused(reader, what);
          return false;
        }
        if (emptyRun(before, v, frameVertices, "frame vertex")) return false;
        if (index < 0 || index >= vertices) {
          error = what + " moves vertex " + std::to_string(index) + " outside the " +
                  std::to_string(vertices) + " vertices";
          return false;
        }
        if (!Finite(p)) {
          error = what + " has a vertex position that is not a finite number";
          return false;
        }
        frame.moves.emplace_back(static_cast<int32_t>(firstVertex) + index, p);
      }
      for (int32_t b = 0; b < transforms; ++b) {
        const uint32_t before = reader.Offset();
        int32_t bone = 0;
        uint8_t matrix[64];
        if (!reader.ReadBoneTransform(bone, matrix)) {
          error = Refused(reader, what);
          return false;
        }
        if (emptyRun(before, b, transforms, "bone transform")) return false;
      }
      list.push_back(std::move(frame));
      if (reader.Offset() == frameStart) break;
    }
    groupFrames.emplace_back(firstVertex, std::move(list));
  }
  // Frame k moves each group's vertices by that group's frame k; a model
  // without frames shows its base vertices.
  size_t frameCount = 1;
  for (const auto& entry : groupFrames) frameCount = std::max(frameCount, entry.second.size());
  if (base.size() > 0 && frameCount > kMaximumFramePoints / base.size()) {
    error = std::to_string(frameCount) + " frames of " + std::to_string(base.size()) +
            " vertices are more than can be drawn";
    return false;
  }
  for (size_t k = 0; k < frameCount; ++k) {
    std::vector<MeshPoint> positions = base;
    std::string name;
    for (const auto& entry : groupFrames) {
      if (k >= entry.second.size()) continue;
      if (name.empty()) name = entry.second[k].name;
      for (const auto& move : entry.second[k].moves) positions[static_cast<size_t>(move.first)] = move.second;
    }
    mesh.frames.push_back(std::move(positions));
    mesh.frameNames.push_back(name.empty() ? "base" : name);
  }
  if (mesh.skin.Empty()) {
    for (MeshTriangle& triangle : mesh.triangles)
      triangle.texCoords[0] = triangle.texCoords[1] = triangle.texCoords[2] = -1;
  }
  return true;
}

}  // namespace

bool DecodeTrueColourSkin(uint8_t type, int32_t bytesPerPixel, int32_t width, int32_t height,
                          const uint8_t* pixels, MeshSkin& skin) {
  if (width <= 0 || height <= 0 || bytesPerPixel < 2 || bytesPerPixel > 4) return false;
  const uint8_t format = type & modelfiles::kSkinFormatMask;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgba(count * 4);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = pixels + i * static_cast<size_t>(bytesPerPixel);
    uint8_t* out = rgba.data() + 4 * i;
    if (bytesPerPixel == 2) {
      const uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
      if (format == 3) {  // 4 bits each of alpha, red, green, blue
        out[0] = static_cast<uint8_t>(((v >> 8) & 15) * 17);
        out[1] = static_cast<uint8_t>(((v >> 4) & 15) * 17);
        out[2] = static_cast<uint8_t>((v & 15) * 17);
        out[3] = static_cast<uint8_t>((v >> 12) * 17);
      } else {  // 5 bits red, 6 green, 5 blue
        out[0] = static_cast<uint8_t>(((v >> 11) & 31) * 255 / 31);
        out[1] = static_cast<uint8_t>(((v >> 5) & 63) * 255 / 63);
        out[2] = static_cast<uint8_t>((v & 31) * 255 / 31);
        out[3] = 255;
      }
    } else {  // blue, green, red and, in 4 bytes, alpha
      out[0] = p[2];
      out[1] = p[1];
      out[2] = p[0];
      out[3] = bytesPerPixel == 4 ? p[3] : 255;
    }
  }
  skin.width = width;
  skin.height = height;
  skin.rgba = std::move(rgba);
  return true;
}

bool ReadModelMesh(ModelReader& reader, ModelMesh& mesh, std::string& error) {
  mesh = ModelMesh();
  bool read = false;
  if (auto* mdl7 = dynamic_cast<MDL7R*>(&reader)) {
    read = ReadMdl7(*mdl7, mesh, error);
  } else if (auto* legacy = dynamic_cast<LegacyModelReader*>(&reader)) {
    read = ReadLegacy(*legacy, mesh, error);
  } else {
    error = "no reader of this model's format";
  }
  if (read && mesh.frames.empty()) {
    error = "the model has no frames to draw";
    read = false;
  }
  if (!read) mesh = ModelMesh();
  return read;
}

}  // namespace tools
