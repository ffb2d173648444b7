// The Voronoi kernels of every processor level this machine runs against
// libnoise's Voronoi::GetValue, bit for bit, where the integer cell search
// reaches the 32-bit limits and wraps, beyond them, and for NaN of either
// sign and any payload. Far and ordinary points share blocks, since a
// block's lanes are computed together.
#include <gtest/gtest.h>
#include <libnoise/noise.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "noisemap/batch_kernels.h"
#include "platform/processor_level.h"

namespace {

namespace batch = noise::utils::batch;
using platform::ProcessorLevel;

// Blocks per test: fewer under the sanitizers, which run the same code some
// twenty times slower.
#if defined(TOOLKIT_SANITIZED_BUILD)
constexpr int kBlocks = 150;
#else
constexpr int kBlocks = 3000;
#endif

struct Level {
  const char* name;
  const batch::KernelTable* kernels;
};

std::vector<Level> RunnableLevels() {
  const ProcessorLevel highest = platform::HighestProcessorLevel();
  std::vector<Level> levels = {{"portable", &batch::PortableKernels()}};
  if (highest != ProcessorLevel::kBaseline) levels.push_back({"x86-64-v3", &batch::X86_64V3Kernels()});
  if (highest == ProcessorLevel::kX86_64V4) levels.push_back({"x86-64-v4", &batch::X86_64V4Kernels()});
  return levels;
}

uint64_t Bits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

double FromBits(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::string Hex(double v) {
  std::ostringstream text;
  text.precision(17);
  text << v << " [" << std::hex << Bits(v) << "]";
  return text.str();
}

struct Block {
  std::vector<double> x, y, z;
};

// Runs blocks through every level and counts the lanes whose bits differ
// from GetValue's, keeping the first for the message.
class Comparison {
 public:
  void Run(const batch::VoronoiSettings& s, const Block& block) {
    noise::module::Voronoi voronoi;
    voronoi.SetFrequency(s.frequency);
    voronoi.SetDisplacement(s.displacement);
    voronoi.SetSeed(s.seed);
    voronoi.EnableDistance(s.distanceEnabled);
    const int count = static_cast<int>(block.x.size());
    std::vector<double> expected(count);
    for (int i = 0; i < count; ++i) expected[i] = voronoi.GetValue(block.x[i], block.y[i], block.z[i]);
    const batch::PointBlock points = {block.x.data(), block.y.data(), block.z.data(), count};
    for (const Level& level : levels_) {
      std::vector<double> actual(count);
      level.kernels->voronoi(s, points, actual.data());
      for (int i = 0; i < count; ++i) {
        if (Bits(actual[i]) == Bits(expected[i]) || differing_++ > 0) continue;
        std::ostringstream text;
        text << level.name << ", lane " << i << " of " << count << ", seed " << s.seed << ", frequency "
             << Hex(s.frequency) << ", displacement " << Hex(s.displacement) << ", distance "
             << s.distanceEnabled << ", point (" << Hex(block.x[i]) << ", " << Hex(block.y[i]) << ", "
             << Hex(block.z[i]) << "): " << Hex(actual[i]) << " instead of " << Hex(expected[i]);
        first_ = text.str();
      }
    }
  }
  int differing() const { return differing_; }
  const std::string& first() const { return first_; }

 private:
  std::vector<Level> levels_ = RunnableLevels();
  int differing_ = 0;
  std::string first_;
};

const int kSeeds[] = {0, 31, -1, INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1, -123457};

// A scaled coordinate where the cell search is out of the ordinary: within
// a few cells of +-2^30 and +-2^31, on whole cells next to INT32_MAX and
// INT32_MIN, beyond the 32-bit range up to the largest double, infinite,
// NaN or zero.
double EdgeCoordinate(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double anchors[] = {1073741824.0,  -1073741824.0, 2147483648.0,
                            -2147483648.0, 2147483647.0,  -2147483649.0};
  const double sign = random() % 2 == 0 ? 1.0 : -1.0;
  switch (random() % 6) {
    case 0:
    case 1:
      return anchors[random() % 6] + (unit(random) - 0.5) * 12.0;
    case 2:
      return (random() % 2 == 0 ? 2147483647.0 : -2147483648.0) + static_cast<double>(random() % 9) - 4.0;
    case 3:
      return sign * std::ldexp(1.0 + unit(random), 31 + static_cast<int>(random() % 993));
    case 4: {
      const double special[] = {INFINITY, -INFINITY, NAN, DBL_MAX, 0.0, -0.0};
      return special[random() % 6];
    }
    default:
      return sign * std::ldexp(1.0 + unit(random), 29 + static_cast<int>(random() % 3));
  }
}

// Blocks of 1 to 64 points, a third of them ordinary, the rest with each
// coordinate at the edge or ordinary, divided by the frequency so that the
// scaled coordinates land where chosen.
Block MixedBlock(std::mt19937_64& random, double frequency,
                 const std::function<double(std::mt19937_64&)>& edge) {
  std::uniform_real_distribution<double> ordinary(-300.0, 300.0);
  Block block;
  const int count = 1 + static_cast<int>(random() % batch::kBlockSize);
  for (int i = 0; i < count; ++i) {
    const bool plain = random() % 3 == 0;
    double c[3];
    for (double& v : c) v = (plain || random() % 4 == 0 ? ordinary(random) : edge(random)) / frequency;
    block.x.push_back(c[0]);
    block.y.push_back(c[1]);
    block.z.push_back(c[2]);
  }
  return block;
}

TEST(VoronoiKernel, CellSearchAtAndBeyondThe32BitLimits) {
  std::mt19937_64 random(7301);
  const double frequencies[] = {1.0, 0.5, 4.0, -1.0, 1.3};
  const double displacements[] = {1.0, 0.0, -2.75, 1.25};
  Comparison comparison;
  for (int b = 0; b < kBlocks; ++b) {
    batch::VoronoiSettings s;
    s.frequency = frequencies[random() % 5];
    s.displacement = displacements[random() % 4];
    s.seed = kSeeds[random() % 8];
    s.distanceEnabled = random() % 2 == 0;
    comparison.Run(s, MixedBlock(random, s.frequency, EdgeCoordinate));
  }
  EXPECT_EQ(comparison.differing(), 0) << comparison.first();
}

// A NaN of either sign, quiet or signalling, with a random payload.
double RandomNaN(std::mt19937_64& random) {
  uint64_t payload = random() & 0x0007ffffffffffffu;
  if (random() % 2 == 0) payload |= 0x0008000000000000u;
  if (payload == 0) payload = 1;
  return FromBits((random() % 2 == 0 ? 0x7ff0000000000000u : 0xfff0000000000000u) | payload);
}

// Which NaN comes out of an operation on two depends on the order of its
// operands in libnoise's compiled code: NaN meet NaN in the scaling by a
// NaN frequency, in the sum of the squared distances, and where the
// distance term meets a NaN displacement. An infinite coordinate at
// frequency zero makes the default NaN, and a signalling NaN comes out
// quiet.
TEST(VoronoiKernel, NaNBitsOfEverySignAndPayload) {
  std::mt19937_64 random(5113);
  const auto coordinate = [](std::mt19937_64& r) -> double {
    switch (r() % 4) {
      case 0:
      case 1:
        return RandomNaN(r);
      case 2:
        return r() % 2 == 0 ? INFINITY : -INFINITY;
      default:
        return EdgeCoordinate(r);
    }
  };
  Comparison comparison;
  for (int b = 0; b < kBlocks; ++b) {
    batch::VoronoiSettings s;
    const double frequencies[] = {1.0, 1.0, 0.0, RandomNaN(random), INFINITY};
    const double displacements[] = {1.0, 1.0, -2.75, RandomNaN(random), -INFINITY};
    s.frequency = frequencies[random() % 5];
    s.displacement = displacements[random() % 5];
    s.seed = kSeeds[random() % 8];
    s.distanceEnabled = random() % 4 != 0;
    // Only a finite frequency other than zero scales the chosen coordinates.
    const double divisor = std::isfinite(s.frequency) && s.frequency != 0.0 ? s.frequency : 1.0;
    comparison.Run(s, MixedBlock(random, divisor, coordinate));
  }
  EXPECT_EQ(comparison.differing(), 0) << comparison.first();
}

}  // namespace
