#include "util/WindowsTool.h"

#include "util/AsciiCase.h"

#include <sys/stat.h>
#include <sys/utsname.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <optional>
#include <string_view>

namespace {

// ---- version data ----------------------------------------------------------------
// The version data is a table of entries named by their query paths, as the platform's
// version resources are queried: "\VarFileInfo\Translation" holds the language and code
// page (16 bits each, little-endian), "\StringFileInfo\LLLLCCCC\Name" the strings.
// Layout: "LFVI", then entries of u16 key length, key, u16 value length, value; a key
// length of 0 ends the table.

struct VersionEntry {
    std::string_view key;
    std::string_view value;
};

#define LUMENFALL_STRING_KEY(name) "\\StringFileInfo\\040904E4\\" name
constexpr VersionEntry kVersionEntries[] = {
    {"\\VarFileInfo\\Translation", std::string_view("\x09\x04\xE4\x04", 4)},
    {LUMENFALL_STRING_KEY("CompanyName"), "The Lumenfall developers"},
    {LUMENFALL_STRING_KEY("FileDescription"), "Lumenfall particle screen saver"},
    {LUMENFALL_STRING_KEY("FileVersion"), LUMENFALL_VERSION},
    {LUMENFALL_STRING_KEY("InternalName"), "lumenfall"},
    {LUMENFALL_STRING_KEY("LegalCopyright"), "Copyright (C) 2026 the Lumenfall developers"},
    {LUMENFALL_STRING_KEY("OriginalFilename"), "lumenfall"},
    {LUMENFALL_STRING_KEY("ProductName"), "Lumenfall"},
    {LUMENFALL_STRING_KEY("ProductVersion"), LUMENFALL_VERSION},
};
#undef LUMENFALL_STRING_KEY

constexpr size_t VersionBlobSize()
{
    size_t size = 4 + 2;
    for (const auto& e : kVersionEntries)
        size += 2 + e.key.size() + 2 + e.value.size();
    return size;
}

constexpr std::array<char, VersionBlobSize()> BuildVersionBlob()
{
    std::array<char, VersionBlobSize()> blob{};
    size_t at = 0;
    auto put = [&](std::string_view bytes) {
        for (char c : bytes)
            blob[at++] = c;
    };
    auto putLength = [&](size_t n) {
        blob[at++] = char(n & 0xFF);
        blob[at++] = char((n >> 8) & 0xFF);
    };
    put("LFVI");
    for (const auto& e : kVersionEntries) {
        putLength(e.key.size());
        put(e.key);
        putLength(e.value.size());
        put(e.value);
    }
    putLength(0);
    return blob;
}

[[gnu::used, gnu::section("lumenfall_version")]] constexpr std::array<char, VersionBlobSize()> kVersionBlob =
    BuildVersionBlob();

uint64_t ReadLE(const std::vector<uint8_t>& bytes, size_t at, size_t width)
{
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= uint64_t(bytes[at + i]) << (8 * i);
    return v;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The contents of the named section of a little-endian ELF file; empty when the file is
// no such file or has no such section. Every offset is checked against the file size.
std::vector<uint8_t> ReadElfSection(const std::string& fileName, std::string_view sectionName)
{
    const auto file = ReadWholeFile(fileName);
    if (!file || file->size() < 0x34 || std::memcmp(file->data(), "\x7F" "ELF", 4) != 0 || (*file)[5] != 1)
        return {};
    const std::vector<uint8_t>& f = *file;
    const bool is64 = f[4] == 2;
    if (is64 && f.size() < 0x40)
        return {};
    const uint64_t shoff = is64 ? ReadLE(f, 0x28, 8) : ReadLE(f, 0x20, 4);
    const uint64_t shentsize = ReadLE(f, is64 ? 0x3A : 0x2E, 2);
    const uint64_t shnum = ReadLE(f, is64 ? 0x3C : 0x30, 2);
    const uint64_t shstrndx = ReadLE(f, is64 ? 0x3E : 0x32, 2);
    const uint64_t minEntry = is64 ? 0x40 : 0x28;
    if (shentsize < minEntry || shstrndx >= shnum || shoff > f.size() || shnum * shentsize > f.size() - shoff)
        return {};
    auto header = [&](uint64_t index, uint64_t& name, uint64_t& offset, uint64_t& size) {
        const size_t at = size_t(shoff + index * shentsize);
        name = ReadLE(f, at, 4);
        offset = is64 ? ReadLE(f, at + 0x18, 8) : ReadLE(f, at + 0x10, 4);
        size = is64 ? ReadLE(f, at + 0x20, 8) : ReadLE(f, at + 0x14, 4);
    };
    uint64_t strName, strOffset, strSize;
    header(shstrndx, strName, strOffset, strSize);
    if (strOffset > f.size() || strSize > f.size() - strOffset)
        return {};
    for (uint64_t i = 0; i < shnum; ++i) {
        uint64_t name, offset, size;
        header(i, name, offset, size);
        if (name >= strSize)
            continue;
        const char* text = reinterpret_cast<const char*>(f.data() + strOffset + name);
        const size_t maxLength = size_t(strSize - name);
        if (std::string_view(text, strnlen(text, maxLength)) != sectionName)
            continue;
        if (offset > f.size() || size > f.size() - offset)
            return {};
        return std::vector<uint8_t>(f.begin() + ptrdiff_t(offset), f.begin() + ptrdiff_t(offset + size));
    }
    return {};
}

// The value stored under the query path, as the version data holds it.
std::optional<std::string> QueryVersionValue(const std::vector<uint8_t>& blob, std::string_view key)
{
    size_t at = 4;
    while (at + 2 <= blob.size()) {
        const size_t keyLength = size_t(ReadLE(blob, at, 2));
        at += 2;
        if (keyLength == 0 || at + keyLength + 2 > blob.size())
            return std::nullopt;
        const std::string_view entryKey(reinterpret_cast<const char*>(blob.data() + at), keyLength);
        at += keyLength;
        const size_t valueLength = size_t(ReadLE(blob, at, 2));
        at += 2;
        if (at + valueLength > blob.size())
            return std::nullopt;
        if (entryKey == key)
            return std::string(reinterpret_cast<const char*>(blob.data() + at), valueLength);
        at += valueLength;
    }
    return std::nullopt;
}

// ---- file lists ------------------------------------------------------------------

bool MatchesWildcard(std::string_view pattern, std::string_view name)
{
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    auto same = [](char a, char b) { return AsciiUpper(a) == AsciiUpper(b); };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

uint32_t AttributesOf(const std::string& path, std::string_view name)
{
    uint32_t attributes = 0;
    if (!name.empty() && name[0] == '.')
        attributes |= faHidden;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return attributes;
    if (S_ISDIR(info.st_mode))
        attributes |= faDirectory;
    else if (!S_ISREG(info.st_mode))
        attributes |= faSysFile;
    else
        attributes |= faArchive;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= faReadOnly;
    return attributes;
}

TErrorDisplay& ErrorDisplay()
{
    static TErrorDisplay display = [](const std::string& text) { std::printf("%s\n", text.c_str()); };
    return display;
}

TWindowsVersionInfo QueryVersion()
{
    TWindowsVersionInfo info;
    info.Platform = 1;
    struct utsname name {};
    if (uname(&name) != 0) {
        ShowLastError("WindowTool.GetWindowsVersion", errno);
        return info;
    }
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build);
    info.MajorVersion = major;
    info.MinorVersion = minor;
    info.BuildNumber = build;
    info.CSDVersion = (std::string(name.sysname) + " " + name.release).substr(0, 128);
    return info;
}

} // namespace

void SetErrorDisplay(TErrorDisplay display) { ErrorDisplay() = std::move(display); }

bool ShowLastError(const std::string& where, int code)
{
    if (code == 0)
        return false;
    ErrorDisplay()(where + "\r\n" + std::strerror(code));
    return true;
}

TWindowsVersionInfo GetWindowsVersion()
{
    static const TWindowsVersionInfo info = QueryVersion();
    return info;
}

bool ReadVersionInfo(const std::string& fileName, std::string& companyName, std::string& fileDescription,
                     std::string& fileVersion, std::string& internalName, std::string& legalCopyright,
                     std::string& originalFilename, std::string& productName, std::string& productVersion)
{
    const std::vector<uint8_t> blob = ReadElfSection(fileName, kVersionSectionName);
    if (blob.size() < 4 || std::memcmp(blob.data(), "LFVI", 4) != 0)
        return false;
    const auto translation = QueryVersionValue(blob, "\\VarFileInfo\\Translation");
    if (!translation || translation->size() <= 3)
        return true;
    const auto* t = reinterpret_cast<const uint8_t*>(translation->data());
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04X%04X", unsigned(t[0] | t[1] << 8),
                  unsigned(t[2] | t[3] << 8));
    const std::pair<const char*, std::string*> outputs[] = {
        {"\\CompanyName", &companyName},       {"\\FileDescription", &fileDescription},
        {"\\FileVersion", &fileVersion},       {"\\InternalName", &internalName},
        {"\\LegalCopyright", &legalCopyright}, {"\\OriginalFilename", &originalFilename},
        {"\\ProductName", &productName},       {"\\ProductVersion", &productVersion},
    };
    for (const auto& [name, output] : outputs) {
        if (auto value = QueryVersionValue(blob, std::string(prefix) + name)) {
            std::erase(*value, '\0');
            *output = *value;
        }
    }
    return true;
}

void ListFiles(const std::string& mask, uint32_t attributeFilter, std::vector<std::string>& list)
{
    const size_t slash = mask.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : mask.substr(0, slash == 0 ? 1 : slash);
    const std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const uint32_t special = faHidden | faSysFile | faDirectory;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!MatchesWildcard(pattern, name))
            continue;
        const uint32_t attributes = AttributesOf(folder + "/" + std::string(name), name);
        if ((attributes & special & ~attributeFilter) == 0)
            list.emplace_back(name);
    }
    closedir(dir);
}

std::string GetTempDirectory()
{
    const char* env = std::getenv("TMPDIR");
    std::string folder = env && *env ? env : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}
