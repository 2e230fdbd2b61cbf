#include "util/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int error) { return std::system_category().message(error); }

// A descriptor closed on every path; Close reports the error a deferred write may surface.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd_(fd) {}
    ~TDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno != EINTR)
            return errno;
        if (n > 0)
            bytes.remove_prefix(size_t(n));
    }
    return 0;
}

// Pipes and devices cannot be flushed to a disk; for them fsync reports EINVAL.
int Sync(int fd) { return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno; }

// A pipe or device: opened without blocking, so that a pipe nobody reads fails at once
// instead of hanging, then written like any descriptor.
void WriteInPlace(const std::string& target, std::string_view bytes)
{
    TDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid())
        throw EFileWriteError(target, ErrnoText(errno));
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    int error = flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ? errno : 0;
    if (error == 0)
        error = WriteAll(fd.Get(), bytes);
    if (error == 0)
        error = Sync(fd.Get());
    const int closed = fd.Close();
    if (error == 0)
        error = closed;
    if (error != 0)
        throw EFileWriteError(target, ErrnoText(error));
}

// Creates a new file beside the target; the name is unique within this process by a counter
// and across processes by the process id, and O_EXCL never reuses a stranger's file.
TDescriptor CreateTemporary(const std::string& target, std::string& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return TDescriptor(fd);
        if (errno != EEXIST)
            break;
    }
    throw EFileWriteError(target, ErrnoText(errno));
}

void SyncFolder(const std::string& target, const fs::path& folder)
{
    TDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int error = !fd.Valid() ? errno : Sync(fd.Get());
    if (error != 0)
        throw EFileWriteError(target, "The file was replaced, but its folder cannot be flushed: " + ErrnoText(error));
}

void Replace(const std::string& target, const struct stat* existing, std::string_view bytes)
{
    std::string temporary;
    TDescriptor fd = CreateTemporary(target, temporary);
    // The mode is set before any byte is written, so a private file's contents are never
    // readable under the temporary name.
    int error = existing && ::fchmod(fd.Get(), existing->st_mode & 07777) != 0 ? errno : 0;
    if (error == 0)
        error = WriteAll(fd.Get(), bytes);
    if (error == 0 && ::fsync(fd.Get()) != 0)
        error = errno;
    const int closed = fd.Close();
    if (error == 0)
        error = closed;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        throw EFileWriteError(target, ErrnoText(error));
    }
    const fs::path parent = fs::path(target).parent_path();
    SyncFolder(target, parent.empty() ? fs::path(".") : parent);
}

} // namespace

EFileWriteError::EFileWriteError(const std::string& path, const std::string& cause)
    : Exception("WriteFileAtomically : Cannot write \"" + path + "\": " + cause), path_(path), cause_(cause)
{
}

std::string FileWriteTarget(const std::string& fileName)
{
    // Forty links, as the kernel allows, before a loop is taken for a plain name.
    fs::path path(fileName);
    for (int depth = 0; depth < 40; ++depth) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            break;
        std::error_code error;
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path.string();
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes)
{
    const std::string target = FileWriteTarget(fileName);
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            WriteInPlace(target, bytes);
            return;
        }
        Replace(target, &existing, bytes);
    } else if (errno == ENOENT) {
        Replace(target, nullptr, bytes);
    } else {
        throw EFileWriteError(target, ErrnoText(errno));
    }
}

void WriteFileAtomically(const std::string& fileName, std::span<const uint8_t> bytes)
{
    WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
