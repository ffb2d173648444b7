#include "noisemap/libnoise_chain.h"

#include <new>
#include <string>
#include <type_traits>

#include "noisemap/error.h"

namespace noise {
namespace utils {

namespace {

using Built = std::unique_ptr<module::Module>;

// Builds one plan module as a libnoise module, read through a cache when
// `cached`, with its inputs taken from the modules built before it.
class ModuleMaker {
 public:
  ModuleMaker(const PlanModule& plan, bool cached, const std::vector<Built>& built)
      : plan_(plan), cached_(cached), built_(built) {}

  Built Make() const {
    switch (plan_.type) {
      case ModuleType::kPerlin:
        return Coherent<module::Perlin>();
      case ModuleType::kBillow:
        return Coherent<module::Billow>();
      case ModuleType::kRidgedMulti:
        return Coherent<module::RidgedMulti>();
      case ModuleType::kVoronoi:
        return MakeVoronoi();
      case ModuleType::kTurbulence:
        return MakeTurbulence();
      case ModuleType::kConst: {
        auto m = New<module::Const>();
        m->SetConstValue(plan_.constValue);
        return m;
      }
      case ModuleType::kScaleBias: {
        auto m = WithSources<module::ScaleBias>();
        m->SetScale(plan_.scale);
        m->SetBias(plan_.bias);
        return m;
      }
      case ModuleType::kClamp: {
        auto m = WithSources<module::Clamp>();
        m->SetBounds(plan_.lowerBound, plan_.upperBound);
        return m;
      }
      case ModuleType::kExponent: {
        auto m = WithSources<module::Exponent>();
        m->SetExponent(plan_.exponent);
        return m;
      }
      case ModuleType::kSelect: {
        auto m = WithSources<module::Select>();
        // The bounds come first: the falloff is limited to half their span.
        m->SetBounds(plan_.lowerBound, plan_.upperBound);
        m->SetEdgeFalloff(plan_.edgeFalloff);
        return m;
      }
      case ModuleType::kBlend:
        return WithSources<module::Blend>();
      case ModuleType::kAdd:
        return WithSources<module::Add>();
      case ModuleType::kMultiply:
        return WithSources<module::Multiply>();
      case ModuleType::kMin:
        return WithSources<module::Min>();
      case ModuleType::kMax:
        return WithSources<module::Max>();
      default:  // Invert
        return WithSources<module::Invert>();
    }
  }

 private:
  template <typename M>
  std::unique_ptr<M> New() const {
    if (cached_) return std::make_unique<CachedRow<M>>();
    return std::make_unique<M>();
  }

  const module::Module& Input(int k) const { return *built_[static_cast<size_t>(plan_.Input(k))]; }

  // A module of class M with the plan module's sources and control set.
  template <typename M>
  std::unique_ptr<M> WithSources() const {
    auto m = New<M>();
    for (int k = 0; k < PlanModule::InputCount(plan_.type); ++k) m->SetSourceModule(k, Input(k));
    return m;
  }

  template <typename M>
  Built Coherent() const {
    const batch::CoherentSettings& s = plan_.coherent;
    auto m = New<M>();
    m->SetOctaveCount(s.octaveCount);
    m->SetFrequency(s.frequency);
    m->SetLacunarity(s.lacunarity);
    if constexpr (!std::is_same<M, module::RidgedMulti>::value) m->SetPersistence(s.persistence);
    m->SetSeed(s.seed);
    m->SetNoiseQuality(static_cast<NoiseQuality>(s.quality));
    return m;
  }

  Built MakeVoronoi() const {
    auto m = New<module::Voronoi>();
    m->SetDisplacement(plan_.voronoi.displacement);
    m->SetFrequency(plan_.voronoi.frequency);
    m->SetSeed(plan_.voronoi.seed);
    m->EnableDistance(plan_.voronoi.distanceEnabled);
    return m;
  }

  Built MakeTurbulence() const {
    auto m = WithSources<module::Turbulence>();
    m->SetRoughness(plan_.coherent.octaveCount);
    m->SetFrequency(plan_.coherent.frequency);
    m->SetPower(plan_.power);
    m->SetSeed(plan_.coherent.seed);
    return m;
  }

  const PlanModule& plan_;
  bool cached_;
  const std::vector<Built>& built_;
};

}  // namespace

LibnoiseChain::LibnoiseChain(const ChainPlan& plan, SharedRows sharedRows) {
  try {
    modules_.reserve(static_cast<size_t>(plan.Size()));
    for (int i = 0; i < plan.Size(); ++i) {
      const bool cached = sharedRows == SharedRows::kCached && plan.Reads(i) >= 2;
      cached_.push_back(cached ? 1 : 0);
      modules_.push_back(ModuleMaker(plan[i], cached, modules_).Make());
    }
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("no memory for module row " + std::to_string(modules_.size()));
  }
}

}  // namespace utils
}  // namespace noise
