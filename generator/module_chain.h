// The chain of libnoise modules that the rows of the command file describe.
#pragma once

#include <libnoise/noise.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "generator/command_settings.h"
#include "generator/module_kind.h"

namespace duneforge {

// A row's module read through a libnoise Cache. Row is the class the row's
// type code selects, with its setters and getters; GetValue returns Row's
// value, evaluating the row only when the point differs from the last one
// asked for, so a row that several later modules read at the same point is
// evaluated once. The cache remembers one point and must not be read from
// two threads at once. Sources and settings are made before the first
// GetValue: a later change would not reach a value already cached.
template <typename Row>
class CachedRow final : public Row {
 public:
  CachedRow() : evaluation_(*this) { cache_.SetSourceModule(0, evaluation_); }
  CachedRow(const CachedRow&) = delete;
  CachedRow& operator=(const CachedRow&) = delete;

  double GetValue(double x, double y, double z) const override { return cache_.GetValue(x, y, z); }

 private:
  // The row's own evaluation, behind the cache.
  class Evaluation final : public noise::module::Module {
   public:
    explicit Evaluation(const CachedRow& row) : Module(0), row_(row) {}
    int GetSourceModuleCount() const override { return 0; }
    double GetValue(double x, double y, double z) const override { return row_.Row::GetValue(x, y, z); }

   private:
    const CachedRow& row_;
  };

  // The library's cache takes a point for the last one when the coordinates
  // compare equal, so 0.0 and -0.0 are one point to it, though a module may
  // give zeros of different signs there. This one also asks for the same
  // bits, so the value is always exactly the row's own.
  class ExactCache final : public noise::module::Cache {
   public:
    double GetValue(double x, double y, double z) const override {
      if (m_isCached != 0.0 && !(SameBits(x, m_xCache) && SameBits(y, m_yCache) && SameBits(z, m_zCache))) {
        m_isCached = 0.0;
      }
      return Cache::GetValue(x, y, z);
    }

   private:
    static bool SameBits(double a, double b) {
      uint64_t aBits;
      uint64_t bBits;
      std::memcpy(&aBits, &a, sizeof aBits);
      std::memcpy(&bBits, &b, sizeof bBits);
      return aBits == bBits;
    }
  };

  Evaluation evaluation_;
  ExactCache cache_;
};

// Whether BuildModuleChain reads shared rows through caches. kUncached builds
// every row as a module of its class alone, so each reader evaluates the rows
// it reads itself and the cost doubles at every level that shares a row
// again: the chain without caches, for comparisons in benchmarks and
// tests. The values are the same either way, to the bit.
enum class SharedRows { kCached, kUncached };

// The modules built from the rows, indexed by row. The chain owns them; later
// modules and the plane builder hold plain references to earlier ones, so a
// module never moves or dies before the chain does. The chain can be moved,
// which keeps every module where it is, but not copied.
//
// A row that two or more later modules read (as previous row, control or
// source, each use counted, so an Add of one row with itself reads it twice)
// is a CachedRow of its class, which every reader reads, so it is evaluated
// once per point however many modules read it. Rows read once or not at all
// are modules of their class alone. Because of the caches, one chain serves
// one thread at a time: threads that sample the same rows each build a chain.
class ModuleChain {
 public:
  ModuleChain() = default;
  ModuleChain(ModuleChain&&) = default;
  ModuleChain& operator=(ModuleChain&&) = default;
  ModuleChain(const ModuleChain&) = delete;
  ModuleChain& operator=(const ModuleChain&) = delete;

  int Size() const { return static_cast<int>(modules_.size()); }
  // The module of `row`, of the class its type code selects, and the module
  // that later rows read; the caller keeps row within 0 .. Size() - 1.
  const noise::module::Module& operator[](int row) const { return *modules_[static_cast<size_t>(row)]; }
  // The last row's module: the generator's output. The chain is not empty.
  const noise::module::Module& OutputModule() const { return *modules_.back(); }
  // Whether `row` is a CachedRow, read through its cache.
  bool IsCached(int row) const { return cached_[static_cast<size_t>(row)] != 0; }

 private:
  friend ModuleChain BuildModuleChain(const CommandSettings& settings, SharedRows sharedRows);
  std::vector<std::unique_ptr<noise::module::Module>> modules_;
  std::vector<char> cached_;
};

// Builds one module per row, rows 0 .. moduleCount - 1 in order, each set up
// from its type code, parameters and seedBase. Every row is checked before
// any of its settings is made, and a row that libnoise could not run safely
// is refused with noise::ExceptionInvalidParam naming the row: an octave
// count or roughness out of range, an input from the previous row in row 0, a
// row index that names no earlier row, a Clamp range that is empty or
// reversed, and a seed or index that does not fit a 32-bit integer. No
// memory for a module throws noise::ExceptionOutOfMemory. A moduleCount
// outside 1 .. MaxModuleRows throws as RequireModuleCountInRange does. Rows
// that two or more later modules read are CachedRows, as ModuleChain says,
// unless `sharedRows` is kUncached.
ModuleChain BuildModuleChain(const CommandSettings& settings, SharedRows sharedRows = SharedRows::kCached);

}  // namespace duneforge
