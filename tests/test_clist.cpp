// TarnCList: inserting at either end, removing with the predecessor handed back, removing a
// stray element, and clearing with and without deletion, including elements that unlink
// themselves from the list in their destructor (as surfaces do through their screen).
#include "display/TarnCList.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

struct Node {
    explicit Node(int id) : id(id) {}
    virtual ~Node() { deleted++; }
    Node* nextSurface = nullptr;
    Node* prevSurface = nullptr;
    int id;
    static int deleted;
};
int Node::deleted = 0;

// Checks the list's invariants and returns its ids from head to tail.
std::vector<int> Walk(const TarnCList<Node>& list) {
    std::vector<int> ids;
    EXPECT_EQ(list.head == nullptr, list.tail == nullptr);
    const Node* previous = nullptr;
    for (const Node* n = list.head; n != nullptr; n = n->nextSurface) {
        EXPECT_EQ(n->prevSurface, previous) << "at element " << n->id;
        ids.push_back(n->id);
        previous = n;
    }
    EXPECT_EQ(list.tail, previous);
    EXPECT_EQ(list.count, static_cast<int>(ids.size()));
    return ids;
}

// One case: elements 1..n inserted with the given at-tail flags, then one removal (0 = a node
// that was never inserted). Expected: the returned predecessor's id (0 = null) and the order left.
struct RemoveCase {
    const char* name;
    std::vector<int> atTail; // flag per inserted element, element i+1 gets atTail[i]
    std::vector<int> orderAfterInsert;
    int removeId;
    int returnedId;
    std::vector<int> orderAfterRemove;
};

const RemoveCase REMOVE_CASES[] = {
    {"only element, at tail", {1}, {1}, 1, 0, {}},
    {"only element, at head", {0}, {1}, 1, 0, {}},
    {"tail inserts keep order", {1, 1, 1}, {1, 2, 3}, 3, 2, {1, 2}},
    {"head inserts reverse order", {0, 0, 0}, {3, 2, 1}, 2, 3, {3, 1}},
    {"mixed inserts", {1, 0, 1, 0}, {4, 2, 1, 3}, 4, 0, {2, 1, 3}},
    {"middle removal returns predecessor", {1, 1, 1, 1}, {1, 2, 3, 4}, 3, 2, {1, 2, 4}},
    {"removing the head returns null", {1, 1, 1}, {1, 2, 3}, 1, 0, {2, 3}},
    {"a stray element changes nothing", {1, 1}, {1, 2}, 0, 0, {1, 2}},
};

TEST(CList, InsertAndRemoveCases) {
    for (const RemoveCase& c : REMOVE_CASES) {
        SCOPED_TRACE(c.name);
        std::vector<Node> nodes;
        nodes.reserve(c.atTail.size());
        for (size_t i = 0; i < c.atTail.size(); i++) nodes.emplace_back(static_cast<int>(i + 1));
        Node stray(0);
        TarnCList<Node> list;
        for (size_t i = 0; i < nodes.size(); i++) list.Insert(&nodes[i], c.atTail[i]);
        EXPECT_EQ(Walk(list), c.orderAfterInsert);

        Node* target = c.removeId == 0 ? &stray : &nodes[c.removeId - 1];
        Node* ref = target;
        Node* returned = list.Remove(ref, 0);
        EXPECT_EQ(returned == nullptr ? 0 : returned->id, c.returnedId);
        if (c.removeId == 0)
            EXPECT_EQ(ref, &stray); // a refused removal leaves the caller's pointer alone
        else
            EXPECT_EQ(ref, returned);
        EXPECT_EQ(Walk(list), c.orderAfterRemove);
        list.Clear(0);
    }
}

TEST(CList, NullElementsAreIgnored) {
    TarnCList<Node> list;
    list.Insert(nullptr, 1);
    Node* none = nullptr;
    EXPECT_EQ(list.Remove(none, 1), nullptr);
    EXPECT_TRUE(Walk(list).empty());
}

TEST(CList, RemoveWithDeleteDeletesOnlyThatElement) {
    TarnCList<Node> list;
    Node keep(1);
    Node* doomed = new Node(2);
    list.Insert(&keep, 1);
    list.Insert(doomed, 1);
    Node::deleted = 0;
    list.Remove(doomed, 1);
    EXPECT_EQ(Node::deleted, 1);
    EXPECT_EQ(doomed, &keep);
    EXPECT_EQ(Walk(list), std::vector<int>{1});
    list.Clear(0);
}

TEST(CList, ClearWithoutDeleteLeavesElementsAndTheirLinks) {
    Node a(1), b(2), c(3);
    {
        TarnCList<Node> list;
        list.Insert(&a, 1);
        list.Insert(&b, 1);
        list.Insert(&c, 1);
        Node::deleted = 0;
        list.Clear(0);
        EXPECT_TRUE(Walk(list).empty());
        list.Clear(1); // an empty list has nothing to delete
    }
    EXPECT_EQ(Node::deleted, 0);
    EXPECT_EQ(a.nextSurface, &b);
    EXPECT_EQ(b.prevSurface, &a);
    EXPECT_EQ(b.nextSurface, &c);
    EXPECT_EQ(c.prevSurface, &b);
}

// Elements that unlink themselves from their list when deleted, as surfaces do.
struct SelfUnlinking : Node {
    SelfUnlinking(int id, TarnCList<Node>* owner) : Node(id), owner(owner) {}
    ~SelfUnlinking() override {
        Node* self = this;
        owner->Remove(self, 0);
    }
    TarnCList<Node>* owner;
};

TEST(CList, ClearWithDeleteHandlesElementsThatUnlinkThemselves) {
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE(n);
        TarnCList<Node> list;
        for (int i = 1; i <= n; i++) list.Insert(new SelfUnlinking(i, &list), 1);
        Node::deleted = 0;
        list.Clear(1);
        EXPECT_EQ(Node::deleted, n);
        EXPECT_TRUE(Walk(list).empty());
    }
}

TEST(CList, ClearWithDeleteDeletesPlainElementsOnce) {
    TarnCList<Node> list;
    for (int i = 1; i <= 3; i++) list.Insert(new Node(i), i % 2);
    Node::deleted = 0;
    list.Clear(1);
    EXPECT_EQ(Node::deleted, 3);
    EXPECT_TRUE(Walk(list).empty());
}

} // namespace
