#pragma once
// The settings registry. Two hives, the machine's (written only by the installer) and the
// user's, each kept in a text file in the registry editor's export format (REGEDIT4, UTF-8),
// and TRegistry, the accessor the settings code talks to, shaped like the platform library's
// registry class so that its callers read the way they would there.
//
// Key and value names are case-insensitive and case-preserving. Key paths are separated by
// "\"; TRegistry takes a path that starts with "\" from the root and any other path relative
// to the open key.

#include "util/Exception.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

LUMENFALL_DECLARE_EXCEPTION(ERegistryException, Exception);

enum TRootKey : uint8_t { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

// KEY_READ refuses every change of a value; keys can still be created and deleted in the user
// hive, as the platform allows with a read handle.
enum TRegAccess : uint8_t { KEY_READ, KEY_ALL_ACCESS };

// What GetDataType reports; every type other than these four (and a missing value) is rdUnknown.
enum class TRegDataType : uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// Value types as stored in a hive; any other number is kept as it is.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

// One value's type and bytes. Strings are UTF-8 with a terminating zero, numbers little-endian.
struct TRegData {
    uint32_t Type = REG_NONE;
    std::vector<uint8_t> Bytes;

    static TRegData Dword(uint32_t value);
    // The text ends at its first zero character, as a string handed to the platform does.
    static TRegData String(std::string_view text);
    static TRegData Binary(const void* data, size_t size);
    // An IEEE double in 8 bytes of REG_BINARY.
    static TRegData Float(double value);

    bool operator==(const TRegData&) const = default;
};

// The file holding a root's hive: $LUMENFALL_MACHINE_HIVE / $LUMENFALL_USER_HIVE when set;
// otherwise share/lumenfall/machine.reg under the installation prefix (the folder above the
// executable's) and lumenfall/user.reg under $XDG_CONFIG_HOME (default ~/.config).
std::string HiveFileName(TRootKey root);

// Receives what the user must be told: a damaged hive set aside, settings that could not be
// read or saved. The default prints to stderr; the windowing layer routes it to a message box.
// Returns the previous receiver; an empty one restores the default.
using TRegistryNotifier = std::function<void(const std::string& message)>;
TRegistryNotifier SetRegistryNotifier(TRegistryNotifier notifier);

struct THiveKey;

// One root's tree of keys and values in memory, with its text form and its file. Tools such as
// the installer build and save hives with it; TRegistry loads and saves through it.
// Paths are relative to the root; empty components are ignored.
class THive {
public:
    explicit THive(TRootKey root);
    ~THive();
    THive(THive&&) noexcept;
    THive& operator=(THive&&) noexcept;

    TRootKey Root() const { return root_; }

    // Reads the export format; a text that does not parse raises ERegistryException naming the
    // source and the line. Text without any line is an empty hive.
    static THive Parse(std::string_view text, TRootKey root, const std::string& source);
    // Deterministic: keys in case-insensitive order, each key's values in the order they were
    // first set; strings that cannot stand on one quoted line are written as hex(1).
    std::string Format() const;

    // A missing file is an empty hive; an unreadable or damaged one raises ERegistryException.
    static THive LoadFromFile(const std::string& fileName, TRootKey root);
    // Replaces the file whole (temporary file, flush, rename) under the advisory lock that
    // savers of the registry take, creating its folder when needed.
    void SaveToFile(const std::string& fileName) const;

