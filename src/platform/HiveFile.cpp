#include "platform/HiveFile.h"

#include "platform/HiveTree.h"
#include "util/AtomicFile.h"
#include "util/BaseDirectory.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText() { return std::system_category().message(errno); }

enum class TFileRead { Read, Missing, Failed };

TFileRead ReadFileText(const std::string& fileName, std::string& text, std::string& error)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const bool missing = errno == ENOENT;
        error = ErrnoText();
        return missing ? TFileRead::Missing : TFileRead::Failed;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, size_t(n));
        } else if (n == 0) {
            ::close(fd);
            return TFileRead::Read;
        } else if (errno != EINTR) {
            error = ErrnoText();
            ::close(fd);
            return TFileRead::Failed;
        }
    }
}

// A hive read from its file; without a hive, Problem says why and names the file.
struct TLoadedHive {
    std::optional<THive> Hive;
    bool Damaged = false;
    std::string Problem;
};

TLoadedHive LoadHiveFile(const std::string& fileName, TRootKey root, const char* operation)
{
    TLoadedHive loaded;
    std::string text, error;
    switch (ReadFileText(fileName, text, error)) {
    case TFileRead::Missing:
        loaded.Hive.emplace(root);
        break;
    case TFileRead::Failed:
        loaded.Problem = std::string(operation) + " : Cannot read \"" + fileName + "\": " + error;
        break;
    case TFileRead::Read:
        try {
            loaded.Hive = THive::Parse(text, root, fileName);
        } catch (const ERegistryException& e) {
            loaded.Damaged = true;
            loaded.Problem = e.Message();
        }
        break;
    }
    return loaded;
}

// Renames a damaged hive to "<name>.damaged-<date>-<time>[-n]<extension>" and returns the new name.
std::string SetAside(const std::string& fileName, const char* operation)
{
    const fs::path file = FileWriteTarget(fileName);
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = (file.parent_path() / file.stem()).string() + ".damaged-" + stamp;
    const std::string extension = file.extension().string();
    std::string kept = base + extension;
    std::error_code error;
    for (int n = 2; fs::exists(kept, error); ++n)
        kept = base + "-" + std::to_string(n) + extension;
    if (::rename(file.c_str(), kept.c_str()) != 0)
        RaiseRegistryError(operation,
                           "Cannot keep the damaged \"" + file.string() + "\" as \"" + kept + "\": " + ErrnoText());
    return kept;
}

void PrintToStderr(const std::string& message) { std::fprintf(stderr, "lumenfall: %s\n", message.c_str()); }

TRegistryNotifier& Notifier()
{
    static TRegistryNotifier notifier = PrintToStderr;
    return notifier;
}

// For conditions every accessor meets again (an unreadable or damaged machine hive).
void NotifyOnce(const std::string& message)
{
    static std::set<std::string> told;
    if (told.insert(message).second)
        NotifyUser(message);
}

fs::path InstallPrefix()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    // Without /proc, the build system's default prefix.
    return error ? fs::path("/usr/local") : executable.parent_path().parent_path();
}

fs::path ConfigHome()
{
    if (fs::path base = UserBaseDirectory("XDG_CONFIG_HOME", ".config"); !base.empty())
        return base;
    // Without a usable HOME the settings still belong in the account's home folder.
    const passwd* user = ::getpwuid(::getuid());
    return fs::path(user ? user->pw_dir : ".") / ".config";
}

} // namespace

THiveLock::THiveLock(const std::string& fileName, const char* operation)
{
    const fs::path lockName = FileWriteTarget(fileName) + ".lock";
    std::error_code error;
    if (lockName.has_parent_path())
        fs::create_directories(lockName.parent_path(), error);
    fd_ = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        RaiseRegistryError(operation, "Cannot create the lock \"" + lockName.string() + "\": " + ErrnoText());
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const std::string text = ErrnoText();
            ::close(fd_);
            RaiseRegistryError(operation, "Cannot lock \"" + lockName.string() + "\": " + text);
        }
    }
}

THiveLock::~THiveLock() { ::close(fd_); }

void NotifyUser(const std::string& message) { Notifier()(message); }

void WriteHiveFile(const std::string& fileName, const std::string& text, const char* operation)
{
    const fs::path target = FileWriteTarget(fileName);
    try {
        if (target.has_parent_path())
            fs::create_directories(target.parent_path());
        WriteFileAtomically(target.string(), text);
    } catch (const EFileWriteError& e) {
        RaiseRegistryError(operation, "Cannot write \"" + e.Path() + "\": " + e.Cause());
    } catch (const fs::filesystem_error& e) {
        RaiseRegistryError(operation, "Cannot write \"" + target.string() + "\": " + e.code().message());
    }
}

THive LoadUserHiveLocked(const std::string& fileName, const char* operation)
{
    TLoadedHive loaded = LoadHiveFile(fileName, HKEY_CURRENT_USER, operation);
    if (loaded.Hive)
        return std::move(*loaded.Hive);
    if (!loaded.Damaged)
        throw ERegistryException(loaded.Problem);
    const std::string kept = SetAside(fileName, operation);
    NotifyUser("The settings file \"" + fileName + "\" is damaged and was kept as \"" + kept +
           "\"; the settings start afresh. " + loaded.Problem);
    return THive(HKEY_CURRENT_USER);
}

THive LoadUserHive(const std::string& fileName)
{
    TLoadedHive loaded = LoadHiveFile(fileName, HKEY_CURRENT_USER, "TRegistry.LoadHive");
    if (loaded.Hive)
        return std::move(*loaded.Hive);
    try {
        if (!loaded.Damaged)
            throw ERegistryException(loaded.Problem);
        THiveLock lock(fileName, "TRegistry.LoadHive");
        return LoadUserHiveLocked(fileName, "TRegistry.LoadHive");
    } catch (const ERegistryException& e) {
        NotifyOnce("The settings file \"" + fileName + "\" cannot be used; the settings are not saved. " +
                   e.Message());
        return THive(HKEY_CURRENT_USER);
    }
}

THive LoadMachineHive(const std::string& fileName)
{
    TLoadedHive loaded = LoadHiveFile(fileName, HKEY_LOCAL_MACHINE, "TRegistry.LoadHive");
    if (loaded.Hive)
        return std::move(*loaded.Hive);
    NotifyOnce("The installation's settings file \"" + fileName + "\" cannot be used. " + loaded.Problem);
    return THive(HKEY_LOCAL_MACHINE);
}

std::string HiveFileName(TRootKey root)
{
    const char* variable = root == HKEY_LOCAL_MACHINE ? "LUMENFALL_MACHINE_HIVE" : "LUMENFALL_USER_HIVE";
    if (const char* file = std::getenv(variable); file && *file)
        return file;
    if (root == HKEY_LOCAL_MACHINE)
        return (InstallPrefix() / "share" / "lumenfall" / "machine.reg").string();
    return (ConfigHome() / "lumenfall" / "user.reg").string();
}

TRegistryNotifier SetRegistryNotifier(TRegistryNotifier notifier)
{
    if (!notifier)
        notifier = PrintToStderr;
    return std::exchange(Notifier(), std::move(notifier));
}

THive THive::LoadFromFile(const std::string& fileName, TRootKey root)
{
    TLoadedHive loaded = LoadHiveFile(fileName, root, "THive.LoadFromFile");
    if (!loaded.Hive)
        throw ERegistryException(loaded.Problem);
    return std::move(*loaded.Hive);
}

void THive::SaveToFile(const std::string& fileName) const
{
    THiveLock lock(fileName, "THive.SaveToFile");
    WriteHiveFile(fileName, Format(), "THive.SaveToFile");
}
