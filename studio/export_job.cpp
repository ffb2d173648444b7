#include "studio/export_job.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <system_error>
#include <utility>

#include "generator/duneforge_run.h"
#include "generator/header_error.h"
#include "generator/height_array_run.h"
#include "generator/height_array_writer.h"
#include "generator/tile_generator.h"
#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "platform/file_replacement.h"
#include "platform/progress_report.h"
#include "studio/preview_maker.h"
#include "studio/relief_png.h"
#include "studio/studio_error.h"
#include "terrain/terrain_saver.h"

namespace studio {

namespace {

// Thrown through the generator when the export is asked to stop.
struct Stopped {};

// The words before a refusal of the terrain itself, which names no file.
constexpr const char* kTerrainRefused = "the terrain cannot be exported: ";

// Without a height scale of the request's, heights span this share of the
// terrain's larger side, as the Blender import takes a terrain that says no
// range.
constexpr double kDefaultSpanShare = 0.1;

// The height scale that makes the grid's heights span a tenth of its larger
// side; 1 where the heights or the side span nothing.
double DefaultHeightScale(const terrain::TerrainGrid& grid, double spacing) {
  const auto range = std::minmax_element(grid.heights.begin(), grid.heights.end());
  const double span = grid.heights.empty() ? 0.0 : *range.second - *range.first;
  const double side = static_cast<double>(std::max(grid.columns, grid.rows) - 1) * spacing;
  return span > 0.0 && side > 0.0 ? kDefaultSpanShare * side / span : 1.0;
}

// The preview's relief as a skin picture: rows from the top, which is the
// north (the highest z), each pixel blue, green, red.
terrain::BmpImage PreviewSkin(const duneforge::CommandSettings& settings, int threads) {
  PreviewArea area;
  area.lowerX = settings.lowerX;
  area.upperX = settings.upperX;
  area.lowerZ = settings.lowerZ;
  area.upperZ = settings.upperZ;
  noise::utils::HeightGrid grid;
  PreviewMaker(threads).Make(settings, area, grid);
  noise::utils::ImageGrid image;
  ReliefPng::Render(grid, image);
  return terrain::PictureOfImage(image);
}

}  // namespace

// Thrown by the export when the terrain room refuses the terrain (`terrain`)
// or a file: the room's result, kept as it came.
struct ExportJob::Refused {
  terrain::TerrainResult result;
  bool terrain = false;
};

// Counts what is done into the job, and stops the work when asked to.
class ExportJob::Progress : public platform::ProgressReport {
 public:
  explicit Progress(ExportJob& job) : job_(job) {}
  void Update(uint64_t done) override {
    {
      std::lock_guard<std::mutex> lock(job_.mutex_);
      job_.done_ = done;
    }
    if (job_.stop_) throw Stopped();
  }

 private:
  ExportJob& job_;
};

ExportJob::ExportJob(ExportRequest request, const StudioFolder& folder, int threads)
    : request_(std::move(request)), threads_(threads < 1 ? 1 : threads) {
  for (const std::string& name : request_.FileNames()) paths_.push_back(folder.OutputPath(name));
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    throw StudioError(503, std::string("the export cannot start a thread: ") + e.what());
  }
}

ExportJob::~ExportJob() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

bool ExportJob::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_ == Phase::kRunning;
}

const char* ExportJob::PhaseName(Phase phase) {
  switch (phase) {
    case Phase::kRunning:
      return "running";
    case Phase::kDone:
      return "done";
    case Phase::kFailed:
      return "failed";
    case Phase::kCancelled:
      return "cancelled";
  }
  return "failed";
}

nlohmann::json ExportJob::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  nlohmann::json state = {{"state", PhaseName(state_)}, {"done", done_}, {"total", total_}};
  if (state_ == Phase::kDone) state["written"] = request_.FileNames();
  if (state_ == Phase::kDone && request_.GetKind() != ExportRequest::Kind::kNoise) {
    state["spacing"] = request_.Spacing();
    state["heightScale"] = heightScale_;
  }
  if (state_ == Phase::kFailed) state["error"] = FailureText();
  if (state_ == Phase::kFailed && !fields_.empty()) state["fields"] = fields_;
  return state;
}

std::string ExportJob::FailureText() const {
  if (refusal_) return error_;
  return (terrainRefused_ ? kTerrainRefused : "") + refusal_.Text();
}

void ExportJob::Finish(Phase phase, const std::string& error, const std::vector<std::string>& fields) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = phase;
  error_ = error;
  fields_ = fields;
}

