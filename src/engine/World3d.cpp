#include "engine/World3d.h"

#include "util/NumericConversion.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The rotation and projection formulas are written once, for T = float and for T = four
// floats in a register, so that the packed and the plain path give the same bits.
template <class T>
struct TRotation {
    T SinX, CosX, SinY, CosY, SinZ, CosZ;
};

TRotation<float> MakeRotation(const TVector3d& r)
{
    const float a = r.X / DegreesPerRadian;
    const float b = r.Y / DegreesPerRadian;
    const float c = r.Z / DegreesPerRadian;
    return {std::sin(a), std::cos(a), std::sin(b), std::cos(b), std::sin(c), std::cos(c)};
}

// About X, then Y, then Z; all three components are read before any is written.
template <class T>
inline void Rotate(T& x, T& y, T& z, const TRotation<T>& t)
{
    const T y1 = y * t.CosX - z * t.SinX;
    const T z1 = y * t.SinX + z * t.CosX;
    const T x2 = x * t.CosY + z1 * t.SinY;
    const T z2 = z1 * t.CosY - x * t.SinY;
    x = x2 * t.CosZ - y1 * t.SinZ;
    y = x2 * t.SinZ + y1 * t.CosZ;
    z = z2;
}

inline TVector3d Rotate(TVector3d p, const TRotation<float>& t)
{
    Rotate(p.X, p.Y, p.Z, t);
    return p;
}

// Screen coordinates before truncation.
template <class T>
inline void Project(const T& x, const T& y, const T& z, const T& cx, const T& cy, const T& eyeZ, T& screenX,
                    T& screenY)
{
    const T s = eyeZ / (z - eyeZ);
    screenX = cx - x * s;
    screenY = cy - y * s;
}

#if defined(__SSE2__)
#define LUMENFALL_PACKED_POINTS 1

struct TFloat4 {
    __m128 V;
    TFloat4(__m128 v) : V(v) {}
    explicit TFloat4(float f) : V(_mm_set1_ps(f)) {}
};
inline TFloat4 operator+(TFloat4 a, TFloat4 b) { return _mm_add_ps(a.V, b.V); }
inline TFloat4 operator-(TFloat4 a, TFloat4 b) { return _mm_sub_ps(a.V, b.V); }
inline TFloat4 operator*(TFloat4 a, TFloat4 b) { return _mm_mul_ps(a.V, b.V); }
inline TFloat4 operator/(TFloat4 a, TFloat4 b) { return _mm_div_ps(a.V, b.V); }

TRotation<TFloat4> Broadcast(const TRotation<float>& t)
{
    return {TFloat4(t.SinX), TFloat4(t.CosX), TFloat4(t.SinY), TFloat4(t.CosY), TFloat4(t.SinZ), TFloat4(t.CosZ)};
}

// Four consecutive points, X0 Y0 Z0 X1 | Y1 Z1 X2 Y2 | Z2 X3 Y3 Z3 in memory, as one
// register per component.
struct TPoints4 {
    TFloat4 X, Y, Z;
};

inline TPoints4 LoadPoints4(const TVector3d* p)
{
    const float* f = &p->X;
    const __m128 a = _mm_loadu_ps(f);
    const __m128 b = _mm_loadu_ps(f + 4);
    const __m128 c = _mm_loadu_ps(f + 8);
    const __m128 x2y2x3y3 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 1, 3, 2));
    const __m128 y0z0y1z1 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 2, 1));
    return {_mm_shuffle_ps(a, x2y2x3y3, _MM_SHUFFLE(2, 0, 3, 0)),
            _mm_shuffle_ps(y0z0y1z1, x2y2x3y3, _MM_SHUFFLE(3, 1, 2, 0)),
            _mm_shuffle_ps(y0z0y1z1, c, _MM_SHUFFLE(3, 0, 3, 1))};
}

inline void StorePoints4(TVector3d* p, const TPoints4& v)
{
    const __m128 x = v.X.V, y = v.Y.V, z = v.Z.V;
    const __m128 x0y0x1y1 = _mm_unpacklo_ps(x, y);
    const __m128 x2y2x3y3 = _mm_unpackhi_ps(x, y);
    const __m128 z0z0x1x1 = _mm_shuffle_ps(z, x, _MM_SHUFFLE(1, 1, 0, 0));
    const __m128 y1y1z1z1 = _mm_shuffle_ps(y, z, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z2z2x3x3 = _mm_shuffle_ps(z, x, _MM_SHUFFLE(3, 3, 2, 2));
    const __m128 y3y3z3z3 = _mm_shuffle_ps(y, z, _MM_SHUFFLE(3, 3, 3, 3));
    float* f = &p->X;
    _mm_storeu_ps(f, _mm_shuffle_ps(x0y0x1y1, z0z0x1x1, _MM_SHUFFLE(2, 0, 1, 0)));
    _mm_storeu_ps(f + 4, _mm_shuffle_ps(y1y1z1z1, x2y2x3y3, _MM_SHUFFLE(1, 0, 2, 0)));
    _mm_storeu_ps(f + 8, _mm_shuffle_ps(z2z2x3x3, y3y3z3z3, _MM_SHUFFLE(2, 0, 2, 0)));
}

// The packed truncation gives what TruncToInt gives: toward zero, and INT32_MIN for NaN
// and out-of-range values.
inline __m128i TruncToInt4(TFloat4 v) { return _mm_cvttps_epi32(v.V); }
#endif

// Walks from the last element down: one at a time down to a multiple of four, then (with
// the packed path) four at a time.
template <class TOne, class TFour>
inline void WalkDown(int32_t count, TOne one, [[maybe_unused]] TFour four)
{
    int32_t i = count;
#if defined(LUMENFALL_PACKED_POINTS)
    for (; i > 0 && i % 4 != 0; --i)
        one(i - 1);
    for (; i > 0; i -= 4)
        four(i - 4);
#endif
    for (; i > 0; --i)
        one(i - 1);
}

} // namespace

