#include "platform/pow.h"

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__GLIBC__) && !defined(__i386__)
#include <cmath>
#endif

// Every step below relies on each double operation being rounded once to
// double: x87 extended precision would round twice, and a contracted a*b+c
// would skip a rounding the exact products depend on (the build passes
// -ffp-contract=off; 32-bit builds need -msse2 -mfpmath=sse).
#if FLT_EVAL_METHOD != 0
#error "pow.cpp needs double operations rounded to double (SSE2 arithmetic)"
#endif

namespace platform {
namespace {

constexpr uint64_t kSignBit = 0x8000000000000000u;
constexpr uint64_t kInfinityBits = 0x7ff0000000000000u;
constexpr uint64_t kQuietBit = 0x0008000000000000u;
constexpr uint64_t kFractionMask = 0x000fffffffffffffu;
constexpr uint64_t kOneBits = 0x3ff0000000000000u;
constexpr uint64_t kSmallestNormalBits = 0x0010000000000000u;
// What SSE2 itself gives for 0/0 and what glibc returns for pow(-2, 0.5).
constexpr uint64_t kDefaultNaNBits = 0xfff8000000000000u;

inline uint64_t BitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// 2^n for -1022 <= n <= 1023.
inline double PowerOfTwo(int n) { return FromBits(static_cast<uint64_t>(n + 1023) << 52); }

// An unevaluated sum hi + lo with |lo| at most half an ulp of hi.
struct DoubleDouble {
  double hi;
  double lo;
};

// hi + lo == a + b exactly, whatever the magnitudes (Knuth).
inline DoubleDouble TwoSum(double a, double b) {
  const double s = a + b;
  const double b_part = s - a;
  return {s, (a - (s - b_part)) + (b - b_part)};
}

// The same for |a| >= |b| or a == 0 (Dekker), in three operations.
inline DoubleDouble FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a == hi + lo with 26 significant bits in each half (Veltkamp). Needs
// |a| < 2^995; every value split here stays below 2^64.
inline DoubleDouble Split(double a) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  const double hi = t - (t - a);
  return {hi, a - hi};
}

// hi + lo == a * b exactly (Dekker), given both factors' halves; exact as
// long as the error term does not fall below the normal range.
inline DoubleDouble TwoProduct(double a, const DoubleDouble& a_halves, double b,
                               const DoubleDouble& b_halves) {
  const double p = a * b;
  const double e = ((a_halves.hi * b_halves.hi - p) + a_halves.hi * b_halves.lo + a_halves.lo * b_halves.hi) +
                   a_halves.lo * b_halves.lo;
  return {p, e};
}

// a * b to about 2^-104 of its size; a's halves given.
inline DoubleDouble Multiply(const DoubleDouble& a, const DoubleDouble& a_halves, const DoubleDouble& b) {
  DoubleDouble p = TwoProduct(a.hi, a_halves, b.hi, Split(b.hi));
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// c + a * b where |c| is at least twice |a * b|: a Horner step.
inline DoubleDouble MultiplyAdd(const DoubleDouble& c, const DoubleDouble& a, const DoubleDouble& a_halves,
                                const DoubleDouble& b) {
  const DoubleDouble p = Multiply(a, a_halves, b);
  const DoubleDouble s = FastTwoSum(c.hi, p.hi);
  return FastTwoSum(s.hi, s.lo + (p.lo + c.lo));
}

// a + b where |a| is at least twice |b|.
inline DoubleDouble AddSmaller(const DoubleDouble& a, const DoubleDouble& b) {
  const DoubleDouble s = FastTwoSum(a.hi, b.hi);
  return FastTwoSum(s.hi, s.lo + (a.lo + b.lo));
}

// a + b within 3 * 2^-106 of the sum whatever the signs (the accurate
// double-double addition), since the logarithm's parts may cancel.
inline DoubleDouble Add(const DoubleDouble& a, const DoubleDouble& b) {
  DoubleDouble s = TwoSum(a.hi, b.hi);
  const DoubleDouble t = TwoSum(a.lo, b.lo);
  s = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(s.hi, s.lo + t.lo);
}

// The logarithm's table: z in [kLogOffset, 2 kLogOffset) falls in one of 256
// intervals of 2^44 bit patterns each; interval i has a multiplier c, 1 over
// its middle rounded to 24 bits (so z * c needs no splitting of c), and
// -log(c) as a double-double. Interval 153 is [1 - 2^-10, 1 + 2^-9) with
// c = 1, so x near 1 keeps its relative accuracy. |z * c - 1| <= 2^-9.
constexpr uint64_t kLogOffsetBits = 0x3fe6680000000000u;  // 0.7001953125
struct LogEntry {
  double c;
  double minus_log_c_hi;
  double minus_log_c_lo;
};
constexpr LogEntry kLogTable[256] = {
    {0x1.6d1a62p0, -0x1.6b85b3abfa3fap-2, -0x1.a40d332ff2a3fp-57},
    {0x1.6c16c2p0, -0x1.68ac8589c6a0fp-2, 0x1.6cd89da30aa26p-57},
    {0x1.6b149p0, -0x1.65d556f4ce004p-2, 0x1.9605ad3e8483bp-56},
    {0x1.6a13cep0, -0x1.6300334baac3cp-2, 0x1.c7e70325c5726p-57},
    {0x1.691474p0, -0x1.602d09a7091eap-2, -0x1.12edc8315e6bbp-59},
    {0x1.681682p0, -0x1.5d5bdfa595f2ap-2, 0x1.6a087123dc617p-59},
    {0x1.6719f4p0, -0x1.5a8caf83edf9bp-2, 0x1.dbb0a7f5b7836p-56},
    {0x1.661ec6p0, -0x1.57bf73648d1f4p-2, -0x1.25ee3bd37932cp-58},
    {0x1.6524f8p0, -0x1.54f430c7be1a7p-2, 0x1.659fb9add722fp-57},
    {0x1.642c86p0, -0x1.522ae1b38a3d5p-2, 0x1.47bf4b01a8a1cp-56},
    {0x1.63356cp0, -0x1.4f638013a980cp-2, -0x1.a9a690bbcc2c5p-59},
    {0x1.623fa8p0, -0x1.4c9e0b8172c37p-2, 0x1.648d7fb3a7409p-56},
    {0x1.614b36p0, -0x1.49da7dbfcc41ap-2, -0x1.92cdaaef39fddp-56},
    {0x1.605816p0, -0x1.4718dc171c41bp-2, -0x1.0fb4c14b01999p-60},
    {0x1.5f6644p0, -0x1.4459202d39f3fp-2, -0x1.a2edbb1647005p-56},
    {0x1.5e75bcp0, -0x1.419b438d5e8c4p-2, 0x1.41226ae02c643p-56},
    {0x1.5d867cp0, -0x1.3edf45841683dp-2, -0x1.61d6805503b2ep-56},
    {0x1.5c9882p0, -0x1.3c2525533317bp-2, 0x1.4ad28b1bfe46dp-56},
    {0x1.5babccp0, -0x1.396ce231bbf51p-2, -0x1.b4ea63072b644p-57},
    {0x1.5ac056p0, -0x1.36b67563e110fp-2, 0x1.4e93cecebb6fdp-56},
    {0x1.59d62p0, -0x1.3401e3eaecb92p-2, 0x1.e6aaa4dce4fd4p-57},
    {0x1.58ed24p0, -0x1.314f20fd35cd3p-2, -0x1.452d1e21f20cfp-57},
    {0x1.58056p0, -0x1.2e9e2b8e12286p-2, 0x1.e7dae5d9d17bep-58},
    {0x1.571ed4p0, -0x1.2bef087dc9353p-2, 0x1.4adad78e9b5dep-56},
    {0x1.56397cp0, -0x1.2941b0b986b7ap-2, 0x1.44b72f6c32ba5p-56},
    {0x1.555556p0, -0x1.269623134db8ap-2, -0x1.e0efb88485a95p-56},
    {0x1.54725ep0, -0x1.23ec584deba46p-2, 0x1.69914b323a107p-57},
    {0x1.539094p0, -0x1.21445520eb8cfp-2, 0x1.cc28bd90e2d1cp-56},
    {0x1.52aff6p0, -0x1.1e9e183c899eep-2, -0x1.82b0fa819e349p-58},
    {0x1.51d07ep0, -0x1.1bf99425a6b8cp-2, -0x1.6ea8982c1b6a6p-56},
    {0x1.50f22ep0, -0x1.1956d385bc2fap-2, -0x1.271d68d22dc07p-56},
    {0x1.501502p0, -0x1.16b5ced2cfb6bp-2, 0x1.ab042137ccc6dp-56},
    {0x1.4f38f6p0, -0x1.14167e6767782p-2, -0x1.a3024d732193fp-56},
    {0x1.4e5e0ap0, -0x1.1178e6c27e478p-2, -0x1.6338a64271d5p-58},
    {0x1.4d843cp0, -0x1.0edd064378081p-2, 0x1.2b5a4f75aeadap-56},
    {0x1.4cab88p0, -0x1.0c42d516162dfp-2, -0x1.258b1afe1ef18p-56},
    {0x1.4bd3eep0, -0x1.09aa57a26c6d4p-2, 0x1.029e8c9cfbeacp-56},
    {0x1.4afd6ap0, -0x1.071385f4d5862p-2, -0x1.c5b16ed4d3be3p-56},
    {0x1.4a27fap0, -0x1.047e5e31e83aap-2, -0x1.000d0a1e6cfcp-57},
    {0x1.49539ep0, -0x1.01eae4aa6c69p-2, 0x1.141487e43eecap-58},
    {0x1.488052p0, -0x1.feb22276a07ccp-3, -0x1.a7de006adaa19p-57},
    {0x1.47ae14p0, -0x1.f991c3cb3b37p-3, -0x1.f664fd6f98079p-57},
    {0x1.46dce4p0, -0x1.f474b5c4df214p-3, -0x1.40e3058e4f93p-60},
    {0x1.460cbcp0, -0x1.ef5adb2dcffdcp-3, -0x1.aea97b9674356p-59},
    {0x1.453d9ep0, -0x1.ea4448d84aaf3p-3, -0x1.63c6e5e4c4a36p-57},
    {0x1.446f86p0, -0x1.e530edde7100ep-3, 0x1.c762822b0494fp-57},
    {0x1.43a274p0, -0x1.e020d27235a9p-3, -0x1.fb529131e139ap-57},
    {0x1.42d662p0, -0x1.db13d8bd4893bp-3, 0x1.1dee339ef3e0fp-58},
    {0x1.420b52p0, -0x1.d60a15710350ep-3, -0x1.3c40ecfb308e3p-58},
    {0x1.414142p0, -0x1.d10383e655e65p-3, 0x1.bf3a9408c740ep-58},
    {0x1.40782ep0, -0x1.cc001295b3c2fp-3, 0x1.2d2e64f67d3d6p-57},
    {0x1.3fb014p0, -0x1.c6ffbc8f00f71p-3, 0x1.9e58b2c54f9fap-57},
    {0x1.3ee8f4p0, -0x1.c20289a17f9b3p-3, -0x1.6d1aa31edfb45p-57},
    {0x1.3e22ccp0, -0x1.bd0874c3bd8abp-3, -0x1.fba6ac93f4d84p-57},
    {0x1.3d5d9ap0, -0x1.b81178d3823b1p-3, 0x1.7ce1f12bb0ebcp-57},
    {0x1.3c995ap0, -0x1.b31d83a5bce39p-3, -0x1.78ac52cb7ac03p-57},
    {0x1.3bd60ep0, -0x1.ae2ca9be72bcdp-3, 0x1.45a34ee98423fp-57},
    {0x1.3b13b2p0, -0x1.a93ed8c8ad9cap-3, -0x1.bcafd38941b76p-57},
    {0x1.3a5244p0, -0x1.a4540b3e6aafcp-3, 0x1.28df6f14320e7p-58},
    {0x1.3991c2p0, -0x1.9f6c3b808964cp-3, 0x1.3697c29e2bc83p-57},
    {0x1.38d22ep0, -0x1.9a877e06baa1ep-3, 0x1.9207531a8a38bp-59},
    {0x1.381382p0, -0x1.95a5b2ef70165p-3, 0x1.0bd355c29ddcap-58},
    {0x1.3755bep0, -0x1.90c6e177cbcb7p-3, -0x1.b112d8651d7f3p-59},
    {0x1.3698ep0, -0x1.8beb03b38fe73p-3, -0x1.55aadebeecd25p-58},
    {0x1.35dce6p0, -0x1.8712139d0e994p-3, -0x1.bd85f35f3d7f5p-57},
    {0x1.3521dp0, -0x1.823c18551a3bep-3, 0x1.1232cbc613cdfp-57},
    {0x1.34679ap0, -0x1.7d68fe72f5ab3p-3, -0x1.5be80a20c7057p-57},
    {0x1.33ae46p0, -0x1.7898da4444c6fp-3, -0x1.f3c7b9cb22e4fp-57},
    {0x1.32f5cep0, -0x1.73cb8adcfd12dp-3, -0x1.84e5c59ceb9cp-57},
    {0x1.323e34p0, -0x1.6f01247756aaap-3, 0x1.cde5b5b88c1bap-57},
    {0x1.318776p0, -0x1.6a39a0a3bd37bp-3, 0x1.aacccb728d6b2p-57},
    {0x1.30d19p0, -0x1.6574eb68c133ap-3, 0x1.3a69e1f36ee28p-57},
    {0x1.301c82p0, -0x1.60b30b8309461p-3, -0x1.316ccf0cb73cdp-57},
    {0x1.2f684cp0, -0x1.5bf407b543db1p-3, 0x1.1f5b3f6b8a29ap-61},
    {0x1.2eb4eap0, -0x1.5737cbb818cddp-3, 0x1.89b28f2355c72p-57},
    {0x1.2e025cp0, -0x1.527e5e2a1b58dp-3, 0x1.38d4b41320354p-60},
    {0x1.2d50ap0, -0x1.4dc7b817bc1c7p-3, -0x1.6d82b87518f61p-57},
    {0x1.2c9fb4p0, -0x1.4913d2733b54p-3, 0x1.8d56835064acfp-58},
    {0x1.2bef98p0, -0x1.4462b3bc9b3b6p-3, -0x1.3eb19007120d3p-57},
    {0x1.2b404ap0, -0x1.3fb454c9928adp-3, 0x1.9c7ea39427cep-57},
    {0x1.2a91cap0, -0x1.3b08bc0d7f28ap-3, 0x1.f5c9d7d45cf8dp-58},
    {0x1.29e412p0, -0x1.365fc6c159004p-3, -0x1.fa81ce5c7dc22p-59},
    {0x1.293726p0, -0x1.31b996aba4f81p-3, -0x1.84c74c26f6eebp-57},
    {0x1.288b02p0, -0x1.2d16169868118p-3, -0x1.b9990f14c08acp-60},
    {0x1.27dfa4p0, -0x1.28753ef11ab9ap-3, -0x1.f86b30d15ccbbp-57},
    {0x1.27350cp0, -0x1.23d715e49c1f7p-3, -0x1.471fd5840ded1p-59},
    {0x1.268b38p0, -0x1.1f3b93bf25d3fp-3, -0x1.9164f985780d5p-58},
    {0x1.25e228p0, -0x1.1aa2bea23f6fcp-3, -0x1.4e449f1d34012p-57},
    {0x1.2539d8p0, -0x1.160c80c4b27bp-3, -0x1.42a900b31295bp-57},
    {0x1.24924ap0, -0x1.1178ee227e458p-3, 0x1.0e6315f01cba1p-58},
    {0x1.23eb7ap0, -0x1.0ce7f0c4cc27dp-3, -0x1.8dd6138866b88p-57},
    {0x1.234568p0, -0x1.08598e99e39fcp-3, 0x1.d6ffe1ed6a14bp-61},
    {0x1.22a012p0, -0x1.03cdbf7d1ec0cp-3, 0x1.f1d2c8b30d9b8p-61},
    {0x1.21fb78p0, -0x1.fe89129dbd565p-4, -0x1.4d82f752c5c5dp-60},
    {0x1.215798p0, -0x1.f57bc799005dbp-4, 0x1.b361575007a38p-58},
    {0x1.20b47p0, -0x1.ec738d30a10e3p-4, -0x1.2e9fc48994b23p-58},
    {0x1.201202p0, -0x1.e3708b530482ep-4, 0x1.60c9cb56f4ba4p-60},
    {0x1.1f7048p0, -0x1.da727838446ap-4, -0x1.401fa7c1ddac2p-58},
    {0x1.1ecf44p0, -0x1.d1797ba21935fp-4, -0x1.46d7c186c013ap-58},
    {0x1.1e2ef4p0, -0x1.c885845bc4b1ap-4, -0x1.838cbbbf5119cp-58},
    {0x1.1d8f56p0, -0x1.bf9680f9fc9fcp-4, -0x1.b8d7724de6eep-61},
    {0x1.1cf06ap0, -0x1.b6ac7c9ad5ad1p-4, 0x1.4059213275b49p-59},
    {0x1.1c523p0, -0x1.adc78265aea86p-4, -0x1.6fb1ee5d321f4p-59},
    {0x1.1bb4a4p0, -0x1.a4e763cb1bc38p-4, 0x1.7b5ca204397afp-58},
    {0x1.1b17c6p0, -0x1.9c0c2ba4d252ep-4, -0x1.ab85d2f52749dp-58},
    {0x1.1a7b96p0, -0x1.9335e4d594988p-4, -0x1.70eaf4f4bbbe8p-59},
    {0x1.19e012p0, -0x1.8a647d391dc19p-4, -0x1.20be7db33464ep-58},
    {0x1.194538p0, -0x1.8197e2740e3fp-4, 0x1.1834803aef5ap-62},
    {0x1.18ab08p0, -0x1.78d01f23d82cep-4, -0x1.1794b0e70c647p-59},
    {0x1.181182p0, -0x1.700d3deeac089p-4, -0x1.636beb2ea0f07p-59},
    {0x1.1778a2p0, -0x1.674f0ee365a66p-4, 0x1.4ccd763dd2594p-58},
    {0x1.16e068p0, -0x1.5e959c59791a7p-4, -0x1.738712986ee6fp-58},
    {0x1.1648d6p0, -0x1.55e10e20e0324p-4, -0x1.2807057d9d5acp-58},
    {0x1.15b1e6p0, -0x1.4d31165207eacp-4, -0x1.ed3e85945daedp-59},
    {0x1.151b9ap0, -0x1.4485dc8dbdfa6p-4, -0x1.e9a3457d2d1b8p-58},
    {0x1.1485fp0, -0x1.3bdf4d7d1ee1p-4, 0x1.42b50077a821fp-58},
    {0x1.13f0e8p0, -0x1.333d734183fp-4, -0x1.892a635ea15dcp-58},
    {0x1.135c82p0, -0x1.2aa0580471746p-4, -0x1.d473f9eb51486p-63},
    {0x1.12c8b8p0, -0x1.2207ac8785473p-4, 0x1.d81ffdaab4b92p-59},
    {0x1.12358ep0, -0x1.1973b6346554fp-4, -0x1.7aa7935cffc9ep-59},
    {0x1.11a302p0, -0x1.10e4612cae81fp-4, 0x1.3508bb009e147p-61},
    {0x1.111112p0, -0x1.08599959e39a5p-4, 0x1.dd6f24e581de9p-58},
    {0x1.107fbcp0, -0x1.ffa694dab92fdp-5, -0x1.13070c1be888fp-62},
    {0x1.0fef02p0, -0x1.eea338406b7b4p-5, -0x1.636418ebdc19dp-60},
    {0x1.0f5eep0, -0x1.dda8b7c67ee35p-5, -0x1.4e6cad449a15cp-59},
    {0x1.0ecf56p0, -0x1.ccb7265ddb24dp-5, 0x1.2484ecf07bd2fp-62},
    {0x1.0e4066p0, -0x1.bbced3a68f3bdp-5, -0x1.eee84097532f6p-59},
    {0x1.0db20ap0, -0x1.aaef1ccfb10bap-5, -0x1.635255ad357afp-61},
    {0x1.0d2446p0, -0x1.9a188df73de25p-5, 0x1.59d680ba78807p-61},
    {0x1.0c9714p0, -0x1.894a8349fb262p-5, -0x1.a8ba3266070cdp-60},
    {0x1.0c0a78p0, -0x1.7885892357793p-5, -0x1.a5ef60dabcdbap-59},
    {0x1.0b7e6ep0, -0x1.67c937ed4bad1p-5, -0x1.d04b81ea77462p-61},
    {0x1.0af2f8p0, -0x1.5715df403ce3fp-5, -0x1.5103600213f73p-59},
    {0x1.0a681p0, -0x1.466ad942de386p-5, 0x1.cdd79e9f4c30ap-59},
    {0x1.09ddbap0, -0x1.35c8b2ca13042p-5, 0x1.d9085d1ce7fbcp-59},
    {0x1.0953f4p0, -0x1.252f4078d1811p-5, -0x1.5c05d0df52f35p-62},
    {0x1.08cabcp0, -0x1.149e5680059fap-5, 0x1.934388bf4acb8p-61},
    {0x1.08421p0, -0x1.0415c89e74404p-5, -0x1.c05c9c81fdecdp-59},
    {0x1.07b9f2p0, -0x1.e72bccc13cd9fp-6, -0x1.db665acb49c07p-61},
    {0x1.07326p0, -0x1.c63d06c14aa2ap-6, 0x1.ce0457bdc1cap-60},
    {0x1.06ab5ap0, -0x1.a55f624c5c427p-6, -0x1.f306a56bda5b1p-60},
    {0x1.0624dep0, -0x1.8492858c8c979p-6, -0x1.ae6fe2825ebcbp-60},
    {0x1.059eeap0, -0x1.63d615c690bd6p-6, 0x1.a0ed4d3ca1f1fp-60},
    {0x1.05198p0, -0x1.432ab25980c41p-6, 0x1.8cda48e559ae8p-60},
    {0x1.04949cp0, -0x1.228f827ea2d0ep-6, 0x1.06bfe19fe49f7p-60},
    {0x1.041042p0, -0x1.0205a38935667p-6, 0x1.b0647ce7d4d29p-61},
    {0x1.038c6cp0, -0x1.c3177b4c75deep-7, 0x1.7f38df42be44ep-62},
    {0x1.03091cp0, -0x1.8244e0388a0dcp-7, 0x1.f6904cc57aa6bp-63},
    {0x1.02865p0, -0x1.4192bb96832bfp-7, 0x1.c55162cf66d18p-61},
    {0x1.020408p0, -0x1.01014f588de6dp-7, -0x1.46662bec2797ap-62},
    {0x1.018244p0, -0x1.8121bb458686fp-8, 0x1.1f479ca8f73b5p-64},
    {0x1.010102p0, -0x1.0081539588355p-8, -0x1.797b0f23fe90ap-62},
    {0x1.00804p0, -0x1.003fd55d5885ep-9, 0x1.8f993666949d8p-65},
    {0x1p0, 0.0, 0.0},
    {0x1.fe01fep-1, 0x1.ff00ac2b10bcp-9, 0x1.6821ad5a97dfep-63},
    {0x1.fc07fp-1, 0x1.fe02b6b106791p-8, -0x1.e44b538c673f4p-67},
    {0x1.fa11cap-1, 0x1.7dc49e7810addp-7, 0x1.8494a240c11b8p-61},
    {0x1.f81f82p-1, 0x1.fc0a890fc03e4p-7, 0x1.f3db4e851a025p-64},
    {0x1.f6310ap-1, 0x1.3cea5df46a5c8p-6, -0x1.765a22a70ef09p-61},
    {0x1.f4465ap-1, 0x1.7b91acfd5b11cp-6, 0x1.893fa9f13608bp-61},
    {0x1.f25f64p-1, 0x1.b9fc0afaf91a1p-6, 0x1.ea334206f1a7fp-65},
    {0x1.f07c2p-1, 0x1.f82990e78338p-6, 0x1.33e345a474878p-60},
    {0x1.ee9c8p-1, 0x1.1b0d90923d99p-5, -0x1.e9ae9df101997p-60},
    {0x1.ecc07cp-1, 0x1.39e86e1febd8dp-5, 0x1.c80a727d55e91p-60},
    {0x1.eae808p-1, 0x1.58a5b57c8e4dcp-5, 0x1.c6a8e74f1fcffp-61},
    {0x1.e9131ap-1, 0x1.77459be32dd23p-5, 0x1.58d3f33863dffp-59},
    {0x1.e741aap-1, 0x1.95c836cc8e3f4p-5, 0x1.e683b0fa78541p-61},
    {0x1.e573acp-1, 0x1.b42de091971d5p-5, 0x1.4a3464fc1289ep-59},
    {0x1.e3a918p-1, 0x1.d276b22db0b5dp-5, -0x1.7870f0ef4ab4bp-59},
    {0x1.e1e1e2p-1, 0x1.f0a30a01162a7p-5, 0x1.85f3259b11022p-59},
    {0x1.e01e02p-1, 0x1.075982498e472p-4, -0x1.fb25acff68f9dp-59},
    {0x1.de5d6ep-1, 0x1.1653710a37ae3p-4, 0x1.5312e2535944p-59},
    {0x1.dca01ep-1, 0x1.253f6120a1419p-4, -0x1.8a1259e302f7ap-58},
    {0x1.dae608p-1, 0x1.341d7461bd1ddp-4, 0x1.29980db65a305p-60},
    {0x1.d92f22p-1, 0x1.42edcd9a646f2p-4, -0x1.5f1582feaf49bp-58},
    {0x1.d77b66p-1, 0x1.51b06dd061852p-4, 0x1.593c4cf73c323p-59},
    {0x1.d5cac8p-1, 0x1.60658ad3750c4p-4, -0x1.188458ebcc614p-58},
    {0x1.d41d42p-1, 0x1.6f0d272e56b4dp-4, -0x1.106d99604b992p-58},
    {0x1.d272cap-1, 0x1.7da76907b12cfp-4, -0x1.73b7eff915a12p-60},
    {0x1.d0cb58p-1, 0x1.8c3465e319b45p-4, 0x1.5acc0f5bb481ap-60},
    {0x1.cf26e6p-1, 0x1.9ab42252033afp-4, -0x1.c99e337dce8bep-63},
    {0x1.cd8568p-1, 0x1.a926d8a4ad57p-4, -0x1.af42b3ab91a14p-60},
    {0x1.cbe6dap-1, 0x1.b78c7d2b0edb1p-4, -0x1.fcf0f47751aabp-58},
    {0x1.ca4b3p-1, 0x1.c5e54bf5bc748p-4, -0x1.a8a79e01fa78fp-58},
    {0x1.c8b266p-1, 0x1.d4313a96cb361p-4, 0x1.4b0dd7773d0fep-58},
    {0x1.c71c72p-1, 0x1.e27074e2af2e8p-4, -0x1.615782ac8ac09p-60},
    {0x1.c5894ep-1, 0x1.f0a30391162cap-4, -0x1.80d0c48b83f68p-62},
    {0x1.c3f8fp-1, 0x1.fec9141dbeabbp-4, 0x1.51728cfa743d2p-59},
    {0x1.c26b54p-1, 0x1.06714f3ca5972p-3, -0x1.4e7379db88c08p-59},
    {0x1.c0e07p-1, 0x1.0d77e8cd08e5ap-3, 0x1.9a5dc63e58601p-57},
    {0x1.bf583ep-1, 0x1.14785c6e742bep-3, -0x1.4477d42daf5b9p-57},
    {0x1.bdd2b8p-1, 0x1.1b72b012f67a8p-3, -0x1.1be7e76dbee7fp-57},
    {0x1.bc4fd6p-1, 0x1.2266f328a5acep-3, 0x1.e47c0717be8bbp-61},
    {0x1.bacf92p-1, 0x1.29552c41ff52ep-3, -0x1.1fd1335a9aebep-58},
    {0x1.b951e2p-1, 0x1.303d74c647fddp-3, 0x1.6b5199274c898p-57},
    {0x1.b7d6c4p-1, 0x1.371fc161e8f75p-3, -0x1.80c9a4ff5c905p-57},
    {0x1.b65e2ep-1, 0x1.3dfc2c26cc62bp-3, -0x1.93a8d9e3256b5p-62},
    {0x1.b4e81cp-1, 0x1.44d2b38cb7d29p-3, -0x1.0585316b9acbp-60},
    {0x1.b37484p-1, 0x1.4ba37269a55fp-3, -0x1.f367d96839876p-57},
    {0x1.b20364p-1, 0x1.526e5e5a1b438p-3, -0x1.646ff8a44628fp-57},
    {0x1.b094b4p-1, 0x1.5933896982097p-3, 0x1.7116d231c3f5dp-57},
    {0x1.af286cp-1, 0x1.5ff3060a793d5p-3, -0x1.bc60f05a71a18p-58},
    {0x1.adbe88p-1, 0x1.66acd4072ad51p-3, -0x1.d201c9c47fc0fp-59},
    {0x1.ac5702p-1, 0x1.6d60fce19d21fp-3, -0x1.ab89f5149b2dap-63},
    {0x1.aaf1d2p-1, 0x1.740f93fc037bap-3, 0x1.dfce1e9130fd3p-57},
    {0x1.a98ef6p-1, 0x1.7ab890410d909p-3, 0x1.fe36b2d74b0b3p-59},
    {0x1.a82e66p-1, 0x1.815c059c357ffp-3, -0x1.89e4bbf1dee8p-58},
    {0x1.a6d01ap-1, 0x1.87fa08620c915p-3, -0x1.76ffb21ab1b22p-58},
    {0x1.a5741p-1, 0x1.8e92902886d46p-3, -0x1.169d814e56763p-57},
    {0x1.a41a42p-1, 0x1.9525a80f456b8p-3, -0x1.e6fb3ff47272bp-57},
    {0x1.a2c2a8p-1, 0x1.9bb36547dfb89p-3, -0x1.8a1c998d17394p-61},
    {0x1.a16d4p-1, 0x1.a23bbffe2b567p-3, 0x1.9371105cfef01p-59},
    {0x1.a01a02p-1, 0x1.a8becdf082f1cp-3, 0x1.493c82b98db76p-58},
    {0x1.9ec8eap-1, 0x1.af3c91880bffep-3, 0x1.e672e728be6fdp-58},
    {0x1.9d79f2p-1, 0x1.b5b51740fb5abp-3, 0x1.f327f7825570fp-57},
    {0x1.9c2d14p-1, 0x1.bc286be2d8cecp-3, -0x1.c818a4e19ccc6p-57},
    {0x1.9ae24ep-1, 0x1.c2968890c18cbp-3, -0x1.6f6c364d84555p-64},
    {0x1.99999ap-1, 0x1.c8ff7a79a9a26p-3, -0x1.4f68a22edeab4p-57},
    {0x1.9852fp-1, 0x1.cf6359209c5eep-3, 0x1.639a216c061e3p-57},
    {0x1.970e5p-1, 0x1.d5c21434fbb98p-3, -0x1.91bbcf9d70802p-57},
    {0x1.95cbbp-1, 0x1.dc1bcdcabec8bp-3, 0x1.c34c632d8b75fp-57},
    {0x1.948b1p-1, 0x1.e27075e2af2e7p-3, -0x1.61578157356b5p-59},
    {0x1.934c68p-1, 0x1.e8c0250aa5a6p-3, -0x1.2e03a39ca7345p-59},
    {0x1.920fb4p-1, 0x1.ef0adfddc594p-3, 0x1.618e0df41b39bp-59},
    {0x1.90d4f2p-1, 0x1.f550a0ecb7b4bp-3, -0x1.5057e10ede54p-64},
    {0x1.8f9c18p-1, 0x1.fb918bd5e3e44p-3, -0x1.caaabca476ee8p-57},
    {0x1.8e6528p-1, 0x1.00e6c38ad501ep-2, 0x1.88d52b24cad58p-58},
    {0x1.8d3018p-1, 0x1.04025b6b4d04ap-2, -0x1.d1d80fc74adbfp-58},
    {0x1.8bfce8p-1, 0x1.071b860cd590dp-2, 0x1.f1707f98133d5p-58},
    {0x1.8acb9p-1, 0x1.0a3250a7390fp-2, -0x1.0460195491c17p-57},
    {0x1.899c1p-1, 0x1.0d46b3d9ab75p-2, 0x1.a1f63b293b43ap-56},
    {0x1.886e6p-1, 0x1.1058bd1ae4ae2p-2, -0x1.9d819228227f2p-56},
    {0x1.87427cp-1, 0x1.13686fa13a8b1p-2, -0x1.0a675a9140c2cp-58},
    {0x1.861862p-1, 0x1.1675c97aba611p-2, 0x1.1ce6397632e3p-57},
    {0x1.84f00cp-1, 0x1.1980d3454237p-2, -0x1.10c2e4dad040fp-56},
    {0x1.83c978p-1, 0x1.1c898b36999fdp-2, -0x1.f0e5c70fa9c6dp-56},
    {0x1.82a4ap-1, 0x1.1f8ffa248a2f3p-2, -0x1.49fdf99b6f5b1p-56},
    {0x1.818182p-1, 0x1.22941e6cf7969p-2, 0x1.442847cb75d73p-58},
    {0x1.806018p-1, 0x1.2596011df763ap-2, -0x1.deed8ae041291p-59},
    {0x1.7f406p-1, 0x1.2895a0bde86a4p-2, -0x1.0a5b682d74d38p-57},
    {0x1.7e2256p-1, 0x1.2b93013789d31p-2, -0x1.64eb73873ef99p-56},
    {0x1.7d05f4p-1, 0x1.2e8e2bee11d31p-2, -0x1.0f4cdb90968a4p-56},
    {0x1.7beb3ap-1, 0x1.31871a414419p-2, -0x1.7135ba3e86ad9p-57},
    {0x1.7ad22p-1, 0x1.347ddb2987d59p-2, 0x1.5915a1bfb7318p-56},
    {0x1.79baa6p-1, 0x1.37726827fd863p-2, -0x1.6c589289f1453p-57},
    {0x1.78a4c8p-1, 0x1.3a64c596945eap-2, -0x1.8d0ca31369da2p-58},
    {0x1.779082p-1, 0x1.3d54f7e81f71cp-2, -0x1.bea6701908e51p-56},
    {0x1.767dcep-1, 0x1.404309206a7e5p-2, -0x1.d39f6b12df22ep-57},
    {0x1.756cacp-1, 0x1.432ef2f84e814p-2, -0x1.bc98b83e79d6fp-59},
    {0x1.745d18p-1, 0x1.4618ba21c5ecap-2, 0x1.f42de234224b2p-56},
    {0x1.734f0cp-1, 0x1.490068ec009d2p-2, 0x1.c201e6ee8196ap-56},
    {0x1.724288p-1, 0x1.4be5f937778a1p-2, -0x1.cb366b633ad24p-58},
    {0x1.713786p-1, 0x1.4ec9758200275p-2, -0x1.7450d828f6d1ap-57},
    {0x1.702e06p-1, 0x1.51aad7c2df82ep-2, -0x1.0db0aebabfed6p-60},
    {0x1.6f2602p-1, 0x1.548a2aa6dd268p-2, -0x1.a89d025e1c2ffp-57},
    {0x1.6e1f76p-1, 0x1.5767736c55a74p-2, 0x1.51ab95537992p-58},
};

// ln 2 in three pieces; the first two have 42 significant bits so that
// multiplying them by an exponent (|e| < 2^11) is exact.
constexpr double kLn2Hi = 0x1.62e42fefa38p-1;
constexpr double kLn2Mid = 0x1.ef35793c768p-45;
constexpr double kLn2Lo = -0x1.9ff0342542fc3p-90;

// Natural logarithm of a positive finite x, to about 2^-104 of its size.
DoubleDouble Log(double x) {
  uint64_t bits = BitsOf(x);
  int exponent = 0;
  if (bits < kSmallestNormalBits) {
    bits = BitsOf(x * 0x1p54);
    exponent = -54;
  }
  // x = 2^k * z with z in [kLogOffset, 2 kLogOffset): the offset is added
  // back after the subtraction so that nothing wraps around.
  const uint64_t shifted = bits + (kOneBits - kLogOffsetBits);
  const int k = static_cast<int>(shifted >> 52) - 1023;
  exponent += k;
  const LogEntry& entry = kLogTable[(shifted >> 44) & 255];
  const double z = FromBits(bits - ((shifted & ~kFractionMask) - kOneBits));

  // r = z * c - 1 exactly: z * c == p + e, p - 1 is exact (p lies in
  // [0.99, 1.01]) and e is at most half an ulp of p, which p - 1 is a
  // multiple of.
  const DoubleDouble z_halves = Split(z);
  const double p = z * entry.c;
  const double e = (z_halves.hi * entry.c - p) + z_halves.lo * entry.c;
  const DoubleDouble r = FastTwoSum(p - 1.0, e);

  // log(1 + r) = r + r^2 q(r), q = -1/2 + r/3 - r^2/4 + ... - r^10/12; the
  // first term left out, r^13/13, is below 2^-111 of r at |r| = 2^-9. The
  // terms of q from r^5 on need no more than double precision.
  const double rh = r.hi;
  double tail = -0x1.5555555555555p-4;       // -1/12
  tail = 0x1.745d1745d1746p-4 + rh * tail;   // 1/11
  tail = -0x1.999999999999ap-4 + rh * tail;  // -1/10
  tail = 0x1.c71c71c71c71cp-4 + rh * tail;   // 1/9
  tail = -0x1p-3 + rh * tail;                // -1/8
  tail = 0x1.2492492492492p-3 + rh * tail;   // 1/7
  const DoubleDouble r_halves = Split(rh);
  DoubleDouble q{tail, 0.0};
  q = MultiplyAdd({-0x1.5555555555555p-3, -0x1.5555555555555p-57}, r, r_halves, q);  // -1/6
  q = MultiplyAdd({0x1.999999999999ap-3, -0x1.999999999999ap-57}, r, r_halves, q);   // 1/5
  q = MultiplyAdd({-0.25, 0.0}, r, r_halves, q);
  q = MultiplyAdd({0x1.5555555555555p-2, 0x1.5555555555555p-56}, r, r_halves, q);  // 1/3
  q = MultiplyAdd({-0.5, 0.0}, r, r_halves, q);
  DoubleDouble r_squared = TwoProduct(rh, r_halves, rh, r_halves);
  r_squared = FastTwoSum(r_squared.hi, r_squared.lo + 2.0 * rh * r.lo);
  const DoubleDouble log1p_r = AddSmaller(r, Multiply(r_squared, Split(r_squared.hi), q));

  // exponent * ln 2 - log(c), each to 2^-106 of its size; where the sum
  // cancels (x just below 1 falls in the table's interval 152), it loses at
  // most two bits.
  const double n = exponent;
  DoubleDouble scaled = TwoSum(n * kLn2Hi, n * kLn2Mid);
  scaled = FastTwoSum(scaled.hi, scaled.lo + n * kLn2Lo);
  const DoubleDouble table_part = Add(scaled, {entry.minus_log_c_hi, entry.minus_log_c_lo});
  return Add(table_part, log1p_r);
}

// 2^(j/256) for j = 0 .. 255 as double-doubles.
constexpr DoubleDouble kExp2Table[256] = {
    {0x1p0, 0.0},
    {0x1.00b1afa5abcbfp0, -0x1.4f6b2a7609f71p-55},
    {0x1.0163da9fb3335p0, 0x1.b61299ab8cdb7p-54},
    {0x1.02168143b0281p0, -0x1.2bf310fc54eb6p-55},
    {0x1.02c9a3e778061p0, -0x1.19083535b085dp-56},
    {0x1.037d42e11bbccp0, 0x1.56811eeade11ap-57},
    {0x1.04315e86e7f85p0, -0x1.0a31c1977c96ep-54},
    {0x1.04e5f72f654b1p0, 0x1.4c3793aa0d08dp-55},
    {0x1.059b0d3158574p0, 0x1.d73e2a475b465p-55},
    {0x1.0650a0e3c1f89p0, -0x1.5cb7b5799c397p-54},
    {0x1.0706b29ddf6dep0, -0x1.c91dfe2b13c27p-55},
    {0x1.07bd42b72a836p0, 0x1.32334544587p-55},
    {0x1.0874518759bc8p0, 0x1.186be4bb284ffp-57},
    {0x1.092bdf66607ep0, -0x1.68063800a3fd1p-54},
    {0x1.09e3ecac6f383p0, 0x1.1487818316136p-54},
    {0x1.0a9c79b1f3919p0, 0x1.5d16c873d1d38p-55},
    {0x1.0b5586cf9890fp0, 0x1.8a62e4adc610bp-54},
    {0x1.0c0f145e46c85p0, 0x1.4f98906d21cefp-54},
    {0x1.0cc922b7247f7p0, 0x1.01edc16e24f71p-54},
    {0x1.0d83b23395decp0, -0x1.bc14de43f316ap-54},
    {0x1.0e3ec32d3d1a2p0, 0x1.03a1727c57b53p-59},
    {0x1.0efa55fdfa9c5p0, -0x1.49db9bc54021bp-54},
    {0x1.0fb66affed31bp0, -0x1.b9bedc44ebd7bp-57},
    {0x1.1073028d7233ep0, 0x1.d46eb1692fdd5p-55},
    {0x1.11301d0125b51p0, -0x1.6c51039449b3ap-54},
    {0x1.11edbab5e2ab6p0, -0x1.ca454f703fb72p-54},
    {0x1.12abdc06c31ccp0, -0x1.1b514b36ca5c7p-58},
    {0x1.136a814f204abp0, -0x1.7108fba48dcfp-57},
    {0x1.1429aaea92dep0, -0x1.32fbf9af1369ep-54},
    {0x1.14e95934f312ep0, -0x1.b91e839bf44abp-55},
    {0x1.15a98c8a58e51p0, 0x1.2406ab9eeab0ap-55},
    {0x1.166a45471c3c2p0, 0x1.8f23b82ea1a32p-58},
    {0x1.172b83c7d517bp0, -0x1.19041b9d78a76p-55},
    {0x1.17ed48695bbcp0, 0x1.09e3fe2ac5a64p-56},
    {0x1.18af9388c8deap0, -0x1.11023d1970f6cp-54},
    {0x1.1972658375d2fp0, 0x1.4aadd85f17e08p-54},
    {0x1.1a35beb6fcb75p0, 0x1.e5b4c7b4968e4p-55},
    {0x1.1af99f8138a1cp0, 0x1.7bf85a4b6928p-54},
    {0x1.1bbe084045cd4p0, -0x1.95386352ef607p-54},
    {0x1.1c82f95281c6bp0, 0x1.009778010f8c9p-54},
    {0x1.1d4873168b9aap0, 0x1.e016e00a2643cp-54},
    {0x1.1e0e75eb44027p0, -0x1.6fdd8088cb6dep-54},
    {0x1.1ed5022fcd91dp0, -0x1.1df98027bb78cp-54},
    {0x1.1f9c18438ce4dp0, -0x1.bf524a097af5cp-54},
    {0x1.2063b88628cd6p0, 0x1.dc775814a8495p-55},
    {0x1.212be3578a819p0, 0x1.3592d2cfcaac9p-54},
    {0x1.21f49917ddc96p0, 0x1.2a97e9494a5eep-55},
    {0x1.22bdda27912d1p0, 0x1.d34fb5577d69fp-55},
    {0x1.2387a6e756238p0, 0x1.9b07eb6c70573p-54},
    {0x1.2451ffb82140ap0, 0x1.acfcc911ca996p-55},
    {0x1.251ce4fb2a63fp0, 0x1.ac155bef4f4a4p-55},
    {0x1.25e85711ece75p0, 0x1.3e1a24ac31b2cp-54},
    {0x1.26b4565e27cddp0, 0x1.2bd339940e9d9p-55},
    {0x1.2780e341ddf29p0, 0x1.e067c05f9e76cp-54},
    {0x1.284dfe1f56381p0, -0x1.a4c3a8c3f0d7ep-54},
    {0x1.291ba7591bb7p0, -0x1.2cc7228401cbdp-55},
    {0x1.29e9df51fdee1p0, 0x1.612e8afad1255p-55},
    {0x1.2ab8a66d10f13p0, -0x1.95743191690a7p-54},
    {0x1.2b87fd0dad99p0, -0x1.10adcd6381aa4p-59},
    {0x1.2c57e39771b2fp0, -0x1.50145a6eb5124p-54},
    {0x1.2d285a6e4030bp0, 0x1.0024754db41d5p-54},
    {0x1.2df961f641589p0, 0x1.d16cffbbce198p-54},
    {0x1.2ecafa93e2f56p0, 0x1.1ca0f45d52383p-56},
    {0x1.2f9d24abd886bp0, -0x1.53c55532bda93p-57},
    {0x1.306fe0a31b715p0, 0x1.6f46ad23182e4p-55},
    {0x1.31432edeeb2fdp0, 0x1.959a3f3f3fcd1p-55},
    {0x1.32170fc4cd831p0, 0x1.a9ce78e18047cp-55},
    {0x1.32eb83ba8ea32p0, -0x1.c45e83cb4f318p-54},
    {0x1.33c08b26416ffp0, 0x1.32721843659a6p-54},
    {0x1.3496266e3fa2dp0, -0x1.35a75930881a4p-55},
    {0x1.356c55f929ff1p0, -0x1.b5cee5c4e4628p-55},
    {0x1.36431a2de883bp0, -0x1.c3144a06cb85ep-55},
    {0x1.371a7373aa9cbp0, -0x1.63aeabf42eae2p-54},
    {0x1.37f26231e754ap0, -0x1.9f5ca9eceb23cp-54},
    {0x1.38cae6d05d866p0, -0x1.e958d3c9904bdp-54},
    {0x1.39a401b7140efp0, -0x1.9a9a5fc8e2934p-54},
    {0x1.3a7db34e59ff7p0, -0x1.5e436d661f5e3p-56},
    {0x1.3b57fbfec6cf4p0, 0x1.54c66e26fff18p-54},
    {0x1.3c32dc313a8e5p0, -0x1.efff8375d29c3p-54},
    {0x1.3d0e544ede173p0, 0x1.fe8d08c284c71p-56},
    {0x1.3dea64c123422p0, 0x1.ada0911f09ebcp-55},
    {0x1.3ec70df1c5175p0, -0x1.af6637b8c9bcap-55},
    {0x1.3fa4504ac801cp0, -0x1.7d023f956f9f3p-54},
    {0x1.40822c367a024p0, 0x1.bddf8b6f4d048p-55},
    {0x1.4160a21f72e2ap0, -0x1.ef3691c309278p-58},
    {0x1.423fb2709468ap0, -0x1.8462dc0b314ddp-54},
    {0x1.431f5d950a897p0, -0x1.1c7dde35f7999p-55},
    {0x1.43ffa3f84b9d4p0, 0x1.880be9704c003p-55},
    {0x1.44e086061892dp0, 0x1.89b7a04ef80dp-59},
    {0x1.45c2042a7d232p0, -0x1.8641982fb1f8ep-57},
    {0x1.46a41ed1d0057p0, 0x1.c944bd1648a76p-54},
    {0x1.4786d668b3237p0, -0x1.c20f0ed445733p-54},
    {0x1.486a2b5c13cdp0, 0x1.3c1a3b69062fp-56},
    {0x1.494e1e192aed2p0, -0x1.3b2895e499eap-55},
    {0x1.4a32af0d7d3dep0, 0x1.9cb62f3d1be56p-54},
    {0x1.4b17dea6db7d7p0, -0x1.125b87f2897fp-55},
    {0x1.4bfdad5362a27p0, 0x1.d4397afec42e2p-56},
    {0x1.4ce41b817c114p0, 0x1.05e29690abd5dp-54},
    {0x1.4dcb299fddd0dp0, 0x1.8ecdbbc6a7833p-54},
    {0x1.4eb2d81d8abffp0, -0x1.5257d2e5d7a52p-54},
    {0x1.4f9b2769d2ca7p0, -0x1.4b309d25957e3p-54},
    {0x1.508417f4531eep0, 0x1.a249b49b7465fp-56},
    {0x1.516daa2cf6642p0, -0x1.f768569bd93efp-55},
    {0x1.5257de83f4eefp0, -0x1.c998d43efef71p-56},
    {0x1.5342b569d4f82p0, -0x1.07abe1db13cadp-55},
    {0x1.542e2f4f6ad27p0, 0x1.7926d192d5f7ep-55},
    {0x1.551a4ca5d920fp0, -0x1.d689cefede59bp-55},
    {0x1.56070dde910d2p0, -0x1.0fb6e168eebfp-54},
    {0x1.56f4736b527dap0, 0x1.9bb2c011d93adp-54},
    {0x1.57e27dbe2c4cfp0, -0x1.0b98c8a57b9c4p-54},
    {0x1.58d12d497c7fdp0, 0x1.295e15b9a1de8p-55},
    {0x1.59c0827ff07ccp0, -0x1.7e2cee467e60fp-54},
    {0x1.5ab07dd485429p0, 0x1.6324c054647adp-54},
    {0x1.5ba11fba87a03p0, -0x1.b77a14c233e1ap-54},
    {0x1.5c9268a5946b7p0, 0x1.c4b1b816986a2p-60},
    {0x1.5d84590998b93p0, -0x1.cd6a7a8b45643p-54},
    {0x1.5e76f15ad2148p0, 0x1.ba6f93080e65ep-54},
    {0x1.5f6a320dceb71p0, -0x1.9eadde3cdcf92p-55},
    {0x1.605e1b976dc09p0, -0x1.3e2429b56de47p-54},
    {0x1.6152ae6cdf6f4p0, 0x1.e4b3e4ab84c27p-54},
    {0x1.6247eb03a5585p0, -0x1.383c17e40b497p-54},
    {0x1.633dd1d1929fdp0, 0x1.84710beb964e5p-54},
    {0x1.6434634ccc32p0, -0x1.c483c759d8933p-55},
    {0x1.652b9febc8fb7p0, -0x1.ae3d5c9a73e09p-54},
    {0x1.6623882552225p0, -0x1.bb60987591c34p-54},
    {0x1.671c1c70833f6p0, -0x1.e8732586c6134p-55},
    {0x1.68155d44ca973p0, 0x1.038ae44f73e65p-57},
    {0x1.690f4b19e9538p0, 0x1.804bd9aeb445dp-55},
    {0x1.6a09e667f3bcdp0, -0x1.bdd3413b26456p-54},
    {0x1.6b052fa75173ep0, 0x1.a38f52c9a9d0ep-56},
    {0x1.6c012750bdabfp0, -0x1.2895667ff0b0dp-56},
    {0x1.6cfdcddd47645p0, 0x1.c7aa9b6f17309p-54},
    {0x1.6dfb23c651a2fp0, -0x1.bbe3a683c88abp-57},
    {0x1.6ef9298593ae5p0, -0x1.0b9749e1ac8b2p-54},
    {0x1.6ff7df9519484p0, -0x1.83c0f25860ef6p-55},
    {0x1.70f7466f42e87p0, 0x1.9d644d45aa65fp-58},
    {0x1.71f75e8ec5f74p0, -0x1.16e4786887a99p-55},
    {0x1.72f8286ead08ap0, -0x1.20aa02cd62c72p-54},
    {0x1.73f9a48a58174p0, -0x1.0a8d96c65d53cp-54},
    {0x1.74fbd35d7cbfdp0, 0x1.047fd618a6e1cp-54},
    {0x1.75feb564267c9p0, -0x1.0245957316dd3p-54},
    {0x1.77024b1ab6e09p0, 0x1.b7877169147f8p-54},
    {0x1.780694fde5d3fp0, 0x1.866b80a02162dp-54},
    {0x1.790b938ac1cf6p0, 0x1.349a862aadd3ep-54},
    {0x1.7a11473eb0187p0, -0x1.41577ee04992fp-55},
    {0x1.7b17b0976cfdbp0, -0x1.bebb58468dc88p-54},
    {0x1.7c1ed0130c132p0, 0x1.f124cd1164dd6p-54},
    {0x1.7d26a62ff86fp0, 0x1.1bddbfb72b8b4p-54},
    {0x1.7e2f336cf4e62p0, 0x1.05d02ba15797ep-56},
    {0x1.7f3878491c491p0, -0x1.07f11cf9311aep-55},
    {0x1.80427543e1a12p0, -0x1.27c86626d972bp-54},
    {0x1.814d2add106d9p0, 0x1.464370d151d4dp-54},
    {0x1.82589994cce13p0, -0x1.d4c1dd41532d8p-54},
    {0x1.8364c1eb941f7p0, 0x1.99b9a31df2bd5p-54},
    {0x1.8471a4623c7adp0, -0x1.8d684a341cdfbp-55},
    {0x1.857f4179f5b21p0, -0x1.ba748f8b216dp-58},
    {0x1.868d99b4492edp0, -0x1.fc6f89bd4f6bap-54},
    {0x1.879cad931a436p0, 0x1.5d2d7d2db47bdp-55},
    {0x1.88ac7d98a6699p0, 0x1.994c2f37cb53ap-54},
    {0x1.89bd0a478580fp0, 0x1.d53954475202bp-54},
    {0x1.8ace5422aa0dbp0, 0x1.6e9f156864b27p-54},
    {0x1.8be05bad61778p0, 0x1.ecb5efc43446ep-54},
    {0x1.8cf3216b5448cp0, -0x1.0d55e32e9e3aap-56},
    {0x1.8e06a5e0866d9p0, -0x1.7114a6fc9b2e6p-54},
    {0x1.8f1ae99157736p0, 0x1.5cc13a2e3976cp-55},
    {0x1.902fed0282c8ap0, 0x1.592ca85fe3fd2p-54},
    {0x1.9145b0b91ffc6p0, -0x1.dd6792e582524p-54},
    {0x1.925c353aa2fe2p0, -0x1.3455fa639db7fp-55},
    {0x1.93737b0cdc5e5p0, -0x1.75fc781b57ebcp-57},
    {0x1.948b82b5f98e5p0, -0x1.dc3d6797d2d99p-55},
    {0x1.95a44cbc8520fp0, -0x1.64b7c96a5f039p-56},
    {0x1.96bdd9a7670b3p0, -0x1.ba5967f19c896p-58},
    {0x1.97d829fde4e5p0, -0x1.d185b7c1b85d1p-54},
    {0x1.98f33e47a22a2p0, 0x1.cabdaa24c78edp-56},
    {0x1.9a0f170ca07bap0, -0x1.173bd91cee632p-54},
    {0x1.9b2bb4d53fe0dp0, -0x1.dd84e4df6d518p-54},
    {0x1.9c49182a3f09p0, 0x1.c7c46b071f2bep-56},
    {0x1.9d674194bb8d5p0, -0x1.516bea3dd8233p-54},
    {0x1.9e86319e32323p0, 0x1.824ca78e64c6ep-56},
    {0x1.9fa5e8d07f29ep0, -0x1.4a9ceaaf1facep-55},
    {0x1.a0c667b5de565p0, -0x1.359495d1cd533p-54},
    {0x1.a1e7aed8eb8bbp0, 0x1.c6618ee8be70ep-54},
    {0x1.a309bec4a2d33p0, 0x1.6305c7ddc36abp-54},
    {0x1.a42c980460ad8p0, -0x1.aa780589fb12p-54},
    {0x1.a5503b23e255dp0, -0x1.d2f6edb8d41e1p-54},
    {0x1.a674a8af46052p0, 0x1.50f5630670366p-57},
    {0x1.a799e1330b358p0, 0x1.bcb7ecac563c7p-54},
    {0x1.a8bfe53c12e59p0, -0x1.4f867b2ba15a9p-54},
    {0x1.a9e6b5579fdbfp0, 0x1.0fac90ef7fd31p-54},
    {0x1.ab0e521356ebap0, 0x1.89c31dae94545p-55},
    {0x1.ac36bbfd3f37ap0, -0x1.f9234cae76cdp-55},
    {0x1.ad5ff3a3c2774p0, 0x1.7ef3bb6b1b8e5p-54},
    {0x1.ae89f995ad3adp0, 0x1.7a1cd345dcc81p-54},
    {0x1.afb4ce622f2ffp0, -0x1.4b2fc0f315ecdp-54},
    {0x1.b0e07298db666p0, -0x1.bdef54c80e425p-54},
    {0x1.b20ce6c9a8952p0, 0x1.4dd024a0756ccp-54},
    {0x1.b33a2b84f15fbp0, -0x1.2805e3084d708p-57},
    {0x1.b468415b749b1p0, -0x1.f763de9df7c9p-56},
    {0x1.b59728de5593ap0, -0x1.c71dfbbba6de3p-54},
    {0x1.b6c6e29f1c52ap0, 0x1.2a8f352883f6ep-54},
    {0x1.b7f76f2fb5e47p0, -0x1.5584f7e54ac3bp-56},
    {0x1.b928cf22749e4p0, -0x1.b721654cb65c6p-54},
    {0x1.ba5b030a1064ap0, -0x1.efcd30e54292ep-54},
    {0x1.bb8e0b79a6f1fp0, -0x1.f52d1c9696205p-60},
    {0x1.bcc1e904bc1d2p0, 0x1.23dd07a2d9e84p-55},
    {0x1.bdf69c3f3a207p0, -0x1.c262360ea5b52p-60},
    {0x1.bf2c25bd71e09p0, -0x1.efdca3f6b9c73p-54},
    {0x1.c06286141b33dp0, -0x1.d8a5aa1fbca34p-55},
    {0x1.c199bdd85529cp0, 0x1.11065895048ddp-55},
    {0x1.c2d1cd9fa652cp0, -0x1.6e51617c8a5d7p-54},
    {0x1.c40ab5fffd07ap0, 0x1.b4537e083c60ap-54},
    {0x1.c544778fafb22p0, 0x1.12f072493b5afp-54},
    {0x1.c67f12e57d14bp0, 0x1.2884dff483cadp-54},
    {0x1.c7ba88988c933p0, -0x1.e76bbbe255559p-55},
    {0x1.c8f6d9406e7b5p0, 0x1.1acbc48805c44p-56},
    {0x1.ca3405751c4dbp0, -0x1.7f2bed10d08f5p-55},
    {0x1.cb720dcef9069p0, 0x1.503cbd1e949dbp-56},
    {0x1.ccb0f2e6d1675p0, -0x1.d220f86009093p-56},
    {0x1.cdf0b555dc3fap0, -0x1.dd83b53829d72p-55},
    {0x1.cf3155b5bab74p0, -0x1.a08e9b86dff57p-54},
    {0x1.d072d4a07897cp0, -0x1.cbc3743797a9cp-54},
    {0x1.d1b532b08c968p0, 0x1.55636219a36eep-54},
    {0x1.d2f87080d89f2p0, -0x1.d487b719d8578p-54},
    {0x1.d43c8eacaa1d6p0, 0x1.3db53bf5a1614p-54},
    {0x1.d5818dcfba487p0, 0x1.2ed02d75b3707p-55},
    {0x1.d6c76e862e6d3p0, 0x1.fe87a4a8165ap-58},
    {0x1.d80e316c98398p0, -0x1.11ec18beddfe8p-54},
    {0x1.d955d71ff6075p0, 0x1.a052dbb9af6bep-54},
    {0x1.da9e603db3285p0, 0x1.c2300696db532p-54},
    {0x1.dbe7cd63a8315p0, -0x1.b76f1926b8be4p-54},
    {0x1.dd321f301b46p0, 0x1.2da5778f018c3p-54},
    {0x1.de7d5641c0658p0, -0x1.ca5528e79ba8fp-54},
    {0x1.dfc97337b9b5fp0, -0x1.1a5cd4f184b5cp-54},
    {0x1.e11676b197d17p0, -0x1.2b529bd5c7f44p-56},
    {0x1.e264614f5a129p0, -0x1.7b627817a1496p-54},
    {0x1.e3b333b16ee12p0, -0x1.9f4a431fdc68bp-54},
    {0x1.e502ee78b3ff6p0, 0x1.39e8980a9cc8fp-55},
    {0x1.e653924676d76p0, -0x1.63ff87522b735p-55},
    {0x1.e7a51fbc74c83p0, 0x1.2d522ca0c8de2p-54},
    {0x1.e8f7977cdb74p0, -0x1.1089480b054b1p-54},
    {0x1.ea4afa2a490dap0, -0x1.e9c23179c2893p-54},
    {0x1.eb9f4867cca6ep0, 0x1.4832f2293e4f2p-54},
    {0x1.ecf482d8e67f1p0, -0x1.c93f3b411ad8cp-54},
    {0x1.ee4aaa218851p0, 0x1.1c68da487568dp-54},
    {0x1.efa1bee615a27p0, 0x1.dc7f486a4b6bp-54},
    {0x1.f0f9c1cb6412ap0, -0x1.3220065181d45p-54},
    {0x1.f252b376bba97p0, 0x1.3a1a5bf0d8e43p-54},
    {0x1.f3ac948dd7274p0, -0x1.95a5a3ed837dep-56},
    {0x1.f50765b6e454p0, 0x1.9d3e12dd8a18bp-54},
    {0x1.f6632798844f8p0, 0x1.fa37b3539343ep-54},
    {0x1.f7bfdad9cbe14p0, -0x1.dbb12d006350ap-54},
    {0x1.f91d802243c89p0, -0x1.12ea8a779f689p-57},
    {0x1.fa7c1819e90d8p0, 0x1.74853f3a5931ep-55},
    {0x1.fbdba3692d514p0, -0x1.9677315098eb6p-56},
    {0x1.fd3c22b8f71f1p0, 0x1.2eb74966579e7p-57},
    {0x1.fe9d96b2a23d9p0, 0x1.4a6037442fde3p-56},
};

// ln 2 / 256 in three pieces; the first two have 34 significant bits so that
// multiplying them by the table index (|n| < 2^19) is exact.
constexpr double kLn2By256Hi = 0x1.62e42fef8p-9;
constexpr double kLn2By256Mid = 0x1.1cf79abc8p-44;
constexpr double kLn2By256Lo = 0x1.e3b39803f2f6bp-80;
constexpr double kInvLn2x256 = 0x1.71547652b82fep8;
// Adding it rounds any |v| < 2^51 to an integer.
constexpr double kRoundingShift = 0x1.8p52;

// The double-double x^y is within 2^-94 of its size of the true value (2^-104
// from the arithmetic, plus |y log x| <= 746 times 2^-104 from the logarithm).
// Where a margin of 2^-80 either side could change its rounding, the result
// is settled against the midpoint in between with the fixed-point arithmetic
// below; that happens about once in 10^8 random calls, and at once for inputs
// such as (1 - 2^-53)^1.5, whose power lies 2^-107 below a midpoint.
constexpr double kRoundingCheckBound = 0x1p-80;

// floor(sqrt(n)), bit by bit.
uint64_t IntegerSquareRoot(uint64_t n) {
  uint64_t root = 0;
  uint64_t bit = uint64_t{1} << 62;
  while (bit > n) bit >>= 2;
  while (bit != 0) {
    if (n >= root + bit) {
      n -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return root;
}

int BitLength(uint64_t n) {
  int length = 0;
  while (n != 0) {
    n >>= 1;
    ++length;
  }
  return length;
}

// base^power for an odd base >= 3, or 0 once that passes 2^55.
uint64_t SmallPower(uint64_t base, uint64_t power) {
  uint64_t result = 1;
  for (uint64_t i = 0; i < power; ++i) {
    if (BitLength(result) + BitLength(base) > 56) return 0;
    result *= base;
    if (result > uint64_t{1} << 55) return 0;
  }
  return result;
}

// x = odd * 2^exponent for a finite x != 0.
void OddAndExponent(double x, uint64_t* odd, int* exponent) {
  const uint64_t bits = BitsOf(x) & ~kSignBit;
  uint64_t m = bits & kFractionMask;
  int e = -1074;
  if (bits >= kSmallestNormalBits) {
    m |= kSmallestNormalBits;
    e = static_cast<int>(bits >> 52) - 1075;
  }
  while ((m & 1) == 0) {
    m >>= 1;
    ++e;
  }
  *odd = m;
  *exponent = e;
}

// Whether x^y == odd * 2^exponent2 exactly, for positive finite x, finite
// y != 0 and odd < 2^55. With x = mx 2^ex and y = my 2^ey (mx, my odd) the
// power has a finite binary expansion only if x is a power of two and ex y an
// integer, or if y > 0 and mx is a perfect 2^-ey-th power. A root of at
// least 3 whose power stays below 2^55 rules out ey < -5 and y >= 35.
bool IsExactPower(double x, double y, uint64_t odd, int exponent2) {
  uint64_t mx;
  int ex;
  OddAndExponent(x, &mx, &ex);
  if (mx == 1) {
    if (odd != 1) return false;
    const double n = ex;
    const DoubleDouble product = TwoProduct(n, Split(n), y, Split(y));
    return product.lo == 0.0 && product.hi == exponent2;
  }
  if (y < 0.0 || y >= 35.0) return false;
  uint64_t my;
  int ey;
  OddAndExponent(y, &my, &ey);
  if (ey < -5) return false;
  uint64_t root = mx;
  int root_exponent = ex;
  for (int i = 0; i < -ey; ++i) {
    if (root_exponent % 2 != 0) return false;
    const uint64_t s = IntegerSquareRoot(root);
    if (s * s != root) return false;
    root = s;
    root_exponent /= 2;
  }
  const uint64_t power = ey >= 0 ? my << ey : my;
  return SmallPower(root, power) == odd && root_exponent * static_cast<int>(power) == exponent2;
}

// Fixed-point numbers in two's complement with 96 integer and 288 fraction
// bits, for the few results that double-double cannot round.
constexpr int kLimbCount = 12;
constexpr int kFractionBits = 288;
struct Fixed {
  uint32_t limb[kLimbCount];  // least significant first
};

// ln 2 rounded to 288 fraction bits.
constexpr Fixed kFixedLn2 = {{0xe7b87620, 0x8baafa2b, 0x8a0d175b, 0x7298b62d, 0x40f34326, 0x03f2f6af,
                              0xc9e3b398, 0xd1cf79ab, 0xb17217f7, 0, 0, 0}};
constexpr Fixed kFixedOne = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}};

bool IsNegative(const Fixed& a) { return (a.limb[kLimbCount - 1] >> 31) != 0; }

Fixed Negated(const Fixed& a) {
  Fixed result;
  uint64_t carry = 1;
  for (int i = 0; i < kLimbCount; ++i) {
    carry += static_cast<uint32_t>(~a.limb[i]);
    result.limb[i] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  return result;
}

Fixed Magnitude(const Fixed& a) { return IsNegative(a) ? Negated(a) : a; }

Fixed Sum(const Fixed& a, const Fixed& b) {
  Fixed result;
  uint64_t carry = 0;
  for (int i = 0; i < kLimbCount; ++i) {
    carry += static_cast<uint64_t>(a.limb[i]) + b.limb[i];
    result.limb[i] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  return result;
}

Fixed Difference(const Fixed& a, const Fixed& b) { return Sum(a, Negated(b)); }

// Whether |a| < 2^(bit - 288).
bool MagnitudeBelow(const Fixed& a, int bit) {
  const Fixed m = Magnitude(a);
  for (int i = kLimbCount - 1; i >= 0; --i) {
    if (m.limb[i] == 0) continue;
    return i * 32 + BitLength(m.limb[i]) <= bit;
  }
  return true;
}

// v * 2^shift, the bits below 2^-288 dropped; v * 2^shift < 2^95.
Fixed FixedFromScaled(uint64_t v, int shift) {
  Fixed result{};
  int position = shift + kFractionBits;
  if (position < 0) {
    if (position <= -64) return result;
    v >>= -position;
    position = 0;
  }
  const int limb = position / 32;
  const int bit = position % 32;
  const uint64_t low = v << bit;
  const uint32_t parts[3] = {static_cast<uint32_t>(low), static_cast<uint32_t>(low >> 32),
                             bit == 0 ? 0u : static_cast<uint32_t>(v >> (64 - bit))};
  for (int i = 0; i < 3 && limb + i < kLimbCount; ++i) result.limb[limb + i] = parts[i];
  return result;
}

// A finite double below 2^94 in size.
Fixed FixedFromDouble(double d) {
  if (d == 0.0) return Fixed{};
  uint64_t odd;
  int exponent;
  OddAndExponent(d, &odd, &exponent);
  const Fixed magnitude = FixedFromScaled(odd, exponent);
  return d < 0.0 ? Negated(magnitude) : magnitude;
}

// a * b, the bits below 2^-288 of the magnitude dropped.
Fixed Product(const Fixed& a, const Fixed& b) {
  const Fixed x = Magnitude(a);
  const Fixed y = Magnitude(b);
  uint32_t full[2 * kLimbCount] = {};
  for (int i = 0; i < kLimbCount; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < kLimbCount; ++j) {
      carry += static_cast<uint64_t>(x.limb[i]) * y.limb[j] + full[i + j];
      full[i + j] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    full[i + kLimbCount] = static_cast<uint32_t>(carry);
  }
  Fixed result;
  for (int i = 0; i < kLimbCount; ++i) result.limb[i] = full[i + kFractionBits / 32];
  return IsNegative(a) != IsNegative(b) ? Negated(result) : result;
}

// a * k for a >= 0.
Fixed ProductSmall(const Fixed& a, uint32_t k) {
  Fixed result;
  uint64_t carry = 0;
  for (int i = 0; i < kLimbCount; ++i) {
    carry += static_cast<uint64_t>(a.limb[i]) * k;
    result.limb[i] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  return result;
}

// a / k rounded toward zero, for 0 < k < 2^16; in 16-bit steps so that no
// 64-bit division is needed.
Fixed QuotientSmall(const Fixed& a, uint32_t k) {
  const Fixed m = Magnitude(a);
  Fixed result;
  uint32_t remainder = 0;
  for (int i = kLimbCount - 1; i >= 0; --i) {
    const uint32_t high = (remainder << 16) | (m.limb[i] >> 16);
    remainder = high % k;
    const uint32_t low = (remainder << 16) | (m.limb[i] & 0xffff);
    remainder = low % k;
    result.limb[i] = ((high / k) << 16) | (low / k);
  }
  return IsNegative(a) ? Negated(result) : result;
}

// a * 2^n, rounded toward minus infinity for n < 0.
Fixed Shifted(const Fixed& a, int n) {
  Fixed result;
  const uint32_t fill = IsNegative(a) ? 0xffffffffu : 0u;
  for (int i = 0; i < kLimbCount; ++i) {
    // Bit 32 i + b of the result is bit 32 i + b - n of a.
    const int source = 32 * i - n;
    const int limb = source >= 0 ? source / 32 : -((-source + 31) / 32);
    const int bit = source - 32 * limb;
    auto at = [&](int index) { return index < 0 ? 0u : index >= kLimbCount ? fill : a.limb[index]; };
    const uint64_t pair = (static_cast<uint64_t>(at(limb + 1)) << 32) | at(limb);
    result.limb[i] = static_cast<uint32_t>(pair >> bit);
  }
  return result;
}

// e^t = f 2^k with f in [1, 2), for |t| < 2^20.
Fixed FixedExp(const Fixed& t, int* k) {
  // k from a double estimate of t / ln 2, then corrected.
  const Fixed m = Magnitude(t);
  double estimate = 0.0;
  for (int i = kLimbCount - 1; i >= kFractionBits / 32 - 2; --i) estimate = estimate * 0x1p32 + m.limb[i];
  estimate *= 0x1p-64;
  if (IsNegative(t)) estimate = -estimate;
  double quotient = estimate * 0x1.71547652b82fep0;  // 1 / ln 2
  int n = static_cast<int>(quotient);
  if (n > quotient) --n;
  const Fixed multiple = ProductSmall(kFixedLn2, static_cast<uint32_t>(n < 0 ? -n : n));
  Fixed s = n < 0 ? Sum(t, multiple) : Difference(t, multiple);
  while (IsNegative(s)) {
    s = Sum(s, kFixedLn2);
    --n;
  }
  while (!IsNegative(Difference(s, kFixedLn2))) {
    s = Difference(s, kFixedLn2);
    ++n;
  }
  // e^s = (e^(s/2^16))^(2^16): the series for s/2^16 < 2^-16 vanishes after
  // 17 terms instead of 60 (each costing 24 divisions), and the 16 squarings
  // make the 2^-286 error of the series 2^-270.
  const Fixed small = Shifted(s, -16);
  Fixed sum = kFixedOne;
  Fixed term = kFixedOne;
  for (uint32_t i = 1; i < 100; ++i) {
    term = QuotientSmall(Product(term, small), i);
    if (MagnitudeBelow(term, 0)) break;
    sum = Sum(sum, term);
  }
  for (int i = 0; i < 16; ++i) sum = Product(sum, sum);
  *k = n;
  return sum;
}

// log x for positive finite x, from an approximation good to 2^-80 of it: with
// x = m 2^e (m in [1, 2)) and d = m e^-(approx - e ln 2) - 1,
// log x = approx + log(1 + d) = approx + d - d^2/2 + d^3/3 - ...
Fixed FixedLog(double x, const DoubleDouble& approx) {
  uint64_t bits = BitsOf(x);
  int e = 0;
  if (bits < kSmallestNormalBits) {
    bits = BitsOf(x * 0x1p54);
    e = -54;
  }
  e += static_cast<int>(bits >> 52) - 1023;
  const double m = FromBits((bits & kFractionMask) | kOneBits);
  const Fixed start = Sum(FixedFromDouble(approx.hi), FixedFromDouble(approx.lo));
  const Fixed e_ln2 = ProductSmall(kFixedLn2, static_cast<uint32_t>(e < 0 ? -e : e));
  const Fixed log_m = e < 0 ? Sum(start, e_ln2) : Difference(start, e_ln2);
  int k;
  const Fixed f = FixedExp(Negated(log_m), &k);
  const Fixed d = Difference(Shifted(Product(FixedFromDouble(m), f), k), kFixedOne);
  const Fixed d2 = Product(d, d);
  const Fixed d3 = Product(d2, d);
  return Sum(Sum(start, d), Difference(QuotientSmall(d3, 3), Shifted(d2, -1)));
}

// Which side of the midpoint odd * 2^exponent2 x^y lies: +1 above, -1 below,
// 0 on it (or closer than 2^-200 of its size, which no input is known to
// come). x is positive and finite, y finite with |y| < 2^64 and
// |y log x| < 747, log_x within 2^-80 of log x.
int SideOfMidpoint(double x, double y, const DoubleDouble& log_x, uint64_t odd, int exponent2) {
  if (IsExactPower(x, y, odd, exponent2)) return 0;
  const Fixed log_fixed = FixedLog(x, log_x);
  // t = y log x = my 2^ey log x, my < 2^53, without leaving the 96 integer bits.
  uint64_t my;
  int ey;
  OddAndExponent(y, &my, &ey);
  const Fixed log_magnitude = Magnitude(log_fixed);
  Fixed t = Sum(ProductSmall(log_magnitude, static_cast<uint32_t>(my)),
                Shifted(ProductSmall(log_magnitude, static_cast<uint32_t>(my >> 32)), 32));
  t = Shifted(t, ey);
  if (IsNegative(log_fixed) != (y < 0.0)) t = Negated(t);
  int k;
  const Fixed f = FixedExp(t, &k);
  const Fixed difference = Difference(f, FixedFromScaled(odd, exponent2 - k));
  if (MagnitudeBelow(difference, kFractionBits - 200)) return 0;
  return IsNegative(difference) ? -1 : 1;
}

// e^t as r 2^scale with r in [0.998, 2), r a double-double (|t| < 746).
DoubleDouble ExpScaled(const DoubleDouble& t, int& scale) {
  const double nearest = (t.hi * kInvLn2x256 + kRoundingShift) - kRoundingShift;
  const int n = static_cast<int>(nearest);
  const int j = n & 255;
  scale = (n - j) / 256;

  // s = t - n ln2/256: the first difference is exact (Sterbenz: t.hi lies
  // within (n +- 0.51) ln2/256), and so are both products.
  DoubleDouble s = TwoSum(t.hi - nearest * kLn2By256Hi, -nearest * kLn2By256Mid);
  s = FastTwoSum(s.hi, s.lo + (t.lo - nearest * kLn2By256Lo));

  // e^s - 1 = s h(s), h = 1 + s/2 + s^2/6 + ... + s^8/9!, |s| <= 2^-9.5; the
  // terms from s^4/5! on need no more than double precision.
  const double sh = s.hi;
  double tail = 0x1.71de3a556c734p-19;       // 1/9!
  tail = 0x1.a01a01a01a01ap-16 + sh * tail;  // 1/8!
  tail = 0x1.a01a01a01a01ap-13 + sh * tail;  // 1/7!
  tail = 0x1.6c16c16c16c17p-10 + sh * tail;  // 1/6!
  tail = 0x1.1111111111111p-7 + sh * tail;   // 1/5!
  const DoubleDouble s_halves = Split(sh);
  DoubleDouble h{tail, 0.0};
  h = MultiplyAdd({0x1.5555555555555p-5, 0x1.5555555555555p-59}, s, s_halves, h);  // 1/24
  h = MultiplyAdd({0x1.5555555555555p-3, 0x1.5555555555555p-57}, s, s_halves, h);  // 1/6
  h = MultiplyAdd({0.5, 0.0}, s, s_halves, h);
  h = MultiplyAdd({1.0, 0.0}, s, s_halves, h);
  const DoubleDouble expm1_s = Multiply(s, s_halves, h);
  const DoubleDouble& table = kExp2Table[j];
  return AddSmaller(table, Multiply(table, Split(table.hi), expm1_s));
}

// r 2^scale rounded to a normal double (scale >= -1021), x^y deciding where
// r lies too near a midpoint between two doubles.
double RoundNormal(const DoubleDouble& r, int scale, double x, double y, const DoubleDouble& log_x) {
  const double margin = kRoundingCheckBound * r.hi;
  const double below = r.hi + (r.lo - margin);
  const double above = r.hi + (r.lo + margin);
  double rounded = below;
  if (below != above) {
    // Near the midpoint between the neighbours below and above.
    const uint64_t below_bits = BitsOf(below);
    const uint64_t significand = (below_bits & kFractionMask) | kSmallestNormalBits;
    const int exponent2 = static_cast<int>(below_bits >> 52) - 1076 + scale;
    const int side = SideOfMidpoint(x, y, log_x, 2 * significand + 1, exponent2);
    rounded = side > 0 || (side == 0 && (significand & 1) != 0) ? above : below;
  }
  if (scale > 1023) return rounded * 0x1p1023 * 2.0;
  return rounded * PowerOfTwo(scale);
}

// r 2^scale (scale < -1021) as a subnormal double or zero: rounded straight
// to a multiple of 2^-1074, since rounding to 53 bits first could round
// twice. u = r 2^(scale + 1074) is below 2^53 and exact, scale + 1074 being
// at least -3.
double RoundSubnormal(const DoubleDouble& r, int scale, double x, double y, const DoubleDouble& log_x) {
  const double factor = PowerOfTwo(scale + 1074);
  const double uh = r.hi * factor;
  const double ul = r.lo * factor;
  // The shift rounds uh below 2^52 to an integer; above, it is one.
  double whole = uh < 0x1p52 ? (uh + 0x1p52) - 0x1p52 : uh;
  double rest = (uh - whole) + ul;
  if (rest > 0.5) {
    whole += 1.0;
    rest -= 1.0;
  } else if (rest < -0.5) {
    whole -= 1.0;
    rest += 1.0;
  }
  uint64_t units = static_cast<uint64_t>(whole);
  const double distance = (rest < 0.0 ? -rest : rest) - 0.5;
  if ((distance < 0.0 ? -distance : distance) <= kRoundingCheckBound * uh) {
    // Near the midpoint lower + 1/2.
    const uint64_t lower = rest < 0.0 ? units - 1 : units;
    const int side = SideOfMidpoint(x, y, log_x, 2 * lower + 1, -1075);
    units = side > 0 || (side == 0 && (lower & 1) != 0) ? lower + 1 : lower;
  }
  // Multiples of 2^-1074 up to 2^53 of them have their count as bit pattern.
  return FromBits(units);
}

// e^t rounded to a double, where e^t stands for x^y (x positive, y finite with
// |y| < 2^64, |t| < 746, log_x the logarithm t came from).
double ExpRounded(const DoubleDouble& t, double x, double y, const DoubleDouble& log_x) {
  int scale = 0;
  const DoubleDouble r = ExpScaled(t, scale);
  return scale >= -1021 ? RoundNormal(r, scale, x, y, log_x) : RoundSubnormal(r, scale, x, y, log_x);
}

// 0 for a y that is not an integer (or not finite), 1 for odd, 2 for even.
int IntegerKind(uint64_t abs_y_bits) {
  const int exponent = static_cast<int>(abs_y_bits >> 52) - 1023;
  if (exponent < 0 || abs_y_bits >= kInfinityBits) return 0;
  if (exponent > 52) return 2;
  const uint64_t unit = uint64_t{1} << (52 - exponent);
  if ((abs_y_bits & (unit - 1)) != 0) return 0;
  return (abs_y_bits & unit) != 0 ? 1 : 2;
}

inline bool IsSignalingNaN(uint64_t abs_bits) {
  return abs_bits > kInfinityBits && (abs_bits & kQuietBit) == 0;
}

}  // namespace

double PortablePow(double x, double y) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const uint64_t x_bits = BitsOf(x);
  const uint64_t y_bits = BitsOf(y);
  const uint64_t abs_x_bits = x_bits & ~kSignBit;
  const uint64_t abs_y_bits = y_bits & ~kSignBit;
  if (abs_y_bits == 0) return IsSignalingNaN(abs_x_bits) ? FromBits(x_bits | kQuietBit) : 1.0;
  if (x_bits == kOneBits) return IsSignalingNaN(abs_y_bits) ? FromBits(y_bits | kQuietBit) : 1.0;
  const int kind = IntegerKind(abs_y_bits);
  if (abs_x_bits > kInfinityBits) {
    // glibc treats a NaN with the sign bit as a negative x: an odd y clears it.
    return FromBits((x_bits | kQuietBit) & (kind == 1 ? ~kSignBit : ~uint64_t{0}));
  }
  if (abs_y_bits > kInfinityBits) return FromBits(y_bits | kQuietBit);

  const bool y_negative = (y_bits & kSignBit) != 0;
  if (abs_y_bits == kInfinityBits) {
    if (abs_x_bits == kOneBits) return 1.0;  // (-1)^+-inf
    return (abs_x_bits < kOneBits) != y_negative ? 0.0 : kInfinity;
  }
  bool negate = false;
  if ((x_bits & kSignBit) != 0) {
    if (kind == 0 && abs_x_bits != 0 && abs_x_bits != kInfinityBits) return FromBits(kDefaultNaNBits);
    negate = kind == 1;
  }
  double result;
  if (abs_x_bits == 0 || abs_x_bits == kInfinityBits) {
    result = (abs_x_bits == 0) == y_negative ? kInfinity : 0.0;
  } else if (abs_y_bits >= 0x43f0000000000000u) {
    // |y| >= 2^64, an even integer: |y log x| >= 2^64 2^-53 unless x is 1.
    if (abs_x_bits == kOneBits) return 1.0;
    result = (abs_x_bits < kOneBits) != y_negative ? 0.0 : kInfinity;
  } else {
    const double abs_x = FromBits(abs_x_bits);
    const DoubleDouble log_x = Log(abs_x);
    DoubleDouble t = TwoProduct(y, Split(y), log_x.hi, Split(log_x.hi));
    t = FastTwoSum(t.hi, t.lo + y * log_x.lo);
    if (t.hi > 710.0) {  // e^710 > 2^1024
      result = kInfinity;
    } else if (t.hi < -746.0) {  // e^-746 < 2^-1076
      result = 0.0;
    } else {
      result = ExpRounded(t, abs_x, y, log_x);
    }
  }
  return negate ? -result : result;
}

double Pow(double x, double y) {
#if defined(__GLIBC__) && !defined(__i386__)  // glibc's own pow, the reference every other build matches
  return ::pow(x, y);
#else  // Windows, and 32-bit x86 glibc, whose pow computes on the x87 stack
  return PortablePow(x, y);
#endif
}

}  // namespace platform
