#include "persistence/ReflectionObjects.h"

#include "util/AsciiCase.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
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
        Add(MakeReflectiveClassInfo<TReflectiveObjectList>());
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

// Whether the object's exact class is registered, i.e. its properties can be reached.
bool IsRegisteredObject(const TReflectivePersistent& object)
{
    const TReflectiveClassInfo* info = FindReflectiveClassInfo(object.ClassName());
    return info != nullptr && info->ClassReference.Type == std::type_index(typeid(object));
}

// Closes a section when the scope is left by an exception; the normal path closes it with
// Close, so that errors of the close itself reach the caller.
class TOpenSection {
public:
    using TClose = void (TPropertyBag::*)();

    static TOpenSection Read(TPropertyBag& bag, const std::string& name)
    {
        bag.OpenReadSection(name);
        return TOpenSection(bag, &TPropertyBag::CloseReadSection);
    }
    static TOpenSection Write(TPropertyBag& bag, const std::string& name)
    {
        bag.OpenWriteSection(name);
        return TOpenSection(bag, &TPropertyBag::CloseWriteSection);
    }
    // A read section already opened by NextReadSection.
    static TOpenSection AdoptRead(TPropertyBag& bag) { return TOpenSection(bag, &TPropertyBag::CloseReadSection); }

    TOpenSection(const TOpenSection&) = delete;
    TOpenSection& operator=(const TOpenSection&) = delete;
    ~TOpenSection()
    {
        if (!open_)
            return;
        try {
            (bag_.*close_)();
        } catch (...) {
            // The exception that is unwinding matters more than a failed close.
        }
    }

    void Close()
    {
        open_ = false;
        (bag_.*close_)();
    }

private:
    TOpenSection(TPropertyBag& bag, TClose close) : bag_(bag), close_(close) {}

    TPropertyBag& bag_;
    TClose close_;
    bool open_ = true;
};

// How a property kind is stored as "Value".
enum class TStorage { Int32, Double, Int64, Text, Object, Nothing, Unsupported };

TStorage StorageOf(TTypeKind kind)
{
    switch (kind) {
    case TTypeKind::Integer:
        return TStorage::Int32;
    case TTypeKind::Float:
        return TStorage::Double;
    case TTypeKind::Int64:
        return TStorage::Int64;
    case TTypeKind::Class:
        return TStorage::Object;
    case TTypeKind::DynArray:
        return TStorage::Nothing;
    case TTypeKind::Char:
    case TTypeKind::Enumeration:
    case TTypeKind::ShortString:
    case TTypeKind::Set:
    case TTypeKind::Method:
    case TTypeKind::WideChar:
    case TTypeKind::LongString:
    case TTypeKind::WideString:
    case TTypeKind::Variant:
        return TStorage::Text;
    default:
        return TStorage::Unsupported;
    }
}

bool IsCopiedByAssign(TTypeKind kind)
{
    return kind != TTypeKind::Unknown && kind != TTypeKind::Array && kind != TTypeKind::Record &&
           kind != TTypeKind::Interface;
}

std::string ItemSectionName(int index)
{
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "Item%08X", unsigned(index));
    return buffer.data();
}

template <class U>
U DecodeLittleEndian(std::span<const std::byte, sizeof(U)> bytes)
{
    U value = 0;
    for (size_t i = 0; i < sizeof(U); ++i)
        value |= U(std::to_integer<uint8_t>(bytes[i])) << (8 * i);
    return value;
}

template <class U>
std::array<std::byte, sizeof(U)> EncodeLittleEndian(U value)
{
    std::array<std::byte, sizeof(U)> bytes{};
    for (size_t i = 0; i < sizeof(U); ++i)
        bytes[i] = std::byte((value >> (8 * i)) & 0xFF);
    return bytes;
}

template <class T>
T ValueOrRaise(const std::optional<T>& value, const TPropertyInfo& info)
{
    if (!value)
        throw EPropertyBagError("TPropertyBag.WritePropertyValue : property " + info.Name() +
                                " does not give a value of its kind");
    return *value;
}

} // namespace

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

