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

TReflectiveObjectList::~TReflectiveObjectList() { Clear(); }

int TReflectiveObjectList::Add(TReflectivePersistent* item)
{
    items_.push_back(item);
    return Count() - 1;
}

void TReflectiveObjectList::Clear()
{
    std::vector<TReflectivePersistent*> items;
    items.swap(items_);
    if (ownsObjects_) {
        for (TReflectivePersistent* item : items)
            delete item;
    }
}

TReflectivePersistent* TReflectiveObjectList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EReflectivePersistentError(ClassName() + ".Items : List index out of bounds (" + std::to_string(index) +
                                         ")");
    return items_[size_t(index)];
}

void TReflectiveObjectList::CheckOwnsObjects(const char* operation) const
{
    if (!ownsObjects_)
        throw EReflectivePersistentError(ClassName() + "." + operation + " : the list does not own its objects");
}

void TReflectiveObjectList::AddOwned(std::unique_ptr<TReflectivePersistent> item)
{
    items_.push_back(item.get());
    item.release();
}

void TReflectiveObjectList::AssignInner(const TReflectivePersistent& source)
{
    const auto* list = dynamic_cast<const TReflectiveObjectList*>(&source);
    if (list == nullptr)
        throw EReflectivePersistentError(ClassName() + ".AssignInner : Cannot assign a " + source.ClassName() +
                                         " to a " + ClassName());
    CheckOwnsObjects("AssignInner");
    Clear();
    for (TReflectivePersistent* item : list->items_)
        AddOwned(item == nullptr ? nullptr : item->Clone());
}

void TReflectiveObjectList::ReadInnerProperties(TPropertyBag& bag)
{
    CheckOwnsObjects("ReadInnerProperties");
    TBagSection section = TBagSection::Read(bag, "_Items");
    const int32_t count = bag.ReadInt32("Count");
    Clear();
    for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TReflectivePersistent> item;
        bag.ReadNamedObject(ItemSectionName(i), item);
        AddOwned(std::move(item));
    }
    section.Close();
}

void TReflectiveObjectList::WriteInnerProperties(TPropertyBag& bag) const
{
    TBagSection section = TBagSection::Write(bag, "_Items");
    bag.WriteInt32("Count", Count());
    for (int i = 0; i < Count(); ++i)
        bag.WriteNamedObject(ItemSectionName(i), items_[size_t(i)]);
    section.Close();
}