void ExportJob::Finish(const Refused& refused) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = Phase::kFailed;
  refusal_ = refused.result;
  terrainRefused_ = refused.terrain;
}

void ExportJob::Run() {
  try {
    if (request_.GetKind() == ExportRequest::Kind::kNoise) {
      WriteNoise();
    } else {
      WriteTerrain();
    }
    Finish(Phase::kDone, "");
  } catch (const Refused& refused) {
    Finish(refused);
  } catch (const Stopped&) {
    if (cancelled_) {
      Finish(Phase::kCancelled, "");
    } else {
      Finish(Phase::kFailed, "the export was stopped before it was done; nothing was written");
    }
  } catch (const StudioError& e) {
    Finish(Phase::kFailed, e.what(), e.Fields());
  } catch (const duneforge::HeaderError& e) {
    Finish(Phase::kFailed, e.Message(), e.Fields());
  } catch (const noise::Exception&) {
    Finish(Phase::kFailed, duneforge::DescribeCurrentException());
  } catch (const std::bad_alloc&) {
    Finish(Phase::kFailed, "out of memory");
  } catch (const std::exception& e) {
    Finish(Phase::kFailed, e.what());
  }
}

void ExportJob::WriteNoise() {
  const duneforge::CommandSettings& settings = request_.Settings();
  duneforge::HeightArrayRun run(settings, threads_, duneforge::MemoryBudgetBytes(),
                                duneforge::EvaluatorFromEnvironment());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = static_cast<uint64_t>(run.TileCount());
  }
  platform::FileReplacement array;
  const int fd = array.Begin(paths_[0].c_str());
  if (fd < 0)
    throw Refused{terrain::TerrainResult::FromReason(array.LastFailure()).WithPath(request_.FileNames()[0])};
  duneforge::HeightArrayWriter out;
  out.OpenDescriptor(fd, request_.FileNames()[0]);
  Progress progress(*this);
  run.Write(out, &progress);
  out.Close();
  if (settings.preview != 0) duneforge::WritePreview(run.LastTile(), paths_[1]);
  if (!array.Commit()) {
    throw Refused{terrain::TerrainResult::FromReason(array.LastFailure()).WithPath(request_.FileNames()[0])};
  }
}

void ExportJob::WriteTerrain() {
  const duneforge::CommandSettings& settings = request_.Settings();
  // The request has checked the area's size.
  const int64_t columns = int64_t{settings.tilesX} * settings.tileWidth;
  const int64_t rows = int64_t{settings.tilesZ} * settings.tileHeight;
  duneforge::TileGenerator generator(settings, true);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = static_cast<uint64_t>(generator.Pieces());
  }
  Progress progress(*this);
  generator.Run(&progress);
  terrain::TerrainGrid grid;
  grid.columns = static_cast<int32_t>(columns);
  grid.rows = static_cast<int32_t>(rows);
  const std::vector<float>& values = generator.Values();
  grid.heights.assign(values.begin(), values.end());
  generator.Values() = std::vector<float>();
  terrain::TerrainOptions options;
  options.spacingX = options.spacingY = request_.Spacing();
  options.heightScale =
      request_.HeightScale() > 0.0 ? request_.HeightScale() : DefaultHeightScale(grid, request_.Spacing());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    heightScale_ = options.heightScale;
  }
  const std::vector<std::string>& names = request_.FileNames();
  if (request_.GetKind() == ExportRequest::Kind::kObj && names.size() > 2) options.objTextureName = names[2];
  // "blank" asks for the blank skin, not the relief the savers draw by
  // default.
  if (!request_.PreviewSkin()) options.defaultSkin = terrain::DefaultSkin::kBlank;
  const terrain::TerrainResult prepared = terrain::PrepareTerrain(options, grid);
  if (!prepared) throw Refused{prepared, true};
  const terrain::TerrainFormat format =
      request_.GetKind() == ExportRequest::Kind::kHmp7    ? terrain::TerrainFormat::kHmp
      : request_.GetKind() == ExportRequest::Kind::kPng16 ? terrain::TerrainFormat::kPng
                                                          : terrain::TerrainFormat::kObj;
  if (stop_) throw Stopped();
  const bool skinned = request_.PreviewSkin() && format != terrain::TerrainFormat::kPng;
  const terrain::TerrainResult saved =
      skinned ? terrain::SaveTerrain(grid, format, options, PreviewSkin(settings, threads_), paths_[0])
              : terrain::SaveTerrain(grid, format, options, paths_[0]);
  if (!saved) throw Refused{saved};
}

}  // namespace studio
