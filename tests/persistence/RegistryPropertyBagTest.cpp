#include "persistence/RegistryPropertyBag.h"

#include "persistence/TemporaryHives.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

enum class TBagTestShade : uint8_t { bsDark, bsLight };
constexpr const char* BagTestShadeNames[] = {"bsDark", "bsLight"};
std::span<const char* const> EnumNames(TBagTestShade) { return BagTestShadeNames; }

class TBagTestLeaf : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TBagTestLeaf, TReflectivePersistent)
    int32_t Count = 0;
    std::string Label;
};

void TBagTestLeaf::DeclareProperties(TPropertyDeclarer<TBagTestLeaf>& p)
{
    p.Field("Count", &TBagTestLeaf::Count).Field("Label", &TBagTestLeaf::Label);
}

class TBagTestNode : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TBagTestNode, TReflectivePersistent)
    int32_t Size = 0;
    double Weight = 0;
    int64_t Serial = 0;
    TBagTestShade Shade = TBagTestShade::bsDark;
    std::string Title;
    std::shared_ptr<TBagTestLeaf> Leaf;
    std::shared_ptr<TBagTestNode> Next;
    int32_t Secret = 0; // inner state

    void WriteInnerProperties(TPropertyBag& bag) const override { bag.WriteInt32("Secret", Secret); }
    void ReadInnerProperties(TPropertyBag& bag) override { Secret = bag.ReadInt32("Secret"); }
};

void TBagTestNode::DeclareProperties(TPropertyDeclarer<TBagTestNode>& p)
{
    p.Field("Size", &TBagTestNode::Size)
        .Field("Weight", &TBagTestNode::Weight)
        .Field("Serial", &TBagTestNode::Serial)
        .Field("Shade", &TBagTestNode::Shade)
        .Field("Title", &TBagTestNode::Title)
        .Field("Leaf", &TBagTestNode::Leaf)
        .Field("Next", &TBagTestNode::Next);
}

const TReflectiveClassRegistration<TBagTestLeaf> leafRegistration;
const TReflectiveClassRegistration<TBagTestNode> nodeRegistration;

const std::string kBagKey = "Software\\Quenwick\\ORBX\\BagTest";

std::unique_ptr<TBagTestNode> MakeNode()
{
    auto node = std::make_unique<TBagTestNode>();
    node->Size = -7;
    node->Weight = 0.1;
    node->Serial = (int64_t(1) << 40) + 3;
    node->Shade = TBagTestShade::bsLight;
    node->Title = "Grüße";
    node->Secret = 42;
    node->Leaf = std::make_shared<TBagTestLeaf>();
    node->Leaf->Count = 3;
    node->Leaf->Label = "leaf";
    node->Next = std::make_shared<TBagTestNode>();
    node->Next->Size = 9;
    node->Next->Secret = 5;
    return node;
}

void Store(const TReflectivePersistent* object)
{
    TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
    bag.WriteObject(object);
    bag.Flush();
}

// Changes the stored object as another program (or a damaged file) might.
void Edit(const std::function<void(TRegistry&)>& change)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kBagKey, false));
    change(registry);
    registry.CloseKey();
}

struct TRecordedError {
    int32_t Code;
    std::string Text;
};

TPropertyBagErrorHandler Recorder(std::vector<TRecordedError>& errors)
{
    return [&errors](TPropertyBag&, int32_t code, const std::string& text) { errors.push_back({code, text}); };
}

class RegistryPropertyBagTest : public ::testing::Test {
protected:
    TTemporaryHives hives_{"bag"};
};

