#include "util/BaseDirectory.h"

#include <cstdlib>

std::filesystem::path UserBaseDirectory(const char* variable, const char* fallbackBelowHome)
{
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::filesystem::path(home) / fallbackBelowHome;
    return {};
}
