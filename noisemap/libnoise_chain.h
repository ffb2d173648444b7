// The libnoise modules of a chain plan.
#pragma once

#include <libnoise/noise.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "noisemap/chain_plan.h"

namespace noise {
namespace utils {

// A module read through a libnoise Cache. Row is the module's class, with its setters and getters; GetValue
// returns Row's value, evaluating the row only when the point differs from the last one asked for, so a row
// that several later modules read at the same point is evaluated once. The cache remembers one point and must
// not be read from two threads at once. Sources and settings are made before the first GetValue: a later
// change would not reach a value already cached.
template <typename Row>
class CachedRow final : public Row {
 public:
  CachedRow() : evaluation_(*this) { cache_.SetSourceModule(0, evaluation_); }
  CachedRow(const CachedRow&) = delete;
  CachedRow& operator=(const CachedRow&) = delete;

  double GetValue(double x, double y, double z) const override { return cache_.GetValue(x, y, z); }

 private:
  // The row's own evaluation, behind the cache.
  class Evaluation final : public module::Module {
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
  class ExactCache final : public module::Cache {
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

// Whether a LibnoiseChain reads shared modules through caches. kUncached
// builds every module as one of its class alone, so each reader evaluates
// the modules it reads itself and the cost doubles at every level that
// shares a module again: the chain without caches, for comparisons in
// benchmarks and tests. The values are the same either way, to the bit.
enum class SharedRows { kCached, kUncached };

// libnoise's modules built from a chain plan, one per plan module, with the
// plan's settings and inputs; the last is the output. The chain owns them;
// later modules hold plain references to earlier ones, so a module never
// moves or dies before the chain does. The chain can be moved, which keeps
// every module where it is, but not copied.
//
// A module that two or more later modules read (each input counted, so an
// Add of one module with itself reads it twice) is a CachedRow of its
// class, evaluated once per point however many modules read it. Because of
// the caches one chain serves one thread at a time: threads that sample the
// same plan each build a chain.
class LibnoiseChain {
 public:
  // Builds the modules of `plan`, which is not empty. No memory for a
  // module throws noise::ExceptionOutOfMemory naming the module.
  explicit LibnoiseChain(const ChainPlan& plan, SharedRows sharedRows = SharedRows::kCached);
  LibnoiseChain(LibnoiseChain&&) = default;
  LibnoiseChain& operator=(LibnoiseChain&&) = default;
  LibnoiseChain(const LibnoiseChain&) = delete;
  LibnoiseChain& operator=(const LibnoiseChain&) = delete;

  int Size() const { return static_cast<int>(modules_.size()); }
  // The module of `row`, of the class its plan module names; the caller
  // keeps row within 0 .. Size() - 1.
  const module::Module& operator[](int row) const { return *modules_[static_cast<size_t>(row)]; }
  // The last module: the chain's output.
  const module::Module& OutputModule() const { return *modules_.back(); }
  // Whether `row` is a CachedRow, read through its cache.
  bool IsCached(int row) const { return cached_[static_cast<size_t>(row)] != 0; }

 private:
  std::vector<std::unique_ptr<module::Module>> modules_;
  std::vector<char> cached_;
};

}  // namespace utils
}  // namespace noise