TEST_F(RegistryPropertyBagTest, NestedObjectsRoundTripAsSubkeysBinaryAndTextValues)
{
    const std::unique_ptr<TBagTestNode> original = MakeNode();
    Store(original.get());

    const THive hive = THive::LoadFromFile(hives_.UserHive().string(), HKEY_CURRENT_USER);
    EXPECT_EQ(hive.KeyNames(kBagKey), (std::vector<std::string>{"ClassInfo", "InnerProperties", "Properties"}));
    const uint8_t zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(*hive.FindValue(kBagKey + "\\ClassInfo", "IsNIL"), TRegData::Binary(zero, 4));
    EXPECT_EQ(*hive.FindValue(kBagKey + "\\ClassInfo", "ClassName"), TRegData::String("TBagTestNode"));
    const TRegData* weight = hive.FindValue(kBagKey + "\\Properties\\Weight", "Value");
    ASSERT_NE(weight, nullptr);
    EXPECT_EQ(weight->Type, REG_BINARY);
    EXPECT_EQ(weight->Bytes.size(), 8u);
    EXPECT_EQ(hive.FindValue(kBagKey + "\\Properties\\Title", "Value")->Type, REG_SZ);
    EXPECT_TRUE(hive.KeyExists(kBagKey + "\\Properties\\Next\\Value\\Properties\\Leaf\\Value\\ClassInfo"));

    TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
    std::unique_ptr<TReflectivePersistent> read;
    ASSERT_TRUE(bag.ReadObject(read));
    const auto* node = dynamic_cast<const TBagTestNode*>(read.get());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Size, -7);
    EXPECT_EQ(node->Weight, 0.1);
    EXPECT_EQ(node->Serial, original->Serial);
    EXPECT_EQ(node->Shade, TBagTestShade::bsLight);
    EXPECT_EQ(node->Title, "Grüße");
    EXPECT_EQ(node->Secret, 42);
    ASSERT_NE(node->Leaf, nullptr);
    EXPECT_EQ(node->Leaf->Count, 3);
    EXPECT_EQ(node->Leaf->Label, "leaf");
    ASSERT_NE(node->Next, nullptr);
    EXPECT_EQ(node->Next->Size, 9);
    EXPECT_EQ(node->Next->Secret, 5);
    EXPECT_EQ(node->Next->Leaf, nullptr);
    EXPECT_EQ(node->Next->Next, nullptr);
    // Property sections come back in the registry's order, which is the sorted one; a
    // nested object's names follow the name of the property that holds it.
    EXPECT_EQ(bag.ReadNames,
              (std::vector<std::string>{"Leaf", "Count", "Label", "Next", "Leaf", "Next", "Serial", "Shade", "Size",
                                        "Title", "Weight", "Serial", "Shade", "Size", "Title", "Weight"}));
}

TEST_F(RegistryPropertyBagTest, ObjectListWithANilItemRoundTripsAndAShorterListReplacesTheLongerOne)
{
    TReflectiveObjectList list;
    list.Add(MakeNode());
    list.Add(nullptr);
    auto leaf = std::make_unique<TBagTestLeaf>();
    leaf->Label = "last";
    list.Add(std::move(leaf));
    Store(&list);
    {
        // A nil object is its "ClassInfo" with "IsNIL" = 1 alone.
        const THive hive = THive::LoadFromFile(hives_.UserHive().string(), HKEY_CURRENT_USER);
        const std::string nil = kBagKey + "\\InnerProperties\\_Items\\Item00000001";
        EXPECT_EQ(hive.KeyNames(nil), std::vector<std::string>{"ClassInfo"});
        EXPECT_EQ(hive.ValueNames(nil + "\\ClassInfo"), std::vector<std::string>{"IsNIL"});
        const uint8_t one[4] = {1, 0, 0, 0};
        EXPECT_EQ(*hive.FindValue(nil + "\\ClassInfo", "IsNIL"), TRegData::Binary(one, 4));
    }

    TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
    std::unique_ptr<TReflectivePersistent> read;
    ASSERT_TRUE(bag.ReadObject(read));
    const auto* copy = dynamic_cast<const TReflectiveObjectList*>(read.get());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Count(), 3);
    ASSERT_NE(dynamic_cast<TBagTestNode*>(copy->Items(0)), nullptr);
    EXPECT_EQ(static_cast<TBagTestNode*>(copy->Items(0))->Next->Size, 9);
    EXPECT_EQ(copy->Items(1), nullptr);
    ASSERT_NE(dynamic_cast<TBagTestLeaf*>(copy->Items(2)), nullptr);
    EXPECT_EQ(static_cast<TBagTestLeaf*>(copy->Items(2))->Label, "last");

    TReflectiveObjectList shorter;
    shorter.Add(std::make_unique<TBagTestLeaf>());
    Store(&shorter);
    const THive hive = THive::LoadFromFile(hives_.UserHive().string(), HKEY_CURRENT_USER);
    EXPECT_EQ(hive.KeyNames(kBagKey + "\\InnerProperties\\_Items"), std::vector<std::string>{"Item00000000"});
}

TEST_F(RegistryPropertyBagTest, MissingKeyReadsNothingAndMalformedEntriesRaise)
{
    TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
    TBagTestNode node;
    EXPECT_FALSE(bag.ReadObject(node));

    Store(&node);
    Edit([](TRegistry& registry) {
        ASSERT_TRUE(registry.OpenKey("ClassInfo", false));
        registry.WriteFloat("IsNIL", 1.0);
    });
    std::vector<TRecordedError> errors;
    try {
        TRegistryPropertyBag reader(HKEY_CURRENT_USER, kBagKey);
        reader.ReadObject(node, Recorder(errors));
        FAIL() << "an entry of the wrong size was read";
    } catch (const EPropertyBagError& e) {
        EXPECT_EQ(e.Message(), "TRegistryPropertyBag.ReadData : the entry \"IsNIL\" in \"" + kBagKey +
                                   "\\ClassInfo\" is not binary data of 4 bytes");
    }
    EXPECT_TRUE(errors.empty());
}

