#include "platform/Registry.h"

#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

#include <QString>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

struct THiveValue {
    std::string Name;
    std::string Folded;
    TRegData Data;
};

struct THiveKey {
    std::string Name;
    std::vector<THiveValue> Values;
    // By folded name, which is also the order of enumeration and of the file.
    std::map<std::string, std::unique_ptr<THiveKey>> Subkeys;
};

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineWidth = 80;

[[noreturn]] void Raise(const char* operation, const std::string& text)
{
    throw ERegistryException(std::string(operation) + " : " + text);
}

std::string ErrnoText() { return std::system_category().message(errno); }

std::string_view RootName(TRootKey root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool IsAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Upper case, as the registry compares names, so that keys enumerate in the platform's order.
// ASCII names fold as every other name comparison does; others fold by Unicode's rules.
std::string FoldCase(std::string_view name)
{
    if (!IsAscii(name))
        return QString::fromUtf8(name.data(), qsizetype(name.size())).toUpper().toStdString();
    return AsciiUpperCase(name);
}

bool IsValidUtf8(std::string_view s)
{
    return IsAscii(s) || QString::fromUtf8(s.data(), qsizetype(s.size())).toStdString() == s;
}

// A name must fit on one line of the file.
bool StorableName(std::string_view name) { return name.find_first_of("\r\n") == std::string_view::npos; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s)
{
    s = TrimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> SplitKeyPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t end = std::min(path.find('\\'), path.size());
        if (end > 0)
            parts.push_back(path.substr(0, end));
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

std::string JoinKeyPath(const std::vector<std::string_view>& parts)
{
    std::string path;
    for (std::string_view part : parts) {
        if (!path.empty())
            path += '\\';
        path += part;
    }
    return path;
}

// --- Tree ---------------------------------------------------------------------------------

// Key is THiveKey or const THiveKey.
template <typename Key>
Key* FindKey(Key& top, std::string_view path)
{
    Key* key = &top;
    for (std::string_view part : SplitKeyPath(path)) {
        const auto it = key->Subkeys.find(FoldCase(part));
        if (it == key->Subkeys.end())
            return nullptr;
        key = it->second.get();
    }
    return key;
}

// Null when a name cannot be stored.
THiveKey* MakeKey(THiveKey& top, std::string_view path)
{
    const std::vector<std::string_view> parts = SplitKeyPath(path);
    if (!std::all_of(parts.begin(), parts.end(), StorableName))
        return nullptr;
    THiveKey* key = &top;
    for (std::string_view part : parts) {
        std::unique_ptr<THiveKey>& child = key->Subkeys[FoldCase(part)];
        if (!child) {
            child = std::make_unique<THiveKey>();
            child->Name = part;
        }
        key = child.get();
    }
    return key;
}

bool RemoveKey(THiveKey& top, std::string_view path)
{
    std::vector<std::string_view> parts = SplitKeyPath(path);
    if (parts.empty())
        return false;
    const std::string leaf = FoldCase(parts.back());
    parts.pop_back();
    THiveKey* parent = FindKey(top, JoinKeyPath(parts));
    return parent && parent->Subkeys.erase(leaf) > 0;
}

template <typename Key>
auto FindValueIn(Key& key, std::string_view name)
{
    const std::string folded = FoldCase(name);
    return std::find_if(key.Values.begin(), key.Values.end(),
                        [&](const THiveValue& value) { return value.Folded == folded; });
}

void PutValue(THiveKey& key, std::string_view name, TRegData data)
{
    const auto existing = FindValueIn(key, name);
    if (existing != key.Values.end())
        existing->Data = std::move(data);
    else
        key.Values.push_back({std::string(name), FoldCase(name), std::move(data)});
}

bool RemoveValue(THiveKey& key, std::string_view name)
{
    const auto it = FindValueIn(key, name);
    if (it == key.Values.end())
        return false;
    key.Values.erase(it);
    return true;
}

// --- Text form ----------------------------------------------------------------------------

std::string Quote(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// A string the quoted form carries unchanged: one zero at the end, no line break, valid UTF-8.
bool IsPlainText(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty() || bytes.back() != 0)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos && IsValidUtf8(text);
}

// Breaks lines as the registry editor does: a trailing backslash and two spaces of indent.
void AppendHex(std::string& out, std::string line, const std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        char piece[4];
        std::snprintf(piece, sizeof piece, i + 1 < bytes.size() ? "%02x," : "%02x", bytes[i]);
        if (line.size() + std::strlen(piece) + 1 > kHexLineWidth) {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        line += piece;
    }
    out += line;
    out += '\n';
}

void AppendValue(std::string& out, const THiveValue& value)
{
    std::string line = value.Name.empty() ? "@=" : Quote(value.Name) + "=";
    const TRegData& data = value.Data;
    if (data.Type == REG_SZ && IsPlainText(data.Bytes)) {
        out += line + Quote(std::string_view(reinterpret_cast<const char*>(data.Bytes.data()), data.Bytes.size() - 1));
        out += '\n';
    } else if (data.Type == REG_DWORD && data.Bytes.size() == 4) {
        const uint32_t v = data.Bytes[0] | data.Bytes[1] << 8 | data.Bytes[2] << 16 | uint32_t(data.Bytes[3]) << 24;
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x\n", v);
        out += line + text;
    } else {
        char prefix[20] = "hex:";
        if (data.Type != REG_BINARY)
            std::snprintf(prefix, sizeof prefix, "hex(%x):", data.Type);
        AppendHex(out, line + prefix, data.Bytes);
    }
}

void AppendKey(std::string& out, const THiveKey& key, const std::string& path)
{
    out += "\n[" + path + "]\n";
    for (const THiveValue& value : key.Values)
        AppendValue(out, value);
    for (const auto& [folded, child] : key.Subkeys)
        AppendKey(out, *child, path + "\\" + child->Name);
}

class THiveParser {
public:
    THiveParser(std::string_view text, const std::string& source, TRootKey root, THiveKey& top)
        : text_(text), source_(source), root_(root), top_(top)
    {
    }

    void Run()
    {
        if (text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF")) {
            lineNo_ = 1;
            Fail("the file is UTF-16; hives are read as UTF-8");
        }
        if (text_.starts_with("\xEF\xBB\xBF"))
            pos_ = 3;
        if (!ReadHeader())
            return;
        while (NextLine()) {
            const std::string_view line = Trim(line_);
            if (line.empty() || line.front() == ';')
                continue;
            if (line.front() == '[')
                ReadKeyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                ReadValueLine(line);
            else
                Fail("expected a [key] or a value");
        }
    }

private:
    [[noreturn]] void Fail(const std::string& text) const
    {
        Raise("THive.Parse", "\"" + source_ + "\" line " + std::to_string(lineNo_) + ": " + text);
    }

    bool NextLine()
    {
        if (pos_ >= text_.size())
            return false;
        const size_t end = std::min(text_.find('\n', pos_), text_.size());
        line_ = text_.substr(pos_, end - pos_);
        if (line_.ends_with('\r'))
            line_.remove_suffix(1);
        pos_ = end + 1;
        ++lineNo_;
        return true;
    }

    // False for a text of blank lines and comments only.
    bool ReadHeader()
    {
        while (NextLine()) {
            const std::string_view line = Trim(line_);
            if (line.empty() || line.front() == ';')
                continue;
            if (!SameNoCase(line, kHeader4) && !SameNoCase(line, kHeader5))
                Fail("expected the header \"REGEDIT4\"");
            return true;
        }
        return false;
    }

    void ReadKeyLine(std::string_view line)
    {
        if (line.back() != ']')
            Fail("a key line must end with ']'");
        std::string_view path = line.substr(1, line.size() - 2);
        const bool deletion = path.starts_with('-');
        if (deletion)
            path.remove_prefix(1);
        const size_t rootEnd = std::min(path.find('\\'), path.size());
        if (!SameNoCase(path.substr(0, rootEnd), RootName(root_)))
            Fail("the key \"" + std::string(path) + "\" is not under " + std::string(RootName(root_)));
        path.remove_prefix(rootEnd);
        current_ = nullptr;
        if (!deletion)
            current_ = MakeKey(top_, path);
        else if (SplitKeyPath(path).empty())
            Fail("the root key cannot be deleted");
        else
            RemoveKey(top_, path);
    }

    void ReadValueLine(std::string_view line)
    {
        std::string name;
        if (line.front() == '@')
            line.remove_prefix(1);
        else
            name = ReadQuoted(line);
        line = TrimLeft(line);
        if (!line.starts_with('='))
            Fail("expected '=' after the value name");
        line = Trim(line.substr(1));
        if (!current_)
            Fail("a value outside a key");
        if (line == "-") {
            RemoveValue(*current_, name);
            return;
        }
        PutValue(*current_, name, ReadData(line));
    }

    TRegData ReadData(std::string_view line)
    {
        TRegData data;
        if (line.starts_with('"')) {
            const std::string text = ReadQuoted(line);
            if (!Trim(line).empty())
                Fail("unexpected text after the closing quote");
            data.Type = REG_SZ;
            data.Bytes.assign(text.begin(), text.end());
            data.Bytes.push_back(0);
        } else if (StartsWithNoCase(line, "dword:")) {
            data = TRegData::Dword(ReadDword(Trim(line.substr(6))));
        } else if (StartsWithNoCase(line, "hex:")) {
            data.Type = REG_BINARY;
            data.Bytes = ReadHexBytes(line.substr(4));
        } else if (StartsWithNoCase(line, "hex(")) {
            const size_t close = line.find("):");
            if (close == std::string_view::npos)
                Fail("expected hex(type):");
            data.Type = ReadDword(line.substr(4, close - 4));
            data.Bytes = ReadHexBytes(line.substr(close + 2));
        } else {
            Fail("expected a quoted string, dword:, hex: or hex(type):");
        }
        return data;
    }

    uint32_t ReadDword(std::string_view digits) const
    {
        if (digits.empty() || digits.size() > 8)
            Fail("expected 1 to 8 hex digits");
        uint32_t value = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0)
                Fail("expected 1 to 8 hex digits");
            value = value << 4 | uint32_t(HexDigit(c));
        }
        return value;
    }

    // Comma-separated bytes; a line that ends in a backslash continues on the next.
    std::vector<uint8_t> ReadHexBytes(std::string_view s)
    {
        std::vector<uint8_t> bytes;
        for (;;) {
            s = TrimLeft(s);
            if (s.empty())
                return bytes;
            if (s.front() == '\\' && Trim(s.substr(1)).empty()) {
                if (!NextLine())
                    Fail("the hex data continues past the end of the file");
                s = line_;
                continue;
            }
            int value = 0;
            size_t digits = 0;
            for (; digits < 2 && digits < s.size() && HexDigit(s[digits]) >= 0; ++digits)
                value = value << 4 | HexDigit(s[digits]);
            if (digits == 0)
                Fail("expected a hex byte");
            bytes.push_back(uint8_t(value));
            s = TrimLeft(s.substr(digits));
            if (s.starts_with(','))
                s.remove_prefix(1);
            else if (!s.empty() && s.front() != '\\')
                Fail("expected ',' after a hex byte");
        }
    }

    // Reads a quoted name or string from the front of s and removes it. Only \\ and \" are
    // escapes; any other backslash is kept, so that hand-written paths survive.
    std::string ReadQuoted(std::string_view& s) const
    {
        std::string text;
        size_t i = 1;
        for (; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"'))
                ++i;
            text += s[i];
        }
        if (i >= s.size())
            Fail("missing closing quote");
        s.remove_prefix(i + 1);
        return text;
    }

    std::string_view text_;
    const std::string& source_;
    TRootKey root_;
    THiveKey& top_;
    size_t pos_ = 0;
    int lineNo_ = 0;
    std::string_view line_;
    THiveKey* current_ = nullptr; // null before the first key and under a deleted one
};

