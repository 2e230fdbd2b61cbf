#pragma once
// A property bag kept in the registry under one key: sections are subkeys, Int32 and
// 8-byte entries are REG_BINARY values of their size, text entries REG_SZ values.
//
//   TRegistryPropertyBag bag(HKEY_CURRENT_USER, "Software\\Quenwick\\ORBX\\Sequences");
//   bag.WriteObject(&list);
//   bag.Flush();
//
// A section written replaces the subkey of that name whole, so that an object written
// over an older one leaves none of the older one's sections behind. NextReadSection
// enumerates the subkeys of the current section in the registry's order (names compared
// case-insensitively). Entries that are missing, of the wrong type or size, and sections
// that are missing raise EPropertyBagError naming the entry or section.

#include "platform/Registry.h"
#include "persistence/ReflectionObjects.h"

#include <optional>
#include <string>
#include <vector>

class TRegistryPropertyBag : public TPropertyBag {
public:
    // keyPath is relative to the root. Nothing is opened before the first OpenBag.
    TRegistryPropertyBag(TRootKey root, std::string keyPath);

    // Opening for writing creates the key (the machine hive refuses); opening for reading
    // needs the key to exist. Inside an object being read or written the bag is open
    // already and only the access must agree.
    bool OpenBag(TBagAccess access) override;
    std::string NextReadSection() override;
    void OpenReadSection(const std::string& name) override;
    void CloseReadSection() override;
    void OpenWriteSection(const std::string& name) override;
    void CloseWriteSection() override;
    void ReadData(const std::string& name, std::span<std::byte> buffer) override;
    void WriteData(const std::string& name, std::span<const std::byte> data) override;
    std::string ReadString(const std::string& name) override;
    void WriteString(const std::string& name, const std::string& text) override;

    // Saves what was written to the hive file; raises ERegistryException when that fails.
    // Unsaved changes are also saved when the bag is destroyed.
    void Flush();

private:
    struct TSection {
        std::string Path;
        // Filled by the first NextReadSection in this section.
        std::optional<std::vector<std::string>> Children;
        size_t NextChild = 0;
    };

    std::string ChildPath(const char* operation, const std::string& name) const;
    void EnterSection(const char* operation, std::string path, bool create);
    void LeaveSection(const char* operation);
    // Reopens the current section's key; the registry has one open key at a time.
    void OpenCurrentKey(const char* operation);
    void CheckOpen(const char* operation, TBagAccess access) const;

    TRegistry registry_;
    std::string keyPath_;
    std::optional<TBagAccess> access_;
    // The bag's own key first, then the open sections.
    std::vector<TSection> sections_;
};
