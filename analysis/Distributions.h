// Gathers, per function, the distributions of inclusive and exclusive cycles and the worst call
// (largest inclusive cycles, the earliest of equals, with its call path), and per task the
// distribution of run slices and the longest one. Memory per function does not grow with its
// number of calls.
#pragma once

#include "analysis/CallTree.h"
#include "analysis/DeferredAdds.h"
#include "analysis/JobResults.h"
#include "analysis/LogHistogram.h"
#include "base/DelayLine.h"
#include "core/EntryTables.h"
#include "core/ReplayObserver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hookmeter {

class TDistributionCollector final : public TReplayObserver {
public:
    // `tree` gives the worst calls' paths; it must see each event before this collector.
    TDistributionCollector(TEntryTables& tables, const TCallTreeBuilder& tree);

    void CallCompleted(const TaskEntry& task, const FunctionEntry& function,
                       std::span<const CallFrame> stack, uint64_t inclusive,
                       uint64_t exclusive) override;
    void SliceCounted(const TaskEntry& task, uint64_t startTSC, uint64_t cycles) override;

    // The results of the replay, from the tables' statistics and what was gathered here, with
    // the worst calls' paths as text when `withPaths`; what was gathered is freed on the way.
    // Call once, before the summary reorders the tables.
    TJobResults TakeResults(TCallTreeBuilder& tree, uint64_t firstTSC, uint64_t lastTSC,
                            bool withPaths);

private:
    struct TFunctionState {
        TLogHistogram Inclusive;
        TLogHistogram Exclusive;
        uint64_t WorstInclusive = 0;
        uint64_t WorstEnterTSC = 0;
        uint32_t WorstNode = 0;
        uint32_t WorstTask = NoWorstCall;
    };
    static constexpr uint32_t NoWorstCall = ~uint32_t{0}; // the WorstTask of a function not called
    // A completed call on its way into its function's state, a few calls late: the state is
    // prefetched when the call is queued, its packed histograms halfway, and the call is
    // counted when it leaves the queue, in the order the calls came.
    struct TPendingCall {
        TFunctionState* State = nullptr; // none: an empty entry
        uint64_t Inclusive = 0;
        uint64_t Exclusive = 0;
        uint64_t EnterTSC = 0;
        uint32_t Node = 0;
        uint32_t Task = 0;
        void Prefetch() const;
    };
    void Count(const TPendingCall& call);

    struct TTaskState {
        TLogHistogram Slices;
        uint64_t Longest = 0;
        uint64_t LongestStartTSC = 0;
        bool Counted = false; // a slice was counted
    };

    TEntryTables& Tables;
    const TCallTreeBuilder& Tree;
    std::unique_ptr<TFunctionState[]> Functions;
    std::unique_ptr<TTaskState[]> Tasks;
    TDeferredAdds Adds; // into the histograms above
    static constexpr size_t CallsDelay = 8;
    TDelayLine<TPendingCall, CallsDelay> Calls;
};

} // namespace hookmeter
