#pragma once
// A persistable list of reflective objects.

#include "persistence/ReflectiveClasses.h"

#include <memory>
#include <vector>

// Owns its items (null items allowed): Clear and the list's destruction free them. Code
// that refers to objects owned elsewhere keeps a plain view (a vector of pointers) instead.
class TReflectiveObjectList : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TReflectiveObjectList, TReflectivePersistent)

    TReflectiveObjectList() = default;
    ~TReflectiveObjectList() override;

    // Appends the item and returns its index.
    int Add(std::unique_ptr<TReflectivePersistent> item);
    void Clear() { items_.clear(); }
    int Count() const { return int(items_.size()); }
    // Raises EReflectivePersistentError outside 0 to Count() - 1.
    TReflectivePersistent* Items(int index) const;

    // The items become clones of the source's items, in order.
    void AssignInner(const TReflectivePersistent& source) override;
    // Section "_Items": "Count" and one named object per item, "Item" + eight upper-case
    // hexadecimal digits of its index.
    void ReadInnerProperties(TPropertyBag& bag) override;
    void WriteInnerProperties(TPropertyBag& bag) const override;

private:
    std::vector<std::unique_ptr<TReflectivePersistent>> items_;
};
