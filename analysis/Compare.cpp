#include "analysis/Compare.h"

#include "core/Naming.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace hookmeter {
namespace {

class TSectionMatcher {
public:
    TSectionMatcher(const std::vector<TSummaryRow>& before, const std::vector<TSummaryRow>& after,
                    std::string_view numberedPrefix)
        : BeforeRows(before), AfterRows(after), Prefix(numberedPrefix),
          AfterTaken(after.size(), false) {}

    std::vector<TComparedRow> Match() {
        std::unordered_map<uint32_t, size_t> afterNumbered;
        std::unordered_map<std::string_view, std::vector<size_t>> afterNamed, beforeNamed;
        for (size_t i = 0; i < AfterRows.size(); ++i) {
            if (IsNumberedName(AfterRows[i].Name, Prefix))
                afterNumbered.emplace(AfterRows[i].Address, i);
            else
                afterNamed[AfterRows[i].Name].push_back(i);
        }
        for (size_t i = 0; i < BeforeRows.size(); ++i) {
            if (!IsNumberedName(BeforeRows[i].Name, Prefix)) {
                beforeNamed[BeforeRows[i].Name].push_back(i);
                continue;
            }
            auto found = afterNumbered.find(BeforeRows[i].Address);
            if (found != afterNumbered.end() && !AfterTaken[found->second])
                Pair(i, found->second);
            else
                Gone(i);
        }
        for (auto& [name, beforeIndexes] : beforeNamed) {
            auto found = afterNamed.find(name);
            if (found == afterNamed.end()) {
                for (size_t b : beforeIndexes)
                    Gone(b);
                continue;
            }
            MatchSameName(beforeIndexes, found->second);
        }
        for (size_t a = 0; a < AfterRows.size(); ++a)
            if (!AfterTaken[a])
                Add(nullptr, &AfterRows[a]);
        return std::move(Rows);
    }

private:
    // Rows that share one name: the same address first, then in address order.
    void MatchSameName(std::vector<size_t>& before, std::vector<size_t>& after) {
        auto byAddress = [](const std::vector<TSummaryRow>& rows) {
            return [&rows](size_t x, size_t y) { return rows[x].Address < rows[y].Address; };
        };
        std::sort(before.begin(), before.end(), byAddress(BeforeRows));
        std::sort(after.begin(), after.end(), byAddress(AfterRows));
        std::vector<size_t> unpaired;
        for (size_t b : before) {
            auto same = std::find_if(after.begin(), after.end(), [&](size_t a) {
                return !AfterTaken[a] && AfterRows[a].Address == BeforeRows[b].Address;
            });
            if (same != after.end())
                Pair(b, *same);
            else
                unpaired.push_back(b);
        }
        auto next = after.begin();
        for (size_t b : unpaired) {
            next = std::find_if(next, after.end(), [&](size_t a) { return !AfterTaken[a]; });
            if (next == after.end())
                Gone(b);
            else
                Pair(b, *next);
        }
    }

    void Pair(size_t before, size_t after) {
        AfterTaken[after] = true;
        Add(&BeforeRows[before], &AfterRows[after]);
    }

    void Gone(size_t before) { Add(&BeforeRows[before], nullptr); }

    void Add(const TSummaryRow* before, const TSummaryRow* after) {
        const TSummaryRow& shown = after ? *after : *before;
        TComparedRow row;
        row.Name = shown.Name;
        row.Address = shown.Address;
        row.Numbered = IsNumberedName(shown.Name, Prefix);
        if (before) {
            row.Before = true;
            row.CallsBefore = before->Calls;
            row.AverageBefore = before->AverageCycles;
            row.TotalBefore = before->TotalCycles;
        }
        if (after) {
            row.After = true;
            row.CallsAfter = after->Calls;
            row.AverageAfter = after->AverageCycles;
            row.TotalAfter = after->TotalCycles;
        }
        Rows.push_back(std::move(row));
    }

    const std::vector<TSummaryRow>& BeforeRows;
    const std::vector<TSummaryRow>& AfterRows;
    std::string_view Prefix;
    std::vector<bool> AfterTaken;
    std::vector<TComparedRow> Rows;
};

void SortByChange(std::vector<TComparedRow>& rows) {
    std::sort(rows.begin(), rows.end(), [](const TComparedRow& x, const TComparedRow& y) {
        if (x.TotalChange() != y.TotalChange())
            return x.TotalChange() > y.TotalChange();
        if (x.Name != y.Name)
            return x.Name < y.Name;
        if (x.Address != y.Address)
            return x.Address < y.Address;
        return x.Before > y.Before;
    });
}

std::vector<TComparedRow> CompareSection(const std::vector<TSummaryRow>& before,
                                         const std::vector<TSummaryRow>& after,
                                         std::string_view numberedPrefix) {
    std::vector<TComparedRow> rows = TSectionMatcher(before, after, numberedPrefix).Match();
    SortByChange(rows);
    return rows;
}

} // namespace

double TComparedRow::AverageChangePercent() const {
    if (AverageBefore == 0)
        return AverageAfter == 0 ? 0.0 : std::numeric_limits<double>::infinity();
    const long double change = (long double)AverageAfter - (long double)AverageBefore;
    return double(change * 100 / (long double)AverageBefore);
}

TComparison CompareSummaries(const TParsedSummary& before, const TParsedSummary& after) {
    return {CompareSection(before.Functions, after.Functions, FunctionNamePrefix),
            CompareSection(before.Tasks, after.Tasks, TaskNamePrefix)};
}

std::vector<const TComparedRow*> FindRegressions(const TComparison& comparison, const TGate& gate) {
    std::vector<const TComparedRow*> regressions;
    for (const TComparedRow& row : comparison.Functions) {
        if (!row.Before || !row.After || row.CallsBefore < gate.MinCalls ||
            row.CallsAfter < gate.MinCalls || row.AverageAfter <= row.AverageBefore)
            continue;
        // growth / before > threshold / 100, without dividing by a zero average
        const long double growth = (long double)(row.AverageAfter - row.AverageBefore);
        if (growth * 100 > (long double)row.AverageBefore * (long double)gate.ThresholdPercent)
            regressions.push_back(&row);
    }
    return regressions;
}

} // namespace hookmeter
