#pragma once
// Reflective classes: published properties and the class registry, through which objects
// are copied and, by TPropertyBag (persistence/PropertyBag), stored.
//
// A reflective class descends from TReflectivePersistent, names itself with
// LUMENFALL_REFLECTIVE_CLASS and declares its published properties once, in
// DeclareProperties. RegisterReflectiveClass puts it into the process-wide class registry,
// which maps the class name (case-insensitive) to the property list (sorted
// case-insensitively by name; a property's index is its position in that order) and to
// the virtual constructor. Registered objects can then be assigned, cloned and written to
// or read from a TPropertyBag.
//
//   class TSequence : public TReflectivePersistent {
//       LUMENFALL_REFLECTIVE_CLASS(TSequence, TReflectivePersistent)
//       int32_t Duration = 8000;
//       std::string Name;
//   };
//   void TSequence::DeclareProperties(TPropertyDeclarer<TSequence>& p)
//   {
//       p.Field("Duration", &TSequence::Duration).Field("Name", &TSequence::Name);
//   }
//   static const TReflectiveClassRegistration<TSequence> sequenceRegistration; // in the .cpp
//
// Inherited properties come first from the base's own DeclareProperties; a class with no
// properties of its own still defines an empty one. Field types map to property kinds
// through TPropertyTraits: int32_t, int64_t, float, double, bool, std::string, enumerations
// (with an EnumNames(E) overload found by argument-dependent lookup that gives the names
// in ordinal order), std::shared_ptr to a reflective class and std::vector. Specialise
// TPropertyTraits for anything else.

#include "util/Exception.h"

#include <any>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

LUMENFALL_DECLARE_EXCEPTION(EReflectivePersistentError, Exception);
LUMENFALL_DECLARE_EXCEPTION(EPropertyBagError, EReflectivePersistentError);

class TReflectivePersistent;
class TPropertyBag;

// The type kind of a published property; the ordinals are stored as a property's "Type".
enum class TTypeKind : uint8_t {
    Unknown = 0,
    Integer = 1,
    Char = 2,
    Enumeration = 3,
    Float = 4,
    ShortString = 5,
    Set = 6,
    Class = 7,
    Method = 8,
    WideChar = 9,
    LongString = 10,
    WideString = 11,
    Variant = 12,
    Array = 13,
    Record = 14,
    Interface = 15,
    Int64 = 16,
    DynArray = 17,
};

// Object references are shared: Assign copies the reference, so both objects then hold
// the same referenced object.
using TObjectRef = std::shared_ptr<TReflectivePersistent>;

// A dynamic array's value: the vector, copied.
struct TDynArrayValue {
    std::any Items;
};

// A property's value. Enumerations travel as their names (an ordinal outside the names
// travels as int32_t, so that it survives a copy); float properties travel as double.
using TPropertyValue =
    std::variant<std::monostate, int32_t, int64_t, double, std::string, TObjectRef, TDynArrayValue>;

// Lenient reads of a value: any alternative that represents the number exactly.
std::optional<int32_t> PropertyValueToInt32(const TPropertyValue& value);
std::optional<int64_t> PropertyValueToInt64(const TPropertyValue& value);
std::optional<double> PropertyValueToDouble(const TPropertyValue& value);
// Text of a value: strings as they are, numbers in decimal, anything else empty.
std::string PropertyValueToText(const TPropertyValue& value);

// Maps a field type to its property kind and converts between field and value. FromValue
// gives nothing when the value cannot be stored in the field.
template <class M>
struct TPropertyTraits; // only the specialisations below and the user's own

template <class M>
concept TPublishable = requires(const M& field, const TPropertyValue& value) {
    { TPropertyTraits<M>::Kind } -> std::convertible_to<TTypeKind>;
    { TPropertyTraits<M>::ToValue(field) } -> std::same_as<TPropertyValue>;
    { TPropertyTraits<M>::FromValue(value) } -> std::same_as<std::optional<M>>;
};

template <>
struct TPropertyTraits<int32_t> {
    static constexpr TTypeKind Kind = TTypeKind::Integer;
    static TPropertyValue ToValue(int32_t field) { return field; }
    static std::optional<int32_t> FromValue(const TPropertyValue& value) { return PropertyValueToInt32(value); }
};

