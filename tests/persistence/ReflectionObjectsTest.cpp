// Long unit: the tests of reflective classes, the object list and the property bag share one
// in-memory bag and one family of test classes.
#include "persistence/ReflectionObjects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

// ---- an in-memory bag: a tree of sections with named entries ----

struct TMemorySection {
    std::string Name;
    std::map<std::string, std::vector<std::byte>> Data;
    std::map<std::string, std::string> Texts;
    std::vector<std::unique_ptr<TMemorySection>> Children;
    size_t NextChild = 0;

    TMemorySection* Find(const std::string& name)
    {
        for (auto& child : Children)
            if (child->Name == name)
                return child.get();
        return nullptr;
    }
    TMemorySection& operator[](const std::string& name)
    {
        TMemorySection* child = Find(name);
        if (child == nullptr)
            throw std::logic_error("no section " + name);
        return *child;
    }
    std::vector<std::string> ChildNames() const
    {
        std::vector<std::string> names;
        for (const auto& child : Children)
            names.push_back(child->Name);
        return names;
    }
};

class TMemoryBag : public TPropertyBag {
public:
    TMemorySection Root;
    bool CanOpen = true;

    size_t OpenSections() const { return stack_.size(); }
    void Rewind() { Root.NextChild = 0; }

    bool OpenBag(TBagAccess) override { return CanOpen; }
    std::string NextReadSection() override
    {
        TMemorySection& parent = Top();
        if (parent.NextChild >= parent.Children.size())
            throw EPropertyBagError("no further section in " + parent.Name);
        return Push(parent.Children[parent.NextChild++].get())->Name;
    }
    void OpenReadSection(const std::string& name) override
    {
        TMemorySection* child = Top().Find(name);
        if (child == nullptr)
            throw EPropertyBagError("missing section " + name);
        Push(child);
    }
    void CloseReadSection() override { Pop(); }
    void OpenWriteSection(const std::string& name) override
    {
        TMemorySection& parent = Top();
        TMemorySection* child = parent.Find(name);
        if (child == nullptr) {
            parent.Children.push_back(std::make_unique<TMemorySection>());
            child = parent.Children.back().get();
            child->Name = name;
        }
        Push(child);
    }
    void CloseWriteSection() override { Pop(); }
    void ReadData(const std::string& name, std::span<std::byte> buffer) override
    {
        const auto it = Top().Data.find(name);
        if (it == Top().Data.end() || it->second.size() != buffer.size())
            throw EPropertyBagError("missing entry " + name);
        std::memcpy(buffer.data(), it->second.data(), buffer.size());
    }
    void WriteData(const std::string& name, std::span<const std::byte> data) override
    {
        Top().Data[name].assign(data.begin(), data.end());
    }
    std::string ReadString(const std::string& name) override
    {
        const auto it = Top().Texts.find(name);
        if (it == Top().Texts.end())
            throw EPropertyBagError("missing text " + name);
        return it->second;
    }
    void WriteString(const std::string& name, const std::string& text) override { Top().Texts[name] = text; }

private:
    TMemorySection& Top() { return stack_.empty() ? Root : *stack_.back(); }
    TMemorySection* Push(TMemorySection* section)
    {
        section->NextChild = 0;
        stack_.push_back(section);
        return section;
    }
    void Pop()
    {
        if (stack_.empty())
            throw std::logic_error("section closed twice");
        stack_.pop_back();
    }

    std::vector<TMemorySection*> stack_;
};

std::vector<std::byte> Int32Bytes(int32_t value)
{
    std::vector<std::byte> bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(std::byte(uint32_t(value) >> (8 * i)));
    return bytes;
}

// ---- reflective test classes ----

enum class TTestShade : uint8_t { tsDark, tsLight, tsBright };
constexpr const char* ShadeNames[] = {"tsDark", "tsLight", "tsBright"};
std::span<const char* const> EnumNames(TTestShade) { return ShadeNames; }

class TTestLeaf : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TTestLeaf, TReflectivePersistent)
    int32_t Count = 0;
    std::string Label;
};

void TTestLeaf::DeclareProperties(TPropertyDeclarer<TTestLeaf>& p)
{
    p.Field("Count", &TTestLeaf::Count).Field("Label", &TTestLeaf::Label);
}

