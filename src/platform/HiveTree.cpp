#include "platform/HiveTree.h"

#include "platform/HiveText.h"
#include "util/AsciiCase.h"

#include <QString>

#include <bit>
#include <utility>

namespace {

bool IsAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void RaiseRegistryError(const char* operation, const std::string& text)
{
    throw ERegistryException(std::string(operation) + " : " + text);
}

std::string_view RootKeyName(TRootKey root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// ASCII names fold as every other name comparison does; others fold by Unicode's rules.
std::string FoldCase(std::string_view name)
{
    if (!IsAscii(name))
        return QString::fromUtf8(name.data(), qsizetype(name.size())).toUpper().toStdString();
    return AsciiUpperCase(name);
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

// --- THive --------------------------------------------------------------------------------

THive::THive(TRootKey root) : root_(root), top_(std::make_unique<THiveKey>()) {}
THive::~THive() = default;
THive::THive(THive&&) noexcept = default;
THive& THive::operator=(THive&&) noexcept = default;

THive THive::Parse(std::string_view text, TRootKey root, const std::string& source)
{
    THive hive(root);
    ParseHiveText(text, source, root, *hive.top_);
    return hive;
}

std::string THive::Format() const { return FormatHiveText(*top_, root_); }

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
        RaiseRegistryError("THive.SetValue", "Cannot store '" + std::string(name) + "' in \"" + std::string(path) +
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
