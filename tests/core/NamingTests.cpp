// The naming step: symbol names at exact addresses, numbered names counting unnamed entries only,
// task 0 always "main", and the two counts of names found.
#include "core/Naming.h"

#include "ImageBuilders.h"
#include "SymbolTestSupport.h"

#include <gtest/gtest.h>

namespace hookmeter::test {
namespace {

std::vector<FunctionEntry> Functions(std::vector<uint32_t> addresses) {
    std::vector<FunctionEntry> entries;
    for (uint32_t address : addresses) {
        FunctionEntry entry{};
        entry.Address = address;
        entries.push_back(entry);
    }
    return entries;
}

std::vector<TaskEntry> Tasks(std::vector<uint32_t> handles) {
    std::vector<TaskEntry> entries;
    for (uint32_t handle : handles) {
        TaskEntry entry{};
        entry.Handle = handle;
        entries.push_back(entry);
    }
    return entries;
}

template <typename Entry> std::vector<std::string> NamesOf(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries)
        names.push_back(entry.Name ? entry.Name : "(null)");
    return names;
}

std::string Executable(const ElfBuilder& builder) {
    const std::string path = WorkPath("out");
    WriteFile(path, builder.Build().Data);
    return path;
}

TEST(AssignNames, WithoutAUsableExecutableNumbersEveryEntry) {
    const std::string notAnExecutable = WorkPath("txt");
    WriteFile(notAnExecutable, Bytes(100, 'x'));
    for (const std::string& file : {WorkPath("missing"), notAnExecutable, std::string()}) {
        auto functions = Functions({0x100, 0x200, 0x300});
        auto tasks = Tasks({0, 0x9000, 0x9100});
        TNames names;
        AssignNames(file, true, functions, tasks, names);
        EXPECT_EQ(NamesOf(functions),
                  (std::vector<std::string>{"?function #0", "?function #1", "?function #2"}));
        EXPECT_EQ(NamesOf(tasks), (std::vector<std::string>{"main", "?task #1", "?task #2"}));
        EXPECT_EQ(names.FunctionNamesFound, 0u);
        EXPECT_EQ(names.TaskNamesFound, 0u);
    }
}

TEST(AssignNames, NamesExactAddressesAndNumbersOnlyTheUnnamed) {
    const std::string file = Executable(ElfBuilder()
                                            .Symbol("reset", 0x100)
                                            .Symbol("filter", 0x300)
                                            .Symbol("filter_alias", 0x300)
                                            .Symbol("scheduler", 0x500)
                                            .Symbol("task_audio", 0x9000)
                                            .Symbol("local_only", 0x400, Local));
    // The second and fourth functions find no symbol (0x204 lies inside no symbol's start,
    // 0x400 is local); they get the ordinals 0 and 1.
    auto functions = Functions({0x100, 0x204, 0x300, 0x400, 0x500});
    auto tasks = Tasks({0, 0x8ffc, 0x9000, 0x9100});
    TNames names;
    AssignNames(file, true, functions, tasks, names);
    EXPECT_EQ(NamesOf(functions),
              (std::vector<std::string>{"reset", "?function #0", "filter - filter_alias",
                                        "?function #1", "scheduler"}));
    EXPECT_EQ(NamesOf(tasks),
              (std::vector<std::string>{"main", "?task #1", "task_audio", "?task #2"}));
    EXPECT_EQ(names.FunctionNamesFound, 3u);
    EXPECT_EQ(names.TaskNamesFound, 1u);
    // Names found point into the symbol list the names hold.
    EXPECT_EQ(functions[0].Name, names.SymbolList->Find(0x100)->Name.get());

    // Without the global-only choice the local symbol names its function.
    auto allFunctions = Functions({0x400});
    auto mainOnly = Tasks({0});
    TNames allNames;
    AssignNames(file, false, allFunctions, mainOnly, allNames);
    EXPECT_STREQ(allFunctions[0].Name, "local_only");
    EXPECT_EQ(allNames.UnnamedFunctionNames, nullptr);
}

TEST(AssignNames, TaskZeroIsMainAndCountsAsFoundWhenASymbolLiesAtZero) {
    const std::string file =
        Executable(ElfBuilder().Symbol("_c_int00", 0).Symbol("task_net", 0x9000));
    auto functions = Functions({0});
    auto tasks = Tasks({0, 0x9000, 0x9004});
    TNames names;
    AssignNames(file, true, functions, tasks, names);
    EXPECT_EQ(NamesOf(tasks), (std::vector<std::string>{"main", "task_net", "?task #0"}));
    EXPECT_EQ(names.TaskNamesFound, 2u);
    EXPECT_STREQ(functions[0].Name, "_c_int00");
    EXPECT_STREQ(names.SymbolList->Find(0)->Name.get(), "_c_int00"); // the symbol keeps its text

    // Task 0 alone, as when the records hold no task record.
    for (bool symbolAtZero : {true, false}) {
        ElfBuilder builder;
        builder.Symbol("other", 0x40);
        if (symbolAtZero)
            builder.Symbol("_c_int00", 0);
        const std::string alone = Executable(builder);
        auto noFunctions = Functions({});
        auto mainOnly = Tasks({0});
        TNames aloneNames;
        AssignNames(alone, true, noFunctions, mainOnly, aloneNames);
        EXPECT_STREQ(mainOnly[0].Name, "main");
        EXPECT_EQ(aloneNames.TaskNamesFound, symbolAtZero ? 1u : 0u);
        EXPECT_EQ(aloneNames.FunctionNamesFound, 0u);
    }
}

TEST(AssignNames, NumberedNamesFitTheirSlotsForFullTables) {
    std::vector<uint32_t> addresses(65536), handles(1024);
    for (uint32_t i = 0; i < addresses.size(); ++i)
        addresses[i] = i * 4;
    for (uint32_t i = 0; i < handles.size(); ++i)
        handles[i] = i * 4;
    auto functions = Functions(addresses);
    auto tasks = Tasks(handles);
    TNames names;
    AssignNames(WorkPath("missing"), true, functions, tasks, names);
    EXPECT_STREQ(functions.back().Name, "?function #65535");
    EXPECT_STREQ(tasks.back().Name, "?task #1023");
    EXPECT_EQ(functions[65534].Name + 24, functions[65535].Name);
    EXPECT_EQ(tasks[1022].Name + 16, tasks[1023].Name);
}

} // namespace
} // namespace hookmeter::test