// Never registered: a reflective object the bag cannot store.
class TTestStrayLeaf : public TTestLeaf {
    LUMENFALL_REFLECTIVE_CLASS(TTestStrayLeaf, TTestLeaf)
};

class TTestItem : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TTestItem, TReflectivePersistent)
    int32_t Size = 0;
    float Weight = 0;
    int64_t Serial = 0;
    TTestShade Shade = TTestShade::tsDark;
    bool Enabled = false;
    std::shared_ptr<TTestLeaf> Leaf;
    std::vector<int32_t> Samples;
    int32_t Secret = 0; // inner state
    int AfterReadCalls = 0;

    const std::string& GetTitle() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    void AssignInner(const TReflectivePersistent& source) override
    {
        Secret = static_cast<const TTestItem&>(source).Secret;
    }
    void WriteInnerProperties(TPropertyBag& bag) const override { bag.WriteInt32("Secret", Secret); }
    void ReadInnerProperties(TPropertyBag& bag) override { Secret = bag.ReadInt32("Secret"); }
    void AfterRead() override { ++AfterReadCalls; }

private:
    std::string title_;
};

void TTestItem::DeclareProperties(TPropertyDeclarer<TTestItem>& p)
{
    p.Field("Size", &TTestItem::Size)
        .Field("Weight", &TTestItem::Weight)
        .Field("Serial", &TTestItem::Serial)
        .Field("Shade", &TTestItem::Shade)
        .Field("Enabled", &TTestItem::Enabled)
        .Property("Title", &TTestItem::GetTitle, &TTestItem::SetTitle)
        .Field("Leaf", &TTestItem::Leaf)
        .Field("Samples", &TTestItem::Samples);
}

class TTestDerivedItem : public TTestItem {
    LUMENFALL_REFLECTIVE_CLASS(TTestDerivedItem, TTestItem)
    int32_t Extra = 0;
};

void TTestDerivedItem::DeclareProperties(TPropertyDeclarer<TTestDerivedItem>& p)
{
    p.Field("Extra", &TTestDerivedItem::Extra);
}

struct TTestPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

} // namespace

template <>
struct TPropertyTraits<TTestPoint> {
    static constexpr TTypeKind Kind = TTypeKind::Record;
    static TPropertyValue ToValue(const TTestPoint&) { return {}; }
    static std::optional<TTestPoint> FromValue(const TPropertyValue&) { return std::nullopt; }
};

namespace {

class TTestRecordHolder : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TTestRecordHolder, TReflectivePersistent)
    TTestPoint Origin;
    int32_t Tag = 0;
};

void TTestRecordHolder::DeclareProperties(TPropertyDeclarer<TTestRecordHolder>& p)
{
    p.Field("Origin", &TTestRecordHolder::Origin).Field("Tag", &TTestRecordHolder::Tag);
}

const TReflectiveClassRegistration<TTestLeaf> leafRegistration;
const TReflectiveClassRegistration<TTestItem> itemRegistration;
const TReflectiveClassRegistration<TTestDerivedItem> derivedRegistration;
const TReflectiveClassRegistration<TTestRecordHolder> recordRegistration;

std::unique_ptr<TTestItem> MakeItem()
{
    auto item = std::make_unique<TTestItem>();
    item->Size = -7;
    item->Weight = 2.5f;
    item->Serial = int64_t(1) << 40;
    item->Shade = TTestShade::tsBright;
    item->Enabled = true;
    item->SetTitle("Grün");
    item->Leaf = std::make_shared<TTestLeaf>();
    item->Leaf->Count = 3;
    item->Leaf->Label = "leaf";
    item->Samples = {1, 2, 3};
    item->Secret = 42;
    return item;
}

struct TRecordedError {
    int32_t Code;
    std::string Text;
};

// Installs a handler that records every error.
TPropertyBagErrorHandler Recorder(std::vector<TRecordedError>& errors)
{
    return [&errors](TPropertyBag&, int32_t code, const std::string& text) { errors.push_back({code, text}); };
}

std::vector<int32_t> Codes(const std::vector<TRecordedError>& errors)
{
    std::vector<int32_t> codes;
    for (const auto& e : errors)
        codes.push_back(e.Code);
    return codes;
}

// ---- registry and property lists ----