// --- Files --------------------------------------------------------------------------------

// Serialises the savers of one hive across processes; the lock file sits beside the hive,
// since the hive itself is replaced by each save.
class THiveLock {
public:
    THiveLock(const std::string& fileName, const char* operation)
    {
        const fs::path lockName = FileWriteTarget(fileName) + ".lock";
        std::error_code error;
        if (lockName.has_parent_path())
            fs::create_directories(lockName.parent_path(), error);
        fd_ = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0)
            Raise(operation, "Cannot create the lock \"" + lockName.string() + "\": " + ErrnoText());
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const std::string text = ErrnoText();
                ::close(fd_);
                Raise(operation, "Cannot lock \"" + lockName.string() + "\": " + text);
            }
        }
    }
    ~THiveLock() { ::close(fd_); }
    THiveLock(const THiveLock&) = delete;
    THiveLock& operator=(const THiveLock&) = delete;

private:
    int fd_ = -1;
};

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

// Replaces the hive file whole; the caller holds the lock.
void WriteHiveFile(const std::string& fileName, const std::string& text, const char* operation)
{
    const fs::path target = FileWriteTarget(fileName);
    try {
        if (target.has_parent_path())
            fs::create_directories(target.parent_path());
        WriteFileAtomically(target.string(), text);
    } catch (const EFileWriteError& e) {
        Raise(operation, "Cannot write \"" + e.Path() + "\": " + e.Cause());
    } catch (const fs::filesystem_error& e) {
        Raise(operation, "Cannot write \"" + target.string() + "\": " + e.code().message());
    }
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
        Raise(operation, "Cannot keep the damaged \"" + file.string() + "\" as \"" + kept + "\": " + ErrnoText());
    return kept;
}

