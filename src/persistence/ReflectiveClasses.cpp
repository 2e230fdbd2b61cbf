#include "persistence/ReflectiveClasses.h"

#include "util/AsciiCase.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>

namespace {

std::string DoubleToText(double value)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string DescribeValue(const TPropertyValue& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return "'" + *text + "'";
    if (const auto* ref = std::get_if<TObjectRef>(&value))
        return *ref ? "a " + (*ref)->ClassName() : std::string("nil");
    if (std::holds_alternative<TDynArrayValue>(value))
        return "an array";
    if (std::holds_alternative<std::monostate>(value))
        return "an empty value";
    return PropertyValueToText(value);
}

class TReflectiveClassRegistry {
public:
    TReflectiveClassRegistry()
    {
        Add(MakeReflectiveClassInfo<TReflectivePersistent>());
    }

    const TReflectiveClassInfo* Find(std::string_view className) const
    {
        const auto it = entries_.find(className);
        return it == entries_.end() ? nullptr : it->second.get();
    }

    void Add(std::unique_ptr<TReflectiveClassInfo> info)
    {
        std::string key = info->ClassReference.Name;
        entries_.try_emplace(std::move(key), std::move(info));
    }

private:
    std::map<std::string, std::unique_ptr<TReflectiveClassInfo>, TNoCaseLess> entries_;
};

// Built on first use, so that units may register their classes from their own static
// initialisation in any order.
TReflectiveClassRegistry& Registry()
{
    static TReflectiveClassRegistry registry;
    return registry;
}

bool IsCopiedByAssign(TTypeKind kind)
{
    return kind != TTypeKind::Unknown && kind != TTypeKind::Array && kind != TTypeKind::Record &&
           kind != TTypeKind::Interface;
}

} // namespace

bool IsRegisteredObject(const TReflectivePersistent& object)
{
    const TReflectiveClassInfo* info = FindReflectiveClassInfo(object.ClassName());
    return info != nullptr && info->ClassReference.Type == std::type_index(typeid(object));
}

// ---- values ----

std::optional<int32_t> PropertyValueToInt32(const TPropertyValue& value)
{
    if (const auto* i = std::get_if<int32_t>(&value))
        return *i;
    if (const auto* l = std::get_if<int64_t>(&value); l && std::in_range<int32_t>(*l))
        return int32_t(*l);
    return std::nullopt;
}

std::optional<int64_t> PropertyValueToInt64(const TPropertyValue& value)
{
    if (const auto* i = std::get_if<int32_t>(&value))
        return *i;
    if (const auto* l = std::get_if<int64_t>(&value))
        return *l;
    return std::nullopt;
}

std::optional<double> PropertyValueToDouble(const TPropertyValue& value)
{
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* i = std::get_if<int32_t>(&value))
        return double(*i);
    if (const auto* l = std::get_if<int64_t>(&value))
        return double(*l);
    return std::nullopt;
}

std::string PropertyValueToText(const TPropertyValue& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* i = std::get_if<int32_t>(&value))
        return std::to_string(*i);
    if (const auto* l = std::get_if<int64_t>(&value))
        return std::to_string(*l);
    if (const auto* d = std::get_if<double>(&value))
        return DoubleToText(*d);
    return {};
}

std::optional<int64_t> EnumOrdinalFromValue(const TPropertyValue& value, std::span<const char* const> names)
{
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return PropertyValueToInt64(value);
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameNoCase(names[i], *text))
            return int64_t(i);
    }
    // An ordinal without a name was stored as its number.
    int64_t ordinal = 0;
    const char* end = text->data() + text->size();
    const auto result = std::from_chars(text->data(), end, ordinal);
    if (result.ec != std::errc() || result.ptr != end || text->empty())
        return std::nullopt;
    return ordinal;
}

// ---- property lists ----

TPropertyInfo::TPropertyInfo(std::string name, TTypeKind kind, TGetter getter, TSetter setter)
    : name_(std::move(name)), kind_(kind), getter_(std::move(getter)), setter_(std::move(setter))
{
}

void TPropertyInfoList::Add(TPropertyInfo info)
{
    const auto position = std::lower_bound(items_.begin(), items_.end(), info.Name(),
                                           [](const TPropertyInfo& item, const std::string& name) {
                                               return CompareNoCase(item.Name(), name) < 0;
                                           });
    if (position != items_.end() && SameNoCase(position->Name(), info.Name()))
        throw EReflectivePersistentError("TPropertyInfoList.Add : duplicate property " + info.Name());
    items_.insert(position, std::move(info));
}

const TPropertyInfo& TPropertyInfoList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EReflectivePersistentError("TPropertyInfoList.Items : List index out of bounds (" +
                                         std::to_string(index) + ")");
    return items_[size_t(index)];
}