TEST(ReflectionObjectsTest, RegistryFindsClassesCaseInsensitivelyAndKeepsTheFirstEntry)
{
    ASSERT_NE(FindReflectiveClass("treflectivepersistent"), nullptr);
    ASSERT_NE(FindReflectiveClass("TReflectiveObjectList"), nullptr);
    EXPECT_EQ(FindReflectiveClass("TTestStrayLeaf"), nullptr);
    EXPECT_EQ(FindReflectiveClassInfo("TNoSuchClass"), nullptr);

    const TReflectiveClassInfo* first = FindReflectiveClassInfo("TTESTITEM");
    ASSERT_NE(first, nullptr);
    RegisterReflectiveClass<TTestItem>();
    EXPECT_EQ(FindReflectiveClassInfo("TTestItem"), first);
    EXPECT_EQ(first->PropertyInfoList.Count(), 8);

    const std::unique_ptr<TReflectivePersistent> made = FindReflectiveClass("ttestderiveditem")->Create();
    EXPECT_EQ(made->ClassName(), "TTestDerivedItem");
    EXPECT_NE(dynamic_cast<TTestDerivedItem*>(made.get()), nullptr);
}

TEST(ReflectionObjectsTest, PropertiesAreSortedByNameWithInheritedOnesAndTheirKinds)
{
    TTestDerivedItem item;
    std::vector<std::string> names;
    std::vector<TTypeKind> kinds;
    for (const TPropertyInfo& info : item.PropertyInfoList()) {
        names.push_back(info.Name());
        kinds.push_back(info.Kind());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Enabled", "Extra", "Leaf", "Samples", "Serial", "Shade", "Size",
                                               "Title", "Weight"}));
    EXPECT_EQ(kinds, (std::vector<TTypeKind>{TTypeKind::Enumeration, TTypeKind::Integer, TTypeKind::Class,
                                             TTypeKind::DynArray, TTypeKind::Int64, TTypeKind::Enumeration,
                                             TTypeKind::Integer, TTypeKind::LongString, TTypeKind::Float}));
    int index = -1;
    EXPECT_TRUE(item.FindProperty("wEIGHT", index));
    EXPECT_EQ(index, 8);
    EXPECT_FALSE(item.FindProperty("Weigh", index));
    EXPECT_THROW(item.PropertyInfo(9), EReflectivePersistentError);

    TPropertyInfoList list;
    TPropertyDeclarer<TTestLeaf> declarer(list);
    declarer.Field("Count", &TTestLeaf::Count);
    EXPECT_THROW(declarer.Field("COUNT", &TTestLeaf::Count), EReflectivePersistentError);

    TTestStrayLeaf stray;
    EXPECT_THROW(stray.PropertyCount(), EReflectivePersistentError);
}

TEST(ReflectionObjectsTest, PropertyValuesConvertEnumerationsThroughTheirNames)
{
    TTestItem item;
    int shade = 0, enabled = 0, size = 0, leaf = 0;
    ASSERT_TRUE(item.FindProperty("Shade", shade) && item.FindProperty("Enabled", enabled) &&
                item.FindProperty("Size", size) && item.FindProperty("Leaf", leaf));

    item.SetPropertyValue(shade, std::string("TSLIGHT"));
    EXPECT_EQ(item.Shade, TTestShade::tsLight);
    EXPECT_EQ(std::get<std::string>(item.GetPropertyValue(shade)), "tsLight");
    item.SetPropertyValue(enabled, std::string("True"));
    EXPECT_TRUE(item.Enabled);
    EXPECT_EQ(std::get<std::string>(item.GetPropertyValue(enabled)), "True");

    // An ordinal without a name survives as its number.
    item.Shade = TTestShade(7);
    EXPECT_EQ(std::get<int32_t>(item.GetPropertyValue(shade)), 7);

    EXPECT_THROW(item.SetPropertyValue(shade, std::string("tsPurple")), EReflectivePersistentError);
    EXPECT_THROW(item.SetPropertyValue(shade, int32_t(300)), EReflectivePersistentError);
    EXPECT_THROW(item.SetPropertyValue(size, std::string("12")), EReflectivePersistentError);
    EXPECT_THROW(item.GetObjectProperty(size), EReflectivePersistentError);
    EXPECT_THROW(item.SetObjectProperty(leaf, std::make_shared<TTestItem>()), EReflectivePersistentError);
    EXPECT_EQ(item.Leaf, nullptr);
}

// ---- Assign and Clone ----

