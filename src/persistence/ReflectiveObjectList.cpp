#include "persistence/ReflectiveObjectList.h"

#include "persistence/PropertyBag.h"

#include <array>
#include <cstdio>

namespace {

const TReflectiveClassRegistration<TReflectiveObjectList> objectListRegistration;

std::string ItemSectionName(int index)
{
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "Item%08X", unsigned(index));
    return buffer.data();
}

} // namespace

void TReflectiveObjectList::DeclareProperties(TPropertyDeclarer<TReflectiveObjectList>&) {}

TReflectiveObjectList::~TReflectiveObjectList() = default;

int TReflectiveObjectList::Add(std::unique_ptr<TReflectivePersistent> item)
{
    items_.push_back(std::move(item));
    return Count() - 1;
}

TReflectivePersistent* TReflectiveObjectList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EReflectivePersistentError(ClassName() + ".Items : List index out of bounds (" + std::to_string(index) +
                                         ")");
    return items_[size_t(index)].get();
}

void TReflectiveObjectList::AssignInner(const TReflectivePersistent& source)
{
    const auto* list = dynamic_cast<const TReflectiveObjectList*>(&source);
    if (list == nullptr)
        throw EReflectivePersistentError(ClassName() + ".AssignInner : Cannot assign a " + source.ClassName() +
                                         " to a " + ClassName());
    // Cloned before the old items go, so that a list assigned from itself keeps its items.
    std::vector<std::unique_ptr<TReflectivePersistent>> clones;
    for (const auto& item : list->items_)
        clones.push_back(item == nullptr ? nullptr : item->Clone());
    items_ = std::move(clones);
}

void TReflectiveObjectList::ReadInnerProperties(TPropertyBag& bag)
{
    TBagSection section = TBagSection::Read(bag, "_Items");
    const int32_t count = bag.ReadInt32("Count");
    Clear();
    for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TReflectivePersistent> item;
        bag.ReadNamedObject(ItemSectionName(i), item);
        Add(std::move(item));
    }
    section.Close();
}

void TReflectiveObjectList::WriteInnerProperties(TPropertyBag& bag) const
{
    TBagSection section = TBagSection::Write(bag, "_Items");
    bag.WriteInt32("Count", Count());
    for (int i = 0; i < Count(); ++i)
        bag.WriteNamedObject(ItemSectionName(i), items_[size_t(i)].get());
    section.Close();
}