// ---- TReflectiveObjectList ----

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
    TOpenSection section = TOpenSection::Read(bag, "_Items");
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
    TOpenSection section = TOpenSection::Write(bag, "_Items");
    bag.WriteInt32("Count", Count());
    for (int i = 0; i < Count(); ++i)
        bag.WriteNamedObject(ItemSectionName(i), items_[size_t(i)]);
    section.Close();
}

// ---- TPropertyBag ----

// Makes an object current, with its error handler, for one object call, and puts the
// previous ones back afterwards, so that calls nest.
class TPropertyBag::TCurrentObjectScope {
public:
    TCurrentObjectScope(TPropertyBag& bag, const TReflectivePersistent* current, TReflectivePersistent* readTarget,
                        TPropertyBagErrorHandler onError)
        : bag_(bag), savedCurrent_(bag.current_), savedReadTarget_(bag.readTarget_),
          savedOnError_(std::move(bag.OnError))
    {
        bag.current_ = current;
        bag.readTarget_ = readTarget;
        bag.OnError = std::move(onError);
    }
    ~TCurrentObjectScope()
    {
        bag_.current_ = savedCurrent_;
        bag_.readTarget_ = savedReadTarget_;
        bag_.OnError = std::move(savedOnError_);
    }
    TCurrentObjectScope(const TCurrentObjectScope&) = delete;
    TCurrentObjectScope& operator=(const TCurrentObjectScope&) = delete;

private:
    TPropertyBag& bag_;
    const TReflectivePersistent* savedCurrent_;
    TReflectivePersistent* savedReadTarget_;
    TPropertyBagErrorHandler savedOnError_;
};

int32_t TPropertyBag::ReadInt32(const std::string& name)
{
    std::array<std::byte, 4> bytes{};
    ReadData(name, bytes);
    return int32_t(DecodeLittleEndian<uint32_t>(bytes));
}

void TPropertyBag::WriteInt32(const std::string& name, int32_t value)
{
    WriteData(name, EncodeLittleEndian(uint32_t(value)));
}

int64_t TPropertyBag::ReadInt64(const std::string& name)
{
    std::array<std::byte, 8> bytes{};
    ReadData(name, bytes);
    return int64_t(DecodeLittleEndian<uint64_t>(bytes));
}

void TPropertyBag::WriteInt64(const std::string& name, int64_t value)
{
    WriteData(name, EncodeLittleEndian(uint64_t(value)));
}

double TPropertyBag::ReadDouble(const std::string& name)
{
    std::array<std::byte, 8> bytes{};
    ReadData(name, bytes);
    return std::bit_cast<double>(DecodeLittleEndian<uint64_t>(bytes));
}

void TPropertyBag::WriteDouble(const std::string& name, double value)
{
    WriteData(name, EncodeLittleEndian(std::bit_cast<uint64_t>(value)));
}

void TPropertyBag::WriteObject(const TReflectivePersistent* object, TPropertyBagErrorHandler onError)
{
    TCurrentObjectScope scope(*this, object, nullptr, std::move(onError));
    if (!OpenBag(TBagAccess::Write)) {
        ReportError("TPropertyBag.WriteObject", pbeBagNotOpened, "TPropertyBag.WriteObject : bag could not be opened");
        return;
    }
    // Taken first: an unregistered class raises before anything is written.
    const TPropertyInfoList* properties = object == nullptr ? nullptr : &object->PropertyInfoList();

    TOpenSection classInfo = TOpenSection::Write(*this, "ClassInfo");
    WriteInt32("IsNIL", object == nullptr ? 1 : 0);
    if (object != nullptr) {
        WriteString("ClassName", object->ClassName());
        WriteInt32("PropertyCount", properties->Count());
    }
    classInfo.Close();
    if (object == nullptr)
        return;

    TOpenSection propertySection = TOpenSection::Write(*this, "Properties");
    for (int i = 0; i < properties->Count(); ++i)
        WriteProperty(i);
    propertySection.Close();

    TOpenSection inner = TOpenSection::Write(*this, "InnerProperties");
    object->WriteInnerProperties(*this);
    inner.Close();
}

bool TPropertyBag::ReadObject(TReflectivePersistent& object, TPropertyBagErrorHandler onError)
{
    return ReadObjectInto(&object, nullptr, std::move(onError));
}

