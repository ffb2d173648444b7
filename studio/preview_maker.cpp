#include "studio/preview_maker.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "generator/module_chain.h"
#include "noisemap/noise_map_builder_plane.h"

namespace studio {

namespace {

// One band of rows, built by one thread over its own chain.
struct Band {
  int firstRow = 0;
  int rowCount = 0;
  duneforge::ModuleChain chain;
  noise::utils::HeightGrid grid;
  std::exception_ptr error;
};

void BuildBand(const PreviewArea& area, Band& band) {
  try {
    noise::utils::NoiseMapBuilderPlane builder;
    builder.AttachModule(band.chain.OutputModule());
    builder.SetDestGrid(band.grid);
    builder.SetGridSize(area.width, area.height);
    builder.SetSeamless(false);
    builder.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);
    builder.BuildBand(band.firstRow, band.rowCount);
  } catch (...) {
    band.error = std::current_exception();
  }
}

}  // namespace

void PreviewMaker::Make(const duneforge::CommandSettings& settings, const PreviewArea& area,
                        noise::utils::HeightGrid& grid) const {
  assert(area.width >= 1 && area.width <= kLargestPreviewSide);
  assert(area.height >= 1 && area.height <= kLargestPreviewSide);
  // Bounds first, with the plane builder's own check, so a bad area is
  // named before any chain is built.
  noise::utils::NoiseMapBuilderPlane check;
  check.SetBounds(area.lowerX, area.upperX, area.lowerZ, area.upperZ);

  const int bandCount = std::min(threads_, static_cast<int>(area.height));
  std::vector<Band> bands(static_cast<size_t>(bandCount));
  for (int i = 0; i < bandCount; ++i) {
    Band& band = bands[static_cast<size_t>(i)];
    band.firstRow = static_cast<int>(static_cast<int64_t>(area.height) * i / bandCount);
    band.rowCount = static_cast<int>(static_cast<int64_t>(area.height) * (i + 1) / bandCount) - band.firstRow;
    band.chain = duneforge::BuildModuleChain(settings);
  }
  std::vector<std::thread> threads;
  for (size_t i = 1; i < bands.size(); ++i)
    threads.emplace_back(BuildBand, std::cref(area), std::ref(bands[i]));
  BuildBand(area, bands[0]);
  for (std::thread& thread : threads) thread.join();
  for (const Band& band : bands) {
    if (band.error) std::rethrow_exception(band.error);
  }

  grid.Resize(area.width, area.height);
  for (const Band& band : bands) {
    for (int y = 0; y < band.rowCount; ++y) {
      std::memcpy(grid.RowData(band.firstRow + y), band.grid.RowData(y),
                  static_cast<size_t>(area.width) * sizeof(float));
    }
  }
}

}  // namespace studio
