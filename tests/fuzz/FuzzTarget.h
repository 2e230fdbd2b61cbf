#pragma once
// One fuzz entry point per reader. Built with -DLUMENFALL_FUZZ=ON each file is a libFuzzer
// program; in the ordinary build the entries register themselves by name, and the corpus
// replay test runs every stored input through them.
//
// An entry returns normally for input its reader refuses with the reader's own error;
// anything else (a crash, another exception, a broken invariant) is a finding.

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <span>
#include <string>

using TFuzzEntry = void (*)(std::span<const uint8_t> data);

// The entries of the program, by name (the name of their corpus folder).
inline std::map<std::string, TFuzzEntry>& FuzzEntries()
{
    static std::map<std::string, TFuzzEntry> entries;
    return entries;
}

inline bool RegisterFuzzEntry(const char* name, TFuzzEntry entry)
{
    FuzzEntries()[name] = entry;
    return true;
}

// Pictures and text need a GUI application; fuzzing runs without a display.
inline void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "lumenfall_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

// A broken invariant: told and ended like a crash, so that the fuzzer keeps the input.
[[noreturn]] inline void FuzzFinding(const std::string& what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

#ifdef LUMENFALL_LIBFUZZER
#define LUMENFALL_FUZZ_ENTRY(name)                                                                                    \
    static void FuzzOne(std::span<const uint8_t> data);                                                              \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                          \
    {                                                                                                                 \
        FuzzOne(std::span<const uint8_t>(data, size));                                                                \
        return 0;                                                                                                     \
    }                                                                                                                 \
    static void FuzzOne(std::span<const uint8_t> data)
#else
#define LUMENFALL_FUZZ_ENTRY(name)                                                                                    \
    static void FuzzOne(std::span<const uint8_t> data);                                                              \
    [[maybe_unused]] static const bool registered_##name = RegisterFuzzEntry(#name, FuzzOne);                        \
    static void FuzzOne(std::span<const uint8_t> data)
#endif
