// Measures what the writers cost beyond writing their bytes: a terrain written
// through loamwriter's exports, vertex by vertex, against the same file packed
// into one buffer and written at once (and against one write call per
// vertex), and an MDL7 model written with MDL7W against
// the same bytes written at once.
//
// Usage: writer_bench [rounds]
// Files go to $TMPDIR (or /tmp) and are removed afterwards. The variants of
// each case run once untimed, then side by side for the rounds, in an order
// that rotates from round to round; each run is timed by the wall clock,
// since writing is mostly the system's work. A run whose file has the wrong
// size or whose writer reports a failure ends the program with status 1, as
// does a file whose bytes differ from those written at once.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "modelfiles/mdl7w.h"
#include "platform/engine_stand_in.h"
#include "platform/low_level_file.h"
#include "plugin/exports.h"
#include "plugin/hmp_records.h"

namespace {

using platform::LowLevelFile;

constexpr int32_t kEngineTrue = 1024;
constexpr int32_t kBindingAnswer = 630;

// Every file the program writes, removed on the way out.
std::vector<std::string> writtenFiles;

void RemoveFiles() {
  for (const std::string& path : writtenFiles) std::remove(path.c_str());
}

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "writer_bench: %s\n", message.c_str());
  RemoveFiles();
  std::exit(1);
}

std::string TempFile(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/writer_bench_" +
                     std::to_string(static_cast<long>(getpid())) + "_" + name;
  writtenFiles.push_back(path);
  return path;
}

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

void CheckSize(const std::string& path, uint64_t expected, const char* variant) {
  const int64_t size = FileSize(path);
  if (size != static_cast<int64_t>(expected)) {
    Fail(std::string(variant) + ": " + path + " holds " + std::to_string(size) + " bytes, not " +
         std::to_string(expected));
  }
}

void CheckBytes(const std::string& path, const std::vector<uint8_t>& expected, const char* variant) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes != expected) Fail(std::string(variant) + ": " + path + " differs from the bytes written at once");
}

// Creates `path` afresh, writes `size` bytes in one call and closes it.
void WriteAtOnce(const std::string& path, const uint8_t* data, uint64_t size, const char* variant) {
  const int fd = LowLevelFile::Open(
      path.c_str(),
      LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
      LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
  if (fd < 0) Fail(std::string(variant) + ": cannot create " + path);
  const bool written =
      LowLevelFile::Write(fd, data, static_cast<uint32_t>(size)) == static_cast<int32_t>(size);
  if (LowLevelFile::Close(fd) != 0 || !written) Fail(std::string(variant) + ": cannot write " + path);
}

// ---------------------------------------------------------------------------
// Timing

struct Variant {
  const char* name;
  // Runs the variant once and returns its wall time in seconds; `check`
  // asks for the file's bytes to be compared as well as its size.
  std::function<double(bool check)> run;
};

// Runs the variants `rounds` times, in an order that rotates each round, and
// prints each one's best time and its ratio to the first (the baseline):
// the median of the rounds' ratios with the lowest and highest of them.
void Measure(const std::string& title, const std::vector<Variant>& variants, int rounds, double perUnit,
             const char* unit) {
  const size_t count = variants.size();
  // One untimed run of each first, which also compares the files' bytes: the
  // first file of a size costs the file system far more than later ones.
  for (const Variant& variant : variants) variant.run(true);
  std::vector<std::vector<double>> times(count);
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < count; ++k) {
      const size_t v = (static_cast<size_t>(round) + k) % count;
      times[v].push_back(variants[v].run(false));
    }
  }
  std::printf("\n%s\n", title.c_str());
  std::printf("  %-22s %10s %9s   %-28s %s\n", "variant", "best", unit, "ratio: median (min .. max)",
              "ratio of best times");
  for (size_t v = 0; v < count; ++v) {
    const double best = *std::min_element(times[v].begin(), times[v].end());
    const double bestBaseline = *std::min_element(times[0].begin(), times[0].end());
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) ratios.push_back(times[v][round] / times[0][round]);
    const auto spread = std::minmax_element(ratios.begin(), ratios.end());
    char ratio[80] = "1 (baseline)";
    if (v > 0) {
      std::snprintf(ratio, sizeof ratio, "%.2f (%.2f .. %.2f)", bench::Median(ratios), *spread.first,
                    *spread.second);
    }
    std::printf("  %-22s %7.1f ms %6.1f ns   %-28s %.2f\n", variants[v].name, best * 1e3,
                best / perUnit * 1e9, ratio, best / bestBaseline);
  }
  std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// Terrain through the exports

