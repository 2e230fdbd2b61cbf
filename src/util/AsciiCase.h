#pragma once
// The one case-insensitive comparison of names (registry keys and values, reflective classes and
// properties, preset names, file extensions, wildcards, command-line switches).
//
// Only ASCII letters fold, and they fold to upper case: that is how the registry orders its keys,
// so lists sorted here enumerate in the registry's order. The folding matters for ordering: the
// six characters between 'Z' and 'a' ("[\]^_`") sort after the letters when folding up and
// before them when folding down. Bytes of 0x80 and above compare as unsigned bytes, unchanged,
// and never depend on the C locale.

#include <cstddef>
#include <string>
#include <string_view>

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string AsciiUpperCase(std::string_view text);

// Negative, zero or positive as a sorts before, with or after b.
int CompareNoCase(std::string_view a, std::string_view b);

inline bool SameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && SameNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Ordering for sorted containers and searches; transparent, so lookups take any string view.
struct TNoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};
