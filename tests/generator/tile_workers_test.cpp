// Tiles built on several threads: for every worker count the height array,
// the last tile's grid and a failure are what one thread gives.
#include "generator/tile_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "generator/duneforge_run.h"
#include "generator/piece_appender.h"
#include "generator/piece_plan.h"
#include "noisemap/error.h"
#include "platform/file_fault_injector.h"
#include "support/temp_dir_fixture.h"

namespace {

using duneforge::CommandSettings;

// x + 100 z, and a failure without text from z = failFromZ on. It keeps no
// state, so several threads may sample copies of it.
class FailingModule : public noise::module::Module {
 public:
  explicit FailingModule(double failFromZ) : Module(0), failFromZ_(failFromZ) {}
  int GetSourceModuleCount() const override { return 0; }
  double GetValue(double x, double /*y*/, double z) const override {
    if (z >= failFromZ_) throw noise::ExceptionInvalidParam();
    return x + 100.0 * z;
  }

 private:
  double failFromZ_;
};

struct Outcome {
  std::string text;   // what reached the height array
  std::string error;  // the failure's message, empty when none
  std::vector<float> lastTile;
};

std::vector<float> Values(const noise::utils::HeightGrid& grid) {
  std::vector<float> values;
  for (int y = 0; y < grid.GetHeight(); ++y) {
    values.insert(values.end(), grid.RowData(y), grid.RowData(y) + grid.GetWidth());
  }
  return values;
}

class TileWorkersTest : public testsupport::TempDirFixture {
 protected:
  std::string ReadArray() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // One thread, the tile loop as it has always run.
  Outcome OneThread(const CommandSettings& s, double failFromZ) {
    FailingModule module(failFromZ);
    noise::utils::HeightGrid grid;
    noise::utils::NoiseMapBuilderPlane builder;
    builder.AttachModule(module);
    builder.SetDestGrid(grid);
    builder.SetGridSize(s.tileWidth, s.tileHeight);
    return Capture([&](duneforge::HeightArrayWriter& out) {
      duneforge::GenerateTiles(s, builder, grid, out);
      return Values(grid);
    });
  }

  Outcome Workers(const CommandSettings& s, double failFromZ, int count, int32_t bandRows) {
    std::vector<std::unique_ptr<FailingModule>> modules;
    for (int i = 0; i < count; ++i) modules.push_back(std::make_unique<FailingModule>(failFromZ));
    size_t next = 0;
    const auto attach = [&](noise::utils::NoiseMapBuilderPlane& builder) {
      builder.AttachModule(*modules.at(next++));
    };
    // 0: the bands the budget's plan chooses for this many workers.
    const int64_t tiles = duneforge::TileCount(s);
    if (bandRows == 0) {
      bandRows = duneforge::PiecePlan::Choose(tiles, s.tileWidth, s.tileHeight, count,
                                              duneforge::PiecePlan::kDefaultBudgetBytes)
                     .BandRows();
    }
    duneforge::TileWorkers workers(
        s, attach, duneforge::PiecePlan::Fixed(tiles, s.tileWidth, s.tileHeight, count, bandRows));
    EXPECT_EQ(next, modules.size());
    return Capture([&](duneforge::HeightArrayWriter& out) {
      workers.Run(out);
      return Values(workers.LastTile());
    });
  }

  // One thread in bands of `bandRows` rows.
  Outcome OneThreadInBands(const CommandSettings& s, double failFromZ, int32_t bandRows) {
    FailingModule module(failFromZ);
    noise::utils::HeightGrid grid;
    duneforge::PreviewTile lastTile(s.tileWidth, s.tileHeight);
    noise::utils::NoiseMapBuilderPlane builder;
    builder.AttachModule(module);
    builder.SetDestGrid(grid);
    builder.SetGridSize(s.tileWidth, s.tileHeight);
    return Capture([&](duneforge::HeightArrayWriter& out) {
      const duneforge::PiecePlan plan =
          duneforge::PiecePlan::Fixed(duneforge::TileCount(s), s.tileWidth, s.tileHeight, 1, bandRows);
      duneforge::PieceAppender(plan, out, nullptr).BuildAll(s, builder, grid, &lastTile);
      return Values(lastTile.Grid());
    });
  }

  // Runs `generate` on a height array that holds `earlier` (none: no file).
  template <typename Generate>
  Outcome Capture(Generate generate) {
    std::remove(path_.c_str());
    if (!earlier_.empty()) std::ofstream(path_, std::ios::binary) << earlier_;
    Outcome outcome;
    duneforge::HeightArrayWriter out;
    EXPECT_TRUE(out.Open(path_));
    try {
      outcome.lastTile = generate(out);
    } catch (const noise::utils::ErrorMessage& e) {
      outcome.error = e.Message();
    }
    out.Close();
    outcome.text = ReadArray();
    return outcome;
  }