float NormalizeAngle(float angle)
{
    // Truncation in float: the same value as through an integer, without its range limit.
    if (angle >= 0.0f)
        return angle - 360.0f * std::trunc(angle / 360.0f);
    const float a = -angle;
    return 360.0f - (a - 360.0f * std::trunc(a / 360.0f));
}

TVector3d NormalizeAngles(const TVector3d& angles)
{
    return {NormalizeAngle(angles.X), NormalizeAngle(angles.Y), NormalizeAngle(angles.Z)};
}

TVector3d RotatePoint(const TVector3d& p, const TVector3d& r) { return Rotate(p, MakeRotation(r)); }

void RotatePoints(const TVector3d* source, TVector3d* dest, int32_t count, const TVector3d& r)
{
    const TRotation<float> t = MakeRotation(r);
#if defined(LUMENFALL_PACKED_POINTS)
    const TRotation<TFloat4> t4 = Broadcast(t);
    auto four = [&](int32_t i) {
        TPoints4 p = LoadPoints4(source + i);
        Rotate(p.X, p.Y, p.Z, t4);
        StorePoints4(dest + i, p);
    };
#else
    auto four = nullptr;
#endif
    WalkDown(count, [&](int32_t i) { dest[i] = Rotate(source[i], t); }, four);
}

void TranslatePoints(const TVector3d* source, TVector3d* dest, int32_t count, const TVector3d& offset)
{
#if defined(LUMENFALL_PACKED_POINTS)
    // Four points are three registers of X Y Z X | Y Z X Y | Z X Y Z.
    const __m128 o0 = _mm_setr_ps(offset.X, offset.Y, offset.Z, offset.X);
    const __m128 o1 = _mm_setr_ps(offset.Y, offset.Z, offset.X, offset.Y);
    const __m128 o2 = _mm_setr_ps(offset.Z, offset.X, offset.Y, offset.Z);
    auto four = [&](int32_t i) {
        const float* s = &source[i].X;
        float* d = &dest[i].X;
        const __m128 a = _mm_add_ps(_mm_loadu_ps(s), o0);
        const __m128 b = _mm_add_ps(_mm_loadu_ps(s + 4), o1);
        const __m128 c = _mm_add_ps(_mm_loadu_ps(s + 8), o2);
        _mm_storeu_ps(d, a);
        _mm_storeu_ps(d + 4, b);
        _mm_storeu_ps(d + 8, c);
    };
#else
    auto four = nullptr;
#endif
    WalkDown(count, [&](int32_t i) { dest[i] = VectorAdd(source[i], offset); }, four);
}

void ProjectPoints(const TVector3d* source, TScreenPoint* dest, int32_t count, TScreenPoint center, float eyeZ)
{
    const float cx = float(center.X);
    const float cy = float(center.Y);
#if defined(LUMENFALL_PACKED_POINTS)
    const TFloat4 cx4(cx), cy4(cy), eyeZ4(eyeZ);
    auto four = [&](int32_t i) {
        const TPoints4 p = LoadPoints4(source + i);
        TFloat4 x(0.0f), y(0.0f);
        Project(p.X, p.Y, p.Z, cx4, cy4, eyeZ4, x, y);
        const __m128i sx = TruncToInt4(x);
        const __m128i sy = TruncToInt4(y);
        auto* d = reinterpret_cast<__m128i*>(dest + i);
        _mm_storeu_si128(d, _mm_unpacklo_epi32(sx, sy));
        _mm_storeu_si128(d + 1, _mm_unpackhi_epi32(sx, sy));
    };
#else
    auto four = nullptr;
#endif
    WalkDown(count,
             [&](int32_t i) {
                 float x, y;
                 Project(source[i].X, source[i].Y, source[i].Z, cx, cy, eyeZ, x, y);
                 dest[i] = {TruncToInt(x), TruncToInt(y)};
             },
             four);
}

TWorld3d::TWorld3d(const TVector3d& position, float eyeZ, const TVector3d& angle, TScreenPoint center)
    : Position(position), Angle(angle), EyeZ(eyeZ), Center(center)
{
}

void TWorld3d::Add(TObject3d* object)
{
    objects_.push_back(object);
    object->World = this;
}

void TWorld3d::StepAll()
{
    // Indexed, so that an object added while stepping cannot invalidate the walk.
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
        TObject3d* object = Items(i);
        if (!object->Visible)
            continue;
        object->Move();
        object->Transform();
        object->Project();
        object->Render();
    }
}