TEST(ReflectionObjectsTest, AssignCopiesPublishedPropertiesAndInnerStateOfTheSameClassOnly)
{
    const std::unique_ptr<TTestItem> source = MakeItem();
    source->Shade = TTestShade(7);
    TTestItem target;
    target.Assign(*source);
    EXPECT_EQ(target.Size, -7);
    EXPECT_EQ(target.Weight, 2.5f);
    EXPECT_EQ(target.Serial, int64_t(1) << 40);
    EXPECT_EQ(int(target.Shade), 7);
    EXPECT_TRUE(target.Enabled);
    EXPECT_EQ(target.GetTitle(), "Grün");
    EXPECT_EQ(target.Leaf, source->Leaf); // references are shared
    EXPECT_EQ(target.Samples, source->Samples);
    EXPECT_EQ(target.Secret, 42);

    TTestLeaf leaf;
    try {
        leaf.Assign(*source);
        FAIL() << "assigned across classes";
    } catch (const EReflectivePersistentError& e) {
        EXPECT_STREQ(e.what(), "TTestLeaf.Assign : Cannot assign a TTestItem to a TTestLeaf");
    }
    TTestDerivedItem derived;
    EXPECT_THROW(derived.Assign(*source), EReflectivePersistentError);

    TTestRecordHolder holder, other;
    holder.Origin = {1, 2};
    holder.Tag = 5;
    other.Assign(holder);
    EXPECT_EQ(other.Tag, 5);
    EXPECT_EQ(other.Origin.X, 0); // records are not copied

    const std::unique_ptr<TReflectivePersistent> clone = derived.Clone();
    EXPECT_EQ(clone->ClassName(), "TTestDerivedItem");
}

TEST(ReflectionObjectsTest, ListAssignHoldsClonesAndReplacesWhatItHeld)
{
    TReflectiveObjectList source;
    source.Add(MakeItem());
    source.Add(nullptr);
    source.Add(std::make_unique<TTestDerivedItem>());
    const std::unique_ptr<TReflectivePersistent> copy = source.Clone();
    auto& list = dynamic_cast<TReflectiveObjectList&>(*copy);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_NE(list.Items(0), source.Items(0));
    EXPECT_EQ(static_cast<TTestItem*>(list.Items(0))->Secret, 42);
    EXPECT_EQ(list.Items(1), nullptr);
    EXPECT_EQ(list.Items(2)->ClassName(), "TTestDerivedItem");
    EXPECT_THROW(list.Items(3), EReflectivePersistentError);

    list.Assign(list);
    EXPECT_EQ(list.Count(), 3);

    // The clones a list held go when it is assigned again (the leak check sees any left).
    TReflectiveObjectList target;
    target.Add(std::make_unique<TTestItem>());
    target.Assign(source);
    target.Assign(source);
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(target.Items(2)->ClassName(), "TTestDerivedItem");
}

// ---- the bag ----

TEST(ReflectionObjectsTest, NilObjectWritesOnlyIsNil)
{
    TMemoryBag bag;
    bag.WriteObject(nullptr);
    EXPECT_EQ(bag.Root.ChildNames(), std::vector<std::string>{"ClassInfo"});
    const TMemorySection& info = bag.Root["ClassInfo"];
    EXPECT_EQ(info.Data.size(), 1u);
    EXPECT_EQ(info.Data.at("IsNIL"), Int32Bytes(1));
    EXPECT_TRUE(info.Texts.empty());

    std::unique_ptr<TReflectivePersistent> read;
    EXPECT_TRUE(bag.ReadObject(read));
    EXPECT_EQ(read, nullptr);
}

