#pragma once
// System information: error reporting, the system's version, the program file's version
// data, file lists and the temporary folder.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TWindowsVersionInfo {
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;
    // 1 NT family, 2 the 95/98/Me family, 3 Win32s, 0 any other. Always 1 here: the
    // system's own screen locker asks for the password, so the saver never does.
    uint8_t Platform = 0;
    std::string CSDVersion; // at most 128 characters
};

// Where ShowLastError's text goes. Until the windowing layer installs a message box
// (caption "Error", information icon), it is written to standard output as a line.
using TErrorDisplay = std::function<void(const std::string& text)>;
void SetErrorDisplay(TErrorDisplay display);

// Code 0 shows nothing and returns false; otherwise shows where, a line break and the
// system's text for the error number, and returns true.
bool ShowLastError(const std::string& where, int code);

// Filled once from the kernel; callers get a copy.
TWindowsVersionInfo GetWindowsVersion();

// Reads the eight version strings of a program file (company name, file description,
// file version, internal name, legal copyright, original file name, product name,
// product version). False for a file without version data; true with the outputs
// unchanged for version data without a translation entry.
bool ReadVersionInfo(const std::string& fileName, std::string& companyName, std::string& fileDescription,
                     std::string& fileVersion, std::string& internalName, std::string& legalCopyright,
                     std::string& originalFilename, std::string& productName, std::string& productVersion);

// File attribute bits of the attribute filter.
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// Appends the name (without folder) of every entry matching the mask: '*' and '?' in
// the file-name part, matched without regard to case. Hidden entries (names starting
// with '.'), directories and special files are listed only when the filter admits them.
void ListFiles(const std::string& mask, uint32_t attributeFilter, std::vector<std::string>& list);

// The system's temporary folder, with a trailing delimiter.
std::string GetTempDirectory();

// The name of the ELF section that carries the version data.
inline constexpr const char* kVersionSectionName = "lumenfall_version";
