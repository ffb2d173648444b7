#include "render/mesh_visitor.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

using modelfiles::WalkStep;

// Skins larger than this many pixels are drawn without their texture.
constexpr uint64_t kMaximumSkinPixels = uint64_t{1} << 26;
// Frames that move only some vertices are stored whole; no more positions
// than this are kept.
constexpr size_t kMaximumFramePoints = size_t{1} << 25;

bool Finite(const MeshPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The record's normal; (0, 0, 0) where it holds none.
template <typename Record>
MeshPoint NormalOf(const Record& record) {
  if (!record.hasNormal) return MeshPoint{};
  return MeshPoint{record.normal[0], record.normal[1], record.normal[2]};
}

// The record or run a failed step names, as modelview reports it.
std::string StepName(const modelfiles::WalkFailure& failure) {
  const std::string group = failure.group >= 0 ? "group " + std::to_string(failure.group) : "";
  const std::string prefix = group.empty() ? "" : group + " ";
  const std::string index = std::to_string(failure.index);
  switch (failure.step) {
    case WalkStep::kBones:
      return "the bones";
    case WalkStep::kGroup:
      return group;
    case WalkStep::kGroupBody:
      return group + " of type " + std::to_string(failure.groupType);
    case WalkStep::kSkin:
      return prefix + "skin " + index;
    case WalkStep::kTexCoord:
      return prefix + "texture coordinate " + index;
    case WalkStep::kTriangle:
      return prefix + "triangle " + index;
    case WalkStep::kVertex:
      return prefix + "vertex " + index;
    case WalkStep::kFrame:
      return prefix + "frame " + index;
    case WalkStep::kDeformers:
      return "the deformers";
    default:
      return "the model";
  }
}

// The material's colour and opacity. Writers keep the opacity in the alpha
// of the first colour value that holds one above 0 (some leave the diffuse
// alpha 0 and store it with the ambient colour); none is opaque.
MeshMaterial MaterialOf(const modelfiles::SkinMaterial& material) {
  MeshMaterial out;
  out.present = true;
  for (int c = 0; c < 3; ++c) out.rgb[c] = std::clamp(material.colors[0][c], 0.0f, 1.0f);
  out.opacity = 1;
  for (const auto& color : material.colors) {
    if (color[3] > 0) {
      out.opacity = std::min(color[3], 1.0f);
      break;
    }
  }
  return out;
}

}  // namespace

void MeshVisitor::SetError(const std::string& error) {
  if (error_.empty()) error_ = error;
}

void MeshVisitor::Header(const modelfiles::ModelHeader& header) {
  mdl7_ = header.family == modelfiles::ModelFamily::kMdl7;
  vertexCount_ = header.vertexCount;
  headerSkinWidth_ = header.skinWidth;
  headerSkinHeight_ = header.skinHeight;
}

int32_t MeshVisitor::SkinWidth() const {
  if (!mesh_.skin.Empty() || !wholeModel_) return mesh_.skin.width;
  return headerSkinWidth_;
}

int32_t MeshVisitor::SkinHeight() const {
  if (!mesh_.skin.Empty() || !wholeModel_) return mesh_.skin.height;
  return headerSkinHeight_;
}

void MeshVisitor::Group(const modelfiles::GroupRecord& group) {
  if (!error_.empty() || group.type != modelfiles::mdl7::kMeshGroupType) return;
  firstTexCoord_ = mesh_.texCoords.size() / 2;
  firstVertex_ = base_.size();
  groupTexCoords_ = group.texCoordCount;
  vertexCount_ = group.vertexCount;
  groupFrames_.emplace_back(firstVertex_, std::vector<GroupFrame>());
}

void MeshVisitor::Skin(const modelfiles::SkinRecord& skin) {
  if (!error_.empty()) return;
  if (mdl7_) mesh_.materials.push_back(skin.material.present ? MaterialOf(skin.material) : MeshMaterial());
  if (headerSkinWidth_ <= 0 || headerSkinHeight_ <= 0) {
    headerSkinWidth_ = skin.width;
    headerSkinHeight_ = skin.height;
  }
  if (!mesh_.skin.Empty() || skin.pixels == nullptr || skin.width <= 0 || skin.height <= 0) return;
  const uint64_t pixels = static_cast<uint64_t>(skin.width) * static_cast<uint64_t>(skin.height);
  if (skin.bytesPerPixel < 2 || pixels > kMaximumSkinPixels) return;
  DecodeTrueColourSkin(skin.type, skin.bytesPerPixel, skin.width, skin.height, skin.pixels, mesh_.skin);
}

