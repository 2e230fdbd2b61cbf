#pragma once
// Points both hives, and the user's data and cache folders, at a fresh temporary folder for
// the life of the object and puts the environment back afterwards, so that tests never
// touch the user's settings or presets.

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

class TTemporaryHives {
public:
    explicit TTemporaryHives(const std::string& tag)
        : folder_(std::filesystem::temp_directory_path() /
                  ("lumenfall-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(++runs_)))
    {
        for (size_t i = 0; i < kVariables.size(); ++i)
            saved_[i] = Get(kVariables[i]);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ::setenv("LUMENFALL_USER_HIVE", UserHive().c_str(), 1);
        ::setenv("LUMENFALL_MACHINE_HIVE", MachineHive().c_str(), 1);
        ::setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (folder_ / "cache").c_str(), 1);
    }
    ~TTemporaryHives()
    {
        for (size_t i = 0; i < kVariables.size(); ++i)
            Restore(kVariables[i], saved_[i]);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TTemporaryHives(const TTemporaryHives&) = delete;
    TTemporaryHives& operator=(const TTemporaryHives&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path UserHive() const { return folder_ / "user.reg"; }
    std::filesystem::path MachineHive() const { return folder_ / "machine.reg"; }
    std::filesystem::path DataHome() const { return folder_ / "data"; }
    // Where the user's own wave presets go (not created).
    std::filesystem::path UserWavesFolder() const { return DataHome() / "lumenfall" / "waves"; }

private:
    static constexpr std::array<const char*, 4> kVariables = {"LUMENFALL_USER_HIVE", "LUMENFALL_MACHINE_HIVE",
                                                              "XDG_DATA_HOME", "XDG_CACHE_HOME"};

    static std::optional<std::string> Get(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    static inline int runs_ = 0;
    std::filesystem::path folder_;
    std::array<std::optional<std::string>, kVariables.size()> saved_;
};
