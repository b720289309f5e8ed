// The calling context tree: one node per distinct call path (task, outer call, ..., call),
// holding the exclusive cycles of the completed calls that had exactly that path. It keeps at
// most MaxNodes nodes, and paths of at most MaxDepth calls (each path is written out whole in
// the folded stacks, so deep recursion would make them grow with the square of its depth); a
// call beyond either is counted in its caller's node, apart from the caller's own calls
// (TCallTreeNode::FoldedCycles).
#pragma once

#include "analysis/JobResults.h"
#include "base/DelayLine.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace hookmeter {

class TCallTreeBuilder final : public TReplayObserver {
public:
    static constexpr uint32_t NodeBits = 16;
    static constexpr uint32_t MaxNodes = 1u << NodeBits;
    static constexpr uint32_t MaxDepth = 256;

    // Node names: a task's index in the task table, or the task count plus a function's index.
    TCallTreeBuilder(TEntryTables& tables, uint32_t callStackSize);

    void FunctionEntered(const TaskEntry& task, std::span<const CallFrame> stack) override;
    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override;

    // The node of the call `depth` frames deep (1: outermost) on the task's stack; its caller's
    // node for a call beyond the tree.
    uint32_t NodeOf(const TaskEntry& task, size_t depth) const {
        return Frames[Tables.IndexOf(task)][depth - 1] & ~FoldedFrame;
    }
    uint32_t NameOfFunction(const FunctionEntry& function) const {
        return TaskCount + Tables.IndexOf(function);
    }
    // Hands the tree over with TotalCycles filled in; `names` are indexed like node names.
    TCallTree Take(std::vector<std::string> names);

private:
    // Marks a live frame whose call is counted in its caller's node, the node it holds.
    static constexpr uint32_t FoldedFrame = 1u << 31;
    static_assert(MaxNodes <= FoldedFrame);

    // The child of `parent` with `name`, made when missing; `parent` itself when the tree is
    // full.
    uint32_t Child(uint32_t parent, uint32_t name);
    static uint64_t Hash(uint32_t parent, uint32_t name) {
        return (uint64_t(parent) << 32 | name) * 0x9E3779B97F4A7C15ull;
    }
    // A one-bit-per-name filter of the names of a node's children, kept in its TotalCycles
    // until Take fills them in: most calls on a full tree are on paths it does not hold, and
    // the filter answers for nearly all of them without a miss on the slots.
    static uint64_t NameBit(uint32_t name) { return uint64_t{1} << (name * 0x9E3779B1u >> 26); }
    uint64_t& ChildNames(uint32_t node) { return TreeNodes[node].TotalCycles; }

    TEntryTables& Tables;
    uint32_t TaskCount;
    uint32_t CallStackSize;
    std::vector<TCallTreeNode> TreeNodes;
    // The nodes by (parent, name): node index in the low NodeBits, a tag from the hash above
    // them, so that a lookup rarely touches a node that does not match; 0 is empty.
    std::unique_ptr<uint32_t[]> Slots;
    std::vector<uint32_t> TaskNodes; // by task index; 0 until made
    // Per task: the node of each live frame, with FoldedFrame for a call beyond the tree.
    std::vector<std::unique_ptr<uint32_t[]>> Frames;
    bool WasFolded = false;
    // Exclusive cycles on their way to their nodes: a node is prefetched when its cycles are
    // queued and added to when they leave the queue (an empty entry adds 0 to the root).
    struct TPendingCycles {
        uint32_t Frame = 0; // a node, with FoldedFrame for a call beyond the tree
        uint64_t Cycles = 0;
    };
    void AddCycles(const TPendingCycles& done);
    TDelayLine<TPendingCycles, 16> PendingCycles;
};

} // namespace hookmeter