bool TPropertyInfoList::Find(std::string_view name, int& index) const
{
    const auto position =
        std::lower_bound(items_.begin(), items_.end(), name, [](const TPropertyInfo& item, std::string_view key) {
            return CompareNoCase(item.Name(), key) < 0;
        });
    if (position == items_.end() || !SameNoCase(position->Name(), name))
        return false;
    index = int(position - items_.begin());
    return true;
}

// ---- class registry ----

const TReflectiveClassInfo* FindReflectiveClassInfo(std::string_view className)
{
    return Registry().Find(className);
}

const TReflectiveClass* FindReflectiveClass(std::string_view className)
{
    const TReflectiveClassInfo* info = FindReflectiveClassInfo(className);
    return info == nullptr ? nullptr : &info->ClassReference;
}

void AddReflectiveClassInfo(std::unique_ptr<TReflectiveClassInfo> info) { Registry().Add(std::move(info)); }

// ---- TReflectivePersistent ----

std::unique_ptr<TReflectivePersistent> TReflectivePersistent::NewInstance() const
{
    return std::make_unique<TReflectivePersistent>();
}

const TPropertyInfoList& TReflectivePersistent::PropertyInfoList() const
{
    const TReflectiveClassInfo* info = FindReflectiveClassInfo(ClassName());
    if (info == nullptr)
        throw EReflectivePersistentError(ClassName() + ".PropertyInfoList : " + ClassName() +
                                         " is not a registered reflective class");
    if (info->ClassReference.Type != std::type_index(typeid(*this)))
        throw EReflectivePersistentError(ClassName() + ".PropertyInfoList : the object's class derives from " +
                                         ClassName() + " and is not registered");
    return info->PropertyInfoList;
}

TPropertyValue TReflectivePersistent::GetPropertyValue(int index) const { return PropertyInfo(index).Get(*this); }

void TReflectivePersistent::SetPropertyValue(int index, const TPropertyValue& value)
{
    const TPropertyInfo& info = PropertyInfo(index);
    if (!info.Set(*this, value))
        throw EReflectivePersistentError(ClassName() + ".SetPropertyValue : " + DescribeValue(value) +
                                         " is not a valid value for " + info.Name());
}

TObjectRef TReflectivePersistent::GetObjectProperty(int index) const
{
    const TPropertyInfo& info = PropertyInfo(index);
    if (info.Kind() != TTypeKind::Class)
        throw EReflectivePersistentError(ClassName() + ".GetObjectProperty : " + info.Name() +
                                         " is not an object property");
    const TPropertyValue value = info.Get(*this);
    const auto* ref = std::get_if<TObjectRef>(&value);
    return ref == nullptr ? nullptr : *ref;
}

void TReflectivePersistent::SetObjectProperty(int index, TObjectRef object)
{
    const TPropertyInfo& info = PropertyInfo(index);
    if (info.Kind() != TTypeKind::Class)
        throw EReflectivePersistentError(ClassName() + ".SetObjectProperty : " + info.Name() +
                                         " is not an object property");
    SetPropertyValue(index, std::move(object));
}

void TReflectivePersistent::Assign(const TReflectivePersistent& source)
{
    // Copying onto itself would let a list clear its items before copying them.
    if (&source == this)
        return;
    if (std::type_index(typeid(source)) != std::type_index(typeid(*this)))
        throw EReflectivePersistentError(ClassName() + ".Assign : Cannot assign a " + source.ClassName() +
                                         " to a " + ClassName());
    const TPropertyInfoList& properties = PropertyInfoList();
    for (int i = 0; i < properties.Count(); ++i) {
        if (IsCopiedByAssign(properties.Items(i).Kind()))
            SetPropertyValue(i, source.GetPropertyValue(i));
    }
    AssignInner(source);
}

std::unique_ptr<TReflectivePersistent> TReflectivePersistent::Clone() const
{
    std::unique_ptr<TReflectivePersistent> copy = NewInstance();
    const TReflectivePersistent& made = *copy;
    if (std::type_index(typeid(made)) != std::type_index(typeid(*this)))
        throw EReflectivePersistentError(ClassName() + ".Clone : the object's class derives from " + ClassName() +
                                         " without naming itself as a reflective class");
    copy->Assign(*this);
    return copy;
}

void TReflectivePersistent::AssignInner(const TReflectivePersistent&) {}

void TReflectivePersistent::ReadInnerProperties(TPropertyBag&) {}

void TReflectivePersistent::WriteInnerProperties(TPropertyBag&) const {}

void TReflectivePersistent::AfterRead() {}