  std::string path_ = temp_.File("noise_arr.txt");
  std::string earlier_;
};

// Pieces are whole tiles or bands of rows (0: the workers choose); a tile
// reaches the file whole or not at all.
TEST_F(TileWorkersTest, EveryWorkerCountAndBandSizeWritesWhatOneThreadWrites) {
  CommandSettings s;
  s.tileWidth = 7;
  s.lowerX = 0.0f;
  s.lowerZ = 0.0f;
  const struct {
    const char* name;
    int32_t tilesX, tilesZ, tileHeight, bandRows;
    double failFromZ;
    size_t tilesWritten;
    const char* error;
  } runs[] = {
      {"one tile", 1, 1, 3, 0, 1e9, 1, ""},
      {"more tiles than workers", 5, 3, 3, 0, 1e9, 15, ""},
      // Rows of tiles from z = 1 on fail: tile 5 is the first, tiles after
      // it fail too, and whatever the workers had in hand is dropped.
      {"a tile fails partway", 5, 3, 3, 0, 1.0, 5, "tile 5 (tileWidth 7, tileHeight 3): invalid parameter"},
      // 7 rows in bands of 3, 3 and 1.
      {"one tile in bands", 1, 1, 7, 3, 1e9, 1, ""},
      {"tiles in bands", 2, 2, 7, 3, 1e9, 4, ""},
      // Row 5 of 7 (z = 0.714) of the second row of tiles fails: its first
      // band is done by then, yet none of its rows may be written.
      {"a band fails", 1, 2, 7, 3, 1.7, 1, "tile 1 (tileWidth 7, tileHeight 7): invalid parameter"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    s.tilesX = run.tilesX;
    s.tilesZ = run.tilesZ;
    s.tileHeight = run.tileHeight;
    s.upperX = static_cast<float>(run.tilesX);
    s.upperZ = static_cast<float>(run.tilesZ);
    const Outcome one = OneThread(s, run.failFromZ);
    EXPECT_EQ(static_cast<size_t>(std::count(one.text.begin(), one.text.end(), ',')),
              run.tilesWritten * 7 * static_cast<size_t>(run.tileHeight));
    EXPECT_EQ(one.error, run.error);
    for (int count : {1, 2, 3, 7}) {
      SCOPED_TRACE(count);
      const Outcome many = Workers(s, run.failFromZ, count, run.bandRows);
      EXPECT_EQ(many.text, one.text);
      EXPECT_EQ(many.error, one.error);
      EXPECT_EQ(many.lastTile, one.lastTile);
    }
    if (run.bandRows > 0) {
      const Outcome banded = OneThreadInBands(s, run.failFromZ, run.bandRows);
      EXPECT_EQ(banded.text, one.text);
      EXPECT_EQ(banded.error, one.error);
      EXPECT_EQ(banded.lastTile, one.lastTile);
    }
  }
}

// Bands go out as they come: the bands of a failed tile that already
// reached the file (each of 3 x 4000 values is more than the writer's
// buffer) are taken back, on worker threads and on the writer's own, to
// the file as it stood before that tile: an earlier run's values stay whole
// before the tiles of this run. When that cut fails the run says so.
TEST_F(TileWorkersTest, BandsOfAFailedTileThatReachedTheFileAreTakenBack) {
  CommandSettings s;
  s.tilesX = 1;
  s.tilesZ = 2;
  s.tileWidth = 4000;
  s.tileHeight = 7;
  s.upperX = 1.0f;
  s.upperZ = 2.0f;
  // Row 5 of the second tile (z = 1.714) fails.
  const Outcome one = OneThread(s, 1.7);
  ASSERT_EQ(static_cast<size_t>(std::count(one.text.begin(), one.text.end(), ',')), 4000u * 7);
  for (const char* earlier : {"", "0.5,-1,0.25,"}) {
    SCOPED_TRACE(earlier);
    earlier_ = earlier;
    for (int count : {2, 3}) {
      const Outcome many = Workers(s, 1.7, count, 3);
      EXPECT_TRUE(many.text == earlier_ + one.text) << count;
      EXPECT_EQ(many.error, one.error) << count;
    }
    const Outcome banded = OneThreadInBands(s, 1.7, 3);
    EXPECT_TRUE(banded.text == earlier_ + one.text);
    EXPECT_EQ(banded.error, one.error);
  }
  earlier_.clear();
  platform::FileFaultInjector::FailCall(platform::FileFaultInjector::Operation::kTruncate, 1);
  const Outcome uncut = Workers(s, 1.7, 2, 3);
  platform::FileFaultInjector::Reset();
  EXPECT_EQ(uncut.error, path_ + ": cannot take back the values of a failed tile: Input/output error");
}

}  // namespace