TEST(ReflectionObjectsTest, ObjectLayoutHoldsTypedValuesNestedObjectsAndInnerProperties)
{
    TMemoryBag bag;
    bag.WriteObject(MakeItem().get());
    EXPECT_EQ(bag.Root.ChildNames(), (std::vector<std::string>{"ClassInfo", "Properties", "InnerProperties"}));
    EXPECT_EQ(bag.Root["ClassInfo"].Texts.at("ClassName"), "TTestItem");
    EXPECT_EQ(bag.Root["ClassInfo"].Data.at("PropertyCount"), Int32Bytes(8));

    TMemorySection& properties = bag.Root["Properties"];
    EXPECT_EQ(properties.ChildNames(), (std::vector<std::string>{"Enabled", "Leaf", "Samples", "Serial", "Shade",
                                                                 "Size", "Title", "Weight"}));
    EXPECT_EQ(properties["Size"].Data.at("Type"), Int32Bytes(1));
    EXPECT_EQ(properties["Size"].Data.at("Value"), Int32Bytes(-7));
    const std::vector<std::byte> weight = properties["Weight"].Data.at("Value");
    EXPECT_EQ(weight, (std::vector<std::byte>{std::byte(0), std::byte(0), std::byte(0), std::byte(0), std::byte(0),
                                              std::byte(0), std::byte(0x04), std::byte(0x40)})); // 2.5
    EXPECT_EQ(properties["Serial"].Data.at("Value")[5], std::byte(1));
    EXPECT_EQ(properties["Shade"].Texts.at("Value"), "tsBright");
    EXPECT_EQ(properties["Enabled"].Texts.at("Value"), "True");
    EXPECT_EQ(properties["Title"].Texts.at("Value"), "Grün");
    EXPECT_EQ(properties["Samples"].Data.size(), 1u); // only "Type"
    EXPECT_EQ(properties["Leaf"]["Value"]["ClassInfo"].Texts.at("ClassName"), "TTestLeaf");
    EXPECT_EQ(properties["Leaf"]["Value"]["Properties"]["Count"].Data.at("Value"), Int32Bytes(3));
    EXPECT_EQ(bag.Root["InnerProperties"].Data.at("Secret"), Int32Bytes(42));
    EXPECT_EQ(bag.OpenSections(), 0u);
}

TEST(ReflectionObjectsTest, ReadingIntoNilCreatesByStoredClassNameAndInPlaceKeepsObjects)
{
    TMemoryBag bag;
    const std::unique_ptr<TTestItem> original = MakeItem();
    original->Shade = TTestShade(9);
    bag.WriteObject(original.get());

    std::unique_ptr<TReflectivePersistent> read;
    ASSERT_TRUE(bag.ReadObject(read));
    auto* item = dynamic_cast<TTestItem*>(read.get());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Size, -7);
    EXPECT_EQ(item->Weight, 2.5f);
    EXPECT_EQ(item->Serial, int64_t(1) << 40);
    EXPECT_EQ(int(item->Shade), 9);
    EXPECT_TRUE(item->Enabled);
    EXPECT_EQ(item->GetTitle(), "Grün");
    EXPECT_TRUE(item->Samples.empty()); // dynamic arrays are not stored
    EXPECT_EQ(item->Secret, 42);
    EXPECT_EQ(item->AfterReadCalls, 1);
    ASSERT_NE(item->Leaf, nullptr);
    EXPECT_NE(item->Leaf, original->Leaf);
    EXPECT_EQ(item->Leaf->Label, "leaf");
    EXPECT_EQ(bag.ReadNames, (std::vector<std::string>{"Enabled", "Leaf", "Count", "Label", "Samples", "Serial",
                                                       "Shade", "Size", "Title", "Weight"}));

    TTestItem target;
    const std::shared_ptr<TTestLeaf> ownLeaf = std::make_shared<TTestLeaf>();
    target.Leaf = ownLeaf;
    bag.Rewind();
    EXPECT_TRUE(bag.ReadObject(target));
    EXPECT_EQ(target.Leaf, ownLeaf);
    EXPECT_EQ(ownLeaf->Count, 3);
    EXPECT_EQ(bag.OpenSections(), 0u);
    EXPECT_EQ(bag.CurrentObject(), nullptr);
}

