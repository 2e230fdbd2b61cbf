#pragma once
// The registry editor's export format (REGEDIT4): the text form of a hive's tree.

#include "platform/Registry.h"

#include <string>
#include <string_view>

struct THiveKey;

// Applies the text's keys and values (and its deletions) to top; raises ERegistryException
// naming the source and the line when the text does not parse.
void ParseHiveText(std::string_view text, const std::string& source, TRootKey root, THiveKey& top);
// Keys in case-insensitive order, each key's values in the order they were first set.
std::string FormatHiveText(const THiveKey& top, TRootKey root);
