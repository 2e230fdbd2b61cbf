#include "platform/Registry.h"

#include "platform/HiveFile.h"
#include "platform/HiveTree.h"

#include <cstring>
#include <utility>

namespace {

std::string DescribeData(const TRegData& data)
{
    static constexpr const char* kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD"};
    const std::string type = data.Type <= REG_DWORD ? kNames[data.Type] : "type " + std::to_string(data.Type);
    return type + " of " + std::to_string(data.Bytes.size()) + " bytes";
}

[[noreturn]] void RaiseInvalidType(const char* operation, std::string_view name, const TRegData& data,
                                   const std::string& expected)
{
    RaiseRegistryError(operation, "Invalid data type for '" + std::string(name) + "': " + DescribeData(data) +
                       ", expected " + expected);
}

} // namespace

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
            NotifyUser(std::string("The settings could not be saved. ") + e.what());
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
        RaiseRegistryError(operation, "Failed to get data for '" + std::string(name) + "': " +
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
        RaiseRegistryError(operation, "Failed to set data for '" + std::string(name) + "': " + refusal);
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