// A damage of the stored node, the error code it must report and the text of the report.
struct TDamage {
    const char* Name;
    std::function<void(TRegistry&)> Change;
    bool ReadIntoLeaf;
    int32_t Code;
    std::string Text;
};

std::vector<TDamage> Damages()
{
    const int32_t floatKind = int32_t(TTypeKind::Float);
    return {
        {"type mismatch",
         [=](TRegistry& r) {
             r.OpenKey("Properties\\Size", false);
             r.WriteBinaryData("Type", &floatKind, 4);
         },
         false, pbeDataTypeMismatch,
         "Error in procedure : TPropertyBag.ReadProperty, InstanceClass : TBagTestNode, Message data type mismatch"},
        {"property not found",
         [](TRegistry& r) {
             r.OpenKey("Properties", false);
             r.DeleteKey("Size");
             r.OpenKey("Bogus", true);
             r.WriteBinaryData("Type", "\x01\0\0\0", 4);
         },
         false, pbePropertyNotFound,
         "Error in procedure : TPropertyBag.ReadProperty, InstanceClass : TBagTestNode, Message "
         "TPropertyBag.ReadProperty : property not found"},
        {"unknown class",
         [](TRegistry& r) {
             r.OpenKey("ClassInfo", false);
             r.WriteString("ClassName", "TNoSuch");
         },
         false, pbeUnknownClass,
         "Error in procedure : TPropertyBag.ReadObject, InstanceClass : nil, Message TPropertyBag.ReadObject : "
         "unkown class TNoSuch"},
        {"class names differ", [](TRegistry&) {}, true, pbeClassNamesDiffer,
         "Error in procedure : TPropertyBag.ReadObject, InstanceClass : TBagTestLeaf, Message "
         "TPropertyBag.ReadObject : classnames do not match : TBagTestNode, TBagTestLeaf"},
    };
}

TEST_F(RegistryPropertyBagTest, ReadErrorsGoToTheHandlerAndReadingGoesOnOrRaiseWithoutOne)
{
    for (const TDamage& damage : Damages()) {
        SCOPED_TRACE(damage.Name);
        Store(MakeNode().get());
        Edit(damage.Change);

        std::vector<TRecordedError> errors;
        std::unique_ptr<TReflectivePersistent> read;
        if (damage.ReadIntoLeaf)
            read = std::make_unique<TBagTestLeaf>();
        TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
        bag.ReadObject(read, Recorder(errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().Code, damage.Code);
        EXPECT_EQ(errors.front().Text, damage.Text);
        if (const auto* node = dynamic_cast<const TBagTestNode*>(read.get())) {
            // The properties after the failed one were read.
            EXPECT_EQ(node->Title, "Grüße");
            EXPECT_EQ(node->Weight, 0.1);
            EXPECT_EQ(node->Secret, 42);
        }

        std::unique_ptr<TReflectivePersistent> strict;
        if (damage.ReadIntoLeaf)
            strict = std::make_unique<TBagTestLeaf>();
        TRegistryPropertyBag strictBag(HKEY_CURRENT_USER, kBagKey);
        try {
            strictBag.ReadObject(strict);
            ADD_FAILURE() << "no error raised";
        } catch (const EPropertyBagError& e) {
            EXPECT_EQ(e.Message(), damage.Text);
        }
    }
}

TEST_F(RegistryPropertyBagTest, BagThatCannotBeOpenedForWritingReportsErrorFive)
{
    const std::unique_ptr<TBagTestNode> node = MakeNode();
    TRegistryPropertyBag machine(HKEY_LOCAL_MACHINE, kBagKey);
    std::vector<TRecordedError> errors;
    machine.WriteObject(node.get(), Recorder(errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Code, pbeBagNotOpened);
    EXPECT_EQ(errors[0].Text, "Error in procedure : TPropertyBag.WriteObject, InstanceClass : TBagTestNode, "
                              "Message TPropertyBag.WriteObject : bag could not be opened");
    EXPECT_THROW(machine.WriteObject(node.get()), EPropertyBagError);
    EXPECT_FALSE(std::filesystem::exists(hives_.MachineHive()));
}

TEST_F(RegistryPropertyBagTest, SectionNamesThatWouldReachOtherKeysAreRefused)
{
    TRegistryPropertyBag bag(HKEY_CURRENT_USER, kBagKey);
    ASSERT_TRUE(bag.OpenBag(TBagAccess::Write));
    EXPECT_THROW(bag.OpenWriteSection("..\\Elsewhere"), EPropertyBagError);
    EXPECT_THROW(bag.OpenWriteSection(""), EPropertyBagError);
    EXPECT_THROW(bag.CloseWriteSection(), EPropertyBagError);
}

} // namespace