void MeshVisitor::TexCoord(const modelfiles::TexCoordRecord& texCoord) {
  if (!error_.empty()) return;
  if (mdl7_) {
    mesh_.texCoords.push_back(texCoord.s);
    mesh_.texCoords.push_back(texCoord.t);
    return;
  }
  pixelCoords_.push_back(texCoord.s);
  pixelCoords_.push_back(texCoord.t);
  onSeam_.push_back(texCoord.onSeam);
  texCoordCount_ = onSeam_.size();
}

void MeshVisitor::Triangle(const modelfiles::TriangleRecord& record) {
  if (!error_.empty()) return;
  MeshTriangle triangle;
  triangle.material = record.material;
  for (int c = 0; c < 3; ++c) {
    const int32_t texCoord = record.texCoords[c];
    if (mdl7_) {
      // The reader checks the corners its record holds; one too short to
      // hold a corner leaves it 0, which names no vertex in a group without.
      if (record.vertices[c] < 0 || record.vertices[c] >= vertexCount_) {
        SetError("group " + std::to_string(record.group) + " triangle " + std::to_string(record.index) +
                 " names vertex " + std::to_string(record.vertices[c]) + " outside the " +
                 std::to_string(vertexCount_) + " vertices");
        return;
      }
      triangle.vertices[c] = static_cast<int32_t>(firstVertex_) + record.vertices[c];
      if (texCoord >= 0 && texCoord < groupTexCoords_)
        triangle.texCoords[c] = static_cast<int32_t>(firstTexCoord_) + texCoord;
      continue;
    }
    triangle.vertices[c] = record.vertices[c];
    if (texCoord < 0 || static_cast<size_t>(texCoord) >= texCoordCount_) continue;
    triangle.texCoords[c] = texCoord;
    if (!record.facesFront && onSeam_[static_cast<size_t>(texCoord)]) {
      // A back-facing corner on the seam reads the skin's right half, which
      // needs a coordinate of its own.
      const float s = pixelCoords_[2 * static_cast<size_t>(texCoord)];
      const float t = pixelCoords_[2 * static_cast<size_t>(texCoord) + 1];
      triangle.texCoords[c] = static_cast<int32_t>(pixelCoords_.size() / 2);
      pixelCoords_.push_back(s + static_cast<float>(SkinWidth()) / 2);
      pixelCoords_.push_back(t);
    }
  }
  mesh_.triangles.push_back(triangle);
}

void MeshVisitor::Vertex(const modelfiles::VertexRecord& vertex) {
  if (!error_.empty()) return;
  const MeshPoint p{vertex.position[0], vertex.position[1], vertex.position[2]};
  if (!Finite(p)) {
    SetError("group " + std::to_string(vertex.group) + " vertex " + std::to_string(vertex.index) +
             " has a position that is not a finite number");
    return;
  }
  base_.push_back(p);
  if (!wholeModel_) return;
  baseNormals_.push_back(NormalOf(vertex));
  anyNormal_ = anyNormal_ || vertex.hasNormal;
}

void MeshVisitor::Frame(const modelfiles::FrameRecord& frame) {
  if (!error_.empty()) return;
  if (mdl7_) {
    const size_t inGroup = groupFrames_.back().second.size();
    frameWhat_ = "group " + std::to_string(frame.group) + " frame " + std::to_string(inGroup);
    groupFrames_.back().second.push_back(GroupFrame{frame.name, {}, {}});
    return;
  }
  frameWhat_ = "frame " + std::to_string(frame.index);
  keepFrame_ = frame.groupFrame == 0;
  positions_.clear();
  normals_.clear();
}

