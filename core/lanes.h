// Four float lanes for running independent drive stages side by side. Every
// operation rounds each lane exactly as the scalar float operation would, so
// results stay bit-identical to a plain per-sample loop. Comparisons give
// masks (all bits set where true); selects pick by mask instead of branching
// on audio.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>

struct Lanes {
    __m128 v;
};

inline Lanes splat(float value) { return {_mm_set1_ps(value)}; }
inline Lanes loadLanes(const float* p) { return {_mm_loadu_ps(p)}; }
inline void storeLanes(float* p, Lanes a) { _mm_storeu_ps(p, a.v); }
/// Lanes 0 and 1 from `first` and `second`, lanes 2 and 3 from lanes 0 and 1 of `rest`.
inline Lanes pairWith(float first, float second, Lanes rest) {
    return {_mm_movelh_ps(_mm_unpacklo_ps(_mm_set_ss(first), _mm_set_ss(second)), rest.v)};
}
inline float lane0(Lanes a) { return _mm_cvtss_f32(a.v); }
inline float lane1(Lanes a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.v, a.v, 1)); }
inline float lane2(Lanes a) { return _mm_cvtss_f32(_mm_movehl_ps(a.v, a.v)); }
inline float lane3(Lanes a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.v, a.v, 3)); }

inline Lanes operator+(Lanes a, Lanes b) { return {_mm_add_ps(a.v, b.v)}; }
inline Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_ps(a.v, b.v)}; }
inline Lanes operator*(Lanes a, Lanes b) { return {_mm_mul_ps(a.v, b.v)}; }

inline Lanes greater(Lanes a, Lanes b) { return {_mm_cmpgt_ps(a.v, b.v)}; }
inline Lanes less(Lanes a, Lanes b) { return {_mm_cmplt_ps(a.v, b.v)}; }
inline Lanes unordered(Lanes a) { return {_mm_cmpunord_ps(a.v, a.v)}; }
inline Lanes both(Lanes a, Lanes b) { return {_mm_and_ps(a.v, b.v)}; }
inline Lanes either(Lanes a, Lanes b) { return {_mm_or_ps(a.v, b.v)}; }
inline bool anyLane(Lanes mask) { return _mm_movemask_ps(mask.v) != 0; }

/// mask ? a : b
inline Lanes select(Lanes mask, Lanes a, Lanes b) {
    return {_mm_or_ps(_mm_and_ps(mask.v, a.v), _mm_andnot_ps(mask.v, b.v))};
}
/// mask ? 0 : a
inline Lanes zeroWhere(Lanes mask, Lanes a) { return {_mm_andnot_ps(mask.v, a.v)}; }
inline Lanes magnitude(Lanes a) { return {_mm_andnot_ps(_mm_set1_ps(-0.0f), a.v)}; }
/// mask ? -a : a
inline Lanes negateWhere(Lanes mask, Lanes a) {
    return {_mm_xor_ps(_mm_and_ps(mask.v, _mm_set1_ps(-0.0f)), a.v)};
}
/// x > limit ? limit : x (a NaN stays NaN, as with the scalar test)
inline Lanes capAbove(Lanes limit, Lanes x) { return {_mm_min_ps(limit.v, x.v)}; }
/// x < limit ? limit : x
inline Lanes capBelow(Lanes limit, Lanes x) { return {_mm_max_ps(limit.v, x.v)}; }
/// a > b ? a : b, lane by lane
inline Lanes larger(Lanes a, Lanes b) { return {_mm_max_ps(a.v, b.v)}; }
/// p[0..7] = e0 o0 e1 o1 e2 o2 e3 o3.
inline void storeInterleaved(float* p, Lanes even, Lanes odd) {
    _mm_storeu_ps(p, _mm_unpacklo_ps(even.v, odd.v));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(even.v, odd.v));
}
/// The even and the odd ones of p[0..7].
inline void loadDeinterleaved(const float* p, Lanes& even, Lanes& odd) {
    const __m128 a = _mm_loadu_ps(p);
    const __m128 b = _mm_loadu_ps(p + 4);
    even.v = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    odd.v = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

#else
#include <cstring>

struct Lanes {
    float v[4];
};

namespace lanes_detail {
inline uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
inline float fromBits(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}
inline float mask(bool on) { return fromBits(on ? 0xffffffffu : 0u); }
template <typename F>
Lanes map(Lanes a, Lanes b, F f) {
    return {{f(a.v[0], b.v[0]), f(a.v[1], b.v[1]), f(a.v[2], b.v[2]), f(a.v[3], b.v[3])}};
}
}  // namespace lanes_detail

inline Lanes splat(float value) { return {{value, value, value, value}}; }
inline Lanes loadLanes(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline void storeLanes(float* p, Lanes a) { std::memcpy(p, a.v, sizeof a.v); }
inline Lanes pairWith(float first, float second, Lanes rest) {
    return {{first, second, rest.v[0], rest.v[1]}};
}
inline float lane0(Lanes a) { return a.v[0]; }
inline float lane1(Lanes a) { return a.v[1]; }
inline float lane2(Lanes a) { return a.v[2]; }
inline float lane3(Lanes a) { return a.v[3]; }

inline Lanes operator+(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return x + y; });
}
inline Lanes operator-(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return x - y; });
}
inline Lanes operator*(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return x * y; });
}

