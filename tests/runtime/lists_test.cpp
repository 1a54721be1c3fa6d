#include "runtime/containers/lists.h"
#include "runtime/containers/smart_pointer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Item : F_dual_list_item<Item> {
    explicit Item(int k = 0) : key(k) {}
    int compare(Item const* o) const { return key - o->key; }
    int key;
};

std::vector<Item*> contents(F_dual_list<Item> const& list) {
    std::vector<Item*> out;
    for (auto it = list.begin(); it != list.end(); ++it) out.push_back(*it);
    return out;
}

TEST(DualList, RemovingFromAnEmptyListGivesNullAndKeepsCountZero) {
    F_dual_list<Item> list;
    EXPECT_EQ(list.remove_from_head(), nullptr);
    EXPECT_EQ(list.remove_from_tail(), nullptr);
    EXPECT_EQ(list.count(), 0u);

    Item only;
    list.insert_to_tail(&only);
    EXPECT_EQ(list.remove_from_tail(), &only);
    EXPECT_EQ(list.count(), 0u);
    EXPECT_FALSE(list.begin().good());
    EXPECT_FALSE(list.last().good());
}

TEST(DualList, InsertsAtBothEndsAndAfterAnElement) {
    F_dual_list<Item> list;
    Item a(1), b(2), c(3), d(4);
    list.insert_to_tail(&b);
    list.insert_to_head(&a);
    list.insert_after(&b, &d);  // after the tail: d becomes the tail
    list.insert_after(&b, &c);
    EXPECT_EQ(contents(list), (std::vector<Item*>{&a, &b, &c, &d}));
    EXPECT_EQ(*list.last(), &d);
    EXPECT_EQ(list.count(), 4u);

    list.remove(&b);
    EXPECT_EQ(contents(list), (std::vector<Item*>{&a, &c, &d}));
    EXPECT_EQ(c.get_prev(), &a);
    EXPECT_EQ(list.remove_from_head(), &a);
    EXPECT_EQ(list.remove_from_tail(), &d);
    EXPECT_EQ(contents(list), (std::vector<Item*>{&c}));
}

TEST(DualList, BuildsOverAnArrayAndIsSearchableWithStdFind) {
    Item items[3] = {Item(7), Item(8), Item(9)};
    F_dual_list<Item> list(items, 3);
    EXPECT_EQ(contents(list), (std::vector<Item*>{&items[0], &items[1], &items[2]}));
    EXPECT_EQ(items[0].get_prev(), nullptr);
    EXPECT_EQ(items[2].get_next(), nullptr);
    EXPECT_EQ(*std::find(list.begin(), list.end(), &items[1]), &items[1]);
    EXPECT_FALSE(std::find(list.begin(), list.end(), nullptr).good());
}

TEST(DualList, MergeMovesEveryElementIntoAnEmptyList) {
    F_dual_list<Item> target, source;
    Item a, b, c;
    source.push_back(&a);
    source.push_back(&b);
    source.push_back(&c);
    target.merge(source);
    EXPECT_EQ(target.count(), 3u);
    EXPECT_EQ(source.count(), 0u);
    EXPECT_EQ(contents(target), (std::vector<Item*>{&a, &b, &c}));
    EXPECT_TRUE(contents(source).empty());
}

TEST(SortedList, KeepsAscendingOrderAndFirstInFirstOutAmongEquals) {
    F_sorted_list<Item> list;
    Item items[5] = {Item(5), Item(3), Item(5), Item(9), Item(1)};
    for (auto& item : items) list.insert_to_tail_by_grown(&item);
    EXPECT_EQ(contents(list),
              (std::vector<Item*>{&items[4], &items[1], &items[0], &items[2], &items[3]}));
}

struct Receiver {
    virtual ~Receiver() = default;
    int id = 0;
    Containers::CyclicList node;
};

TEST(CyclicList, MovesNodesBetweenRingsAndUnlinksOnDestruction) {
    Containers::CyclicList first, second;
    EXPECT_TRUE(first.begin() == first.end());

    Receiver r1, r2;
    r1.id = 1;
    r2.id = 2;
    first.AddToTail(&r1.node);
    first.AddToTail(&r2.node);
    second.AddToTail(&r1.node);  // leaves the first ring

    std::vector<int> ids;
    for (auto it = first.begin(); it != first.end(); ++it)
        ids.push_back(Containers::offset(*it, &Receiver::node)->id);
    EXPECT_EQ(ids, std::vector<int>{2});
    EXPECT_EQ(Containers::offset(*second.begin(), &Receiver::node), &r1);

    {
        Receiver r3;
        second.AddToTail(&r3.node);
    }
    ids.clear();
    for (auto it = second.begin(); it != second.end(); ++it)
        ids.push_back(Containers::offset(*it, &Receiver::node)->id);
    EXPECT_EQ(ids, std::vector<int>{1});
}

struct Counted {
    Counted() { ++alive; }
    Counted(Counted const& o) : value(o.value) { ++alive; }
    ~Counted() { --alive; }
    uint32_t ref_count = 0;
    int value = 0;
    static int alive;
};
int Counted::alive = 0;

TEST(SmartPointer, DestroysItsObjectExactlyOnceWhenTheLastHolderGoes) {
    {
        Smart_pointer<Counted> a(new Counted);
        {
            Smart_pointer<Counted> b(a);
            Smart_pointer<Counted> c;
            c = b;
            Smart_pointer<Counted> const& same = c;
            c = same;  // self-assignment keeps the object
            EXPECT_EQ(a.get()->ref_count, 3u);
        }
        EXPECT_EQ(Counted::alive, 1);
        EXPECT_EQ(a.get()->ref_count, 1u);
    }
    EXPECT_EQ(Counted::alive, 0);

    Smart_pointer<Counted> d(new Counted);
    d.clean();
    EXPECT_TRUE(d.null());
    EXPECT_EQ(Counted::alive, 0);
}

TEST(SmartPointer, CopiesASharedObjectOnModifyingAccess) {
    Smart_pointer<Counted> a(new Counted);
    Smart_pointer<Counted> b(a);
    b->value = 42;  // non-const arrow: b gets its own copy
    Smart_pointer<Counted> const& ca = a;
    EXPECT_EQ(ca->value, 0);
    EXPECT_EQ(a.get()->ref_count, 1u);
    EXPECT_EQ(b.get()->ref_count, 1u);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(Counted::alive, 2);
}

TEST(SmartPointerDeathTest, DereferencingNullEndsTheProcess) {
    Smart_pointer<Counted> empty;
    EXPECT_DEATH(empty->value = 1, "SMART POINTER ASSERTION!");
}

}  // namespace
