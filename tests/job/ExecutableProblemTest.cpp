// An executable that a job cannot read is no failure of the job: every name is numbered, and one
// line after the count of names found says why (missing, not a regular file, too large, neither
// COFF nor ELF).
#include "job/Profile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace hookmeter {
namespace {

TEST(ProfileJob, AnExecutableThatGivesNoNamesIsNotReadAndTheLineSaysWhy) {
    test::TTempDir dir;
    test::WriteFile(dir.File("raw.bin"),
                    test::BinaryTrace({test::Enter(0x40, 5), test::Exit(0x40, 9)}));
    const std::string notRegular =
        "The executable is not a regular file; no names were read from it.";
    const std::string tooLarge = "The executable is larger than 1 GiB; no names were read from it.";
    const std::string missing = "The executable can not be read (No such file or directory); no "
                                "names were read from it.";
    const std::string unknown = "The executable is neither a COFF file for the DSP (version "
                                "0x00C2, target 0x0099) nor an ELF file; no names were read from "
                                "it.";
    test::WriteFile(dir.File("notes.out"), "not a COFF or ELF file\n");
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0); // opening it would wait for a writer
    std::filesystem::create_directory(dir.File("folder"));
    test::WriteFile(dir.File("huge.out"), "\x7f"
                                          "ELF");
    std::filesystem::resize_file(dir.File("huge.out"), (uint64_t{1} << 30) + 1); // sparse

    // /dev/zero would give bytes until memory runs out; the pipe would block the open.
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("folder"), notRegular},   {dir.File("huge.out"), tooLarge},
        {"/dev/zero", notRegular},          {dir.File("fifo"), notRegular},
        {dir.File("missing.out"), missing}, {dir.File("notes.out"), unknown},
        {dir.File("raw.bin"), unknown}};
    for (const auto& [executable, why] : cases) {
        test::TJobRun run =
            test::RunJob(dir, dir.File("raw.bin"), RawForm::Binary,
                         [&](TJobParameters& job) { job.DSPOutFileName = executable; });
        const auto names = std::find(run.Lines.begin(), run.Lines.end(),
                                     "Get 0 function names, 0 task names from .out file.");
        ASSERT_NE(names, run.Lines.end()) << executable;
        ASSERT_NE(names + 1, run.Lines.end());
        ASSERT_EQ(names[1], why) << executable;
        EXPECT_EQ(run.Lines.back(), "Profile data processing complete.");
        EXPECT_NE(run.CallList.find("?function #0\n"), std::string::npos) << executable;
    }
}

} // namespace
} // namespace hookmeter
