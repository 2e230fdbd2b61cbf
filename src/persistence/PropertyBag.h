#pragma once
// The storage layout of reflective objects over a store of named sections and entries.

#include "persistence/ReflectiveClasses.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

enum class TBagAccess { Read, Write };

// Error codes reported by the bag.
enum : int32_t {
    pbeDataTypeMismatch = 1,
    pbePropertyNotFound = 2,
    pbeUnknownClass = 3,
    pbeClassNamesDiffer = 4,
    pbeBagNotOpened = 5,
    pbeUnsupportedDataType = 6,
    pbeUnsupportedObjectClass = 7,
};

using TPropertyBagErrorHandler = std::function<void(TPropertyBag& bag, int32_t code, const std::string& text)>;

// A hierarchical store of named sections and named entries, with the layout in which
// objects are written and read. Concrete bags implement the primitives only.
//
// Layout of one object:
//   "ClassInfo": "IsNIL" (Int32, 1 for a null object), and for an object "ClassName"
//                (text) and "PropertyCount" (Int32)
//   "Properties": one section per published property in sorted order, named after it,
//                 holding "Type" (Int32, the kind) and "Value" (Int32, double or int64 as
//                 8 bytes, text, or for a class-typed property a child section holding
//                 a whole object; nothing for a dynamic array)
//   "InnerProperties": whatever the object's WriteInnerProperties writes
// Typed entries are little-endian whatever the host.
//
// Errors go through ReportError: without an OnError handler they raise EPropertyBagError,
// with one the handler is told and processing goes on after the failed step. After
// "unkown class" (code 3) there is no object to fill: ReadObject then skips the object's
// content and returns false, leaving a null reference null. Read sections are closed also
// when an exception passes through.
class TPropertyBag {
public:
    TPropertyBag() = default;
    virtual ~TPropertyBag() = default;
    TPropertyBag(const TPropertyBag&) = delete;
    TPropertyBag& operator=(const TPropertyBag&) = delete;

    // Primitives. OpenBag is called again for every nested object and must then succeed.
    virtual bool OpenBag(TBagAccess access) = 0;
    // Opens the next child section of the current read section, in stored order, and gives
    // its name; the bag raises when there is none.
    virtual std::string NextReadSection() = 0;
    virtual void OpenReadSection(const std::string& name) = 0;
    virtual void CloseReadSection() = 0;
    virtual void OpenWriteSection(const std::string& name) = 0;
    virtual void CloseWriteSection() = 0;
    virtual void ReadData(const std::string& name, std::span<std::byte> buffer) = 0;
    virtual void WriteData(const std::string& name, std::span<const std::byte> data) = 0;
    virtual std::string ReadString(const std::string& name) = 0;
    virtual void WriteString(const std::string& name, const std::string& text) = 0;

    int32_t ReadInt32(const std::string& name);
    void WriteInt32(const std::string& name, int32_t value);
    int64_t ReadInt64(const std::string& name);
    void WriteInt64(const std::string& name, int64_t value);
    double ReadDouble(const std::string& name);
    void WriteDouble(const std::string& name, double value);

    // The handler is installed for the duration of the call; calls nest.
    void WriteObject(const TReflectivePersistent* object, TPropertyBagErrorHandler onError = {});
    // Reads into the object in place; false when the bag could not be opened.
    bool ReadObject(TReflectivePersistent& object, TPropertyBagErrorHandler onError = {});
    // Reads in place into a non-null object, or into a new object of the stored class,
    // which the reference then receives (it stays null for a stored null object).
    bool ReadObject(std::unique_ptr<TReflectivePersistent>& object, TPropertyBagErrorHandler onError = {});

    // The same inside the child section of that name, with the bag's own handler.
    void WriteNamedObject(const std::string& name, const TReflectivePersistent* object);
    bool ReadNamedObject(const std::string& name, TReflectivePersistent& object);
    bool ReadNamedObject(const std::string& name, std::unique_ptr<TReflectivePersistent>& object);

    // On the current object.
    void WriteProperty(int index);
    void WritePropertyValue(int index);
    // Reads the next property section, whichever property it names.
    void ReadProperty();
    void ReadPropertyValue(int index);

    // Reports an error as "Error in procedure : <procedure>, InstanceClass : <class of the
    // current object, or nil>, Message <message>".
    void ReportError(const std::string& procedure, int32_t code, const std::string& message);

    const TReflectivePersistent* CurrentObject() const { return current_; }

    TPropertyBagErrorHandler OnError;
    // Every property section name read is added here.
    std::vector<std::string> ReadNames;

private:
    class TCurrentObjectScope;

    bool ReadObjectInto(TReflectivePersistent* object, std::unique_ptr<TReflectivePersistent>* created,
                        TPropertyBagErrorHandler onError);
    void ReadObjectPropertyValue(int index);
    // The current object, which a property operation needs; raises when there is none.
    const TReflectivePersistent& WriteSource(const char* procedure) const;
    TReflectivePersistent& ReadTarget(const char* procedure) const;

    const TReflectivePersistent* current_ = nullptr;
    // The current object while reading, when it may be changed.
    TReflectivePersistent* readTarget_ = nullptr;
};

// Closes a section when the scope is left by an exception; the normal path closes it with
// Close, so that errors of the close itself reach the caller.
class TBagSection {
public:
    using TClose = void (TPropertyBag::*)();

    static TBagSection Read(TPropertyBag& bag, const std::string& name)
    {
        bag.OpenReadSection(name);
        return TBagSection(bag, &TPropertyBag::CloseReadSection);
    }
    static TBagSection Write(TPropertyBag& bag, const std::string& name)
    {
        bag.OpenWriteSection(name);
        return TBagSection(bag, &TPropertyBag::CloseWriteSection);
    }
    // A read section already opened by NextReadSection.
    static TBagSection AdoptRead(TPropertyBag& bag) { return TBagSection(bag, &TPropertyBag::CloseReadSection); }

    TBagSection(const TBagSection&) = delete;
    TBagSection& operator=(const TBagSection&) = delete;
    ~TBagSection()
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
    TBagSection(TPropertyBag& bag, TClose close) : bag_(bag), close_(close) {}

    TPropertyBag& bag_;
    TClose close_;
    bool open_ = true;
};