    bool KeyExists(std::string_view path) const;
    // Creates the key and its missing parents; false when a name holds a line break.
    bool CreateKey(std::string_view path);
    // With all subkeys; false when the key is missing or is the root.
    bool DeleteKey(std::string_view path);
    // Null when the key or the value is missing.
    const TRegData* FindValue(std::string_view path, std::string_view name) const;
    // Creates the key when missing. A value keeps its place and its spelling when overwritten.
    // A name with a line break raises ERegistryException.
    void SetValue(std::string_view path, std::string_view name, TRegData data);
    bool DeleteValue(std::string_view path, std::string_view name);
    // Case-insensitive order.
    std::vector<std::string> KeyNames(std::string_view path) const;
    // The order in which the values were first set.
    std::vector<std::string> ValueNames(std::string_view path) const;

private:
    TRootKey root_;
    std::unique_ptr<THiveKey> top_;
};

// Accessor of the registry. A missing value or one of the wrong type or size raises
// ERegistryException naming the value. Changes are saved to the user hive when the key is
// closed, the root changes, Flush is called or the accessor is destroyed; a save first re-reads
// the hive under its lock and applies this accessor's changes to what it finds, so that
// accessors in other processes lose nothing. The machine hive is never written.
class TRegistry {
public:
    explicit TRegistry(TRegAccess access = KEY_ALL_ACCESS);
    // Saves pending changes; a failure goes to the notifier, since a destructor cannot raise.
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRootKey RootKey() const { return rootKey_; }
    // Changing the root closes the open key (and so saves).
    void SetRootKey(TRootKey root);
    TRegAccess Access() const { return access_; }
    void SetAccess(TRegAccess access) { access_ = access; }
    // The open key's path from the root, without a leading "\"; empty for the root or no key.
    const std::string& CurrentPath() const { return currentPath_; }

    // False when the key is missing and cannot be created (canCreate false, the machine hive,
    // a name with a line break); the open key then stays as it was.
    bool OpenKey(std::string_view key, bool canCreate);
    // Opens an existing key and sets the access to KEY_READ.
    bool OpenKeyReadOnly(std::string_view key);
    // Raises ERegistryException when the changes cannot be saved; the key is closed anyway and
    // the changes stay pending.
    void CloseKey();
    void Flush();

    bool KeyExists(std::string_view key);
    bool ValueExists(std::string_view name);
    // With all subkeys; false when missing, the root, or in the machine hive.
    bool DeleteKey(std::string_view key);
    // False when missing, with KEY_READ, or in the machine hive.
    bool DeleteValue(std::string_view name);
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();
    TRegDataType GetDataType(std::string_view name);
    // Bytes stored (strings count their terminating zero); -1 for a missing value.
    int32_t GetDataSize(std::string_view name);

    // REG_DWORD of 4 bytes.
    int32_t ReadInteger(std::string_view name);
    void WriteInteger(std::string_view name, int32_t value);
    // REG_DWORD; any non-zero number reads true, true writes 1.
    bool ReadBool(std::string_view name);
    void WriteBool(std::string_view name, bool value);
    // REG_SZ or REG_EXPAND_SZ (not expanded); a missing or empty value reads as "".
    std::string ReadString(std::string_view name);
    void WriteString(std::string_view name, std::string_view value);
    // REG_BINARY of exactly 8 bytes holding a little-endian IEEE double.
    double ReadFloat(std::string_view name);
    void WriteFloat(std::string_view name, double value);
    // REG_BINARY or REG_NONE of at most bufferSize bytes, copied to the start of the buffer;
    // returns the number of bytes. A missing value raises too.
    size_t ReadBinaryData(std::string_view name, void* buffer, size_t bufferSize);
    void WriteBinaryData(std::string_view name, const void* data, size_t size);

private:
    struct TChange;

    THive& Hive();
    bool CurrentKeyExists();
    std::string ResolvePath(std::string_view key) const;
    const TRegData* FindData(std::string_view name);
    const TRegData& ReadData(const char* operation, std::string_view name);
    // Why a value cannot be set in the open key, or null.
    const char* WriteRefusal(std::string_view name);
    void WriteData(const char* operation, std::string_view name, TRegData data);

    TRootKey rootKey_ = HKEY_CURRENT_USER;
    TRegAccess access_;
    bool keyOpen_ = false;
    std::string currentPath_;
    std::optional<THive> hives_[2];
    std::string userHiveFile_;
    std::vector<TChange> changes_;
};