// A square terrain as the engine hands it over: heights and normals as engine
// numbers, row by row.
struct Terrain {
  std::vector<int32_t> heights;
  std::vector<engine::Fixed10Vector> normals;
  engine::Fixed10Vector params{}, minimum{}, maximum{};
};

constexpr double kSpacing = 8.0;
constexpr double kTop = 64.0;
constexpr int32_t kSkinSide = 32;
constexpr char kFrameName[] = "terrain";

double HeightAt(int32_t x, int32_t z) {
  return 32.0 + 24.0 * std::sin(x * 0.021) * std::cos(z * 0.017) + 4.0 * std::sin((x + 2 * z) * 0.11);
}

Terrain MakeTerrain(int32_t side) {
  Terrain t;
  const size_t n = static_cast<size_t>(side) * static_cast<size_t>(side);
  t.heights.resize(n);
  t.normals.resize(n);
  for (int32_t z = 0; z < side; ++z) {
    for (int32_t x = 0; x < side; ++x) {
      const size_t i = static_cast<size_t>(z) * static_cast<size_t>(side) + static_cast<size_t>(x);
      t.heights[i] = platform::RoundToFixed10(HeightAt(x, z));
      // The surface's normal from the slopes across the neighbours.
      const double dx = (HeightAt(x + 1, z) - HeightAt(x - 1, z)) / (2.0 * kSpacing);
      const double dy = (HeightAt(x, z + 1) - HeightAt(x, z - 1)) / (2.0 * kSpacing);
      const double length = std::sqrt(dx * dx + dy * dy + 1.0);
      t.normals[i] =
          engine::Fixed10Vector{platform::ToFixed10(-dx / length), platform::ToFixed10(-dy / length),
                                platform::ToFixed10(1.0 / length)};
    }
  }
  t.params = {platform::RoundToFixed10(side), platform::RoundToFixed10(kSpacing),
              platform::RoundToFixed10(kSpacing)};
  t.minimum = {0, 0, 0};
  t.maximum = {platform::RoundToFixed10((side - 1) * kSpacing),
               platform::RoundToFixed10((side - 1) * kSpacing), platform::RoundToFixed10(kTop)};
  return t;
}

uint64_t TerrainFileSize(const Terrain& t) {
  return sizeof(loamwriter::HmpHeader) + sizeof(loamwriter::HmpSkinHeader) + kSkinSide * kSkinSide +
         sizeof(loamwriter::HmpFrameHeader) + 4ull * t.heights.size();
}

float EngineReal(int32_t value) { return static_cast<float>(static_cast<double>(value) / 1024.0); }

// The records before the vertices, as the finished file holds them.
struct TerrainRecords {
  loamwriter::HmpHeader header{};
  loamwriter::HmpSkinHeader skin{};
  std::vector<uint8_t> blank;
  loamwriter::HmpFrameHeader frame{};
};

TerrainRecords MakeRecords(const Terrain& t) {
  TerrainRecords r;
  std::memcpy(r.header.magic, "HMP7", 4);
  r.header.version = 0;
  const int32_t low[3] = {t.minimum.x, t.minimum.y, t.minimum.z};
  const int32_t high[3] = {t.maximum.x, t.maximum.y, t.maximum.z};
  for (int axis = 0; axis < 3; ++axis) {
    const float span = EngineReal(high[axis]) - EngineReal(low[axis]);
    r.header.scale[axis] = static_cast<float>(static_cast<double>(span) / 65535.0);
    r.header.offset[axis] = EngineReal(low[axis]);
  }
  r.header.param0 = EngineReal(t.params.x);
  r.header.param1 = EngineReal(t.params.y);
  r.header.param2 = EngineReal(t.params.z);
  r.header.numSkins = 1;
  r.header.numVertices = static_cast<int32_t>(t.heights.size());
  r.header.numFrames = 1;
  r.skin = {0, kSkinSide, kSkinSide};
  r.blank.assign(kSkinSide * kSkinSide, 0);
  r.frame.type = 2;
  r.frame.boundMin = {{0, 0, 0}, 255, 0};
  r.frame.boundMax = {{65535, 65535, 65535}, 255, 0};
  std::memcpy(r.frame.name, kFrameName, sizeof kFrameName);
  return r;
}

