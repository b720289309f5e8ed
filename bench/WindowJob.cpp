// Runs the job as the window runs it (results kept in memory), with or without the timeline's
// data, and prints how long it took; for comparing the two side by side.
//
//   window-job RAWFILE [--binary] [--exe FILE] [--timeline] [--call-list FILE] [--profile FILE]
//
// The reports go to /dev/null unless named. Last line: "job X s, user Y s, sys Z s, peak RSS M
// MiB" and, with --timeline, ", timeline data N bytes for C calls".
#include "analysis/CallTracks.h"
#include "job/Profile.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv) {
    hookmeter::TJobParameters parameters;
    parameters.CallListFileName = "/dev/null";
    parameters.ProfileFileName = "/dev/null";
    parameters.CollectResults = true;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--binary")
            parameters.RawDataFileType = hookmeter::RawForm::Binary;
        else if (argument == "--timeline")
            parameters.CollectTimeline = true;
        else if (argument == "--exe" && i + 1 < argc)
            parameters.DSPOutFileName = argv[++i];
        else if (argument == "--call-list" && i + 1 < argc)
            parameters.CallListFileName = argv[++i];
        else if (argument == "--profile" && i + 1 < argc)
            parameters.ProfileFileName = argv[++i];
        else if (argument[0] != '-' && parameters.RawDataFileName.empty())
            parameters.RawDataFileName = argument;
        else
            parameters.RawDataFileName.clear(), i = argc;
    }
    if (parameters.RawDataFileName.empty()) {
        std::fputs("usage: window-job RAWFILE [--binary] [--exe FILE] [--timeline] "
                   "[--call-list FILE] [--profile FILE]\n",
                   stderr);
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    hookmeter::TProfile job(std::move(parameters));
    job.Start();
    job.WaitFor();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto time = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    std::printf("job %.2f s, user %.2f s, sys %.2f s, peak RSS %.1f MiB", seconds,
                time(usage.ru_utime), time(usage.ru_stime), double(usage.ru_maxrss) / 1024);
    auto results = job.Results();
    if (results && results->Tracks)
        std::printf(", timeline data %llu bytes for %llu calls",
                    (unsigned long long)results->Tracks->FileBytes(),
                    (unsigned long long)results->Tracks->Calls());
    std::printf("\n");
    return results ? 0 : 1;
}
