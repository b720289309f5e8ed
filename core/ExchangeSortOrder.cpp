// How the exchange sort treats equal keys.
//
// Pass i holds the element at slot i and scans the slots after it; whenever it meets a strictly
// larger key it drops the held element there and picks that one up; the largest key (its first
// occurrence) ends at slot i. Only the elements of one key class K matter for K's final order,
// together with the elements of larger keys ("higher" slots); smaller keys never move a K
// element past another. Seen from K:
//   - the passes walk the slots left to right;
//   - at a K element, when higher slots still lie ahead, the element jumps to the first higher
//     slot ahead that no earlier jump has taken;
//   - the jumped-to slots are taken in FIFO order, so the jumping elements form a queue; when
//     the walk reaches a taken slot, its element jumps again: the queue rotates by one;
//   - once no free higher slot lies ahead, the walk stops: the remaining slots, in order, give
//     K's final order (K elements that never moved stay, taken slots give the queue in order).
// With the counts of higher elements between consecutive K elements (a Fenwick tree over the
// positions, filled class by class from the largest key down) each class is simulated per run
// of higher slots, rotating the queue, an implicit treap, by the run's length in O(log n).

#include "core/ExchangeSortOrder.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace hookmeter {
namespace {

// Counts of higher elements by position.
class TFenwickTree {
public:
    explicit TFenwickTree(size_t size) : Counts(size + 1, 0) {}
    void Insert(size_t position) {
        for (size_t i = position + 1; i < Counts.size(); i += i & (~i + 1))
            ++Counts[i];
    }
    // Elements inserted at positions below `position`.
    uint32_t CountBelow(size_t position) const {
        uint32_t count = 0;
        for (size_t i = position; i > 0; i -= i & (~i + 1))
            count += Counts[i];
        return count;
    }

private:
    std::vector<uint32_t> Counts;
};

// A queue that can rotate by any amount in O(log n): an implicit treap.
class TRotatingQueue {
public:
    void Clear() {
        Nodes.clear();
        Root = None;
    }
    void PushBack(uint32_t value) {
        Nodes.push_back({value, NextPriority(), None, None, 1});
        Root = Merge(Root, int32_t(Nodes.size() - 1));
    }
    // Moves the front element to the back, `count` times.
    void Rotate(uint32_t count) {
        if (Root == None || (count %= SizeOf(Root)) == 0)
            return;
        auto [front, back] = Split(Root, count);
        Root = Merge(back, front);
    }
    // The elements from front to back.
    void AppendTo(std::vector<uint32_t>& out) const {
        std::vector<int32_t> path;
        int32_t node = Root;
        while (node != None || !path.empty()) {
            while (node != None) {
                path.push_back(node);
                node = Nodes[node].Left;
            }
            node = path.back();
            path.pop_back();
            out.push_back(Nodes[node].Value);
            node = Nodes[node].Right;
        }
    }

private:
    static constexpr int32_t None = -1;
    struct Node {
        uint32_t Value;
        uint32_t Priority;
        int32_t Left;
        int32_t Right;
        uint32_t Size;
    };

    uint32_t NextPriority() {
        Seed ^= Seed << 13;
        Seed ^= Seed >> 17;
        Seed ^= Seed << 5;
        return Seed;
    }
    uint32_t SizeOf(int32_t node) const { return node == None ? 0 : Nodes[node].Size; }
    void Update(int32_t node) {
        Nodes[node].Size = 1 + SizeOf(Nodes[node].Left) + SizeOf(Nodes[node].Right);
    }
    int32_t Merge(int32_t left, int32_t right) {
        if (left == None)
            return right;
        if (right == None)
            return left;
        if (Nodes[left].Priority > Nodes[right].Priority) {
            Nodes[left].Right = Merge(Nodes[left].Right, right);
            Update(left);
            return left;
        }
        Nodes[right].Left = Merge(left, Nodes[right].Left);
        Update(right);
        return right;
    }
    // The first `count` elements, and the rest.
    std::pair<int32_t, int32_t> Split(int32_t node, uint32_t count) {
        if (node == None)
            return {None, None};
        uint32_t leftSize = SizeOf(Nodes[node].Left);
        if (count <= leftSize) {
            auto [front, back] = Split(Nodes[node].Left, count);
            Nodes[node].Left = back;
            Update(node);
            return {front, node};
        }
        auto [front, back] = Split(Nodes[node].Right, count - leftSize - 1);
        Nodes[node].Right = front;
        Update(node);
        return {node, back};
    }

