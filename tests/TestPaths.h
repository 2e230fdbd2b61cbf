#pragma once
// Where the tests find what they test: the build they were built in (unless
// LUMENFALL_BUILD_DIR names another) and the source tree beside it.

#include <cstdlib>
#include <string>

inline std::string TestBuildFolder()
{
    const char* overridden = std::getenv("LUMENFALL_BUILD_DIR");
    return overridden && *overridden ? overridden : LUMENFALL_TEST_BUILD_DIR;
}

inline std::string TestSourceFolder() { return LUMENFALL_TEST_SOURCE_DIR; }
