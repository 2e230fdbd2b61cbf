#include "persistence/RegistryPropertyBag.h"

#include <utility>

namespace {

[[noreturn]] void Raise(const char* operation, const std::string& text)
{
    throw EPropertyBagError(std::string("TRegistryPropertyBag.") + operation + " : " + text);
}

std::string AbsolutePath(const std::string& path) { return "\\" + path; }

} // namespace

TRegistryPropertyBag::TRegistryPropertyBag(TRootKey root, std::string keyPath) : keyPath_(std::move(keyPath))
{
    registry_.SetRootKey(root);
}

bool TRegistryPropertyBag::OpenBag(TBagAccess access)
{
    if (sections_.size() > 1)
        return access_ == access;
    access_.reset();
    sections_.clear();
    const bool writing = access == TBagAccess::Write;
    if (writing && registry_.RootKey() == HKEY_LOCAL_MACHINE)
        return false;
    registry_.SetAccess(writing ? KEY_ALL_ACCESS : KEY_READ);
    if (!registry_.OpenKey(AbsolutePath(keyPath_), writing))
        return false;
    access_ = access;
    sections_.push_back({keyPath_, {}, 0});
    return true;
}

std::string TRegistryPropertyBag::NextReadSection()
{
    static constexpr const char* operation = "NextReadSection";
    CheckOpen(operation, TBagAccess::Read);
    TSection& parent = sections_.back();
    if (!parent.Children)
        parent.Children = registry_.GetKeyNames();
    if (parent.NextChild >= parent.Children->size())
        Raise(operation, "no further section in \"" + parent.Path + "\"");
    std::string name = (*parent.Children)[parent.NextChild++];
    EnterSection(operation, ChildPath(operation, name), false);
    return name;
}

void TRegistryPropertyBag::OpenReadSection(const std::string& name)
{
    static constexpr const char* operation = "OpenReadSection";
    CheckOpen(operation, TBagAccess::Read);
    EnterSection(operation, ChildPath(operation, name), false);
}

void TRegistryPropertyBag::CloseReadSection() { LeaveSection("CloseReadSection"); }

void TRegistryPropertyBag::OpenWriteSection(const std::string& name)
{
    static constexpr const char* operation = "OpenWriteSection";
    CheckOpen(operation, TBagAccess::Write);
    EnterSection(operation, ChildPath(operation, name), true);
}

void TRegistryPropertyBag::CloseWriteSection() { LeaveSection("CloseWriteSection"); }

void TRegistryPropertyBag::ReadData(const std::string& name, std::span<std::byte> buffer)
{
    static constexpr const char* operation = "ReadData";
    CheckOpen(operation, TBagAccess::Read);
    if (!registry_.ValueExists(name))
        Raise(operation, "no entry \"" + name + "\" in \"" + sections_.back().Path + "\"");
    if (registry_.GetDataType(name) != TRegDataType::rdBinary ||
        registry_.GetDataSize(name) != int32_t(buffer.size()))
        Raise(operation, "the entry \"" + name + "\" in \"" + sections_.back().Path + "\" is not binary data of " +
                             std::to_string(buffer.size()) + " bytes");
    registry_.ReadBinaryData(name, buffer.data(), buffer.size());
}

void TRegistryPropertyBag::WriteData(const std::string& name, std::span<const std::byte> data)
{
    static constexpr const char* operation = "WriteData";
    CheckOpen(operation, TBagAccess::Write);
    try {
        registry_.WriteBinaryData(name, data.data(), data.size());
    } catch (const ERegistryException& e) {
        Raise(operation, e.Message());
    }
}

std::string TRegistryPropertyBag::ReadString(const std::string& name)
{
    static constexpr const char* operation = "ReadString";
    CheckOpen(operation, TBagAccess::Read);
    if (!registry_.ValueExists(name))
        Raise(operation, "no entry \"" + name + "\" in \"" + sections_.back().Path + "\"");
    if (registry_.GetDataType(name) != TRegDataType::rdString)
        Raise(operation, "the entry \"" + name + "\" in \"" + sections_.back().Path + "\" is not text");
    return registry_.ReadString(name);
}

void TRegistryPropertyBag::WriteString(const std::string& name, const std::string& text)
{
    static constexpr const char* operation = "WriteString";
    CheckOpen(operation, TBagAccess::Write);
    try {
        registry_.WriteString(name, text);
    } catch (const ERegistryException& e) {
        Raise(operation, e.Message());
    }
}

void TRegistryPropertyBag::Flush() { registry_.Flush(); }

std::string TRegistryPropertyBag::ChildPath(const char* operation, const std::string& name) const
{
    // A separator would reach another key, an empty name the section itself.
    if (name.empty() || name.find('\\') != std::string::npos)
        Raise(operation, "\"" + name + "\" cannot name a section");
    return sections_.back().Path + "\\" + name;
}

void TRegistryPropertyBag::EnterSection(const char* operation, std::string path, bool create)
{
    if (create) {
        // Replaced whole: nothing of an earlier object written here may remain.
        registry_.DeleteKey(AbsolutePath(path));
        if (!registry_.OpenKey(AbsolutePath(path), true))
            Raise(operation, "the section \"" + path + "\" cannot be created");
    } else if (!registry_.OpenKey(AbsolutePath(path), false)) {
        Raise(operation, "no section \"" + path + "\"");
    }
    sections_.push_back({std::move(path), {}, 0});
}

void TRegistryPropertyBag::LeaveSection(const char* operation)
{
    if (sections_.size() < 2)
        Raise(operation, "no section is open");
    sections_.pop_back();
    OpenCurrentKey(operation);
}

void TRegistryPropertyBag::OpenCurrentKey(const char* operation)
{
    if (!registry_.OpenKey(AbsolutePath(sections_.back().Path), false))
        Raise(operation, "the section \"" + sections_.back().Path + "\" no longer exists");
}

void TRegistryPropertyBag::CheckOpen(const char* operation, TBagAccess access) const
{
    if (!access_ || sections_.empty())
        Raise(operation, "the bag is not open");
    if (*access_ != access)
        Raise(operation, access == TBagAccess::Read ? "the bag is open for writing" : "the bag is open for reading");
}
