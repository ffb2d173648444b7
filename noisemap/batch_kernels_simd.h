// Gradient noise over whole vectors of points with AVX2 (4 lanes) or
// AVX-512 (8 lanes): 32-bit integer hashing, gradients gathered from the
// table, and libnoise's double operations in its order, none fused. Part of
// batch_kernels_body.h, inside its unnamed namespace.
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
inline Vi SplatInt(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
inline Vi AddInt(Vi a, Vi b) { return _mm256_add_epi32(a, b); }
inline Vi MulInt(Vi a, uint32_t b) { return _mm256_mullo_epi32(a, SplatInt(b)); }
inline Vi TableIndex(Vi h) {
  const Vi mixed = _mm256_xor_si256(h, _mm256_srli_epi32(h, 8));
  return _mm256_slli_epi32(_mm256_and_si256(mixed, SplatInt(0xff)), 2);
}
// The masked forms with zeroed sources say what the plain forms leave
// undefined, which the compiler would warn about.
inline Vd Gather(Vi index, const double* base) {
  return _mm512_mask_i32gather_pd(_mm512_setzero_pd(), 0xff, index, base, 8);
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
inline Vi SplatInt(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
inline Vi AddInt(Vi a, Vi b) { return _mm_add_epi32(a, b); }
inline Vi MulInt(Vi a, uint32_t b) { return _mm_mullo_epi32(a, SplatInt(b)); }
inline Vi TableIndex(Vi h) {
  const Vi mixed = _mm_xor_si128(h, _mm_srli_epi32(h, 8));
  return _mm_slli_epi32(_mm_and_si128(mixed, SplatInt(0xff)), 2);
}
inline Vd Gather(Vi index, const double* base) {
  const Vd all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), base, index, all, 8);
}
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

inline Vd CurveV(NoiseQuality quality, Vd s) {
  if (quality == QUALITY_STD) return Mul(Mul(s, s), Sub(Splat(3.0), Mul(Splat(2.0), s)));
  if (quality == QUALITY_BEST) {
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
  const Vi index = TableIndex(h);
  const Vd gx = Gather(index, kGradients);
  const Vd gy = Gather(index, kGradients + 1);
  const Vd gz = Gather(index, kGradients + 2);
  return Mul(Add(Add(Mul(gx, dx), Mul(gy, dy)), Mul(gz, dz)), Splat(kGradientScale));
}

void GradientVectors(NoiseQuality quality, int32_t seed, const double* xs, const double* ys, const double* zs,
                     int count, double* out) {
  const Vi seedTerm = SplatInt(kSeedNoise * static_cast<uint32_t>(seed));
  const Vi one = SplatInt(1);
  for (int i = 0; i < count; i += BATCH_KERNEL_LANES) {
    const Vd x = Load(xs + i);
    const Vd y = Load(ys + i);
    const Vd z = Load(zs + i);
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
    const Vi hy = SplatInt(kYNoise);
    const Vi hz = AddInt(h, SplatInt(kZNoise));
    Vd ix0 = LerpV(GradientV(h, dx0, dy0, dz0), GradientV(AddInt(h, hx), dx1, dy0, dz0), sx);
    const Vi hY = AddInt(h, hy);
    Vd ix1 = LerpV(GradientV(hY, dx0, dy1, dz0), GradientV(AddInt(hY, hx), dx1, dy1, dz0), sx);
    const Vd iy0 = LerpV(ix0, ix1, sy);
    ix0 = LerpV(GradientV(hz, dx0, dy0, dz1), GradientV(AddInt(hz, hx), dx1, dy0, dz1), sx);
    const Vi hZY = AddInt(hz, hy);
    ix1 = LerpV(GradientV(hZY, dx0, dy1, dz1), GradientV(AddInt(hZY, hx), dx1, dy1, dz1), sx);
    const Vd iy1 = LerpV(ix0, ix1, sy);
    Store(out + i, LerpV(iy0, iy1, sz));
  }
}

#endif
