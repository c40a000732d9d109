// Lists, name patterns and generic object containers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/list.h"
#include "framework/object.h"
#include "framework/resource.h"
#include "tests/framework/hx_fixture.h"

TEST(HxPattern, MatchTable)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
        // clang-format off
    } cases[] = {
        {"*", "", true},           {"*", "anything", true},  {nullptr, "x", true},
        {"x", nullptr, false},     {"a?c", "ABC", true},     {"a?c", "ac", false},
        {"abc/rest", "abc", true}, {"abc/rest", "abcrest", false}, {"/", "", true},
        {"DDRAW", "ddraw", true},  {"soft*", "SoftRend", true}, {"*rend", "softrend", true},
        {"*r*d", "softrend", true}, {"s*x", "softrend", false}, {"?", "", false},
        {"a*b*c", "aXbYc", true},  {"a*b*c", "aXbY", false},
        // Only a-z fold: accented letters and symbols match only themselves.
        {"\xE9", "\xC9", false},   {"[", "{", false},        {"\xE9", "\xE9", true},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(bool(HxNamePatternMatch(c.pattern, c.name)), c.match)
            << (c.pattern ? c.pattern : "null") << " / " << (c.name ? c.name : "null");

    // Many stars over a long near-miss name: finishes (no exponential retry).
    std::string name(5000, 'a');
    EXPECT_FALSE(HxNamePatternMatch("*a*a*a*a*a*a*a*a*a*a*a*a*b", name.c_str()));
    EXPECT_TRUE(HxNamePatternMatch("*a*a*a*a*a*a*a*a*a*a*a*a*", name.c_str()));
}

TEST(HxLists, DoublyLinkedListKeepsItsSentinels)
{
    hx_list list;
    HxNewList(&list);
    EXPECT_TRUE(HxListIsEmpty(&list));
    EXPECT_EQ(HxRemHead(&list), nullptr);
    EXPECT_EQ(HxRemTail(&list), nullptr);
    hx_node a, b, c;
    HxAddHead(&list, &b);
    HxAddHead(&list, &a);
    HxAddTail(&list, &c);
    EXPECT_EQ(list.head, &a);
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(b.next, &c);
    EXPECT_EQ(list.tailPred, &c);
    EXPECT_EQ(HxRemTail(&list), &c);
    EXPECT_EQ(HxRemHead(&list), &a);
    hx_node d;
    HxInsert(&list, &b, &d); // before b
    EXPECT_EQ(list.head, &d);
    HxRemove(&d);
    HxRemove(&b);
    EXPECT_TRUE(HxListIsEmpty(&list));
    EXPECT_EQ(list.head, reinterpret_cast<hx_node*>(&list.null));
    EXPECT_EQ(list.tailPred, reinterpret_cast<hx_node*>(&list.head));
    EXPECT_EQ(list.null, nullptr);
}

TEST(HxLists, SimpleListLinksBack)
{
    hx_slist list;
    HxSimpleNewList(&list);
    EXPECT_EQ(HxSimpleRemHead(&list), nullptr);
    hx_snode a, b, c;
    HxSimpleAddHead(&list, &b);
    HxSimpleAddHead(&list, &a);
    HxSimpleInsert(&list, &b, &c); // a c b
    EXPECT_EQ(list.head, &a);
    EXPECT_EQ(a.next, &c);
    EXPECT_EQ(c.next, &b);
    EXPECT_EQ(b.back, &c.next);
    EXPECT_EQ(HxSimpleRemove(&c), &c);
    EXPECT_EQ(c.back, nullptr);
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(HxSimpleRemHead(&list), &a);
    EXPECT_EQ(list.head, &b);
    EXPECT_EQ(b.back, &list.head);
    HxSimpleInsert(&list, nullptr, &c); // at the end
    EXPECT_EQ(b.next, &c);
}

// ---- containers ------------------------------------------------------------

