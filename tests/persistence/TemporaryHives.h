#pragma once
// Points both hives at files in a fresh temporary folder for the life of the object and
// puts the environment back afterwards, so that tests never touch the user's settings.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

class TTemporaryHives {
public:
    explicit TTemporaryHives(const std::string& tag)
        : folder_(std::filesystem::temp_directory_path() /
                  ("lumenfall-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(++runs_))),
          savedUser_(Get("LUMENFALL_USER_HIVE")), savedMachine_(Get("LUMENFALL_MACHINE_HIVE"))
    {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ::setenv("LUMENFALL_USER_HIVE", UserHive().c_str(), 1);
        ::setenv("LUMENFALL_MACHINE_HIVE", MachineHive().c_str(), 1);
    }
    ~TTemporaryHives()
    {
        Restore("LUMENFALL_USER_HIVE", savedUser_);
        Restore("LUMENFALL_MACHINE_HIVE", savedMachine_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TTemporaryHives(const TTemporaryHives&) = delete;
    TTemporaryHives& operator=(const TTemporaryHives&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path UserHive() const { return folder_ / "user.reg"; }
    std::filesystem::path MachineHive() const { return folder_ / "machine.reg"; }

private:
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
    std::optional<std::string> savedUser_;
    std::optional<std::string> savedMachine_;
};
