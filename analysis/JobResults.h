// What a finished job found, kept in memory for the window: per-function and per-task figures
// with their distributions and worst calls, the tree of call paths, and the files written.
// The same data feeds the distribution and folded-stack files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hookmeter {

class TCallTracks;

// Cycles of a set of calls (or run slices). Percentiles are nearest-rank, within 1%.
struct TDistribution {
    uint64_t Min = 0;
    uint64_t P50 = 0;
    uint64_t P90 = 0;
    uint64_t P99 = 0;
    uint64_t Max = 0;
    uint64_t Mean = 0; // the summary's average: total / count, rounded down
};

struct TFunctionResult {
    uint32_t Address = 0;
    std::string Name;
    uint32_t Calls = 0; // completed calls
    TDistribution Inclusive;
    TDistribution Exclusive;
    uint64_t TotalExclusive = 0;
    double Share = 0; // percent of the exclusive cycles of all functions
    // The completed call with the largest inclusive cycles, the earliest of equals.
    uint64_t WorstEnterTSC = 0;
    std::string WorstTask;
    uint32_t WorstNode = 0; // its node in the call tree (or its caller's, when the tree was full)
    // "task;outer;...;function"; kept only when the job's CollectResults was on (so many paths
    // take much memory), else empty: CallPath(CallTree, WorstNode, Name) makes it.
    std::string WorstPath;
};

struct TTaskResult {
    uint32_t Handle = 0;
    std::string Name;
    uint32_t SwitchIns = 0;
    TDistribution Slices;       // run slices; Mean is TotalCycles / SwitchIns, as in the summary
    uint32_t SlicesCounted = 0; // run slices in the distribution
    uint64_t TotalCycles = 0;
    double Share = 0; // percent of the cycles of all tasks
    int32_t MaxStackDepth = 0;
    uint64_t LongestSliceTSC = 0; // where the longest slice started
};

// The calling context tree: node 0 is an unnamed root, its children are the tasks, theirs the
// outermost calls, and so on. Cycles are the exclusive cycles of completed calls.
struct TCallTreeNode {
    uint32_t Parent = 0;
    uint32_t FirstChild = 0;  // 0: none
    uint32_t NextSibling = 0; // 0: none
    uint32_t Name = 0;        // index into TCallTree::Names
    uint64_t SelfCycles = 0;  // exclusive cycles of the calls with exactly this path
    // Exclusive cycles of the calls below this path that the tree could not hold (too deep, or
    // the tree full), counted here, in their caller.
    uint64_t FoldedCycles = 0;
    uint64_t TotalCycles = 0; // SelfCycles and FoldedCycles plus the TotalCycles of every child
};

struct TCallTree {
    std::vector<TCallTreeNode> Nodes;
    std::vector<std::string> Names;
    bool Folded = false; // some paths were deeper than the tree keeps and were folded

    // The nodes from the outermost one (a task) down to `node` itself, into `path`; empty for the
    // root.
    void PathTo(uint32_t node, std::vector<uint32_t>& path) const;
};

// The call path of `node` as "task;outer;...;function" for a call of `function`; when the tree
// was full and the call was counted in a caller's node, ";...;" and the function end the path.
std::string CallPath(const TCallTree& tree, uint32_t node, const std::string& function);

struct TWrittenFile {
    std::string Role; // "Call list", "Profile summary", "Timeline", "Folded stacks", ...
    std::string Path;
};

struct TJobResults {
    uint64_t FirstTSC = 0;
    uint64_t LastTSC = 0;
    std::vector<TFunctionResult> Functions; // functions with at least one completed call
    std::vector<TTaskResult> Tasks;
    TCallTree CallTree;
    std::vector<TWrittenFile> Files; // outputs written completely
    // Every call on a time axis, when the job's CollectTimeline asked for it; its temporary file
    // goes with the last reference.
    std::shared_ptr<const TCallTracks> Tracks;
};

} // namespace hookmeter
