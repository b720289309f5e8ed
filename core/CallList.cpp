#include "core/CallList.h"

#include "base/NumberFormat.h"
#include "core/Entries.h"

#include <cstring>

namespace hookmeter {
namespace {

constexpr char Header[] =
    "Address ,EnterTSC       ,ExitTSC        ,InclusiveCycles,ExclusiveCycles,FunctionName\n";
constexpr int Width = 15;

} // namespace

void TCallListWriter::WriteHeader() {
    File.Write(Header);
}

void TCallListWriter::WriteLine(uint32_t address, uint64_t enterTSC, uint64_t exitTSC,
                                uint64_t inclusive, uint64_t exclusive, const char* name,
                                const char* suffix) {
    char* out = File.Reserve(8 + 4 * (1 + MaxDecimalDigits) + 1);
    out = FormatHex8(out, address);
    *out++ = ',';
    out = FormatUnsigned(out, enterTSC, Width);
    *out++ = ',';
    out = FormatUnsigned(out, exitTSC, Width);
    *out++ = ',';
    out = FormatUnsigned(out, inclusive, Width);
    *out++ = ',';
    out = FormatUnsigned(out, exclusive, Width);
    *out++ = ',';
    File.Commit(out);

    const char* text = PrintableName(name);
    size_t nameLength = std::strlen(text);
    size_t suffixLength = std::strlen(suffix);
    if (nameLength + suffixLength + 1 <= TOutputFile::ReserveLimit) {
        out = File.Reserve(nameLength + suffixLength + 1);
        std::memcpy(out, text, nameLength);
        out += nameLength;
        std::memcpy(out, suffix, suffixLength);
        out += suffixLength;
        *out++ = '\n';
        File.Commit(out);
    } else {
        File.Write({text, nameLength});
        File.Write(suffix);
        File.Write("\n");
    }
}

void TCallListWriter::WriteCompletedCall(uint32_t address, uint64_t enterTSC, uint64_t exitTSC,
                                         uint64_t inclusive, uint64_t exclusive, const char* name) {
    WriteLine(address, enterTSC, exitTSC, inclusive, exclusive, name, "");
}

void TCallListWriter::WriteEnterWithoutExit(uint32_t address, uint64_t enterTSC, const char* name) {
    WriteLine(address, enterTSC, 0, 0, 0, name, " (enter without exit)");
}

void TCallListWriter::WriteExitWithoutEnter(uint32_t address, uint64_t exitTSC, const char* name) {
    WriteLine(address, 0, exitTSC, 0, 0, name, " (exit without enter)");
}

void TCallListWriter::WriteTaskEnter(uint32_t handle, uint64_t enterTSC, const char* name) {
    WriteLine(handle, enterTSC, 0, 0, 0, name, " (task enter)");
}

void TCallListWriter::WriteTaskExit(uint32_t handle, uint64_t exitTSC, const char* name) {
    WriteLine(handle, 0, exitTSC, 0, 0, name, " (task exit)");
}

void TCallListWriter::CallCompleted(const TaskEntry&, const FunctionEntry& function,
                                    std::span<const CallFrame> stack, uint64_t inclusive,
                                    uint64_t exclusive) {
    const CallFrame& call = stack.back();
    WriteCompletedCall(function.Address, call.EnterTSC, call.ExitTSC, inclusive, exclusive,
                       function.Name);
}

void TCallListWriter::CallsCut(const TaskEntry&, std::span<const CallFrame> stack, uint64_t) {
    for (const CallFrame& frame : stack)
        if (const FunctionEntry* function = Tables.FindFunction(frame.Address))
            WriteEnterWithoutExit(frame.Address, frame.EnterTSC, function->Name);
}

void TCallListWriter::ExitWithoutEnter(const TaskEntry&, const FunctionEntry& function,
                                       uint64_t exitTSC) {
    WriteExitWithoutEnter(function.Address, exitTSC, function.Name);
}

void TCallListWriter::TaskEntered(const TaskEntry& task, uint64_t enterTSC) {
    WriteTaskEnter(task.Handle, enterTSC, task.Name);
}

void TCallListWriter::TaskExited(const TaskEntry& task, uint64_t exitTSC) {
    WriteTaskExit(task.Handle, exitTSC, task.Name);
}

} // namespace hookmeter
