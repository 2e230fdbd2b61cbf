#include "engine/World3d.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

void ExpectNear(const TVector3d& actual, const TVector3d& expected)
{
    EXPECT_NEAR(actual.X, expected.X, 1e-6f);
    EXPECT_NEAR(actual.Y, expected.Y, 1e-6f);
    EXPECT_NEAR(actual.Z, expected.Z, 1e-6f);
}

bool SameBits(const TVector3d& a, const TVector3d& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Values that exercise every lane of the packed paths, including ones that must not be
// rounded differently.
std::vector<TVector3d> SamplePoints(int32_t count)
{
    std::vector<TVector3d> points;
    for (int32_t i = 0; i < count; ++i)
        points.push_back({0.1f + 37.3f * float(i), -12.7f * float(i * i) + 0.3f, 1e-3f - 501.9f * float(i % 3)});
    return points;
}

constexpr TScreenPoint kCenter{320, 240};
constexpr float kEyeZ = -560.0f;

TScreenPoint ProjectOne(const TVector3d& p)
{
    TScreenPoint s{};
    ProjectPoints(&p, &s, 1, kCenter, kEyeZ);
    return s;
}

} // namespace

TEST(World3dTest, RotationTurnsAboutXThenYThenZ)
{
    ExpectNear(RotatePoint({1, 0, 0}, {0, 0, 90}), {0, 1, 0});
    ExpectNear(RotatePoint({0, 1, 0}, {90, 0, 0}), {0, 0, 1});
    ExpectNear(RotatePoint({0, 0, 1}, {0, 90, 0}), {1, 0, 0});
    // X takes (0, 1, 0) to (0, 0, 1), then Y to (1, 0, 0); Y first would leave (0, 0, 1).
    ExpectNear(RotatePoint({0, 1, 0}, {90, 90, 0}), {1, 0, 0});
}

// The array operations take four points at a time where they can: every element must come
// out as it does on its own, wherever it sits and whether or not the array is rewritten.
TEST(World3dTest, ArrayOperationsGiveEveryElementWhatItGetsAlone)
{
    const TVector3d r{33.3f, -71.0f, 405.5f};
    const TVector3d offset{0.25f, -1000.5f, 3e-4f};
    for (int32_t count = 1; count <= 11; ++count) {
        const std::vector<TVector3d> source = SamplePoints(count);
        std::vector<TVector3d> rotated(source.size());
        RotatePoints(source.data(), rotated.data(), count, r);
        std::vector<TVector3d> inPlace = source;
        RotatePoints(inPlace.data(), inPlace.data(), count, r);
        std::vector<TVector3d> translated = source;
        TranslatePoints(translated.data(), translated.data(), count, offset);
        for (size_t i = 0; i < source.size(); ++i) {
            EXPECT_TRUE(SameBits(rotated[i], RotatePoint(source[i], r))) << count << ":" << i;
            EXPECT_TRUE(SameBits(inPlace[i], rotated[i])) << count << ":" << i;
            EXPECT_TRUE(SameBits(translated[i], VectorAdd(source[i], offset))) << count << ":" << i;
        }
    }
}

TEST(World3dTest, ProjectionScalesTowardTheCenterAndTruncates)
{
    const TScreenPoint onPlane = ProjectOne({100, 50, 0});
    EXPECT_EQ(onPlane.X, 420);
    EXPECT_EQ(onPlane.Y, 290);
    const TScreenPoint far = ProjectOne({100, 50, 560});
    EXPECT_EQ(far.X, 370);
    EXPECT_EQ(far.Y, 265);
    EXPECT_EQ(ProjectOne({-320.5f, 0, 0}).X, 0) << "toward zero, not down";
    const TScreenPoint behindTheEye = ProjectOne({100, 50, -1120});
    EXPECT_EQ(behindTheEye.X, 220);
    EXPECT_EQ(behindTheEye.Y, 190);
}

TEST(World3dTest, PointsWithoutAScreenPositionProjectToTheMostNegativeIntegerInEveryLane)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<TVector3d> unplaceable = {{0, 0, kEyeZ}, {5, -5, kEyeZ}, {1, 1, nan}, {nan, nan, 0},
                                                {inf, -inf, 0}, {1e30f, -1e30f, 0}};
    for (const TVector3d& p : unplaceable) {
        const TScreenPoint s = ProjectOne(p);
        EXPECT_EQ(s.X, INT32_MIN);
        EXPECT_EQ(s.Y, INT32_MIN);
    }
    // Mixed with points near the limits of the conversion and of truncation.
    std::vector<TVector3d> points = {{-320.5f, -240.5f, 0}, {2147483520.0f, -2147483904.0f, 0},
                                     {0.999999f, -0.999999f, 0}, {-1e-30f, 1e-30f, -1120}};
    points.insert(points.begin() + 2, unplaceable.begin(), unplaceable.end());
    for (int32_t count = 1; count <= int32_t(points.size()); ++count) {
        std::vector<TScreenPoint> screen(static_cast<size_t>(count));
        ProjectPoints(points.data(), screen.data(), count, kCenter, kEyeZ);
        for (int32_t i = 0; i < count; ++i) {
            const TScreenPoint one = ProjectOne(points[size_t(i)]);
            EXPECT_EQ(screen[size_t(i)].X, one.X) << count << ":" << i;
            EXPECT_EQ(screen[size_t(i)].Y, one.Y) << count << ":" << i;
        }
    }
}

TEST(World3dTest, NormalizeAngleMapsIntoOneTurn)
{
    EXPECT_EQ(NormalizeAngle(370), 10);
    EXPECT_EQ(NormalizeAngle(360), 0);
    EXPECT_EQ(NormalizeAngle(0), 0);
    EXPECT_EQ(NormalizeAngle(-10), 350);
    EXPECT_EQ(NormalizeAngle(-360), 360) << "a negative whole turn";
    EXPECT_EQ(NormalizeAngle(-730), 350);
    const TVector3d n = NormalizeAngles({370, -10, 720});
    EXPECT_EQ(n.X, 10);
    EXPECT_EQ(n.Y, 350);
    EXPECT_EQ(n.Z, 0);
}

namespace {

// Logs every step as "<name>.<step>".
class TLoggingObject : public TObject3d {
public:
    TLoggingObject(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    void Move() override { log_.push_back(name_ + ".Move"); }
    void Transform() override { log_.push_back(name_ + ".Transform"); }
    void Project() override { log_.push_back(name_ + ".Project"); }
    void Render() override { log_.push_back(name_ + ".Render"); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

} // namespace

TEST(World3dTest, StepAllStepsEachVisibleObjectCompletelyInInsertionOrder)
{
    std::vector<std::string> log;
    TLoggingObject a("a", log), hidden("hidden", log), b("b", log);
    hidden.Visible = false;
    TWorld3d world(ZeroPosition, kEyeZ, ZeroAngle, kCenter);
    world.Add(&a);
    world.Add(&hidden);
    world.Add(&b);
    world.Add(&a);
    EXPECT_EQ(world.Count(), 4);
    EXPECT_EQ(world.Items(3), &a);
    EXPECT_EQ(hidden.World, &world);

    world.StepAll();
    const std::vector<std::string> expected = {"a.Move", "a.Transform", "a.Project", "a.Render",
                                               "b.Move", "b.Transform", "b.Project", "b.Render",
                                               "a.Move", "a.Transform", "a.Project", "a.Render"};
    EXPECT_EQ(log, expected);

    log.clear();
    a.Visible = false;
    b.Visible = false;
    world.StepAll();
    EXPECT_TRUE(log.empty());
}