// One vertex as the file holds it: the height packed onto 0..65535 of the
// header's z range (truncated), the normal's x and y x 127 (truncated).
inline loamwriter::HmpVertex PackVertex(int32_t height, const engine::Fixed10Vector& normal, double offset,
                                        double scale) {
  const double packed = (static_cast<double>(EngineReal(height)) - offset) / scale;
  const auto normal8 = [](int32_t component) {
    return static_cast<int8_t>(static_cast<int32_t>(static_cast<double>(EngineReal(component)) * 127.0));
  };
  return loamwriter::HmpVertex{static_cast<uint16_t>(static_cast<int32_t>(packed)), normal8(normal.x),
                               normal8(normal.y)};
}

// Hands the file's bytes to `put(data, size)` in order: the records, then
// every vertex packed.
template <typename Put>
void EmitTerrain(const Terrain& t, const TerrainRecords& r, Put&& put) {
  put(&r.header, sizeof r.header);
  put(&r.skin, sizeof r.skin);
  put(r.blank.data(), r.blank.size());
  put(&r.frame, sizeof r.frame);
  const double offset = r.header.offset[2];
  const double scale = r.header.scale[2];
  for (size_t i = 0; i < t.heights.size(); ++i) {
    const loamwriter::HmpVertex vertex = PackVertex(t.heights[i], t.normals[i], offset, scale);
    put(&vertex, sizeof vertex);
  }
}

// The whole file image.
void PackTerrain(const Terrain& t, const TerrainRecords& r, std::vector<uint8_t>& image) {
  uint8_t* out = image.data();
  EmitTerrain(t, r, [&out](const void* data, size_t size) {
    std::memcpy(out, data, size);
    out += size;
  });
}

void CheckExport(const char* name, int32_t result, int32_t expected) {
  if (result != expected) {
    Fail(std::string(name) + " answered " + std::to_string(result) + ", not " + std::to_string(expected));
  }
}

// One terrain case: the terrain, its file as written at once, and the files
// each variant writes.
struct TerrainCase {
  TerrainCase(platform::EngineStandIn& engine, int32_t side)
      : t(MakeTerrain(side)),
        records(MakeRecords(t)),
        fileSize(TerrainFileSize(t)),
        reference(fileSize),
        image(fileSize),
        blank(engine.AddNamed("blank")),
        frame(engine.AddNamed(kFrameName)),
        tag(std::to_string(side)),
        exportPath(TempFile(("exports_" + tag + ".hmp").c_str())),
        oncePath(TempFile(("once_" + tag + ".hmp").c_str())),
        vertexPath(TempFile(("per_vertex_" + tag + ".hmp").c_str())) {
    PackTerrain(t, records, reference);
    // What the vertex export answers, summed: the packed heights x 1024.
    for (size_t i = 0; i < t.heights.size(); ++i) {
      uint16_t height;
      std::memcpy(&height, reference.data() + fileSize - 4 * t.heights.size() + 4 * i, sizeof height);
      packedSum += int64_t{height} * 1024;
    }
  }

  const Terrain t;
  const TerrainRecords records;
  const uint64_t fileSize;
  std::vector<uint8_t> reference;
  std::vector<uint8_t> image;
  int64_t packedSum = 0;
  const engine::EngineNamedRecord* blank;
  const engine::EngineNamedRecord* frame;
  const std::string tag;
  const std::string exportPath;
  const std::string oncePath;
  const std::string vertexPath;
};

// The baseline: the file packed into one buffer and written at once.
double WriteTerrainAtOnce(TerrainCase& c, bool check) {
  std::remove(c.oncePath.c_str());
  const double start = Seconds();
  PackTerrain(c.t, c.records, c.image);
  WriteAtOnce(c.oncePath, c.image.data(), c.image.size(), "one write");
  const double elapsed = Seconds() - start;
  CheckSize(c.oncePath, c.fileSize, "one write");
  if (check) CheckBytes(c.oncePath, c.reference, "one write");
  return elapsed;
}

