#pragma once
// A persistable list of reflective objects.

#include "persistence/ReflectiveClasses.h"

// A persistable list of reflective objects. While OwnsObjects is set (the default), Clear
// and the list's destruction free the items; a list that does not own its items refuses
// to be assigned or read, since the copies it would make had no owner.
class TReflectiveObjectList : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TReflectiveObjectList, TReflectivePersistent)

    TReflectiveObjectList() = default;
    ~TReflectiveObjectList() override;

    // Appends the item (null allowed) and returns its index.
    int Add(TReflectivePersistent* item);
    void Clear();
    int Count() const { return int(items_.size()); }
    TReflectivePersistent* Items(int index) const;
    bool OwnsObjects() const { return ownsObjects_; }
    void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }

    // The items become clones of the source's items, in order.
    void AssignInner(const TReflectivePersistent& source) override;
    // Section "_Items": "Count" and one named object per item, "Item" + eight upper-case
    // hexadecimal digits of its index.
    void ReadInnerProperties(TPropertyBag& bag) override;
    void WriteInnerProperties(TPropertyBag& bag) const override;

private:
    void CheckOwnsObjects(const char* operation) const;
    void AddOwned(std::unique_ptr<TReflectivePersistent> item);

    std::vector<TReflectivePersistent*> items_;
    bool ownsObjects_ = true;
};
