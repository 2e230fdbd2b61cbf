#pragma once
// Vector and rotation math of the engine, and the 3-D scene: TObject3d is the base of
// everything that lives in a scene, TWorld3d the scene with the viewer.
//
// Positions are in world units (one unit is one pixel on the plane z = 0), angles in
// degrees. Everything is single precision; floats become integers only by truncation.

#include <cstddef>
#include <cstdint>
#include <vector>

struct TVector3d {
    float X;
    float Y;
    float Z;
};
static_assert(sizeof(TVector3d) == 12, "particle arrays are packed X, Y, Z triples");

// A pixel position; X grows to the right, Y downward.
struct TScreenPoint {
    int32_t X;
    int32_t Y;
};

// Degrees are divided by this before every sine and cosine.
inline constexpr float DegreesPerRadian = 57.29578f;

inline constexpr TVector3d ZeroPosition{0.0f, 0.0f, 0.0f};
// No rotation.
inline constexpr TVector3d ZeroAngle{0.0f, 0.0f, 0.0f};

inline TVector3d MakeVector3d(float x, float y, float z) { return {x, y, z}; }
inline TVector3d VectorAdd(const TVector3d& a, const TVector3d& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline TVector3d VectorSub(const TVector3d& a, const TVector3d& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline TVector3d VectorDiv(const TVector3d& v, float s) { return {v.X / s, v.Y / s, v.Z / s}; }

// Non-negative angles map into [0, 360), negative ones into (0, 360]: -360 gives 360.
float NormalizeAngle(float angle);
TVector3d NormalizeAngles(const TVector3d& angles);

// Rotates about X, then Y, then Z by the angles of r (degrees).
TVector3d RotatePoint(const TVector3d& p, const TVector3d& r);

// Array operations. The arrays hold count elements; source and destination are either
// the same array or do not overlap. A count below 1 does nothing.
void RotatePoints(const TVector3d* source, TVector3d* dest, int32_t count, const TVector3d& r);
void TranslatePoints(const TVector3d* source, TVector3d* dest, int32_t count, const TVector3d& offset);
// Central projection from the eye (0, 0, eyeZ) onto the plane z = 0, the world origin
// landing on center. A point at z = eyeZ comes out at INT32_MIN, outside every raster.
void ProjectPoints(const TVector3d* source, TScreenPoint* dest, int32_t count, TScreenPoint center, float eyeZ);

class TWorld3d;

// Anything that lives in a scene. The world steps visible objects once per frame.
class TObject3d {
public:
    TObject3d() = default;
    virtual ~TObject3d() = default;
    TObject3d(const TObject3d&) = delete;
    TObject3d& operator=(const TObject3d&) = delete;

    // Advances by one frame.
    virtual void Move() = 0;
    // Model points to view coordinates.
    virtual void Transform() = 0;
    // View coordinates to screen points.
    virtual void Project() = 0;
    // Plots the screen points.
    virtual void Render() = 0;

    // The world this object was added to; not owned.
    TWorld3d* World = nullptr;
    TVector3d Position = ZeroPosition;
    TVector3d Angle = ZeroAngle;
    bool Visible = true;
};

// The scene: the objects in insertion order (not owned) and the viewer. The eye sits at
// (0, 0, EyeZ), in use in front of the plane z = 0 (EyeZ negative).
class TWorld3d {
public:
    TWorld3d(const TVector3d& position, float eyeZ, const TVector3d& angle, TScreenPoint center);
    TWorld3d(const TWorld3d&) = delete;
    TWorld3d& operator=(const TWorld3d&) = delete;

    int32_t Count() const { return int32_t(objects_.size()); }
    TObject3d* Items(int32_t index) const { return objects_[size_t(index)]; }
    // Appends the object and makes this its world. An object belongs to one world for
    // its whole life; adding it twice makes it step twice.
    void Add(TObject3d* object);
    // Moves, transforms, projects and renders each visible object in turn.
    void StepAll();

    TVector3d Position;
    TVector3d Angle;
    float EyeZ;
    // Where the world origin lands on the screen.
    TScreenPoint Center;

private:
    std::vector<TObject3d*> objects_;
};
