#include "engine/Distributions.h"

#include "engine/Entries.h"

#include <algorithm>

namespace hookmeter {
namespace {

uint64_t Average(uint64_t total, uint32_t count) {
    return count == 0 ? 0 : total / count;
}

TDistribution DistributionOf(const TLogHistogram& histogram, uint64_t minimum, uint64_t maximum,
                             uint64_t total, uint32_t count) {
    TDistribution distribution;
    // Never-measured minima still hold their start value; the summary prints 0 for them.
    distribution.Min = maximum < minimum ? maximum : minimum;
    distribution.Max = maximum;
    distribution.P50 = histogram.Percentile(50);
    distribution.P90 = histogram.Percentile(90);
    distribution.P99 = histogram.Percentile(99);
    distribution.Mean = double(Average(total, count));
    return distribution;
}

} // namespace

TDistributionCollector::TDistributionCollector(TProfileTables& tables, const TCallTreeBuilder& tree)
    : Tables(tables), Tree(tree), Functions(new TFunctionState[tables.FunctionCount]),
      Tasks(new TTaskState[tables.TaskCount]) {}

void TDistributionCollector::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                                           std::span<const CallFrame> stack, uint64_t inclusive,
                                           uint64_t exclusive) {
    TFunctionState& state = Functions[&function - Tables.FunctionEntries().data()];
    bool first = state.Inclusive.Count() == 0;
    state.Inclusive.Add(inclusive);
    state.Exclusive.Add(exclusive);
    if (first || inclusive > state.WorstInclusive) {
        state.WorstInclusive = inclusive;
        state.WorstEnterTSC = stack.back().EnterTSC;
        state.WorstNode = Tree.NodeOf(task, stack.size());
        state.WorstTask = uint32_t(&task - Tables.TaskEntries().data());
    }
}

void TDistributionCollector::SliceCounted(const TaskEntry& task, uint64_t startTSC,
                                          uint64_t cycles) {
    TTaskState& state = Tasks[&task - Tables.TaskEntries().data()];
    bool first = state.Slices.Count() == 0;
    state.Slices.Add(cycles);
    if (first || cycles > state.Longest) {
        state.Longest = cycles;
        state.LongestStartTSC = startTSC;
    }
}

std::string TDistributionCollector::PathOf(uint32_t node, const FunctionEntry& function,
                                           const TCallTreeBuilder& tree) const {
    const std::vector<TCallTreeNode>& nodes = tree.Nodes();
    std::vector<uint32_t> chain;
    for (uint32_t at = node; at != 0; at = nodes[at].Parent)
        chain.push_back(at);
    std::string path;
    std::span<const TaskEntry> tasks = Tables.TaskEntries();
    std::span<const FunctionEntry> functions = Tables.FunctionEntries();
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        uint32_t name = nodes[*at].Name;
        if (!path.empty())
            path += ';';
        path += name < tasks.size() ? PrintableName(tasks[name].Name)
                                    : PrintableName(functions[name - tasks.size()].Name);
    }
    // A call the full tree counted in its caller's node: its own name still ends the path.
    if (node == 0 || nodes[node].Name != tree.NameOfFunction(function)) {
        path += path.empty() ? "" : ";...;";
        path += PrintableName(function.Name);
    }
    return path;
}

TJobResults TDistributionCollector::TakeResults(TCallTreeBuilder& tree, uint64_t firstTSC,
                                                uint64_t lastTSC) {
    TJobResults results;
    results.FirstTSC = firstTSC;
    results.LastTSC = lastTSC;
    std::span<FunctionEntry> functions = Tables.FunctionEntries();
    std::span<TaskEntry> tasks = Tables.TaskEntries();

    uint64_t functionCycles = 0;
    for (const FunctionEntry& function : functions)
        functionCycles += function.TotalExcluCycles;
    for (size_t i = 0; i < functions.size(); ++i) {
        const FunctionEntry& function = functions[i];
        TFunctionState& state = Functions[i];
        if (function.ExecuteTimes == 0)
            continue;
        TFunctionResult& result = results.Functions.emplace_back();
        result.Address = function.Address;
        result.Name = PrintableName(function.Name);
        result.Calls = function.ExecuteTimes;
        result.Inclusive =
            DistributionOf(state.Inclusive, function.MinIncluCycle, function.MaxIncluCycle,
                           function.TotalIncluCycles, function.ExecuteTimes);
        result.Exclusive =
            DistributionOf(state.Exclusive, function.MinExcluCycle, function.MaxExcluCycle,
                           function.TotalExcluCycles, function.ExecuteTimes);
        result.TotalExclusive = function.TotalExcluCycles;
        result.Share =
            functionCycles == 0 ? 0 : 100.0 * double(function.TotalExcluCycles) / functionCycles;
        result.WorstEnterTSC = state.WorstEnterTSC;
        result.WorstTask = PrintableName(tasks[state.WorstTask].Name);
        result.WorstPath = PathOf(state.WorstNode, function, tree);
        state.Inclusive.Clear();
        state.Exclusive.Clear();
    }

    uint64_t taskCycles = 0;
    for (const TaskEntry& task : tasks)
        taskCycles += task.SubTotalCycles;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const TaskEntry& task = tasks[i];
        TTaskState& state = Tasks[i];
        TTaskResult& result = results.Tasks.emplace_back();
        result.Handle = task.Handle;
        result.Name = PrintableName(task.Name);
        result.SwitchIns = task.EnterTimes;
        result.Slices = DistributionOf(state.Slices, task.MinimumCycles, task.MaximumCycles,
                                       task.SubTotalCycles, task.EnterTimes);
        result.SlicesCounted = uint32_t(state.Slices.Count());
        result.TotalCycles = task.SubTotalCycles;
        result.Share = taskCycles == 0 ? 0 : 100.0 * double(task.SubTotalCycles) / taskCycles;
        result.MaxStackDepth = task.MaxStackDepth;
        result.LongestSliceTSC = state.LongestStartTSC;
        state.Slices.Clear();
    }

    std::vector<std::string> names;
    names.reserve(tasks.size() + functions.size());
    for (const TaskEntry& task : tasks)
        names.emplace_back(PrintableName(task.Name));
    for (const FunctionEntry& function : functions)
        names.emplace_back(PrintableName(function.Name));
    results.CallTree = tree.Take(std::move(names));
    return results;
}

} // namespace hookmeter
