#pragma once
// A live preview of a wave preset inside the configuration dialog: a world with one wave
// system, two rasters, the smoothing filter and a translation map, all at the box's size in
// device pixels, so that a high-density screen shows a sharp picture. The dialog's timer
// calls Frame; the box keeps showing what the last frame copied to it.

#include "engine/World3d.h"
#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"
#include "kinds/ParticleWaves.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class TWaveConfig;

class TWavePreview : public QWidget {
public:
    // size in device-independent pixels; the rasters are built for the pixel ratio of the
    // screen the box starts on.
    explicit TWavePreview(QSize size, QWidget* parent = nullptr);
    ~TWavePreview() override;

    // Copies edited into applied, scales it from its drawing area to the box, configures the
    // system and the translation map from it and clears both rasters. applied must outlive
    // the preview's frames (the frames read its filter settings).
    void Apply(const TWaveConfig& edited, TWaveConfig& applied);
    // Draws one frame with the filters of the applied preset; nothing before the first Apply.
    void Frame();

    // Holding a mouse button and moving turns the wave system (not the preset): up and down
    // about the X axis, left and right about the Y axis, or the Z axis while Shift is held.
    void SetDraggable(bool draggable) { draggable_ = draggable; }
    // The angle a drag to (x, y) gives, for a box of width x height.
    static TVector3d DragAngle(int32_t x, int32_t y, int32_t width, int32_t height, bool shift);

    // The box's size in device pixels (W and H of the frame and map formulas).
    int32_t BoxWidth() const { return boxWidth_; }
    int32_t BoxHeight() const { return boxHeight_; }
    int32_t FrameCount() const { return frameCount_; }
    TParticleWaves& System() { return system_; }
    const TTranslationMap& Map() const { return *map_; }
    // What the box shows.
    const TDIBRaster& Shown() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Render(TDIBRaster& raster);
    void CopyToBox(const TDIBRaster& raster);
    void BuildMap(const TWaveConfig& applied);

    float ratio_;
    int32_t boxWidth_;
    int32_t boxHeight_;
    std::array<std::unique_ptr<TDIBRaster>, 2> rasters_;
    TDIBRaster shown_;
    TFastSmooth smooth_;
    std::unique_ptr<TTranslationMap> map_;
    TWorld3d world_;
    TParticleWaves system_;
    const TWaveConfig* applied_ = nullptr;
    size_t current_ = 0;
    int32_t frameCount_ = 0;
    bool draggable_ = false;
};