    std::vector<Node> Nodes;
    int32_t Root = None;
    uint32_t Seed = 2463534242u;
};

// Appends the final order of one key class. `members` are its input indexes in ascending order;
// `higherAfter[j]` counts the higher elements after members[j].
void OrderClass(const std::vector<uint32_t>& members, const std::vector<uint32_t>& higherAfter,
                TRotatingQueue& queue, std::vector<uint32_t>& order) {
    size_t m = members.size();
    auto runAfter = [&](size_t j) { // higher elements between members[j] and members[j + 1]
        return higherAfter[j] - (j + 1 < m ? higherAfter[j + 1] : 0);
    };
    queue.Clear();
    std::vector<uint32_t> queued;
    // Emits the slots from member `next` on, the free higher slots of the current run first.
    auto finish = [&](size_t next, uint32_t slotsInRun) {
        queued.clear();
        queue.AppendTo(queued);
        size_t fromQueue = 0;
        auto emitQueued = [&](uint32_t count) {
            for (uint32_t k = 0; k < count; ++k)
                order.push_back(queued[fromQueue++]);
        };
        emitQueued(slotsInRun);
        for (size_t t = next; t < m; ++t) {
            order.push_back(members[t]);
            emitQueued(runAfter(t));
        }
    };
    for (size_t j = 0; j < m; ++j) {
        uint32_t queueSize = uint32_t(j); // every earlier member is in the queue
        if (higherAfter[j] == queueSize) {
            // No free higher slot ahead: this member stays where it is.
            finish(j, 0);
            return;
        }
        queue.PushBack(members[j]);
        ++queueSize;
        uint32_t run = runAfter(j);
        // The walk stops at the run's slot where the free higher slots ahead run out.
        uint32_t stop = higherAfter[j] - queueSize + 1;
        if (stop <= run) {
            queue.Rotate(stop - 1);
            finish(j + 1, run - stop + 1);
            return;
        }
        queue.Rotate(run);
    }
}

} // namespace

std::vector<uint32_t> ExchangeSortOrder(std::span<const uint64_t> keys) {
    size_t n = keys.size();
    std::vector<uint32_t> byKey(n);
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) {
        return keys[a] != keys[b] ? keys[a] > keys[b] : a < b;
    });

    std::vector<uint32_t> order;
    order.reserve(n);
    TFenwickTree higher(n);
    uint32_t higherCount = 0;
    TRotatingQueue queue;
    std::vector<uint32_t> members;
    std::vector<uint32_t> higherAfter;
    for (size_t begin = 0; begin < n;) {
        size_t end = begin + 1;
        while (end < n && keys[byKey[end]] == keys[byKey[begin]])
            ++end;
        members.assign(byKey.begin() + begin, byKey.begin() + end);
        if (members.size() == 1) {
            order.push_back(members[0]);
        } else {
            higherAfter.resize(members.size());
            for (size_t j = 0; j < members.size(); ++j)
                higherAfter[j] = higherCount - higher.CountBelow(members[j] + 1);
            OrderClass(members, higherAfter, queue, order);
        }
        for (uint32_t member : members)
            higher.Insert(member);
        higherCount += uint32_t(members.size());
        begin = end;
    }
    return order;
}
} // namespace hookmeter
