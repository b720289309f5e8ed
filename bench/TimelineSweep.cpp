// Runs the window's job with the timeline's data on a raw file, then renders the timeline
// offscreen at 1600x900 through N zoom and pan steps (default 200): from the whole trace down to a
// single call in its middle and back out, panning across the trace on the way, the view scrolled
// to the top, the middle and the bottom of the tasks' tracks in turn. Prints each phase and, as
// its last line: "worst repaint X ms, median Y ms, peak RSS Z MiB, timeline data N bytes for C
// calls".
//
//   timeline-sweep RAWFILE [--binary] [--exe FILE] [--steps N] [--each]
//
// --each prints every step: its zoom (cycles per pixel), the chunks it read and its time. Before
// the job the window is painted once without results, as the window is before a job: the first
// text a program draws loads its fonts.
#include "analysis/CallTracks.h"
#include "job/Profile.h"
#include "ui/results/TimelineCanvas.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace hookmeter;

namespace {

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

// A call in the middle of the trace, in the deepest track of the first task that has one.
TTrackCall MiddleCall(const TCallTracks& tracks) {
    uint64_t middle = tracks.FirstTSC() + (tracks.LastTSC() - tracks.FirstTSC()) / 2;
    std::vector<TTrackBox> boxes;
    for (const TCallTracks::TTask& task : tracks.Tasks())
        for (auto track = task.CallTracks.rbegin(); track != task.CallTracks.rend(); ++track) {
            boxes.clear();
            tracks.Boxes(*track, middle, tracks.LastTSC() + 1, 1, boxes);
            for (const TTrackBox& box : boxes)
                if (box.Count == 1 && box.End > box.Start)
                    return box.Call;
        }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TJobParameters parameters;
    parameters.CallListFileName = "/dev/null";
    parameters.ProfileFileName = "/dev/null";
    parameters.CollectResults = true;
    parameters.CollectTimeline = true;
    int steps = 200;
    bool each = false, usage = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--binary")
            parameters.RawDataFileType = RawForm::Binary;
        else if (argument == "--exe" && i + 1 < argc)
            parameters.DSPOutFileName = argv[++i];
        else if (argument == "--steps" && i + 1 < argc)
            steps = std::max(2, std::atoi(argv[++i]));
        else if (argument == "--each")
            each = true;
        else if (argument[0] != '-' && parameters.RawDataFileName.empty())
            parameters.RawDataFileName = argument;
        else
            usage = true;
    }
    if (usage || parameters.RawDataFileName.empty()) {
        std::fputs("usage: timeline-sweep RAWFILE [--binary] [--exe FILE] [--steps N] [--each]\n",
                   stderr);
        return 2;
    }

    TTimelineCanvas canvas;
    canvas.setAttribute(Qt::WA_DontShowOnScreen);
    canvas.resize(1600, 900);
    canvas.show();
    QApplication::processEvents();
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.render(&image);

    QElapsedTimer clock;
    clock.start();
    TProfile job(std::move(parameters));
    job.Start();
    job.WaitFor();
    std::shared_ptr<const TJobResults> results = job.Results();
    if (!results || !results->Tracks) {
        std::fputs("timeline-sweep: the job kept no timeline\n", stderr);
        return 1;
    }
    const TCallTracks& tracks = *results->Tracks;
    std::printf("job %.2f s, peak RSS %.1f MiB so far\n", double(clock.elapsed()) / 1000,
                PeakMiB());

    canvas.SetResults(results);
    QApplication::processEvents();
    auto* scroll = canvas.findChild<QScrollBar*>();

    TTrackCall call = MiddleCall(tracks);
    double width = canvas.TimeWidth();
    double span = double(tracks.LastTSC() - tracks.FirstTSC());
    double widest = canvas.CyclesPerPixel();
    double narrowest = std::max(1.0, double(call.End - call.Enter)) * 1.25 / width;
    double callCentre = double(call.Enter - tracks.FirstTSC()) + double(call.End - call.Enter) / 2;
    std::printf("zooming down to a call of %llu cycles at TSC %llu\n",
                (unsigned long long)(call.End - call.Enter), (unsigned long long)call.Enter);

    std::vector<double> times;
    for (int step = 0; step < steps; ++step) {
        double t = double(step) / (steps - 1);
        double depth = 1 - std::fabs(2 * t - 1); // 0 at both ends, 1 in the middle
        double cpp = widest * std::pow(narrowest / widest, depth);
        double sweep = span * (0.05 + 0.9 * t);
        double centre = callCentre + (sweep - callCentre) * (cpp / widest);
        canvas.SetView(centre - width / 2 * cpp, cpp);
        if (scroll)
            scroll->setValue(scroll->maximum() * (step % 3) / 2);
        uint64_t read = tracks.ChunksRead();
        QElapsedTimer paint;
        paint.start();
        canvas.render(&image);
        times.push_back(double(paint.nsecsElapsed()) / 1e6);
        if (each)
            std::printf("step %d: %.0f cycles a pixel, %llu chunks read, %.1f ms\n", step, cpp,
                        (unsigned long long)(tracks.ChunksRead() - read), times.back());
    }
    // What the window asks besides repaints: the figures of a range (the whole trace, and a
    // hundredth of it) and a search that highlights the calls of every function.
    QElapsedTimer asked;
    asked.start();
    tracks.Figures(tracks.FirstTSC(), tracks.LastTSC() + 1);
    double wholeRange = double(asked.nsecsElapsed()) / 1e6;
    asked.restart();
    uint64_t hundredth = (tracks.LastTSC() - tracks.FirstTSC()) / 100;
    tracks.Figures(tracks.FirstTSC() + 50 * hundredth, tracks.FirstTSC() + 51 * hundredth);
    double smallRange = double(asked.nsecsElapsed()) / 1e6;
    asked.restart();
    tracks.Highlight(std::vector<bool>(tracks.Functions().size(), true));
    double search = double(asked.nsecsElapsed()) / 1e6;
    std::printf("range figures: whole trace %.0f ms, a hundredth of it %.0f ms; highlighting the "
                "calls of every function %.0f ms\n",
                wholeRange, smallRange, search);
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%d repaints at 1600x900\n", steps);
    std::printf(
        "worst repaint %.1f ms, median %.1f ms, peak RSS %.0f MiB, timeline data %llu bytes "
        "for %llu calls\n",
        sorted.back(), sorted[sorted.size() / 2], PeakMiB(), (unsigned long long)tracks.FileBytes(),
        (unsigned long long)tracks.Calls());
    return 0;
}