void MeshVisitor::FrameVertex(const modelfiles::FrameVertexRecord& vertex) {
  if (!error_.empty() || (!mdl7_ && !keepFrame_)) return;
  const MeshPoint p{vertex.position[0], vertex.position[1], vertex.position[2]};
  if (mdl7_ && (vertex.vertex < 0 || vertex.vertex >= vertexCount_)) {
    SetError(frameWhat_ + " moves vertex " + std::to_string(vertex.vertex) + " outside the " +
             std::to_string(vertexCount_) + " vertices");
    return;
  }
  if (!Finite(p)) {
    SetError(frameWhat_ + " has a vertex position that is not a finite number");
    return;
  }
  anyNormal_ = anyNormal_ || vertex.hasNormal;
  if (mdl7_) {
    GroupFrame& groupFrame = groupFrames_.back().second.back();
    groupFrame.moves.emplace_back(static_cast<int32_t>(firstVertex_) + vertex.vertex, p);
    if (wholeModel_) groupFrame.moveNormals.push_back(NormalOf(vertex));
  } else {
    positions_.push_back(p);
    if (wholeModel_) normals_.push_back(NormalOf(vertex));
  }
}

void MeshVisitor::FrameDone(const modelfiles::FrameRecord& frame) {
  if (!error_.empty() || mdl7_ || !keepFrame_) return;
  mesh_.frames.push_back(std::move(positions_));
  if (wholeModel_) mesh_.normals.push_back(std::move(normals_));
  mesh_.frameNames.push_back(frame.name);
  positions_.clear();
  normals_.clear();
}

void MeshVisitor::FinishLegacy() {
  if (SkinWidth() > 0 && SkinHeight() > 0) {
    for (size_t i = 0; i < pixelCoords_.size(); i += 2) {
      mesh_.texCoords.push_back(pixelCoords_[i] / static_cast<float>(SkinWidth()));
      mesh_.texCoords.push_back(pixelCoords_[i + 1] / static_cast<float>(SkinHeight()));
    }
  }
}

void MeshVisitor::FinishMdl7() {
  // Frame k moves each group's vertices by that group's frame k; a model
  // without frames shows its base vertices.
  size_t frameCount = 1;
  for (const auto& entry : groupFrames_) frameCount = std::max(frameCount, entry.second.size());
  if (base_.size() > 0 && frameCount > kMaximumFramePoints / base_.size()) {
    SetError(std::to_string(frameCount) + " frames of " + std::to_string(base_.size()) +
             " vertices are more than can be drawn");
    return;
  }
  for (size_t k = 0; k < frameCount; ++k) {
    std::vector<MeshPoint> positions = base_;
    std::vector<MeshPoint> normals = baseNormals_;
    std::string name;
    for (const auto& entry : groupFrames_) {
      if (k >= entry.second.size()) continue;
      const GroupFrame& groupFrame = entry.second[k];
      if (name.empty()) name = groupFrame.name;
      for (size_t m = 0; m < groupFrame.moves.size(); ++m) {
        const size_t at = static_cast<size_t>(groupFrame.moves[m].first);
        positions[at] = groupFrame.moves[m].second;
        if (wholeModel_) normals[at] = groupFrame.moveNormals[m];
      }
    }
    mesh_.frames.push_back(std::move(positions));
    if (wholeModel_ && anyNormal_) mesh_.normals.push_back(std::move(normals));
    mesh_.frameNames.push_back(name.empty() ? "base" : name);
  }
}

void MeshVisitor::End(uint32_t) {
  if (!error_.empty()) return;
  if (mdl7_) {
    FinishMdl7();
  } else {
    FinishLegacy();
  }
  if (mesh_.skin.Empty() && !(wholeModel_ && (mdl7_ || SkinWidth() > 0))) {
    for (MeshTriangle& triangle : mesh_.triangles)
      triangle.texCoords[0] = triangle.texCoords[1] = triangle.texCoords[2] = -1;
  }
}

void MeshVisitor::Failure(const modelfiles::WalkFailure& failure) {
  const std::string what = StepName(failure);
  const std::string reason = failure.reason.Text();
  SetError(reason.empty() ? what + " cannot be read" : what + " cannot be read: " + reason);
}

}  // namespace render