template <>
struct TPropertyTraits<int64_t> {
    static constexpr TTypeKind Kind = TTypeKind::Int64;
    static TPropertyValue ToValue(int64_t field) { return field; }
    static std::optional<int64_t> FromValue(const TPropertyValue& value) { return PropertyValueToInt64(value); }
};

template <std::floating_point F>
struct TPropertyTraits<F> {
    static constexpr TTypeKind Kind = TTypeKind::Float;
    static TPropertyValue ToValue(F field) { return double(field); }
    static std::optional<F> FromValue(const TPropertyValue& value)
    {
        const std::optional<double> d = PropertyValueToDouble(value);
        return d ? std::optional<F>(F(*d)) : std::nullopt;
    }
};

// Ordinal of a name (case-insensitive) or of decimal text; nothing for anything else.
std::optional<int64_t> EnumOrdinalFromValue(const TPropertyValue& value, std::span<const char* const> names);

template <>
struct TPropertyTraits<bool> {
    static constexpr TTypeKind Kind = TTypeKind::Enumeration;
    static constexpr const char* Names[] = {"False", "True"};
    static TPropertyValue ToValue(bool field) { return std::string(Names[field ? 1 : 0]); }
    static std::optional<bool> FromValue(const TPropertyValue& value)
    {
        const std::optional<int64_t> ordinal = EnumOrdinalFromValue(value, Names);
        return ordinal ? std::optional<bool>(*ordinal != 0) : std::nullopt;
    }
};

template <class E>
concept TNamedEnumeration = std::is_enum_v<E> && requires(E e) {
    { EnumNames(e) } -> std::convertible_to<std::span<const char* const>>;
};

template <TNamedEnumeration E>
struct TPropertyTraits<E> {
    using Ordinal = std::underlying_type_t<E>;
    static_assert(sizeof(Ordinal) <= sizeof(int32_t));
    static constexpr TTypeKind Kind = TTypeKind::Enumeration;
    static std::span<const char* const> Names() { return EnumNames(E{}); }
    static TPropertyValue ToValue(E field)
    {
        const auto ordinal = static_cast<Ordinal>(field);
        if (std::cmp_greater_equal(ordinal, 0) && std::cmp_less(ordinal, Names().size()))
            return std::string(Names()[size_t(ordinal)]);
        return int32_t(ordinal);
    }
    static std::optional<E> FromValue(const TPropertyValue& value)
    {
        const std::optional<int64_t> ordinal = EnumOrdinalFromValue(value, Names());
        if (!ordinal || !std::in_range<Ordinal>(*ordinal))
            return std::nullopt;
        return static_cast<E>(Ordinal(*ordinal));
    }
};

template <>
struct TPropertyTraits<std::string> {
    static constexpr TTypeKind Kind = TTypeKind::LongString;
    static TPropertyValue ToValue(const std::string& field) { return field; }
    static std::optional<std::string> FromValue(const TPropertyValue& value)
    {
        const auto* text = std::get_if<std::string>(&value);
        return text ? std::optional<std::string>(*text) : std::nullopt;
    }
};

template <class T>
    requires std::is_base_of_v<TReflectivePersistent, T>
struct TPropertyTraits<std::shared_ptr<T>> {
    static constexpr TTypeKind Kind = TTypeKind::Class;
    static TPropertyValue ToValue(const std::shared_ptr<T>& field) { return TObjectRef(field); }
    // An object of another class than the field's is refused, not dropped.
    static std::optional<std::shared_ptr<T>> FromValue(const TPropertyValue& value)
    {
        const auto* ref = std::get_if<TObjectRef>(&value);
        if (ref == nullptr && !std::holds_alternative<std::monostate>(value))
            return std::nullopt;
        if (ref == nullptr || *ref == nullptr)
            return std::shared_ptr<T>();
        std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(*ref);
        return typed ? std::optional<std::shared_ptr<T>>(std::move(typed)) : std::nullopt;
    }
};

template <class T>
struct TPropertyTraits<std::vector<T>> {
    static constexpr TTypeKind Kind = TTypeKind::DynArray;
    static TPropertyValue ToValue(const std::vector<T>& field) { return TDynArrayValue{field}; }
    static std::optional<std::vector<T>> FromValue(const TPropertyValue& value)
    {
        const auto* wrapped = std::get_if<TDynArrayValue>(&value);
        const auto* array = wrapped ? std::any_cast<std::vector<T>>(&wrapped->Items) : nullptr;
        return array ? std::optional<std::vector<T>>(*array) : std::nullopt;
    }
};

