#include "persistence/PropertyBag.h"

#include "util/AsciiCase.h"

#include <array>
#include <bit>

namespace {

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

    TBagSection classInfo = TBagSection::Write(*this, "ClassInfo");
    WriteInt32("IsNIL", object == nullptr ? 1 : 0);
    if (object != nullptr) {
        WriteString("ClassName", object->ClassName());
        WriteInt32("PropertyCount", properties->Count());
    }
    classInfo.Close();
    if (object == nullptr)
        return;

    TBagSection propertySection = TBagSection::Write(*this, "Properties");
    for (int i = 0; i < properties->Count(); ++i)
        WriteProperty(i);
    propertySection.Close();

    TBagSection inner = TBagSection::Write(*this, "InnerProperties");
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
    TBagSection classInfo = TBagSection::Read(*this, "ClassInfo");
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
        TBagSection properties = TBagSection::Read(*this, "Properties");
        for (int32_t i = 0; i < propertyCount; ++i)
            ReadProperty();
        properties.Close();

        TBagSection inner = TBagSection::Read(*this, "InnerProperties");
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
    TBagSection section = TBagSection::Write(*this, name);
    WriteObject(object, OnError);
    section.Close();
}

bool TPropertyBag::ReadNamedObject(const std::string& name, TReflectivePersistent& object)
{
    TBagSection section = TBagSection::Read(*this, name);
    const bool read = ReadObject(object, OnError);
    section.Close();
    return read;
}

bool TPropertyBag::ReadNamedObject(const std::string& name, std::unique_ptr<TReflectivePersistent>& object)
{
    TBagSection section = TBagSection::Read(*this, name);
    const bool read = ReadObject(object, OnError);
    section.Close();
    return read;
}

void TPropertyBag::WriteProperty(int index)
{
    const TPropertyInfo& info = WriteSource("TPropertyBag.WriteProperty").PropertyInfo(index);
    TBagSection section = TBagSection::Write(*this, info.Name());
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
    TBagSection section = TBagSection::AdoptRead(*this);
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