TEST(ReflectionObjectsTest, ListRoundTripNamesItemsAndRecreatesTheirClasses)
{
    TReflectiveObjectList list;
    list.Add(MakeItem());
    list.Add(nullptr);
    list.Add(std::make_unique<TTestDerivedItem>());
    TMemoryBag bag;
    bag.WriteObject(&list);
    TMemorySection& items = bag.Root["InnerProperties"]["_Items"];
    EXPECT_EQ(items.Data.at("Count"), Int32Bytes(3));
    EXPECT_EQ(items.ChildNames(), (std::vector<std::string>{"Item00000000", "Item00000001", "Item00000002"}));

    std::unique_ptr<TReflectivePersistent> read;
    ASSERT_TRUE(bag.ReadObject(read));
    auto* copy = dynamic_cast<TReflectiveObjectList*>(read.get());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Count(), 3);
    EXPECT_EQ(static_cast<TTestItem*>(copy->Items(0))->Leaf->Count, 3);
    EXPECT_EQ(copy->Items(1), nullptr);
    EXPECT_EQ(copy->Items(2)->ClassName(), "TTestDerivedItem");

    // Reading in place replaces what the list held.
    TReflectiveObjectList filled;
    filled.Add(std::make_unique<TTestDerivedItem>());
    filled.Add(std::make_unique<TTestDerivedItem>());
    filled.Add(std::make_unique<TTestDerivedItem>());
    filled.Add(std::make_unique<TTestDerivedItem>());
    bag.Rewind();
    ASSERT_TRUE(bag.ReadObject(filled));
    ASSERT_EQ(filled.Count(), 3);
    EXPECT_EQ(filled.Items(0)->ClassName(), "TTestItem");
    EXPECT_EQ(filled.Items(1), nullptr);
    EXPECT_EQ(bag.OpenSections(), 0u);
}

// ---- errors ----

TEST(ReflectionObjectsTest, TypeMismatchRaisesOrReadsOnWithAHandler)
{
    TMemoryBag bag;
    bag.WriteObject(MakeItem().get());
    bag.Root["Properties"]["Enabled"].Data["Type"] = Int32Bytes(1);

    TTestItem target;
    try {
        bag.ReadObject(target);
        FAIL() << "no error";
    } catch (const EPropertyBagError& e) {
        EXPECT_STREQ(e.what(), "Error in procedure : TPropertyBag.ReadProperty, InstanceClass : TTestItem, "
                               "Message data type mismatch");
    }
    EXPECT_EQ(bag.OpenSections(), 0u);
    EXPECT_EQ(bag.CurrentObject(), nullptr);

    std::vector<TRecordedError> errors;
    bag.Rewind();
    EXPECT_TRUE(bag.ReadObject(target, Recorder(errors)));
    EXPECT_EQ(Codes(errors), std::vector<int32_t>{pbeDataTypeMismatch});
    EXPECT_FALSE(target.Enabled);
    EXPECT_EQ(target.Size, -7); // later sections still read
    EXPECT_EQ(target.Secret, 42);
    EXPECT_FALSE(bag.OnError); // installed only for the call
}

TEST(ReflectionObjectsTest, UnknownClassAndUnknownPropertyAreReported)
{
    TMemoryBag bag;
    bag.WriteObject(MakeItem().get());
    bag.Root["ClassInfo"].Texts["ClassName"] = "TNoSuchClass";

    std::unique_ptr<TReflectivePersistent> read;
    try {
        bag.ReadObject(read);
        FAIL() << "no error";
    } catch (const EPropertyBagError& e) {
        EXPECT_STREQ(e.what(), "Error in procedure : TPropertyBag.ReadObject, InstanceClass : nil, Message "
                               "TPropertyBag.ReadObject : unkown class TNoSuchClass");
    }
    EXPECT_EQ(bag.OpenSections(), 0u);

    std::vector<TRecordedError> errors;
    bag.Rewind();
    EXPECT_FALSE(bag.ReadObject(read, Recorder(errors)));
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(Codes(errors), std::vector<int32_t>{pbeUnknownClass});
    EXPECT_EQ(bag.OpenSections(), 0u);

    // A stored class that differs from the object's: reported, then read as far as names match.
    errors.clear();
    bag.Root["ClassInfo"].Texts["ClassName"] = "TTestItem";
    bag.Rewind();
    TTestLeaf leaf;
    EXPECT_TRUE(bag.ReadObject(leaf, Recorder(errors)));
    ASSERT_EQ(errors.size(), 9u);
    EXPECT_EQ(errors[0].Code, pbeClassNamesDiffer);
    EXPECT_EQ(errors[0].Text, "Error in procedure : TPropertyBag.ReadObject, InstanceClass : TTestLeaf, Message "
                              "TPropertyBag.ReadObject : classnames do not match : TTestItem, TTestLeaf");
    EXPECT_EQ(errors[1].Code, pbePropertyNotFound);
    EXPECT_NE(errors[1].Text.find("Message TPropertyBag.ReadProperty : property not found"), std::string::npos);
}