namespace {

// A small object class: named things of a type, in a bag that is itself a
// container over an object list.
struct Thing {
    hx_object object;
    const char* name;
    hx_token type;
    int* freedCount;
};

void ThingFree(hx_object* self)
{
    auto* thing = reinterpret_cast<Thing*>(self);
    ++*thing->freedCount;
    HxResFreeNoCallback(thing);
}
const char* ThingIdentifier(hx_object* self)
{
    return reinterpret_cast<Thing*>(self)->name;
}
hx_token ThingType(hx_object* self)
{
    return reinterpret_cast<Thing*>(self)->type;
}
const hx_object_dispatch thingDispatch = {.free = ThingFree, .identifier = ThingIdentifier, .type = ThingType};

struct Bag {
    hx_object object;
    hx_slist* list;
};
hx_slist* BagList(hx_object* self)
{
    return reinterpret_cast<Bag*>(self)->list;
}
const char* BagIdentifier(hx_object*)
{
    return "bag";
}
const hx_container_dispatch bagDispatch = HxTestContainerClass(BagList, BagIdentifier);

class HxContainers : public HxFramework {
protected:
    void SetUp() override
    {
        HxFramework::SetUp();
        bag.object.dispatch = &bagDispatch.object;
        bag.list = HxObjectListAllocate(HxFwAnchor());
        ASSERT_NE(bag.list, nullptr);
    }
    Thing* Add(const char* name, hx_token type)
    {
        auto* thing = static_cast<Thing*>(HxResAllocate(HxFwAnchor(), sizeof(Thing), HX_RES_OBJECT));
        *thing = {{&thingDispatch}, name, type, &freed};
        EXPECT_EQ(bagDispatch.addFront(&bag.object, &thing->object), HX_OK);
        return thing;
    }
    Bag bag = {};
    int freed = 0;
};

} // namespace

TEST_F(HxContainers, FindReturnsTheOldestMatchAndFindManyReportsNoRoom)
{
    Thing* first = Add("ship", 7);
    Thing* second = Add("Ship", 7);
    Add("SHIP", 8);
    hx_object* out = nullptr;
    EXPECT_EQ(bagDispatch.find(&bag.object, &out, 0, "ship", nullptr), HX_OK);
    EXPECT_EQ(out, &first->object);
    EXPECT_EQ(bagDispatch.find(&bag.object, &out, 8, "s*", nullptr), HX_OK);
    EXPECT_STREQ(ThingIdentifier(out), "SHIP");
    EXPECT_EQ(bagDispatch.find(&bag.object, &out, 0, "base", nullptr), 4098u);
    EXPECT_EQ(out, nullptr);

    hx_object* many[2] = {};
    int count = 0;
    EXPECT_EQ(bagDispatch.findMany(&bag.object, many, 1, &count, 7, nullptr, nullptr), 4100u);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(many[0], &second->object);
    EXPECT_EQ(many[1], nullptr);
    EXPECT_EQ(bagDispatch.count(&bag.object, &count, 0, "?hip", nullptr), HX_OK);
    EXPECT_EQ(count, 3);
}

TEST_F(HxContainers, RemoveRemoveFrontAndContainerFree)
{
    Thing* a = Add("a", 1);
    Add("b", 2);
    Thing* c = Add("c", 1);
    EXPECT_EQ(bagDispatch.remove(&bag.object, &a->object), HX_OK);
    EXPECT_EQ(bagDispatch.remove(&bag.object, &a->object), 4098u);
    hx_object* front = nullptr;
    EXPECT_EQ(bagDispatch.removeFront(&bag.object, &front), HX_OK);
    EXPECT_EQ(front, &c->object);
    Add("d", 1);
    Add("e", 1);
    EXPECT_EQ(HxObjectContainerFree(&bag.object, 1, nullptr, nullptr), HX_OK);
    EXPECT_EQ(freed, 2);
    int count = 0;
    bagDispatch.count(&bag.object, &count, 0, nullptr, nullptr);
    EXPECT_EQ(count, 1); // "b" stays

    // Freeing an "OBJECT" resource calls the object's own free method.
    HxResFree(a);
    EXPECT_EQ(freed, 3);
    HxResFree(c);
    EXPECT_EQ(freed, 4);
    hx_object* none = nullptr;
    EXPECT_EQ(bagDispatch.removeFront(&bag.object, &none), HX_OK); // "b"
    EXPECT_EQ(bagDispatch.removeFront(&bag.object, &none), 4098u);
    EXPECT_EQ(none, nullptr);
}
