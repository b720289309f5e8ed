// The fixed texts of the profile summary, for the writer and the reader alike: the span line's
// keys, the section lines' titles and keys, and the two headers (without their line breaks).
#pragma once

#include <string_view>

namespace hookmeter::summary {

// "LastTSC=,N,FirstTSC=,N,TotalCycles=,N,"
inline constexpr std::string_view LastTSCKey = "LastTSC=,";
inline constexpr std::string_view FirstTSCKey = ",FirstTSC=,";
inline constexpr std::string_view TotalCyclesKey = ",TotalCycles=,";
inline constexpr std::string_view SpanEnd = ",";

// "<Title>,,ValidCycles=,N,Valid/Total=,N%"; the task section's line follows an empty line.
inline constexpr std::string_view FunctionSectionTitle = "Functions";
inline constexpr std::string_view TaskSectionTitle = "Tasks";
inline constexpr std::string_view ValidCyclesKey = ",,ValidCycles=,";
inline constexpr std::string_view ValidPercentKey = ",Valid/Total=,";
inline constexpr std::string_view SectionEnd = "%";

inline constexpr std::string_view FunctionHeader =
    "Address ,ExecuteTimes,MinIncluCycle,MaxIncluCycle,AverageIncluCycle,MinExcluCycle,"
    "MaxExcluCycle,AverageExcluCycle,Percentage,Name";
inline constexpr std::string_view TaskHeader =
    "Address   ,EnterTimes,             ,             ,SubTotalCycles   ,MinimumCycles,"
    "MaximumCycles,AverageCycles    ,Percentage,Name";

// The fields of a row before its name, which is the rest of the line and may hold commas.
inline constexpr size_t FiguresPerRow = 9;

} // namespace hookmeter::summary
