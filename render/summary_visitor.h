// modelinfo's summary of a model, filled by a walk over its records.
#pragma once

#include <cstdint>
#include <string>

#include "modelfiles/model_visitor.h"
#include "render/summary_record.h"

namespace render {

// Fills the header fields, counts, groups, skins and frames of a summary
// from the records of one walk. Frames get the bounds of the positions they
// store (an IDPO frame group those of all its frames). A record that runs
// past the end of the data, or is too large to be held, leaves the file
// unreadable and sets the summary's `error`; a value the format refuses or
// does not know ends the walk where the record starts, with the reason as
// its problem.
class SummaryVisitor : public modelfiles::ModelVisitor {
 public:
  explicit SummaryVisitor(ModelSummary& summary) : summary_(summary) {}

  bool WantsMesh() const override { return false; }
  void Header(const modelfiles::ModelHeader& header) override;
  void Group(const modelfiles::GroupRecord& group) override;
  void Skin(const modelfiles::SkinRecord& skin) override;
  void Frame(const modelfiles::FrameRecord& frame) override;
  void FrameVertex(const modelfiles::FrameVertexRecord& vertex) override;
  void FrameDone(const modelfiles::FrameRecord& frame) override;
  void End(uint32_t offset) override;
  void Failure(const modelfiles::WalkFailure& failure) override;

 private:
  void AddBounds(SummaryRecord& record) const;

  ModelSummary& summary_;
  modelfiles::ModelFamily family_ = modelfiles::ModelFamily::kMdl7;
  // MDL7: skins, texture coordinates, triangles, vertices and frames of all
  // groups.
  int64_t totals_[5] = {};
  // Bounds of the current frame's positions.
  bool boundsEmpty_ = true;
  double minimum_[3] = {};
  double maximum_[3] = {};
  std::string frameName_;
};

}  // namespace render