bool TPropertyBag::ReadObject(std::unique_ptr<TReflectivePersistent>& object, TPropertyBagErrorHandler onError)
{
    if (object != nullptr)
        return ReadObjectInto(object.get(), nullptr, std::move(onError));
    return ReadObjectInto(nullptr, &object, std::move(onError));
}

bool TPropertyBag::ReadObjectInto(TReflectivePersistent* object, std::unique_ptr<TReflectivePersistent>* created,
                                  TPropertyBagErrorHandler onError)
{
    TCurrentObjectScope scope(*this, object, object, std::move(onError));
    if (!OpenBag(TBagAccess::Read))
        return false;

    std::unique_ptr<TReflectivePersistent> fresh;
    int32_t propertyCount = 0;
    TOpenSection classInfo = TOpenSection::Read(*this, "ClassInfo");
    const bool isNil = (ReadInt32("IsNIL") & 0xFF) != 0;
    if (!isNil) {
        const std::string className = ReadString("ClassName");
        if (object == nullptr) {
            const TReflectiveClass* reference = FindReflectiveClass(className);
            if (reference == nullptr) {
                ReportError("TPropertyBag.ReadObject", pbeUnknownClass,
                            "TPropertyBag.ReadObject : unkown class " + className);
                // Reached only with a handler: there is no object to read the content into.
                classInfo.Close();
                return false;
            }
            fresh = reference->Create();
            object = fresh.get();
            current_ = readTarget_ = object;
        } else if (!SameNoCase(className, object->ClassName())) {
            ReportError("TPropertyBag.ReadObject", pbeClassNamesDiffer,
                        "TPropertyBag.ReadObject : classnames do not match : " + className + ", " +
                            object->ClassName());
        }
        propertyCount = ReadInt32("PropertyCount");
    }
    classInfo.Close();

    if (!isNil) {
        TOpenSection properties = TOpenSection::Read(*this, "Properties");
        for (int32_t i = 0; i < propertyCount; ++i)
            ReadProperty();
        properties.Close();

        TOpenSection inner = TOpenSection::Read(*this, "InnerProperties");
        object->ReadInnerProperties(*this);
        inner.Close();
        object->AfterRead();
    }
    if (fresh != nullptr)
        *created = std::move(fresh);
    return true;
}

void TPropertyBag::WriteNamedObject(const std::string& name, const TReflectivePersistent* object)
{
    TOpenSection section = TOpenSection::Write(*this, name);
    WriteObject(object, OnError);
    section.Close();
}

bool TPropertyBag::ReadNamedObject(const std::string& name, TReflectivePersistent& object)
{
    TOpenSection section = TOpenSection::Read(*this, name);
    const bool read = ReadObject(object, OnError);
    section.Close();
    return read;
}

bool TPropertyBag::ReadNamedObject(const std::string& name, std::unique_ptr<TReflectivePersistent>& object)
{
    TOpenSection section = TOpenSection::Read(*this, name);
    const bool read = ReadObject(object, OnError);
    section.Close();
    return read;
}

void TPropertyBag::WriteProperty(int index)
{
    const TPropertyInfo& info = WriteSource("TPropertyBag.WriteProperty").PropertyInfo(index);
    TOpenSection section = TOpenSection::Write(*this, info.Name());
    WriteInt32("Type", int32_t(info.Kind()));
    WritePropertyValue(index);
    section.Close();
}

