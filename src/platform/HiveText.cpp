#include "platform/HiveText.h"

#include "platform/HiveTree.h"
#include "util/AsciiCase.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineWidth = 80;

bool IsValidUtf8(std::string_view s)
{
    const bool ascii = std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii || QString::fromUtf8(s.data(), qsizetype(s.size())).toStdString() == s;
}

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
        RaiseRegistryError("THive.Parse", "\"" + source_ + "\" line " + std::to_string(lineNo_) + ": " + text);
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
        if (!SameNoCase(path.substr(0, rootEnd), RootKeyName(root_)))
            Fail("the key \"" + std::string(path) + "\" is not under " + std::string(RootKeyName(root_)));
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

} // namespace

void ParseHiveText(std::string_view text, const std::string& source, TRootKey root, THiveKey& top)
{
    THiveParser(text, source, root, top).Run();
}

std::string FormatHiveText(const THiveKey& top, TRootKey root)
{
    std::string out(kHeader4);
    out += '\n';
    AppendKey(out, top, std::string(RootKeyName(root)));
    out += '\n';
    return out;
}
