#pragma once
// lumenfall --render: runs the show as the full-screen saver would, on one monitor of a
// given size, with a simulated clock, and writes frames to image files or a video.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TRenderOptions {
    std::string Output;
    int32_t Width = 1920;
    int32_t Height = 1080;
    int32_t Frames = 1;
    int32_t IntervalMs = 21;
    std::optional<uint32_t> Seed;
    // zlib level of PNG files: fast by default, the picture is the same at every level.
    int32_t PngCompression = 1;
    // No progress and no video size on stderr.
    bool Quiet = false;
};

// Parses the arguments after "--render"; raises std::invalid_argument with one clear line.
TRenderOptions ParseRenderArguments(const std::vector<std::string>& arguments);

// The command's help text.
std::string RenderUsage();

// Runs the command; returns the process's exit code. Errors go to stderr as one line.
int RunRenderCommand(const std::vector<std::string>& arguments);
