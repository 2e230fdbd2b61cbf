#pragma once
// The wave preset: everything a wave particle system and its filters need, with its two
// storage forms, a registry key and a ".lmx" preset file. Both are read in format
// versions 1 to 3 and written in version 3, little-endian whatever the host.

#include "engine/ParticleSystem.h"
#include "engine/World3d.h"
#include "graphics/DrawingSurface.h"
#include "graphics/GfxFilters.h"
#include "platform/Registry.h"
#include "persistence/ReflectionObjects.h"
#include "util/Exception.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

LUMENFALL_DECLARE_EXCEPTION(EWaveConfigError, Exception);

// Stored as ordinals, like TTransMapMode (declared with the drawing surface); values outside
// the names are kept as they are read, and the drawing code copes with them.
enum class TTransMapStyle : uint8_t {
    tmsWaved,             // "Wave Shift"
    tmsWavedZoom,         // "Wave Zoom"
    tmsWavedZoomOverlay,  // "Wave Zoom Overlay"
    tmsWavedZoomCombined, // "Wave Zoom Combined"
};

// Names for reflective persistence, in ordinal order.
std::span<const char* const> EnumNames(TRenderMode);
std::span<const char* const> EnumNames(TTransMapMode);
std::span<const char* const> EnumNames(TTransMapStyle);

// One sine wave of one axis: amplitude AMBase + AMAmplitude * sin(Pos * AMFrequency),
// frequency FMBase + FMAmplitude * sin(Pos * FMFrequency), Phase in degrees along the chain.
struct TWaveComponent {
    float Phase;
    float AMBase;
    float AMAmplitude;
    float AMFrequency;
    float FMBase;
    float FMAmplitude;
    float FMFrequency;

    bool operator==(const TWaveComponent&) const = default;
};
static_assert(sizeof(TWaveComponent) == 28, "a component is stored as seven Singles");

enum TWaveAxis : size_t { waX = 0, waY = 1, waZ = 2 };
inline constexpr size_t WaveCount = 3;
inline constexpr size_t WaveAxisCount = 3;
// Indexed [wave][axis], stored wave by wave.
using TWaveComponents = std::array<std::array<TWaveComponent, WaveAxisCount>, WaveCount>;

// Presets beyond these cannot be shown safely and are refused when loaded.
inline constexpr int32_t MaxWaveParticleCount = 1000000;
inline constexpr int32_t MaxWaveAreaSize = 16384;

inline constexpr int32_t WaveFormatVersion = 3;
// Bytes of a preset file in format version 3.
inline constexpr size_t WaveFileSize = 499;

class TWaveConfig : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TWaveConfig, TReflectivePersistent)

    TWaveConfig();

    // Published properties.
    std::string Name = "Empty";
    int32_t ParticleCount = 200;
    int32_t MotionBlur = 0;
    bool SmoothFilter = false;
    bool TransMapFilter = false;
    TRenderMode RenderMode = TRenderMode::rmDraw;
    TTransMapMode TransMapMode = TTransMapMode::tmmApplyBefore;
    TTransMapStyle TransMapStyle = TTransMapStyle::tmsWaved;
    // Percent of the drawing area.
    int32_t ZoomCenterX = 0;
    int32_t ZoomCenterY = 0;
    // Added to Pos after every frame.
    float Speed = 0.05f;
    float Pos = 0.0f;
    float BaseRed = 0.0f;
    float BaseGreen = 0.0f;
    float BaseBlue = 0.0f;
    float AmpRed = 0.0f;
    float AmpGreen = 0.0f;
    float AmpBlue = 0.0f;
    // Colour cycles along the chain.
    float FreqRed = 1.0f;
    float FreqGreen = 1.0f;
    float FreqBlue = 1.0f;
    // Radians per unit of Pos.
    float ShiftRed = 0.1f;
    float ShiftGreen = 0.2f;
    float ShiftBlue = 0.3f;
    // The drawing area the amplitudes are meant for: percent of the screen in stored
    // presets, pixels once the shower has called Rescale.
    int32_t Width = 256;
    int32_t Height = 256;

    // Inner state, copied by Assign and stored under its own names.
    TWaveComponents Waves{};
    // Start angle and rotation per frame, degrees.
    TVector3d Angle = ZeroAngle;
    TVector3d Rot = ZeroAngle;
    TSinMagicParams SinMagicParams{};
    TSinMagicParams SinMagicParams2{};

    void AssignInner(const TReflectivePersistent& source) override;
    // "Waves", "Angle", "Rot", "SinMagicParams", "SinMagicParams2" as binary entries.
    void ReadInnerProperties(TPropertyBag& bag) override;
    void WriteInnerProperties(TPropertyBag& bag) const override;

    // Width and Height hold the new drawing area already; scales the wave amplitudes
    // from the old one: X by the widths, Y by the heights, Z by the mean sides.
    void Rescale(float oldWidth, float oldHeight);

    // Writes the key parentPath\Name under HKEY_CURRENT_USER, creating it. Registry errors
    // propagate; a key that cannot be opened or a Name that is no key name raises
    // EWaveConfigError.
    void SaveToRegistry(const std::string& parentPath) const;
    // Sets Name to presetName and reads the key parentPath\presetName (created when
    // missing, where the hive allows it). Reading stops at the first value that is missing
    // or malformed; what was read stays, the rest keeps its contents. A key that cannot be
    // opened reads nothing. A preset outside the limits above raises EWaveConfigError
    // naming the key and leaves the object unchanged.
    void LoadFromRegistry(TRootKey root, const std::string& parentPath, const std::string& presetName);

    // Replaces the file whole; raises EWaveConfigError naming the file when it cannot.
    void SaveToFile(const std::string& fileName) const;
    // Sets Name to the file name without folder and extension and reads the file. Fields
    // past the end of a short file keep their contents. A file that cannot be read, or a
    // preset outside the limits, raises EWaveConfigError naming the file and leaves the
    // object unchanged.
    void LoadFromFile(const std::string& fileName);

private:
    // Raises when the preset cannot be shown safely; source names the key or file.
    void CheckLimits(const char* operation, const std::string& source) const;
};
