#pragma once
// The display modes of the primary screen's output: listed by name, switched to one of them
// for the run of the saver, and switched back. A mode is identified by its index in the list;
// -1 means the mode stored in the system's settings.
//
// The list comes from a backend: XRandR on an X11 display, an empty one where there is no
// X11 display (Wayland, the offscreen platform). Tests supply their own.

#include "graphics/GfxTool.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Display flag bits of a mode.
enum : uint32_t { kModeGrayscale = 1, kModeInterlaced = 2 };

struct TDisplayMode {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPel = 0;
    int32_t Frequency = 0; // Hz; 0 when unknown, 1 the hardware default
    uint32_t DisplayFlags = 0;
    uint64_t Id = 0;        // the backend's handle of the mode
};

// "1024x768, 32 bit, 75 Hz, colored, non interlaced"; the frequency part is left out for 0.
std::string DisplayModeName(const TDisplayMode& mode);

class TDisplayModeBackend {
public:
    virtual ~TDisplayModeBackend() = default;
    // Every mode the output offers, in the order the system lists them.
    virtual std::vector<TDisplayMode> EnumModes() = 0;
    // A temporary change; false on failure.
    virtual bool SetMode(const TDisplayMode& mode) = 0;
    // Back to the mode that was in force before the first SetMode; true when nothing changed.
    virtual bool RestoreDefault() = 0;
};

// XRandR through the application's X11 connection when there is one, else a backend
// without modes. Needs the application object.
std::unique_ptr<TDisplayModeBackend> CreateSystemDisplayModeBackend();

// The mode list, built once from its backend. Destroying it restores a changed mode.
class TScreenModeList {
public:
    explicit TScreenModeList(std::unique_ptr<TDisplayModeBackend> backend);
    ~TScreenModeList();
    TScreenModeList(const TScreenModeList&) = delete;
    TScreenModeList& operator=(const TScreenModeList&) = delete;

    // The names, in list order.
    std::vector<std::string> GetScreenModes() const;
    const std::vector<TDisplayMode>& Modes() const { return modes_; }
    // index >= 0 switches to that mode, index < 0 restores the stored mode. Raises
    // EGraphicException with the mode list and the current mode unchanged.
    void ChangeScreenMode(int32_t index);

private:
    std::unique_ptr<TDisplayModeBackend> backend_;
    std::vector<TDisplayMode> modes_;
    bool changed_ = false;
};

// The process's list, built with the system backend on first use (after the application
// object exists). ReleaseScreenModes restores a changed mode and drops the list; the main
// block calls it before the application object goes, and on every way out.
TScreenModeList& ScreenModes();
void ReleaseScreenModes();

std::vector<std::string> GetScreenModes();
void ChangeScreenMode(int32_t index);