void TPropertyBag::WritePropertyValue(int index)
{
    static constexpr const char* procedure = "TPropertyBag.WritePropertyValue";
    const TReflectivePersistent& object = WriteSource(procedure);
    const TPropertyInfo& info = object.PropertyInfo(index);
    switch (StorageOf(info.Kind())) {
    case TStorage::Int32:
        WriteInt32("Value", ValueOrRaise(PropertyValueToInt32(info.Get(object)), info));
        break;
    case TStorage::Double:
        WriteDouble("Value", ValueOrRaise(PropertyValueToDouble(info.Get(object)), info));
        break;
    case TStorage::Int64:
        WriteInt64("Value", ValueOrRaise(PropertyValueToInt64(info.Get(object)), info));
        break;
    case TStorage::Text:
        WriteString("Value", PropertyValueToText(info.Get(object)));
        break;
    case TStorage::Object: {
        const TObjectRef held = object.GetObjectProperty(index);
        if (held != nullptr && !IsRegisteredObject(*held))
            ReportError(procedure, pbeUnsupportedObjectClass,
                        "TPropertyBag.WritePropertyValue : unsupportet object property class : " + held->ClassName());
        else
            WriteNamedObject("Value", held.get());
        break;
    }
    case TStorage::Nothing:
        break;
    case TStorage::Unsupported:
        ReportError(procedure, pbeUnsupportedDataType, "TPropertyBag.WritePropertyValue : unsupported datatype");
        break;
    }
}

void TPropertyBag::ReadProperty()
{
    static constexpr const char* procedure = "TPropertyBag.ReadProperty";
    TReflectivePersistent& object = ReadTarget(procedure);
    const std::string name = NextReadSection();
    TOpenSection section = TOpenSection::AdoptRead(*this);
    ReadNames.push_back(name);
    int index = 0;
    if (!object.FindProperty(name, index))
        ReportError(procedure, pbePropertyNotFound, "TPropertyBag.ReadProperty : property not found");
    else if (ReadInt32("Type") != int32_t(object.PropertyInfo(index).Kind()))
        ReportError(procedure, pbeDataTypeMismatch, "data type mismatch");
    else
        ReadPropertyValue(index);
    section.Close();
}

void TPropertyBag::ReadPropertyValue(int index)
{
    static constexpr const char* procedure = "TPropertyBag.ReadPropertyValue";
    TReflectivePersistent& object = ReadTarget(procedure);
    switch (StorageOf(object.PropertyInfo(index).Kind())) {
    case TStorage::Int32:
        object.SetPropertyValue(index, ReadInt32("Value"));
        break;
    case TStorage::Double:
        object.SetPropertyValue(index, ReadDouble("Value"));
        break;
    case TStorage::Int64:
        object.SetPropertyValue(index, ReadInt64("Value"));
        break;
    case TStorage::Text:
        object.SetPropertyValue(index, ReadString("Value"));
        break;
    case TStorage::Object:
        ReadObjectPropertyValue(index);
        break;
    case TStorage::Nothing:
        break;
    case TStorage::Unsupported:
        ReportError(procedure, pbeUnsupportedDataType, "TPropertyBag.ReadPropertyValue : unsupported datatype");
        break;
    }
}

void TPropertyBag::ReadObjectPropertyValue(int index)
{
    TReflectivePersistent& object = ReadTarget("TPropertyBag.ReadPropertyValue");
    const TObjectRef held = object.GetObjectProperty(index);
    if (held == nullptr) {
        // Created by its stored class name; freed again unless the property keeps it.
        std::unique_ptr<TReflectivePersistent> fresh;
        if (ReadNamedObject("Value", fresh))
            object.SetObjectProperty(index, TObjectRef(std::move(fresh)));
    } else if (!IsRegisteredObject(*held)) {
        ReportError("TPropertyBag.ReadPropertyValue", pbeUnsupportedObjectClass,
                    "TPropertyBag.ReadPropertyValue : unsupportet object property class : " + held->ClassName());
    } else {
        ReadNamedObject("Value", *held);
    }
}

void TPropertyBag::ReportError(const std::string& procedure, int32_t code, const std::string& message)
{
    const std::string text = "Error in procedure : " + procedure + ", InstanceClass : " +
                             (current_ == nullptr ? std::string("nil") : current_->ClassName()) + ", Message " +
                             message;
    if (!OnError)
        throw EPropertyBagError(text);
    OnError(*this, code, text);
}

const TReflectivePersistent& TPropertyBag::WriteSource(const char* procedure) const
{
    if (current_ == nullptr)
        throw EPropertyBagError(std::string(procedure) + " : no object is being written");
    return *current_;
}

TReflectivePersistent& TPropertyBag::ReadTarget(const char* procedure) const
{
    if (readTarget_ == nullptr)
        throw EPropertyBagError(std::string(procedure) + " : no object is being read");
    return *readTarget_;
}