TEST(ReflectionObjectsTest, UnopenableBagReportsOnWriteAndReadsNothing)
{
    TMemoryBag bag;
    bag.CanOpen = false;
    TTestItem item;
    try {
        bag.WriteObject(&item);
        FAIL() << "no error";
    } catch (const EPropertyBagError& e) {
        EXPECT_STREQ(e.what(), "Error in procedure : TPropertyBag.WriteObject, InstanceClass : TTestItem, Message "
                               "TPropertyBag.WriteObject : bag could not be opened");
    }
    std::vector<TRecordedError> errors;
    bag.WriteObject(&item, Recorder(errors));
    EXPECT_EQ(Codes(errors), std::vector<int32_t>{pbeBagNotOpened});
    EXPECT_TRUE(bag.Root.Children.empty());
    EXPECT_FALSE(bag.ReadObject(item, Recorder(errors)));
    EXPECT_EQ(errors.size(), 1u);
}

TEST(ReflectionObjectsTest, UnsupportedKindsAndUnregisteredObjectsAreReported)
{
    TMemoryBag bag;
    TTestRecordHolder holder;
    holder.Tag = 5;
    EXPECT_THROW(bag.WriteObject(&holder), EPropertyBagError);
    EXPECT_EQ(bag.OpenSections(), 0u);

    std::vector<TRecordedError> errors;
    bag.Root.Children.clear();
    bag.WriteObject(&holder, Recorder(errors));
    ASSERT_EQ(Codes(errors), std::vector<int32_t>{pbeUnsupportedDataType});
    EXPECT_NE(errors[0].Text.find("Message TPropertyBag.WritePropertyValue : unsupported datatype"), std::string::npos);

    errors.clear();
    TTestRecordHolder target;
    EXPECT_TRUE(bag.ReadObject(target, Recorder(errors)));
    ASSERT_EQ(Codes(errors), std::vector<int32_t>{pbeUnsupportedDataType});
    EXPECT_NE(errors[0].Text.find("Message TPropertyBag.ReadPropertyValue : unsupported datatype"), std::string::npos);
    EXPECT_EQ(target.Tag, 5);

    TTestItem item;
    item.Leaf = std::make_shared<TTestStrayLeaf>();
    errors.clear();
    TMemoryBag strayBag;
    strayBag.WriteObject(&item, Recorder(errors));
    ASSERT_EQ(Codes(errors), std::vector<int32_t>{pbeUnsupportedObjectClass});
    EXPECT_NE(errors[0].Text.find("Message TPropertyBag.WritePropertyValue : unsupportet object property class : "
                                  "TTestStrayLeaf"),
              std::string::npos);

    TMemoryBag leafBag;
    leafBag.WriteObject(MakeItem().get());
    errors.clear();
    EXPECT_TRUE(leafBag.ReadObject(item, Recorder(errors)));
    ASSERT_EQ(Codes(errors), std::vector<int32_t>{pbeUnsupportedObjectClass});
    EXPECT_NE(errors[0].Text.find("Message TPropertyBag.ReadPropertyValue : unsupportet object property class : "
                                  "TTestStrayLeaf"),
              std::string::npos);
}

TEST(ReflectionObjectsTest, ExceptionsFromDeepInsideCloseEveryReadSection)
{
    TReflectiveObjectList list;
    list.Add(MakeItem());
    TMemoryBag bag;
    bag.WriteObject(&list);
    TMemorySection& leafValue =
        bag.Root["InnerProperties"]["_Items"]["Item00000000"]["Properties"]["Leaf"]["Value"]["Properties"];
    leafValue["Count"].Data.erase("Value");

    std::unique_ptr<TReflectivePersistent> read;
    EXPECT_THROW(bag.ReadObject(read), EPropertyBagError);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(bag.OpenSections(), 0u);
    EXPECT_EQ(bag.CurrentObject(), nullptr);

    // A corrupt enumeration name is not a bag error: it propagates as the setter's error.
    leafValue["Count"].Data["Value"] = Int32Bytes(1);
    bag.Root["InnerProperties"]["_Items"]["Item00000000"]["Properties"]["Shade"].Texts["Value"] = "tsPurple";
    bag.Rewind();
    std::vector<TRecordedError> errors;
    EXPECT_THROW(bag.ReadObject(read, Recorder(errors)), EReflectivePersistentError);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(bag.OpenSections(), 0u);
}

} // namespace