// One published property: name, kind and typed access to it on an object of its class.
class TPropertyInfo {
public:
    using TGetter = std::function<TPropertyValue(const TReflectivePersistent&)>;
    // Returns false when the value does not fit the property.
    using TSetter = std::function<bool(TReflectivePersistent&, const TPropertyValue&)>;

    TPropertyInfo(std::string name, TTypeKind kind, TGetter getter, TSetter setter);

    const std::string& Name() const { return name_; }
    TTypeKind Kind() const { return kind_; }
    TPropertyValue Get(const TReflectivePersistent& object) const { return getter_(object); }
    bool Set(TReflectivePersistent& object, const TPropertyValue& value) const { return setter_(object, value); }

private:
    std::string name_;
    TTypeKind kind_;
    TGetter getter_;
    TSetter setter_;
};

// The published properties of one class, inherited ones included, sorted
// case-insensitively by name; names are unique regardless of case.
class TPropertyInfoList {
public:
    // Inserts in sorted position; a name already present raises EReflectivePersistentError.
    void Add(TPropertyInfo info);
    int Count() const { return int(items_.size()); }
    const TPropertyInfo& Items(int index) const;
    bool Find(std::string_view name, int& index) const;
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<TPropertyInfo> items_;
};

// A class reference: the class's name, its identity and its virtual constructor.
struct TReflectiveClass {
    std::string Name;
    std::type_index Type;
    std::unique_ptr<TReflectivePersistent> (*Create)();
};

struct TReflectiveClassInfo {
    TReflectiveClass ClassReference;
    TPropertyInfoList PropertyInfoList;
};

// Registry lookups by class name, case-insensitive; null when the name is not registered.
const TReflectiveClassInfo* FindReflectiveClassInfo(std::string_view className);
const TReflectiveClass* FindReflectiveClass(std::string_view className);
// Adds the entry unless its class name is registered already (then it does nothing).
void AddReflectiveClassInfo(std::unique_ptr<TReflectiveClassInfo> info);

// Collects the published properties of C; C::DeclareProperties receives one. The casts to
// C hold because a property list is reached only through an object of exactly its own
// registered class (PropertyInfoList checks the dynamic type).
template <class C>
class TPropertyDeclarer {
public:
    explicit TPropertyDeclarer(TPropertyInfoList& list) : list_(list) {}

    // A property read and written directly on a field of the class or of a base.
    template <class Owner, TPublishable M>
        requires std::is_base_of_v<Owner, C>
    TPropertyDeclarer& Field(std::string name, M Owner::*field)
    {
        list_.Add(TPropertyInfo(
            std::move(name), TPropertyTraits<M>::Kind,
            [field](const TReflectivePersistent& object) {
                return TPropertyTraits<M>::ToValue(static_cast<const C&>(object).*field);
            },
            [field](TReflectivePersistent& object, const TPropertyValue& value) {
                std::optional<M> converted = TPropertyTraits<M>::FromValue(value);
                if (converted)
                    static_cast<C&>(object).*field = std::move(*converted);
                return converted.has_value();
            }));
        return *this;
    }

    // A property read through a getter and written through a setter.
    template <class Owner, class G, class S>
        requires std::is_base_of_v<Owner, C> && TPublishable<std::remove_cvref_t<G>> &&
                 std::same_as<std::remove_cvref_t<G>, std::remove_cvref_t<S>>
    TPropertyDeclarer& Property(std::string name, G (Owner::*getter)() const, void (Owner::*setter)(S))
    {
        using M = std::remove_cvref_t<G>;
        list_.Add(TPropertyInfo(
            std::move(name), TPropertyTraits<M>::Kind,
            [getter](const TReflectivePersistent& object) {
                return TPropertyTraits<M>::ToValue((static_cast<const C&>(object).*getter)());
            },
            [setter](TReflectivePersistent& object, const TPropertyValue& value) {
                std::optional<M> converted = TPropertyTraits<M>::FromValue(value);
                if (converted)
                    (static_cast<C&>(object).*setter)(std::move(*converted));
                return converted.has_value();
            }));
        return *this;
    }

private:
    TPropertyInfoList& list_;
};