inline Lanes greater(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return lanes_detail::mask(x > y); });
}
inline Lanes less(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return lanes_detail::mask(x < y); });
}
inline Lanes unordered(Lanes a) {
    return lanes_detail::map(a, a, [](float x, float) { return lanes_detail::mask(x != x); });
}
inline Lanes both(Lanes a, Lanes b) {
    using namespace lanes_detail;
    return map(a, b, [](float x, float y) { return fromBits(bits(x) & bits(y)); });
}
inline Lanes either(Lanes a, Lanes b) {
    using namespace lanes_detail;
    return map(a, b, [](float x, float y) { return fromBits(bits(x) | bits(y)); });
}
inline bool anyLane(Lanes mask) {
    using namespace lanes_detail;
    return (bits(mask.v[0]) | bits(mask.v[1]) | bits(mask.v[2]) | bits(mask.v[3])) != 0;
}
inline Lanes select(Lanes mask, Lanes a, Lanes b) {
    using namespace lanes_detail;
    Lanes out;
    for (int i = 0; i < 4; ++i) {
        out.v[i] = fromBits((bits(mask.v[i]) & bits(a.v[i])) | (~bits(mask.v[i]) & bits(b.v[i])));
    }
    return out;
}
inline Lanes zeroWhere(Lanes mask, Lanes a) { return select(mask, splat(0.0f), a); }
inline Lanes magnitude(Lanes a) {
    using namespace lanes_detail;
    return map(a, a, [](float x, float) { return fromBits(bits(x) & 0x7fffffffu); });
}
inline Lanes negateWhere(Lanes mask, Lanes a) {
    using namespace lanes_detail;
    return map(mask, a, [](float m, float x) { return fromBits((bits(m) & 0x80000000u) ^ bits(x)); });
}
inline Lanes capAbove(Lanes limit, Lanes x) {
    return lanes_detail::map(limit, x, [](float l, float y) { return l < y ? l : y; });
}
inline Lanes capBelow(Lanes limit, Lanes x) {
    return lanes_detail::map(limit, x, [](float l, float y) { return l > y ? l : y; });
}
inline Lanes larger(Lanes a, Lanes b) {
    return lanes_detail::map(a, b, [](float x, float y) { return x > y ? x : y; });
}
inline void storeInterleaved(float* p, Lanes even, Lanes odd) {
    for (int i = 0; i < 4; ++i) {
        p[2 * i] = even.v[i];
        p[2 * i + 1] = odd.v[i];
    }
}
inline void loadDeinterleaved(const float* p, Lanes& even, Lanes& odd) {
    for (int i = 0; i < 4; ++i) {
        even.v[i] = p[2 * i];
        odd.v[i] = p[2 * i + 1];
    }
}

#endif