// The file through loamwriter's exports, vertex by vertex.
double WriteTerrainThroughExports(const TerrainCase& c, bool check) {
  const Terrain& t = c.t;
  std::remove(c.exportPath.c_str());
  const size_t n = t.heights.size();
  int32_t opened, header, skin, begun, ended, closed;
  int64_t sum = 0;
  const double start = Seconds();
  opened = WriteHMP(c.exportPath.c_str());
  header = WriteHmpHeader(&t.params, &t.minimum, &t.maximum);
  skin = WriteSkinEmpty(kSkinSide * 1024, kSkinSide * 1024, c.blank);
  begun = WriteHmpFrame(c.frame);
  for (size_t i = 0; i < n; ++i) sum += WriteHmpVertex(t.heights[i], &t.normals[i]);
  ended = WriteHmpFrameEnd();
  closed = WriteHmpClose();
  const double elapsed = Seconds() - start;
  CheckExport("WriteHMP", opened, kEngineTrue);
  CheckExport("WriteHmpHeader", header, kEngineTrue);
  CheckExport("WriteSkinEmpty", skin, kEngineTrue);
  CheckExport("WriteHmpFrame", begun, kEngineTrue);
  if (sum != c.packedSum) Fail("WriteHmpVertex answered other packed heights than expected");
  CheckExport("WriteHmpFrameEnd", ended, kEngineTrue);
  CheckExport("WriteHmpClose", closed, kEngineTrue);
  CheckSize(c.exportPath, c.fileSize, "exports");
  if (check) CheckBytes(c.exportPath, c.reference, "exports");
  return elapsed;
}

// The file with one write call per record and per vertex.
double WriteTerrainPerVertex(const TerrainCase& c, bool check) {
  std::remove(c.vertexPath.c_str());
  const double start = Seconds();
  const int fd = LowLevelFile::Open(
      c.vertexPath.c_str(),
      LowLevelFile::kWriteOnly | LowLevelFile::kCreate | LowLevelFile::kTruncate | LowLevelFile::kBinary,
      LowLevelFile::kPermRead | LowLevelFile::kPermWrite);
  if (fd < 0) Fail("per-vertex writes: cannot create " + c.vertexPath);
  bool whole = true;
  EmitTerrain(c.t, c.records, [&](const void* data, size_t size) {
    whole = LowLevelFile::Write(fd, data, static_cast<uint32_t>(size)) == static_cast<int32_t>(size) && whole;
  });
  whole = LowLevelFile::Close(fd) == 0 && whole;
  const double elapsed = Seconds() - start;
  if (!whole) Fail("per-vertex writes: cannot write " + c.vertexPath);
  CheckSize(c.vertexPath, c.fileSize, "per-vertex writes");
  if (check) CheckBytes(c.vertexPath, c.reference, "per-vertex writes");
  return elapsed;
}

void MeasureTerrain(platform::EngineStandIn& engine, int32_t side, int rounds) {
  TerrainCase c(engine, side);
  const Variant baseline{"baseline: one write", [&](bool check) { return WriteTerrainAtOnce(c, check); }};
  const Variant exports{"exports", [&](bool check) { return WriteTerrainThroughExports(c, check); }};
  const Variant perVertex{"old per-vertex writes",
                          [&](bool check) { return WriteTerrainPerVertex(c, check); }};
  Measure("terrain " + c.tag + " x " + c.tag + " vertices, " + std::to_string(c.fileSize) + " bytes",
          {baseline, exports, perVertex}, rounds, static_cast<double>(c.t.heights.size()), "/vertex");
  std::remove(c.exportPath.c_str());
  std::remove(c.oncePath.c_str());
  std::remove(c.vertexPath.c_str());
}

// ---------------------------------------------------------------------------
// MDL7 model

constexpr int kModelVertices = 2000;
constexpr int kModelFrames = 200;

// Position and normal of every vertex: the base pose, then every frame's.
struct Model {
  std::vector<float> base;    // 6 floats a vertex
  std::vector<float> frames;  // 6 floats a vertex, frame after frame
};

void PutVertex(std::vector<float>& out, double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z) + 1e-9;
  for (double value : {x, y, z, x / length, y / length, z / length}) out.push_back(static_cast<float>(value));
}

Model MakeModel() {
  Model m;
  for (int i = 0; i < kModelVertices; ++i) {
    PutVertex(m.base, 10.0 * std::cos(i * 0.37), 10.0 * std::sin(i * 0.37), i * 0.01);
  }
  for (int f = 0; f < kModelFrames; ++f) {
    for (int i = 0; i < kModelVertices; ++i) {
      const double sway = 0.05 * f * std::sin(i * 0.1);
      PutVertex(m.frames, 10.0 * std::cos(i * 0.37) + sway, 10.0 * std::sin(i * 0.37) - sway,
                i * 0.01 + 0.02 * f);
    }
  }
  return m;
}

