#pragma once
// The registry's tree of keys and values in memory, shared by the text form, the files and
// the accessor. Names are case-insensitive and case-preserving: each key and value keeps its
// spelling and is found by its folded name.

#include "platform/Registry.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

[[noreturn]] void RaiseRegistryError(const char* operation, const std::string& text);

std::string_view RootKeyName(TRootKey root);

// Upper case, as the registry compares names, so that keys enumerate in the platform's order.
std::string FoldCase(std::string_view name);

// A name must fit on one line of the file.
inline bool StorableName(std::string_view name) { return name.find_first_of("\r\n") == std::string_view::npos; }

// The components of a "\"-separated path; empty ones are dropped.
std::vector<std::string_view> SplitKeyPath(std::string_view path);
std::string JoinKeyPath(const std::vector<std::string_view>& parts);

// Key is THiveKey or const THiveKey; null when a key on the path is missing.
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

// Creates the missing keys of the path; null when a name cannot be stored.
THiveKey* MakeKey(THiveKey& top, std::string_view path);
bool RemoveKey(THiveKey& top, std::string_view path);

template <typename Key>
auto FindValueIn(Key& key, std::string_view name)
{
    const std::string folded = FoldCase(name);
    return std::find_if(key.Values.begin(), key.Values.end(),
                        [&](const THiveValue& value) { return value.Folded == folded; });
}

// An existing value keeps its place and its spelling.
void PutValue(THiveKey& key, std::string_view name, TRegData data);
bool RemoveValue(THiveKey& key, std::string_view name);
