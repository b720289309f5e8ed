#include "analysis/Distributions.h"

#include "core/Entries.h"

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
    distribution.P50 = histogram.Percentile(50, distribution.Min, maximum);
    distribution.P90 = histogram.Percentile(90, distribution.Min, maximum);
    distribution.P99 = histogram.Percentile(99, distribution.Min, maximum);
    distribution.Mean = Average(total, count);
    return distribution;
}

} // namespace

TDistributionCollector::TDistributionCollector(TEntryTables& tables, const TCallTreeBuilder& tree)
    : Tables(tables), Tree(tree), Functions(new TFunctionState[tables.FunctionCount]),
      Tasks(new TTaskState[tables.TaskCount]) {}

void TDistributionCollector::CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                                           std::span<const CallFrame> stack, uint64_t inclusive,
                                           uint64_t exclusive) {
    TFunctionState& state = Functions[Tables.IndexOf(function)];
    __builtin_prefetch(&state, 1);
    __builtin_prefetch(reinterpret_cast<const char*>(&state + 1) - 1, 1);
    Calls.Ahead(CallsDelay / 2).Prefetch();
    Count(Calls.Exchange({&state, inclusive, exclusive, stack.back().EnterTSC,
                          Tree.NodeOf(task, stack.size()), Tables.IndexOf(task)}));
}

void TDistributionCollector::TPendingCall::Prefetch() const {
    if (State != nullptr) {
        State->Inclusive.Prefetch();
        State->Exclusive.Prefetch();
    }
}

void TDistributionCollector::Count(const TPendingCall& call) {
    if (call.State == nullptr)
        return;
    TFunctionState& state = *call.State;
    bool first = state.WorstTask == NoWorstCall;
    Adds.Add(state.Inclusive, call.Inclusive);
    Adds.Add(state.Exclusive, call.Exclusive);
    if (first || call.Inclusive > state.WorstInclusive) {
        state.WorstInclusive = call.Inclusive;
        state.WorstEnterTSC = call.EnterTSC;
        state.WorstNode = call.Node;
        state.WorstTask = call.Task;
    }
}

void TDistributionCollector::SliceCounted(const TaskEntry& task, uint64_t startTSC,
                                          uint64_t cycles) {
    TTaskState& state = Tasks[Tables.IndexOf(task)];
    bool first = !state.Counted;
    Adds.Add(state.Slices, cycles);
    if (first || cycles > state.Longest) {
        state.Counted = true;
        state.Longest = cycles;
        state.LongestStartTSC = startTSC;
    }
}

TJobResults TDistributionCollector::TakeResults(TCallTreeBuilder& tree, uint64_t firstTSC,
                                                uint64_t lastTSC, bool withPaths) {
    Calls.Drain([&](const TPendingCall& call) { Count(call); });
    Adds.Flush();
    TJobResults results;
    results.FirstTSC = firstTSC;
    results.LastTSC = lastTSC;
    std::span<FunctionEntry> functions = Tables.FunctionEntries();
    std::span<TaskEntry> tasks = Tables.TaskEntries();

    uint64_t functionCycles = 0;
    size_t measured = 0;
    for (const FunctionEntry& function : functions) {
        functionCycles += function.TotalExcluCycles;
        measured += function.ExecuteTimes != 0;
    }
    results.Functions.reserve(measured);
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
        if (state.WorstTask != NoWorstCall)
            result.WorstTask = PrintableName(tasks[state.WorstTask].Name);
        result.WorstNode = state.WorstNode;
        state.Inclusive.Clear();
        state.Exclusive.Clear();
    }
    Functions.reset();

    uint64_t taskCycles = 0;
    for (const TaskEntry& task : tasks)
        taskCycles += task.SubTotalCycles;
    results.Tasks.reserve(tasks.size());
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
    }
    Tasks.reset();

    std::vector<std::string> names;
    names.reserve(tasks.size() + functions.size());
    for (const TaskEntry& task : tasks)
        names.emplace_back(PrintableName(task.Name));
    for (const FunctionEntry& function : functions)
        names.emplace_back(PrintableName(function.Name));
    results.CallTree = tree.Take(std::move(names));
    if (withPaths)
        for (TFunctionResult& result : results.Functions)
            result.WorstPath = CallPath(results.CallTree, result.WorstNode, result.Name);
    return results;
}

} // namespace hookmeter