// --- Telling the user ---------------------------------------------------------------------

void PrintToStderr(const std::string& message) { std::fprintf(stderr, "lumenfall: %s\n", message.c_str()); }

TRegistryNotifier& Notifier()
{
    static TRegistryNotifier notifier = PrintToStderr;
    return notifier;
}

void Notify(const std::string& message) { Notifier()(message); }

// For conditions every accessor meets again (an unreadable or damaged machine hive).
void NotifyOnce(const std::string& message)
{
    static std::set<std::string> told;
    if (told.insert(message).second)
        Notify(message);
}

// Under the hive's lock: the hive as it is now. A damaged one is set aside, the user told and
// an empty hive returned; one that cannot be read raises, since it must not be replaced.
THive LoadUserHiveLocked(const std::string& fileName, const char* operation)
{
    TLoadedHive loaded = LoadHiveFile(fileName, HKEY_CURRENT_USER, operation);
    if (loaded.Hive)
        return std::move(*loaded.Hive);
    if (!loaded.Damaged)
        throw ERegistryException(loaded.Problem);
    const std::string kept = SetAside(fileName, operation);
    Notify("The settings file \"" + fileName + "\" is damaged and was kept as \"" + kept +
           "\"; the settings start afresh. " + loaded.Problem);
    return THive(HKEY_CURRENT_USER);
}