// Names a reflective class; goes first in the class body and leaves the access public.
// Declares the class's DeclareProperties, which the class defines.
#define LUMENFALL_REFLECTIVE_CLASS(Class, Base)                                                    \
public:                                                                                            \
    using Inherited = Base;                                                                        \
    static constexpr const char* StaticClassName = #Class;                                         \
    static void DeclareProperties(TPropertyDeclarer<Class>& properties);                           \
    std::string ClassName() const override { return StaticClassName; }                            \
    std::unique_ptr<TReflectivePersistent> NewInstance() const override                            \
    {                                                                                              \
        return std::make_unique<Class>();                                                          \
    }

// Base of the objects that copy and store themselves through their published properties.
// Every operation on properties needs the object's class to be registered (it raises
// EReflectivePersistentError otherwise); indices are positions in the sorted list.
class TReflectivePersistent {
public:
    static constexpr const char* StaticClassName = "TReflectivePersistent";

    TReflectivePersistent() = default;
    virtual ~TReflectivePersistent() = default;
    // Objects copy through Assign and Clone, which know the dynamic class.
    TReflectivePersistent(const TReflectivePersistent&) = delete;
    TReflectivePersistent& operator=(const TReflectivePersistent&) = delete;

    virtual std::string ClassName() const { return StaticClassName; }
    // The virtual constructor: a new default object of the same class.
    virtual std::unique_ptr<TReflectivePersistent> NewInstance() const;

    const TPropertyInfoList& PropertyInfoList() const;
    int PropertyCount() const { return PropertyInfoList().Count(); }
    const TPropertyInfo& PropertyInfo(int index) const { return PropertyInfoList().Items(index); }
    bool FindProperty(std::string_view name, int& index) const { return PropertyInfoList().Find(name, index); }
    TPropertyValue GetPropertyValue(int index) const;
    // A value that does not fit the property raises EReflectivePersistentError.
    void SetPropertyValue(int index, const TPropertyValue& value);
    // Only for class-typed properties.
    TObjectRef GetObjectProperty(int index) const;
    void SetObjectProperty(int index, TObjectRef object);

    // Copies every published property (class-typed ones by reference; unknown, array,
    // record and interface kinds are skipped), then the inner state through AssignInner.
    // A source of another class raises EReflectivePersistentError.
    virtual void Assign(const TReflectivePersistent& source);
    // A new object of the same class, assigned from this one.
    std::unique_ptr<TReflectivePersistent> Clone() const;

    // Hooks for state that is not published; they do nothing here.
    virtual void AssignInner(const TReflectivePersistent& source);
    virtual void ReadInnerProperties(TPropertyBag& bag);
    virtual void WriteInnerProperties(TPropertyBag& bag) const;
    virtual void AfterRead();
};

template <class T>
void DeclarePublishedProperties(TPropertyInfoList& list)
{
    if constexpr (!std::is_same_v<T, TReflectivePersistent>) {
        static_assert(std::is_same_v<decltype(&T::DeclareProperties), void (*)(TPropertyDeclarer<T>&)>,
                      "a reflective class names itself with LUMENFALL_REFLECTIVE_CLASS");
        DeclarePublishedProperties<typename T::Inherited>(list);
        TPropertyDeclarer<T> declarer(list);
        T::DeclareProperties(declarer);
    }
}

template <class T>
std::unique_ptr<TReflectiveClassInfo> MakeReflectiveClassInfo()
{
    const auto create = []() -> std::unique_ptr<TReflectivePersistent> { return std::make_unique<T>(); };
    auto info = std::make_unique<TReflectiveClassInfo>(
        TReflectiveClassInfo{{T::StaticClassName, std::type_index(typeid(T)), create}, {}});
    DeclarePublishedProperties<T>(info->PropertyInfoList);
    return info;
}

// Registers the class; a second registration of the same name does nothing.
template <class T>
    requires std::is_base_of_v<TReflectivePersistent, T>
void RegisterReflectiveClass()
{
    if (FindReflectiveClassInfo(T::StaticClassName) == nullptr)
        AddReflectiveClassInfo(MakeReflectiveClassInfo<T>());
}

// Whether the object's exact class is registered, i.e. its properties can be reached.
bool IsRegisteredObject(const TReflectivePersistent& object);

// Registers T while the program starts, from a namespace-scope object in T's unit.
template <class T>
struct TReflectiveClassRegistration {
    TReflectiveClassRegistration() { RegisterReflectiveClass<T>(); }
};
