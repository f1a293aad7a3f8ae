// Reference counting, the collections' ownership of their members, numbers and
// the checked downcast.

#include <gtest/gtest.h>

#include "OSArray.h"
#include "OSBoolean.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "OSString.h"

namespace {

// Tells when it is freed.
class Tracked : public OSObject {
public:
    explicit Tracked(bool* freed) : fFreed(freed) {}

protected:
    ~Tracked() override { *fFreed = true; }

private:
    bool* fFreed;
};

TEST(ObjectModel, LastReleaseFreesTheObject) {
    bool freed = false;
    auto* object = new Tracked(&freed);
    EXPECT_EQ(object->getRetainCount(), 1);
    object->retain();
    object->release();
    EXPECT_FALSE(freed);
    object->release();
    EXPECT_TRUE(freed);
}

TEST(ObjectModel, CollectionsHoldTheirMembersUntilRemovedOrFreed) {
    bool arrayMemberFreed = false;
    bool replacedFreed = false;
    bool removedFreed = false;
    auto* arrayMember = new Tracked(&arrayMemberFreed);
    auto* replaced = new Tracked(&replacedFreed);
    auto* removed = new Tracked(&removedFreed);

    OSArray* array = OSArray::withCapacity(1);
    EXPECT_TRUE(array->setObject(arrayMember));
    EXPECT_FALSE(array->setObject(nullptr));
    EXPECT_EQ(array->getCount(), 1U);
    EXPECT_EQ(array->getObject(1), nullptr);

    OSDictionary* dictionary = OSDictionary::withCapacity(2);
    dictionary->setObject("a", replaced);
    dictionary->setObject("b", removed);
    dictionary->setObject("array", array);
    for (OSObject* object : {static_cast<OSObject*>(arrayMember), static_cast<OSObject*>(replaced),
                             static_cast<OSObject*>(removed), static_cast<OSObject*>(array)}) {
        object->release();
    }
    EXPECT_FALSE(arrayMemberFreed || replacedFreed || removedFreed);

    dictionary->setObject("a", dictionary->getObject("array"));  // replaces
    EXPECT_TRUE(replacedFreed);
    dictionary->removeObject("b");
    EXPECT_TRUE(removedFreed);
    EXPECT_EQ(dictionary->getCount(), 2U);
    EXPECT_STREQ(dictionary->getKeyAt(0), "a");
    EXPECT_EQ(dictionary->getObject("missing"), nullptr);

    OSDictionary* copy = OSDictionary::withDictionary(dictionary);
    dictionary->release();
    EXPECT_FALSE(arrayMemberFreed);  // the copy still holds the array
    copy->release();
    EXPECT_TRUE(arrayMemberFreed);
}

TEST(ObjectModel, NumbersKeepTheBitsOfTheirWidth) {
    struct Case {
        std::uint64_t value;
        unsigned bits;
        std::uint64_t kept;
        std::int64_t signed64;
    };
    for (Case c :
         {Case{0x1'2345'6789ULL, 32, 0x2345'6789ULL, 0x2345'6789},
          Case{0xFFFF'FFFFULL, 32, 0xFFFF'FFFFULL, 0xFFFF'FFFFLL}, Case{0x1FF, 8, 0xFF, 0xFF},
          Case{~0ULL, 64, ~0ULL, -1}, Case{~0ULL, 0, ~0ULL, -1}, Case{5, 200, 5, 5}}) {
        OSNumber* number = OSNumber::withNumber(c.value, c.bits);
        EXPECT_EQ(number->unsigned64BitValue(), c.kept) << c.value << "/" << c.bits;
        EXPECT_EQ(number->signed64BitValue(), c.signed64) << c.value << "/" << c.bits;
        EXPECT_EQ(number->unsigned32BitValue(), static_cast<std::uint32_t>(c.kept));
        number->release();
    }
}

TEST(ObjectModel, DynamicCastChecksTheType) {
    OSObject* number = OSNumber::withNumber(1, 32);
    OSObject* boolean = OSBoolean::withBoolean(true);
    OSObject* text = OSString::withCString("IsTarnMouse");
    EXPECT_NE(OSDynamicCast(OSNumber, number), nullptr);
    EXPECT_EQ(OSDynamicCast(OSNumber, boolean), nullptr);
    EXPECT_EQ(OSDynamicCast(OSDictionary, text), nullptr);
    EXPECT_EQ(OSDynamicCast(OSNumber, static_cast<OSObject*>(nullptr)), nullptr);
    EXPECT_TRUE(OSDynamicCast(OSString, text)->isEqualTo("IsTarnMouse"));
    for (OSObject* object : {number, boolean, text}) {
        object->release();
    }
}

}  // namespace