// The model after Open: one group with its vertices and frames. True when
// every record was written whole.
bool WriteModel(modelfiles::MDL7W& writer, const Model& m) {
  bool whole = writer.BeginGroup("body");
  const float* v = m.base.data();
  for (int i = 0; i < kModelVertices; ++i, v += 6) {
    whole = writer.AddVertex(v[0], v[1], v[2], modelfiles::MDL7W::kNoBone, v[3], v[4], v[5]) && whole;
  }
  v = m.frames.data();
  for (int f = 0; f < kModelFrames; ++f) {
    whole = writer.BeginFrame(("frame" + std::to_string(f)).c_str()) && whole;
    for (int i = 0; i < kModelVertices; ++i, v += 6) {
      whole = writer.AddFrameVertex(static_cast<uint16_t>(i), v[0], v[1], v[2], v[3], v[4], v[5]) && whole;
    }
    whole = writer.FinishFrame() && whole;
  }
  whole = writer.FinishGroup() && whole;
  return writer.Close() && whole;
}

void MeasureModel(int rounds) {
  const Model m = MakeModel();
  // Header, group, vertices, frames with their frame vertices.
  const uint64_t fileSize =
      modelfiles::mdl7::kHeaderSize + modelfiles::mdl7::kGroupSize +
      uint64_t{kModelVertices} * modelfiles::mdl7::kVertexSize +
      uint64_t{kModelFrames} *
          (modelfiles::mdl7::kFrameSize + uint64_t{kModelVertices} * modelfiles::mdl7::kFrameVertexSize);

  modelfiles::MDL7W memoryWriter;
  if (!memoryWriter.OpenInMemory() || !WriteModel(memoryWriter, m))
    Fail("MDL7W cannot write the model in memory");
  const std::vector<uint8_t>& bytes = memoryWriter.MemoryBytes();
  if (bytes.size() != fileSize) {
    Fail("MDL7W wrote " + std::to_string(bytes.size()) + " bytes in memory, not " + std::to_string(fileSize));
  }

  const std::string writerPath = TempFile("mdl7w.mdl");
  const std::string oncePath = TempFile("mdl7_once.mdl");
  const Variant once{"baseline: one write", [&](bool) {
                       std::remove(oncePath.c_str());
                       const double start = Seconds();
                       WriteAtOnce(oncePath, bytes.data(), bytes.size(), "one write");
                       const double elapsed = Seconds() - start;
                       CheckSize(oncePath, fileSize, "one write");
                       return elapsed;
                     }};
  const Variant mdl7w{"MDL7W", [&](bool check) {
                        std::remove(writerPath.c_str());
                        modelfiles::MDL7W writer;
                        const double start = Seconds();
                        const bool whole = writer.Open(writerPath.c_str()) >= 0 && WriteModel(writer, m);
                        const double elapsed = Seconds() - start;
                        if (!whole) Fail("MDL7W reports a failed write to " + writerPath);
                        CheckSize(writerPath, fileSize, "MDL7W");
                        if (check) CheckBytes(writerPath, bytes, "MDL7W");
                        return elapsed;
                      }};
  Measure("MDL7 model: " + std::to_string(kModelVertices) + " vertices, " + std::to_string(kModelFrames) +
              " frames of " + std::to_string(kModelVertices) + " frame vertices, " +
              std::to_string(fileSize) + " bytes",
          {once, mdl7w}, rounds, static_cast<double>(kModelVertices) * (kModelFrames + 1), "/vertex");
  std::remove(writerPath.c_str());
  std::remove(oncePath.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::printf(
      "writer_bench: %d rounds, wall time, files in %s\n", rounds,
      std::getenv("TMPDIR") != nullptr && *std::getenv("TMPDIR") != '\0' ? std::getenv("TMPDIR") : "/tmp");

  platform::EngineStandIn engine;
  CheckExport("A6_DLLAPI", A6_DLLAPI(engine.Host()), kBindingAnswer);
  for (int32_t side : {1024, 2048}) MeasureTerrain(engine, side, rounds);
  MeasureModel(rounds);
  RemoveFiles();
  return 0;
}
