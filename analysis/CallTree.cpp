#include "analysis/CallTree.h"

namespace hookmeter {
namespace {

constexpr uint32_t SlotBits = TCallTreeBuilder::NodeBits + 1; // at most half full
constexpr uint32_t SlotMask = (1u << SlotBits) - 1;
constexpr uint32_t NodeMask = TCallTreeBuilder::MaxNodes - 1;
constexpr uint32_t TagBits = 32 - TCallTreeBuilder::NodeBits;

} // namespace

TCallTreeBuilder::TCallTreeBuilder(TEntryTables& tables, uint32_t callStackSize)
    : Tables(tables), TaskCount(tables.TaskCount), CallStackSize(callStackSize),
      Slots(new uint32_t[size_t{1} << SlotBits]()), TaskNodes(tables.TaskCount, 0),
      Frames(tables.TaskCount) {
    TreeNodes.reserve(MaxNodes);          // address space only: pages come as nodes are made
    TreeNodes.push_back(TCallTreeNode{}); // the root
}

uint32_t TCallTreeBuilder::Child(uint32_t parent, uint32_t name) {
    uint64_t hash = Hash(parent, name);
    uint32_t slot = uint32_t(hash >> (64 - SlotBits));
    uint32_t tag = uint32_t(hash >> (64 - SlotBits - TagBits)) << NodeBits;
    uint64_t nameBit = NameBit(name);
    bool mayHaveIt = (ChildNames(parent) & nameBit) != 0;
    bool full = TreeNodes.size() >= MaxNodes;
    if (!mayHaveIt && full) {
        WasFolded = true;
        return parent;
    }
    for (;; slot = (slot + 1) & SlotMask) {
        uint32_t entry = Slots[slot];
        if (entry == 0)
            break;
        uint32_t node = entry & NodeMask;
        if (mayHaveIt && (entry & ~NodeMask) == tag && TreeNodes[node].Parent == parent &&
            TreeNodes[node].Name == name)
            return node;
    }
    if (full) {
        WasFolded = true;
        return parent;
    }
    uint32_t node = uint32_t(TreeNodes.size());
    TCallTreeNode& added = TreeNodes.emplace_back();
    added.Parent = parent;
    added.Name = name;
    added.NextSibling = TreeNodes[parent].FirstChild;
    TreeNodes[parent].FirstChild = node;
    ChildNames(parent) |= nameBit;
    Slots[slot] = tag | node;
    return node;
}

void TCallTreeBuilder::FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) {
    uint32_t taskIndex = Tables.IndexOf(task);
    std::unique_ptr<uint32_t[]>& frames = Frames[taskIndex];
    if (!frames)
        frames.reset(new uint32_t[CallStackSize]);
    size_t depth = stack.size();
    uint32_t parent;
    if (depth >= 2) {
        parent = frames[depth - 2] & ~FoldedFrame;
    } else {
        if (TaskNodes[taskIndex] == 0)
            TaskNodes[taskIndex] = Child(0, taskIndex);
        parent = TaskNodes[taskIndex];
    }
    if (depth > MaxDepth) {
        WasFolded = true;
        frames[depth - 1] = parent | FoldedFrame;
        return;
    }
    const FunctionEntry* function = Tables.FindFunction(stack.back().Address);
    // A function without an entry (its table was full) is left out of the path.
    if (function == nullptr) {
        frames[depth - 1] = parent;
        return;
    }
    const uint32_t node = Child(parent, NameOfFunction(*function));
    frames[depth - 1] = node != parent ? node : parent | FoldedFrame;
}

void TCallTreeBuilder::AddCycles(const TPendingCycles& done) {
    TCallTreeNode& node = TreeNodes[done.Frame & ~FoldedFrame];
    (done.Frame & FoldedFrame ? node.FoldedCycles : node.SelfCycles) += done.Cycles;
}

void TCallTreeBuilder::CallCompleted(const TaskEntry& task, const FunctionEntry&,
                                     std::span<const CallFrame> stack, uint64_t,
                                     uint64_t exclusive) {
    uint32_t frame = Frames[Tables.IndexOf(task)][stack.size() - 1];
    __builtin_prefetch(&TreeNodes[frame & ~FoldedFrame].SelfCycles, 1);
    AddCycles(PendingCycles.Exchange({frame, exclusive}));
}

TCallTree TCallTreeBuilder::Take(std::vector<std::string> names) {
    PendingCycles.Drain([&](const TPendingCycles& done) { AddCycles(done); });
    // A child always comes after its parent, so one backward sweep adds up every subtree.
    for (TCallTreeNode& node : TreeNodes)
        node.TotalCycles = node.SelfCycles + node.FoldedCycles;
    for (size_t i = TreeNodes.size() - 1; i >= 1; --i)
        TreeNodes[TreeNodes[i].Parent].TotalCycles += TreeNodes[i].TotalCycles;
    TCallTree tree;
    tree.Nodes = std::move(TreeNodes);
    tree.Names = std::move(names);
    tree.Folded = WasFolded;
    TreeNodes.clear();
    return tree;
}

} // namespace hookmeter
