#pragma once
// Replacing a file's contents so that a crash or a failed write never leaves it half written:
// the bytes go to a temporary file in the same folder, which is flushed to the disk and renamed
// over the target, and the folder is flushed so that the rename itself survives a power loss.
//
// A symbolic link is followed and its target replaced (the link stays a link), and a file that
// is replaced keeps its permission bits. A target that exists but is not a regular file (a
// device, a pipe) cannot be replaced by a rename without destroying it, so it is written in
// place. Every failure raises EFileWriteError naming the path and the cause; a failure before
// the rename leaves the old contents untouched and no temporary file behind.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "util/Exception.h"

class EFileWriteError : public Exception {
public:
    EFileWriteError(const std::string& path, const std::string& cause);
    const std::string& Path() const { return path_; }
    const std::string& Cause() const { return cause_; }

private:
    std::string path_;
    std::string cause_;
};

void WriteFileAtomically(const std::string& fileName, std::string_view bytes);
void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes);

// The file that a write to fileName changes: fileName with every symbolic link of its last
// component followed (the final target need not exist yet). Companion files such as locks
// belong beside this name, not beside the link.
std::string FileWriteTarget(const std::string& fileName);