// Reading never raises: a hive that cannot be had reads as empty and the user is told.
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

fs::path InstallPrefix()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    // Without /proc, the build system's default prefix.
    return error ? fs::path("/usr/local") : executable.parent_path().parent_path();
}

fs::path ConfigHome()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return config;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : ".";
    }
    return fs::path(home) / ".config";
}

std::string DescribeData(const TRegData& data)
{
    static constexpr const char* kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD"};
    const std::string type = data.Type <= REG_DWORD ? kNames[data.Type] : "type " + std::to_string(data.Type);
    return type + " of " + std::to_string(data.Bytes.size()) + " bytes";
}

[[noreturn]] void RaiseInvalidType(const char* operation, std::string_view name, const TRegData& data,
                                   const std::string& expected)
{
    Raise(operation, "Invalid data type for '" + std::string(name) + "': " + DescribeData(data) + ", expected " +
                         expected);
}

} // namespace

// --- TRegData -----------------------------------------------------------------------------

TRegData TRegData::Dword(uint32_t value)
{
    return {REG_DWORD, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

TRegData TRegData::String(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    TRegData data{REG_SZ, std::vector<uint8_t>(text.begin(), text.end())};
    data.Bytes.push_back(0);
    return data;
}

TRegData TRegData::Binary(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {REG_BINARY, std::vector<uint8_t>(bytes, bytes + size)};
}

TRegData TRegData::Float(double value)
{
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    TRegData data{REG_BINARY, std::vector<uint8_t>(8)};
    for (int i = 0; i < 8; ++i)
        data.Bytes[i] = uint8_t(bits >> (8 * i));
    return data;
}

// --- Locations and notification -----------------------------------------------------------

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

// --- THive --------------------------------------------------------------------------------

THive::THive(TRootKey root) : root_(root), top_(std::make_unique<THiveKey>()) {}
THive::~THive() = default;
THive::THive(THive&&) noexcept = default;
THive& THive::operator=(THive&&) noexcept = default;

THive THive::Parse(std::string_view text, TRootKey root, const std::string& source)
{
    THive hive(root);
    THiveParser(text, source, root, *hive.top_).Run();
    return hive;
}

std::string THive::Format() const
{
    std::string out(kHeader4);
    out += '\n';
    AppendKey(out, *top_, std::string(RootName(root_)));
    out += '\n';
    return out;
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

bool THive::KeyExists(std::string_view path) const { return FindKey(*top_, path) != nullptr; }

bool THive::CreateKey(std::string_view path) { return MakeKey(*top_, path) != nullptr; }

bool THive::DeleteKey(std::string_view path) { return RemoveKey(*top_, path); }

const TRegData* THive::FindValue(std::string_view path, std::string_view name) const
{
    const THiveKey* key = FindKey(std::as_const(*top_), path);
    if (!key)
        return nullptr;
    const auto value = FindValueIn(*key, name);
    return value != key->Values.end() ? &value->Data : nullptr;
}

void THive::SetValue(std::string_view path, std::string_view name, TRegData data)
{
    THiveKey* key = MakeKey(*top_, path);
    if (!key || !StorableName(name))
        Raise("THive.SetValue", "Cannot store '" + std::string(name) + "' in \"" + std::string(path) +
                                    "\": names cannot hold line breaks");
    PutValue(*key, name, std::move(data));
}

bool THive::DeleteValue(std::string_view path, std::string_view name)
{
    THiveKey* key = FindKey(*top_, path);
    return key && RemoveValue(*key, name);
}

std::vector<std::string> THive::KeyNames(std::string_view path) const
{
    std::vector<std::string> names;
    if (const THiveKey* key = FindKey(*top_, path))
        for (const auto& [folded, child] : key->Subkeys)
            names.push_back(child->Name);
    return names;
}

std::vector<std::string> THive::ValueNames(std::string_view path) const
{
    std::vector<std::string> names;
    if (const THiveKey* key = FindKey(*top_, path))
        for (const THiveValue& value : key->Values)
            names.push_back(value.Name);
    return names;
}

// --- TRegistry ----------------------------------------------------------------------------

// One change of this accessor, replayed onto the hive as it is on disk when saving.
struct TRegistry::TChange {
    enum TKind { CreateKey, DeleteKey, SetValue, DeleteValue } Kind;
    std::string Path;
    std::string Name;
    TRegData Data;

    void ApplyTo(THive& hive) const
    {
        switch (Kind) {
        case CreateKey: hive.CreateKey(Path); break;
        case DeleteKey: hive.DeleteKey(Path); break;
        case SetValue: hive.SetValue(Path, Name, Data); break;
        case DeleteValue: hive.DeleteValue(Path, Name); break;
        }
    }
};

TRegistry::TRegistry(TRegAccess access) : access_(access) {}

TRegistry::~TRegistry()
{
    try {
        Flush();
    } catch (const std::exception& e) {
        try {
            Notify(std::string("The settings could not be saved. ") + e.what());
        } catch (...) {
            // Nothing is left to tell the user with.
        }
    }
}

void TRegistry::SetRootKey(TRootKey root)
{
    if (root == rootKey_)
        return;
    rootKey_ = root;
    CloseKey();
}

THive& TRegistry::Hive()
{
    std::optional<THive>& hive = hives_[rootKey_];
    if (!hive) {
        const std::string fileName = HiveFileName(rootKey_);
        if (rootKey_ == HKEY_LOCAL_MACHINE) {
            hive = LoadMachineHive(fileName);
        } else {
            hive = LoadUserHive(fileName);
            userHiveFile_ = fileName;
        }
    }
    return *hive;
}

// The open key can vanish: deleted by this accessor or by another process's save.
bool TRegistry::CurrentKeyExists() { return keyOpen_ && Hive().KeyExists(currentPath_); }

std::string TRegistry::ResolvePath(std::string_view key) const
{
    std::vector<std::string_view> parts = SplitKeyPath(key);
    if (!key.starts_with('\\') && keyOpen_) {
        std::vector<std::string_view> base = SplitKeyPath(currentPath_);
        parts.insert(parts.begin(), base.begin(), base.end());
    }
    return JoinKeyPath(parts);
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate)
{
    if (!key.starts_with('\\') && keyOpen_ && !CurrentKeyExists())
        return false;
    std::string path = ResolvePath(key);
    if (!Hive().KeyExists(path)) {
        if (!canCreate || rootKey_ == HKEY_LOCAL_MACHINE || !Hive().CreateKey(path))
            return false;
        changes_.push_back({TChange::CreateKey, path, {}, {}});
    }
    keyOpen_ = true;
    currentPath_ = std::move(path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key)
{
    if (!OpenKey(key, false))
        return false;
    access_ = KEY_READ;
    return true;
}

void TRegistry::CloseKey()
{
    keyOpen_ = false;
    currentPath_.clear();
    Flush();
}

void TRegistry::Flush()
{
    if (changes_.empty())
        return;
    THiveLock lock(userHiveFile_, "TRegistry.Flush");
    THive current = LoadUserHiveLocked(userHiveFile_, "TRegistry.Flush");
    for (const TChange& change : changes_)
        change.ApplyTo(current);
    WriteHiveFile(userHiveFile_, current.Format(), "TRegistry.Flush");
    hives_[HKEY_CURRENT_USER] = std::move(current);
    changes_.clear();
}

bool TRegistry::KeyExists(std::string_view key) { return Hive().KeyExists(ResolvePath(key)); }

bool TRegistry::ValueExists(std::string_view name) { return FindData(name) != nullptr; }

bool TRegistry::DeleteKey(std::string_view key)
{
    const std::string path = ResolvePath(key);
    if (rootKey_ == HKEY_LOCAL_MACHINE || !Hive().DeleteKey(path))
        return false;
    changes_.push_back({TChange::DeleteKey, path, {}, {}});
    return true;
}

bool TRegistry::DeleteValue(std::string_view name)
{
    if (!keyOpen_ || access_ == KEY_READ || rootKey_ == HKEY_LOCAL_MACHINE ||
        !Hive().DeleteValue(currentPath_, name))
        return false;
    changes_.push_back({TChange::DeleteValue, currentPath_, std::string(name), {}});
    return true;
}

std::vector<std::string> TRegistry::GetKeyNames()
{
    return keyOpen_ ? Hive().KeyNames(currentPath_) : std::vector<std::string>();
}

std::vector<std::string> TRegistry::GetValueNames()
{
    return keyOpen_ ? Hive().ValueNames(currentPath_) : std::vector<std::string>();
}

TRegDataType TRegistry::GetDataType(std::string_view name)
{
    const TRegData* data = FindData(name);
    switch (data ? data->Type : REG_NONE) {
    case REG_SZ: return TRegDataType::rdString;
    case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
    case REG_DWORD: return TRegDataType::rdInteger;
    case REG_BINARY: return TRegDataType::rdBinary;
    default: return TRegDataType::rdUnknown;
    }
}

int32_t TRegistry::GetDataSize(std::string_view name)
{
    const TRegData* data = FindData(name);
    return data ? int32_t(data->Bytes.size()) : -1;
}

const TRegData* TRegistry::FindData(std::string_view name)
{
    return keyOpen_ ? Hive().FindValue(currentPath_, name) : nullptr;
}

const TRegData& TRegistry::ReadData(const char* operation, std::string_view name)
{
    const TRegData* data = FindData(name);
    if (!data)
        Raise(operation, "Failed to get data for '" + std::string(name) + "': " +
                             (keyOpen_ ? "no such value in \"" + currentPath_ + "\"" : std::string("no key is open")));
    return *data;
}

const char* TRegistry::WriteRefusal(std::string_view name)
{
    if (!keyOpen_)
        return "no key is open";
    if (rootKey_ == HKEY_LOCAL_MACHINE)
        return "the machine hive is read-only";
    if (access_ == KEY_READ)
        return "the registry is open for reading only";
    if (!StorableName(name))
        return "names cannot hold line breaks";
    if (!CurrentKeyExists())
        return "the key no longer exists";
    return nullptr;
}

void TRegistry::WriteData(const char* operation, std::string_view name, TRegData data)
{
    if (const char* refusal = WriteRefusal(name))
        Raise(operation, "Failed to set data for '" + std::string(name) + "': " + refusal);
    Hive().SetValue(currentPath_, name, data);
    changes_.push_back({TChange::SetValue, currentPath_, std::string(name), std::move(data)});
}

int32_t TRegistry::ReadInteger(std::string_view name)
{
    const TRegData& data = ReadData("TRegistry.ReadInteger", name);
    if (data.Type != REG_DWORD || data.Bytes.size() != 4)
        RaiseInvalidType("TRegistry.ReadInteger", name, data, "REG_DWORD of 4 bytes");
    const auto& b = data.Bytes;
    return int32_t(b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24);
}

void TRegistry::WriteInteger(std::string_view name, int32_t value)
{
    WriteData("TRegistry.WriteInteger", name, TRegData::Dword(uint32_t(value)));
}

bool TRegistry::ReadBool(std::string_view name) { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(std::string_view name, bool value)
{
    WriteData("TRegistry.WriteBool", name, TRegData::Dword(value ? 1 : 0));
}

std::string TRegistry::ReadString(std::string_view name)
{
    const TRegData* data = FindData(name);
    if (!data || data->Bytes.empty())
        return {};
    if (data->Type != REG_SZ && data->Type != REG_EXPAND_SZ)
        RaiseInvalidType("TRegistry.ReadString", name, *data, "REG_SZ");
    const auto end = std::find(data->Bytes.begin(), data->Bytes.end(), 0);
    return std::string(data->Bytes.begin(), end);
}

void TRegistry::WriteString(std::string_view name, std::string_view value)
{
    WriteData("TRegistry.WriteString", name, TRegData::String(value));
}

double TRegistry::ReadFloat(std::string_view name)
{
    const TRegData& data = ReadData("TRegistry.ReadFloat", name);
    if (data.Type != REG_BINARY || data.Bytes.size() != 8)
        RaiseInvalidType("TRegistry.ReadFloat", name, data, "REG_BINARY of 8 bytes");
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | data.Bytes[i];
    return std::bit_cast<double>(bits);
}

void TRegistry::WriteFloat(std::string_view name, double value)
{
    WriteData("TRegistry.WriteFloat", name, TRegData::Float(value));
}

size_t TRegistry::ReadBinaryData(std::string_view name, void* buffer, size_t bufferSize)
{
    const TRegData& data = ReadData("TRegistry.ReadBinaryData", name);
    if ((data.Type != REG_BINARY && data.Type != REG_NONE) || data.Bytes.size() > bufferSize)
        RaiseInvalidType("TRegistry.ReadBinaryData", name, data,
                         "REG_BINARY or REG_NONE of at most " + std::to_string(bufferSize) + " bytes");
    if (!data.Bytes.empty())
        std::memcpy(buffer, data.Bytes.data(), data.Bytes.size());
    return data.Bytes.size();
}

void TRegistry::WriteBinaryData(std::string_view name, const void* data, size_t size)
{
    WriteData("TRegistry.WriteBinaryData", name, TRegData::Binary(data, size));
}
