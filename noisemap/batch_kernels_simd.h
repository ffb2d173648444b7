// Gradient noise over whole vectors of points with AVX2 (4 lanes) or
// AVX-512 (8 lanes): 32-bit integer hashing, each lane's gradient row loaded
// whole and the rows transposed into x, y and z vectors (measured faster
// than gather instructions), and libnoise's double operations in its order,
// none fused. The masked forms of some intrinsics, with zeroed sources,
// say what the plain forms leave undefined, which the compiler warns
// about. Part of batch_kernels_body.h, inside its unnamed namespace.
#if BATCH_KERNEL_LANES > 1

#if BATCH_KERNEL_LANES == 8
typedef __m512d Vd;
typedef __m256i Vi;
inline Vd Splat(double v) { return _mm512_set1_pd(v); }
inline Vd Load(const double* p) { return _mm512_load_pd(p); }
inline void Store(double* p, Vd v) { _mm512_store_pd(p, v); }
inline Vd Add(Vd a, Vd b) { return _mm512_add_pd(a, b); }
inline Vd Sub(Vd a, Vd b) { return _mm512_sub_pd(a, b); }
inline Vd Mul(Vd a, Vd b) { return _mm512_mul_pd(a, b); }
inline Vd ToDouble(Vi i) { return _mm512_maskz_cvtepi32_pd(0xff, i); }
typedef __mmask8 Mask;
inline Vd Abs(Vd a) { return _mm512_abs_pd(a); }
inline Mask Greater(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
inline Mask Less(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
inline Mask Both(Mask a, Mask b) { return static_cast<Mask>(a & b); }
inline bool Every(Mask m) { return m == 0xff; }
// b where the mask is set, a elsewhere.
inline Vd Choose(Mask m, Vd a, Vd b) { return _mm512_mask_blend_pd(m, a, b); }
inline Vi SplatInt(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
inline Vi AddInt(Vi a, Vi b) { return _mm256_add_epi32(a, b); }
inline Vi MulInt(Vi a, uint32_t b) { return _mm256_mullo_epi32(a, SplatInt(b)); }
inline Vi TableIndex(Vi h) {
  const Vi mixed = _mm256_xor_si256(h, _mm256_srli_epi32(h, 8));
  return _mm256_slli_epi32(_mm256_and_si256(mixed, SplatInt(0xff)), 2);
}
// The gradients of eight table rows (x, y, z, 0), one row per lane, loaded
// whole and transposed.
inline void Gradients(Vi index, Vd& gx, Vd& gy, Vd& gz) {
  alignas(32) int32_t at[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
  const auto pair = [&](int lo, int hi) {
    return _mm512_maskz_insertf64x4(0xff, _mm512_castpd256_pd512(_mm256_loadu_pd(kGradients + at[lo])),
                                    _mm256_loadu_pd(kGradients + at[hi]), 1);
  };
  const Vd a0 = pair(0, 4);
  const Vd a1 = pair(1, 5);
  const Vd a2 = pair(2, 6);
  const Vd a3 = pair(3, 7);
  const Vd t0 = _mm512_maskz_unpacklo_pd(0xff, a0, a1);  // x0 x1 z0 z1 | x4 x5 z4 z5
  const Vd t1 = _mm512_maskz_unpackhi_pd(0xff, a0, a1);  // y0 y1 .. .. | y4 y5 .. ..
  const Vd t2 = _mm512_maskz_unpacklo_pd(0xff, a2, a3);  // x2 x3 z2 z3 | x6 x7 z6 z7
  const Vd t3 = _mm512_maskz_unpackhi_pd(0xff, a2, a3);
  const __m512i low = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
  const __m512i high = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
  gx = _mm512_permutex2var_pd(t0, low, t2);
  gy = _mm512_permutex2var_pd(t1, low, t3);
  gz = _mm512_permutex2var_pd(t0, high, t2);
}
inline Vi MulInts(Vi a, Vi b) { return _mm256_mullo_epi32(a, b); }
inline Vi AndInt(Vi a, uint32_t b) { return _mm256_and_si256(a, SplatInt(b)); }
inline Vi XorInt(Vi a, Vi b) { return _mm256_xor_si256(a, b); }
inline Vi ShiftRight13(Vi a) { return _mm256_srli_epi32(a, 13); }
inline Vd Sqrt(Vd a) { return _mm512_maskz_sqrt_pd(0xff, a); }
inline Vi FloorToInt(Vd a) {
  return _mm512_maskz_cvttpd_epi32(
      0xff, _mm512_maskz_roundscale_pd(0xff, a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}
// Truncation (INT32_MIN for NaN and out-of-range lanes), then one less
// where the coordinate is not above zero.
inline Vi Cells(Vd c) {
  const Vi t = _mm512_maskz_cvttpd_epi32(0xff, c);
  const __mmask8 above = _mm512_cmp_pd_mask(c, _mm512_setzero_pd(), _CMP_GT_OQ);
  return _mm256_mask_blend_epi32(above, _mm256_add_epi32(t, SplatInt(0xffffffffu)), t);
}
#else
typedef __m256d Vd;
typedef __m128i Vi;
inline Vd Splat(double v) { return _mm256_set1_pd(v); }
inline Vd Load(const double* p) { return _mm256_load_pd(p); }
inline void Store(double* p, Vd v) { _mm256_store_pd(p, v); }
inline Vd Add(Vd a, Vd b) { return _mm256_add_pd(a, b); }
inline Vd Sub(Vd a, Vd b) { return _mm256_sub_pd(a, b); }
inline Vd Mul(Vd a, Vd b) { return _mm256_mul_pd(a, b); }
inline Vd ToDouble(Vi i) { return _mm256_cvtepi32_pd(i); }
typedef __m256d Mask;
inline Vd Abs(Vd a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
inline Mask Greater(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline Mask Less(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline Mask Both(Mask a, Mask b) { return _mm256_and_pd(a, b); }
inline bool Every(Mask m) { return _mm256_movemask_pd(m) == 0xf; }
// b where the mask is set, a elsewhere.
inline Vd Choose(Mask m, Vd a, Vd b) { return _mm256_blendv_pd(a, b, m); }
inline Vi SplatInt(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
inline Vi AddInt(Vi a, Vi b) { return _mm_add_epi32(a, b); }
inline Vi MulInt(Vi a, uint32_t b) { return _mm_mullo_epi32(a, SplatInt(b)); }
inline Vi TableIndex(Vi h) {
  const Vi mixed = _mm_xor_si128(h, _mm_srli_epi32(h, 8));
  return _mm_slli_epi32(_mm_and_si128(mixed, SplatInt(0xff)), 2);
}
// The gradients of four table rows (x, y, z, 0), one row per lane, loaded
// whole and transposed.
inline void Gradients(Vi index, Vd& gx, Vd& gy, Vd& gz) {
  alignas(16) int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
  const Vd r0 = _mm256_loadu_pd(kGradients + at[0]);
  const Vd r1 = _mm256_loadu_pd(kGradients + at[1]);
  const Vd r2 = _mm256_loadu_pd(kGradients + at[2]);
  const Vd r3 = _mm256_loadu_pd(kGradients + at[3]);
  const Vd t0 = _mm256_unpacklo_pd(r0, r1);  // x0 x1 z0 z1
  const Vd t1 = _mm256_unpackhi_pd(r0, r1);  // y0 y1 .. ..
  const Vd t2 = _mm256_unpacklo_pd(r2, r3);  // x2 x3 z2 z3
  const Vd t3 = _mm256_unpackhi_pd(r2, r3);
  gx = _mm256_permute2f128_pd(t0, t2, 0x20);
  gy = _mm256_permute2f128_pd(t1, t3, 0x20);
  gz = _mm256_permute2f128_pd(t0, t2, 0x31);
}
inline Vi MulInts(Vi a, Vi b) { return _mm_mullo_epi32(a, b); }
inline Vi AndInt(Vi a, uint32_t b) { return _mm_and_si128(a, SplatInt(b)); }
inline Vi XorInt(Vi a, Vi b) { return _mm_xor_si128(a, b); }
inline Vi ShiftRight13(Vi a) { return _mm_srli_epi32(a, 13); }
inline Vd Sqrt(Vd a) { return _mm256_sqrt_pd(a); }
inline Vi FloorToInt(Vd a) { return _mm256_cvttpd_epi32(_mm256_floor_pd(a)); }
inline Vi Cells(Vd c) {
  const Vi t = _mm256_cvttpd_epi32(c);
  // The low halves of the 64-bit comparison lanes, as 32-bit lanes.
  const __m256i above64 = _mm256_castpd_si256(_mm256_cmp_pd(c, _mm256_setzero_pd(), _CMP_GT_OQ));
  const Vi above =
      _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(above64, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
  // above is -1 or 0: add 0 or -1.
  return _mm_add_epi32(t, _mm_xor_si128(above, SplatInt(0xffffffffu)));
}
#endif

inline Vd LerpV(Vd n0, Vd n1, Vd a) { return Add(Mul(Sub(Splat(1.0), a), n0), Mul(a, n1)); }

inline Vd CurveV(Quality quality, Vd s) {
  if (quality == Quality::kStandard) return Mul(Mul(s, s), Sub(Splat(3.0), Mul(Splat(2.0), s)));
  if (quality == Quality::kBest) {
    const Vd s3 = Mul(Mul(s, s), s);
    const Vd s4 = Mul(s3, s);
    const Vd s5 = Mul(s4, s);
    return Add(Sub(Mul(Splat(6.0), s5), Mul(Splat(15.0), s4)), Mul(Splat(10.0), s3));
  }
  return s;
}

// One corner's gradient value: h is the corner's hash, (dx, dy, dz) the
// point less the corner.
inline Vd GradientV(Vi h, Vd dx, Vd dy, Vd dz) {
  Vd gx, gy, gz;
  Gradients(TableIndex(h), gx, gy, gz);
  return Mul(Add(Add(Mul(gx, dx), Mul(gy, dy)), Mul(gz, dz)), Splat(kGradientScale));
}

// Gradient noise at one vector of points whose coordinates are in range;
// seedTerm is the octave seed times its hash factor.
inline Vd GradientVector(Quality quality, Vi seedTerm, Vd x, Vd y, Vd z) {
  const Vi one = SplatInt(1);
  const Vi x0 = Cells(x);
  const Vi y0 = Cells(y);
  const Vi z0 = Cells(z);
  // The point less each corner, with the corners' coordinates converted
  // from the integers as libnoise does.
  const Vd dx0 = Sub(x, ToDouble(x0));
  const Vd dy0 = Sub(y, ToDouble(y0));
  const Vd dz0 = Sub(z, ToDouble(z0));
  const Vd dx1 = Sub(x, ToDouble(AddInt(x0, one)));
  const Vd dy1 = Sub(y, ToDouble(AddInt(y0, one)));
  const Vd dz1 = Sub(z, ToDouble(AddInt(z0, one)));
  const Vd sx = CurveV(quality, dx0);
  const Vd sy = CurveV(quality, dy0);
  const Vd sz = CurveV(quality, dz0);
  // A step of one cell along an axis adds that axis's factor to the hash.
  const Vi h =
      AddInt(AddInt(AddInt(MulInt(x0, kXNoise), MulInt(y0, kYNoise)), MulInt(z0, kZNoise)), seedTerm);
  const Vi hx = SplatInt(kXNoise);
  const Vi hY = AddInt(h, SplatInt(kYNoise));
  const Vi hZ = AddInt(h, SplatInt(kZNoise));
  const Vi hZY = AddInt(hZ, SplatInt(kYNoise));
  Vd ix0 = LerpV(GradientV(h, dx0, dy0, dz0), GradientV(AddInt(h, hx), dx1, dy0, dz0), sx);
  Vd ix1 = LerpV(GradientV(hY, dx0, dy1, dz0), GradientV(AddInt(hY, hx), dx1, dy1, dz0), sx);
  const Vd iy0 = LerpV(ix0, ix1, sy);
  ix0 = LerpV(GradientV(hZ, dx0, dy0, dz1), GradientV(AddInt(hZ, hx), dx1, dy0, dz1), sx);
  ix1 = LerpV(GradientV(hZY, dx0, dy1, dz1), GradientV(AddInt(hZY, hx), dx1, dy1, dz1), sx);
  const Vd iy1 = LerpV(ix0, ix1, sy);
  return LerpV(iy0, iy1, sz);
}

// Folds the lanes that need it, one by one.
void FoldLanes(Vd& x, Vd& y, Vd& z) {
  alignas(64) double lanes[3][BATCH_KERNEL_LANES];
  Store(lanes[0], x);
  Store(lanes[1], y);
  Store(lanes[2], z);
  for (auto& axis : lanes) {
    for (double& v : axis) v = Fold(v);
  }
  x = Load(lanes[0]);
  y = Load(lanes[1]);
  z = Load(lanes[2]);
}

// Accumulate for a vector of signals.
template <Coherent kind>
inline void AccumulateV(Vd signal, double persistence, double spectral, Vd& value, Vd& weight) {
  if (kind == Coherent::kPerlin) {
    value = Add(value, Mul(signal, Splat(persistence)));
  } else if (kind == Coherent::kBillow) {
    value = Add(value, Mul(Sub(Mul(Splat(2.0), Abs(signal)), Splat(1.0)), Splat(persistence)));
  } else {
    Vd r = Sub(Splat(1.0), Abs(signal));
    r = Mul(r, r);
    r = Mul(r, weight);
    Vd w = Mul(r, Splat(2.0));
    w = Choose(Greater(w, Splat(1.0)), w, Splat(1.0));
    weight = Choose(Less(w, Splat(0.0)), w, Splat(0.0));
    value = Add(value, Mul(r, Splat(spectral)));
  }
}

// The octave loop a vector at a time, the vector's coordinates, sum and
// weight kept in registers through all octaves. Folding, rare, goes lane by
// lane.
template <Coherent kind>
void OctavesVectors(const CoherentSettings& s, const double* xs, const double* ys, const double* zs, int n,
                    double* value) {
  const Vd limit = Splat(kFoldLimit);
  const Vd lacunarity = Splat(s.lacunarity);
  for (int i = 0; i < n; i += BATCH_KERNEL_LANES) {
    Vd x = Load(xs + i);
    Vd y = Load(ys + i);
    Vd z = Load(zs + i);
    Vd sum = Splat(0.0);
    Vd weight = Splat(1.0);
    double persistence = 1.0;
    for (int k = 0; k < s.octaveCount; ++k) {
      Vd fx = x;
      Vd fy = y;
      Vd fz = z;
      if (!Every(Both(Both(Less(Abs(x), limit), Less(Abs(y), limit)), Less(Abs(z), limit)))) {
        FoldLanes(fx, fy, fz);
      }
      const Vi seedTerm = SplatInt(kSeedNoise * static_cast<uint32_t>(OctaveSeed<kind>(s.seed, k)));
      const double spectral = kind == Coherent::kRidged ? s.spectralWeights[k] : 0.0;
      AccumulateV<kind>(GradientVector(s.quality, seedTerm, fx, fy, fz), persistence, spectral, sum, weight);
      x = Mul(x, lacunarity);
      y = Mul(y, lacunarity);
      z = Mul(z, lacunarity);
      persistence *= s.persistence;
    }
    Store(value + i, sum);
  }
}

// libnoise's value noise from the hash h = 1619 x + 31337 y + 6971 z + 1013
// seed, as Debian's build computes it (no final mask), as a double.
inline Vd ValueNoiseV(Vi h) {
  Vi n = AndInt(h, 0x7fffffffu);
  n = XorInt(ShiftRight13(n), n);
  const Vi inner = AddInt(MulInt(MulInts(n, n), 60493u), SplatInt(19990303u));
  const Vi r = AddInt(MulInts(n, inner), SplatInt(1376312589u));
  // Scaling an integer of at most 2^31 by 2^-30 is exact, so the product
  // equals libnoise's quotient.
  return Sub(Splat(1.0), Mul(ToDouble(r), Splat(1.0 / 1073741824.0)));
}

inline Vi HashOf(Vi x, Vi y, Vi z) {
  return AddInt(AddInt(MulInt(x, kXNoise), MulInt(y, kYNoise)), MulInt(z, kZNoise));
}

// Voronoi at one vector of scaled points: the 125 cubes around each in
// libnoise's order, the first nearest seed point winning. The cells and
// their hashes wrap around in 32 bits and the conversions give INT32_MIN for
// NaN and out-of-range values, as libnoise's do, so every lane is libnoise's
// at any coordinates, except that a NaN value may carry another NaN's bits
// (VoronoiBlock computes those lanes again).
Vd VoronoiVector(const VoronoiSettings& s, Vd x, Vd y, Vd z) {
  const Vi xi = Cells(x);
  const Vi yi = Cells(y);
  const Vi zi = Cells(z);
  const Vi base = HashOf(xi, yi, zi);
  const uint32_t seed = static_cast<uint32_t>(s.seed);
  const Vi seedX = SplatInt(kSeedNoise * seed);
  const Vi seedY = SplatInt(kSeedNoise * (seed + 1u));
  const Vi seedZ = SplatInt(kSeedNoise * (seed + 2u));
  Vd best = Splat(2147483647.0);
  Vd bx = Splat(0.0), by = Splat(0.0), bz = Splat(0.0);
  for (int dz = -2; dz <= 2; ++dz) {
    const Vd zc = ToDouble(AddInt(zi, SplatInt(static_cast<uint32_t>(dz))));
    for (int dy = -2; dy <= 2; ++dy) {
      const Vd yc = ToDouble(AddInt(yi, SplatInt(static_cast<uint32_t>(dy))));
      for (int dx = -2; dx <= 2; ++dx) {
        const Vd xc = ToDouble(AddInt(xi, SplatInt(static_cast<uint32_t>(dx))));
        const uint32_t step = kXNoise * static_cast<uint32_t>(dx) + kYNoise * static_cast<uint32_t>(dy) +
                              kZNoise * static_cast<uint32_t>(dz);
        const Vi h = AddInt(base, SplatInt(step));
        const Vd px = Add(xc, ValueNoiseV(AddInt(h, seedX)));
        const Vd py = Add(yc, ValueNoiseV(AddInt(h, seedY)));
        const Vd pz = Add(zc, ValueNoiseV(AddInt(h, seedZ)));
        const Vd ddx = Sub(px, x);
        const Vd ddy = Sub(py, y);
        const Vd ddz = Sub(pz, z);
        const Vd d = Add(Add(Mul(ddx, ddx), Mul(ddy, ddy)), Mul(ddz, ddz));
        const Mask nearer = Less(d, best);
        best = Choose(nearer, best, d);
        bx = Choose(nearer, bx, px);
        by = Choose(nearer, by, py);
        bz = Choose(nearer, bz, pz);
      }
    }
  }
  Vd value = Splat(0.0);
  if (s.distanceEnabled) {
    const Vd ddx = Sub(bx, x);
    const Vd ddy = Sub(by, y);
    const Vd ddz = Sub(bz, z);
    const Vd d = Add(Add(Mul(ddx, ddx), Mul(ddy, ddy)), Mul(ddz, ddz));
    value = Sub(Mul(Sqrt(d), Splat(1.7320508075688772935)), Splat(1.0));
  }
  const Vd cell = ValueNoiseV(HashOf(FloorToInt(bx), FloorToInt(by), FloorToInt(bz)));
  return Add(value, Mul(Splat(s.displacement), cell));
}

void VoronoiVectors(const VoronoiSettings& s, const PointBlock& p, double* out) {
  alignas(64) double x[kBlockSize], y[kBlockSize], z[kBlockSize], value[kBlockSize];
  const int n = (p.count + BATCH_KERNEL_LANES - 1) / BATCH_KERNEL_LANES * BATCH_KERNEL_LANES;
  for (int i = 0; i < n; ++i) {
    const bool real = i < p.count;
    x[i] = real ? p.x[i] * s.frequency : 0.0;
    y[i] = real ? p.y[i] * s.frequency : 0.0;
    z[i] = real ? p.z[i] * s.frequency : 0.0;
  }
  for (int i = 0; i < n; i += BATCH_KERNEL_LANES) {
    Store(value + i, VoronoiVector(s, Load(x + i), Load(y + i), Load(z + i)));
  }
  for (int i = 0; i < p.count; ++i) out[i] = value[i];
}

#endif
