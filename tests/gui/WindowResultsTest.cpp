// Jobs run from the window with the engine's results, stop and checks: the results tables carry
// the profile summary's figures, Stop ends a job without a thread or a file left behind, the same
// path in two output boxes is refused before anything is written, a job's end state and the
// results' caption tell what happened, and the question on closing during a job follows it.
#include "GuiTestSupport.h"
#include "ui/results/FunctionTableModel.h"
#include "ui/results/ResultsTableModel.h"
#include "ui/results/TaskTableModel.h"
#include "ui/results/TimelineCanvas.h"
#include "ui/settings/SettingsFile.h"
#include "ui/window/FormProfile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace hookmeter;
using namespace hookmeter::test;

namespace {

const QString CompleteLine = QStringLiteral("Profile data processing complete.");

class WindowResultsTest : public testing::Test {
protected:
    QTemporaryDir Dir;

    QString PathOf(const char* name) const { return QDir(Dir.path()).filePath(name); }

    std::unique_ptr<TFormProfile> OpenWindow() const {
        auto form = std::make_unique<TFormProfile>(Dir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }

    static void Run(TFormProfile& form, const QString& raw, const QString& exe,
                    const QString& calls, const QString& profile) {
        Control<QRadioButton>(form, "RadioButtonBinary").setChecked(true);
        Control<QLineEdit>(form, "EditRawFile").setText(raw);
        Control<QLineEdit>(form, "EditDSPoutFile").setText(exe);
        Control<QLineEdit>(form, "EditCallListFile").setText(calls);
        Control<QLineEdit>(form, "EditProfileFile").setText(profile);
        Control<QPushButton>(form, "ButtonProcess").click();
    }

    void WriteEarlierReports() const {
        for (const char* report : {"calls.csv", "profile.csv"}) {
            QFile old(PathOf(report));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("earlier report\n");
        }
    }

    void ExpectEarlierReports() const {
        for (const char* report : {"calls.csv", "profile.csv"}) {
            QFile kept(PathOf(report));
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), "earlier report\n") << report;
        }
    }
};

// Feeds a pipe with binary records of calls until it is destroyed, then one block more, so a job
// reading the pipe is still running when it is stopped. A job that stops closes the pipe: the
// feeder's next write then fails instead of ending the program.
class TPipeFeeder {
public:
    explicit TPipeFeeder(const QString& pipe) {
        std::signal(SIGPIPE, SIG_IGN);
        Thread = std::thread([this, pipe] {
            QFile writer(pipe);
            if (!writer.open(QIODevice::WriteOnly))
                return;
            std::vector<RawRecord> calls;
            for (uint64_t tsc = 1; tsc < 200000; tsc += 2)
                calls.insert(calls.end(),
                             {{0x100 | FunctionEnter, 0, tsc}, {0x100 | FunctionExit, 0, tsc + 1}});
            const auto* bytes = reinterpret_cast<const char*>(calls.data());
            const auto size = qint64(calls.size() * sizeof(RawRecord));
            for (int chunk = 0; chunk < 1000 && !Done; ++chunk)
                writer.write(bytes, size);
            writer.write(bytes, size);
        });
    }
    ~TPipeFeeder() {
        Done = true;
        Thread.join();
    }

private:
    std::atomic<bool> Done{false};
    std::thread Thread;
};

// The rows of a profile summary section, by address: the comma-separated fields, trimmed.
std::map<QString, QStringList> SummaryRows(const QString& path, const QString& section) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    std::map<QString, QStringList> rows;
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.startsWith("Functions,") || line.startsWith("Tasks,"))
            inSection = line.startsWith(section + ",");
        else if (inSection && !line.isEmpty() && !line.startsWith("Address")) {
            QStringList fields = line.split(',');
            for (QString& field : fields)
                field = field.trimmed();
            rows[fields[0]] = fields;
        }
    }
    return rows;
}

// The plain value of a cell of a results table, whatever the view shows.
double Value(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data(TResultsTableModel::SortRole).toDouble();
}

// Stands in for the desktop's file opener.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
    Q_INVOKABLE void Open(const QUrl& url) { Urls.append(url); }
};

int Threads() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Open descriptors that refer to files in the folder.
int FilesOpenIn(const QString& folder) {
    int open = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
        open += fd.symLinkTarget().startsWith(folder);
    return open;
}

} // namespace

TEST_F(WindowResultsTest, TablesCarryTheSummaryFiguresOfTheSampleTrace) {
    auto form = OpenWindow();
    const QString examples = QStringLiteral(HOOKMETER_SOURCE_DIR "/examples/");
    Run(*form, examples + "sample_trace.bin", examples + "sample.out", PathOf("calls.csv"),
        PathOf("profile.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form));

    const auto functions = SummaryRows(PathOf("profile.csv"), "Functions");
    const QAbstractItemModel& table = *Control<QTableView>(*form, "TableFunctions").model();
    // The table holds the functions that completed a call; the summary lists the others too.
    const auto called = std::count_if(functions.begin(), functions.end(),
                                      [](const auto& row) { return row.second[1] != "0"; });
    ASSERT_GT(called, 0);
    ASSERT_EQ(table.rowCount(), called);
    using F = TFunctionTableModel;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QString address = QStringLiteral("%1").arg(
            qulonglong(Value(table, row, F::AddressColumn)), 8, 16, QLatin1Char('0'));
        ASSERT_TRUE(functions.count(address)) << address.toStdString();
        const QStringList& summary = functions.at(address);
        SCOPED_TRACE(summary.join(',').toStdString());
        EXPECT_EQ(table.index(row, F::NameColumn).data().toString(), summary[9]);
        EXPECT_EQ(Value(table, row, F::CallsColumn), summary[1].toDouble());
        EXPECT_EQ(Value(table, row, F::InclMinColumn), summary[2].toDouble());
        EXPECT_EQ(Value(table, row, F::InclMaxColumn), summary[3].toDouble());
        EXPECT_NEAR(Value(table, row, F::InclAvgColumn), summary[4].toDouble(), 1.0);
        EXPECT_EQ(Value(table, row, F::ExclMinColumn), summary[5].toDouble());
        EXPECT_EQ(Value(table, row, F::ExclMaxColumn), summary[6].toDouble());
        EXPECT_NEAR(Value(table, row, F::ExclAvgColumn), summary[7].toDouble(), 1.0);
        EXPECT_NEAR(Value(table, row, F::ShareColumn), 100 * summary[8].toDouble(), 1e-5);
        // Percentiles lie between the extremes.
        for (const int column : {F::InclP50Column, F::InclP90Column, F::InclP99Column}) {
            EXPECT_GE(Value(table, row, column), Value(table, row, F::InclMinColumn));
            EXPECT_LE(Value(table, row, column), Value(table, row, F::InclMaxColumn));
        }
    }

    const auto tasks = SummaryRows(PathOf("profile.csv"), "Tasks");
    const QAbstractItemModel& taskTable = *Control<QTableView>(*form, "TableTasks").model();
    using T = TTaskTableModel;
    int matched = 0;
    for (int row = 0; row < taskTable.rowCount(); ++row) {
        const QString handle = QStringLiteral("%1").arg(
            qulonglong(Value(taskTable, row, T::HandleColumn)), 8, 16, QLatin1Char('0'));
        if (!tasks.count(handle))
            continue; // a task that never ran has no summary row
        ++matched;
        const QStringList& summary = tasks.at(handle);
        SCOPED_TRACE(summary.join(',').toStdString());
        EXPECT_EQ(Value(taskTable, row, T::SwitchInsColumn), summary[1].toDouble());
        EXPECT_EQ(Value(taskTable, row, T::TotalColumn), summary[4].toDouble());
        EXPECT_EQ(Value(taskTable, row, T::MinColumn), summary[5].toDouble());
        EXPECT_EQ(Value(taskTable, row, T::MaxColumn), summary[6].toDouble());
        EXPECT_NEAR(Value(taskTable, row, T::AvgColumn), summary[7].toDouble(), 1.0);
        EXPECT_GT(Value(taskTable, row, T::MaxStackDepthColumn), 0);
    }
    EXPECT_EQ(size_t(matched), tasks.size());

    // The Files tab lists the reports; Open hands the chosen one to the desktop.
    EXPECT_EQ(Control<QTableWidget>(*form, "TableFiles").rowCount(), 2);
    TUrlCatcher desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "Open");
    Control<QPushButton>(*form, "ButtonOpenFile").click();
    Control<QPushButton>(*form, "ButtonShowFolder").click();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(desktop.Urls, (QList<QUrl>{QUrl::fromLocalFile(PathOf("calls.csv")),
                                         QUrl::fromLocalFile(Dir.path())}));
    EXPECT_TRUE(Control<QLabel>(*form, "LabelFilesProblem").text().isEmpty());
}

TEST_F(WindowResultsTest, StopEndsTheJobLeavingTheEarlierReportsAndNoThreadOrOpenFile) {
    WriteEarlierReports();
    const QString pipe = PathOf("trace.pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto form = OpenWindow();
    const int threadsBefore = Threads();
    auto feeder = std::make_unique<TPipeFeeder>(pipe);

    Run(*form, pipe, {}, PathOf("calls.csv"), PathOf("profile.csv"));
    auto& stop = Control<QPushButton>(*form, "ButtonStop");
    EXPECT_TRUE(stop.isEnabled());
    // The progress bar follows the job: it reads the pipe in its first pass.
    const auto& progress = Control<QProgressBar>(*form, "ProgressBarJob");
    ASSERT_TRUE(WaitUntil([&] { return progress.format().startsWith("Reading the raw file"); }))
        << progress.format().toStdString();
    stop.click();
    feeder.reset();
    ASSERT_TRUE(WaitForJobEnd(*form));

    const QStringList lines = StatusLines(*form);
    EXPECT_TRUE(lines.contains("!!!Processing stopped, the reports are not written!!!"))
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), CompleteLine);
    EXPECT_FALSE(stop.isEnabled());
    // The bar stays where the job stopped: in its first pass over a pipe, of unknown length.
    EXPECT_EQ(progress.format(), "Stopped while reading the raw file");
    EXPECT_LT(progress.value(), progress.maximum());
    ExpectEarlierReports();
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::System).size(), 3)
        << QDir(Dir.path()).entryList(QDir::Files | QDir::System).join(' ').toStdString();
    EXPECT_TRUE(WaitUntil([&] { return Threads() == threadsBefore; }, std::chrono::seconds(10)))
        << Threads() << " threads, " << threadsBefore << " before the job";
    EXPECT_EQ(FilesOpenIn(Dir.path()), 0);
}

TEST_F(WindowResultsTest, ClosingDuringAJobWritesTheSettingsFirstThenStopsItWhenAsked) {
    WriteEarlierReports();
    const QString pipe = PathOf("trace.pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto form = OpenWindow();
    auto feeder = std::make_unique<TPipeFeeder>(pipe);
    Run(*form, pipe, {}, PathOf("calls.csv"), PathOf("profile.csv"));
    ASSERT_TRUE(WaitUntil([&] { return StatusLines(*form).size() > 2; }));

    bool asked = false, settingsFirst = false;
    QTimer answer; // answers the question "stop or let it finish" with "stop"
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "MessageBoxStopOnClose")
                box = qobject_cast<QMessageBox*>(window);
        if (!box || !box->isVisible())
            return;
        asked = true;
        settingsFirst = QFileInfo::exists(SettingsFilePath(Dir.path()));
        Control<QPushButton>(*box, "ButtonStopOnClose").click();
    });
    answer.start(5);
    form->close();
    feeder.reset();
    form.reset(); // waits for the job, which stops at its next block

    EXPECT_TRUE(asked);
    EXPECT_TRUE(settingsFirst);
    ExpectEarlierReports();
}

TEST_F(WindowResultsTest, TheSamePathInBothOutputBoxesIsRefusedBeforeAnythingIsWritten) {
    auto form = OpenWindow();
    const QString examples = QStringLiteral(HOOKMETER_SOURCE_DIR "/examples/");
    Run(*form, examples + "sample_trace.bin", {}, PathOf("report.csv"), PathOf("report.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form));
    const QStringList lines = StatusLines(*form);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.startsWith("!!!") && line.contains("same");
    })) << lines.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(PathOf("report.csv")));
}

// A job that is done, one that failed and one that could not start reading look different; results
// that belong to an earlier job than the last one say so.
TEST_F(WindowResultsTest, EndStatesTellDoneFromFailedAndEarlierResultsAreCaptionedAsSuch) {
    auto form = OpenWindow();
    const QString sample = QStringLiteral(HOOKMETER_SOURCE_DIR "/examples/sample_trace.bin");
    const auto& progress = Control<QProgressBar>(*form, "ProgressBarJob");
    const auto& caption = Control<QLabel>(*form, "LabelResultsCaption");
    const auto& files = Control<QTableWidget>(*form, "TableFiles");
    Run(*form, sample, {}, PathOf("calls.csv"), PathOf("profile.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form));
    EXPECT_EQ(progress.format(), "Done");
    EXPECT_EQ(progress.value(), progress.maximum());
    EXPECT_TRUE(caption.text().startsWith("Results of sample_trace.bin, processed "))
        << caption.text().toStdString();
    EXPECT_EQ(files.rowCount(), 2);

    // A timeline on the call list's path is refused; what is shown is the earlier job's.
    Control<QCheckBox>(*form, "CheckBoxTimeline").setChecked(true);
    Control<QLineEdit>(*form, "EditTimelineFile").setText(PathOf("calls2.csv"));
    Run(*form, sample, {}, PathOf("calls2.csv"), PathOf("profile2.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form, 2));
    EXPECT_EQ(progress.format(),
              "Failed: !!!The call list and the timeline can not be the same file!!!");
    EXPECT_TRUE(caption.text().startsWith("Results of the previous job (sample_trace.bin, "))
        << caption.text().toStdString();
    EXPECT_TRUE(caption.text().endsWith(" failed and has none")) << caption.text().toStdString();
    EXPECT_EQ(files.rowCount(), 2);
    EXPECT_FALSE(QFileInfo::exists(PathOf("calls2.csv")));
    Control<QCheckBox>(*form, "CheckBoxTimeline").setChecked(false);

    // An empty output box is found before the raw file is read; the end state says why.
    Run(*form, sample, {}, PathOf("calls.csv"), {});
    ASSERT_TRUE(WaitForJobEnd(*form, 3));
    EXPECT_EQ(
        StatusLines(*form).mid(StatusLines(*form).size() - 3),
        (QStringList{"Start profile data processing...",
                     "!!!Can not open file to output final profile result!!!", CompleteLine}));
    EXPECT_EQ(progress.format(), "Failed: !!!Can not open file to output final profile result!!! "
                                 "(No file name given)");

    // A raw file that is not there: the file and the system's reason.
    Run(*form, PathOf("missing.bin"), {}, PathOf("calls.csv"), PathOf("profile.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form, 4));
    EXPECT_EQ(progress.format(), "Failed: !!!Can not open raw data file!!! (" +
                                     PathOf("missing.bin") + ": No such file or directory)");
}

// Clicks a button of the question asked on closing during a job, whenever it is open.
class TCloseQuestionAnswerer {
public:
    explicit TCloseQuestionAnswerer(const char* button) : Button(button) {
        QObject::connect(&Poll, &QTimer::timeout, [this] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window->objectName() == "MessageBoxStopOnClose" && window->isVisible()) {
                    ++Asked;
                    if (OnQuestion)
                        OnQuestion();
                    else
                        Control<QPushButton>(*window, Button).click();
                }
        });
        Poll.start(5);
    }
    int Asked = 0;
    std::function<void()> OnQuestion; // instead of clicking the button

private:
    const char* Button;
    QTimer Poll;
};

// Closing during a job asks whether to stop it, let it finish (the window stays and goes when the
// job ends) or keep the window; the question goes by itself when the job ends meanwhile.
TEST_F(WindowResultsTest, TheQuestionOnClosingFollowsTheJob) {
    const QString pipe = PathOf("trace.pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto form = OpenWindow();
    auto feeder = std::make_unique<TPipeFeeder>(pipe);
    Run(*form, pipe, {}, PathOf("calls.csv"), PathOf("profile.csv"));
    ASSERT_TRUE(WaitUntil([&] { return StatusLines(*form).size() > 2; }));
    auto& stop = Control<QPushButton>(*form, "ButtonStop");

    {
        TCloseQuestionAnswerer cancel("ButtonCancelOnClose");
        form->close();
        EXPECT_EQ(cancel.Asked, 1);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Hookmeter v1.1.1");
    {
        TCloseQuestionAnswerer wait("ButtonWaitOnClose");
        form->close();
        EXPECT_EQ(wait.Asked, 1);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(stop.isEnabled()); // the job runs on
    EXPECT_TRUE(form->windowTitle().endsWith("(closes when the job ends)"));
    stop.click();
    EXPECT_TRUE(WaitUntil([&] { return !form->isVisible(); }, std::chrono::seconds(10)));
    feeder.reset();
    form.reset();

    // The job ends while the question is open.
    ASSERT_EQ(::unlink(QFile::encodeName(pipe).constData()), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    form = OpenWindow();
    feeder = std::make_unique<TPipeFeeder>(pipe);
    Run(*form, pipe, {}, PathOf("calls.csv"), PathOf("profile.csv"));
    ASSERT_TRUE(WaitUntil([&] { return StatusLines(*form).size() > 2; }));
    TCloseQuestionAnswerer none("");
    none.OnQuestion = [&] {
        if (Control<QPushButton>(*form, "ButtonStop").isEnabled())
            Control<QPushButton>(*form, "ButtonStop").click();
    };
    form->close(); // returns once the question has gone
    EXPECT_GE(none.Asked, 1);
    EXPECT_FALSE(form->isVisible());
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->objectName() == "MessageBoxStopOnClose" && window->isVisible());
    feeder.reset();
}

#include "WindowResultsTest.moc"

// "Show worst call" opens the timeline on the call the Functions table names, and N and P then go
// through the calls of its function in the order they were entered, as the call list has them.
TEST_F(WindowResultsTest, ShowWorstCallSelectsItAndTheKeysWalkItsFunctionsCallsInTimeOrder) {
    auto form = OpenWindow();
    const QString examples = QStringLiteral(HOOKMETER_SOURCE_DIR "/examples/");
    Run(*form, examples + "sample_trace.bin", examples + "sample.out", PathOf("calls.csv"),
        PathOf("profile.csv"));
    ASSERT_TRUE(WaitForJobEnd(*form));

    auto& table = Control<QTableView>(*form, "TableFunctions");
    const int row = 1;
    table.setFocus();
    table.setCurrentIndex(table.model()->index(row, 0));
    emit table.activated(table.currentIndex());
    const QString details = Control<QLabel>(*form, "LabelFunctionsDetails").text();
    QRegularExpressionMatch worst = QRegularExpression("TSC ([0-9]+)").match(details);
    ASSERT_TRUE(worst.hasMatch()) << details.toStdString();
    const uint64_t worstEnter = worst.captured(1).toULongLong();
    const QString address = QStringLiteral("%1").arg(
        qulonglong(Value(*table.model(), row, TFunctionTableModel::AddressColumn)), 8, 16,
        QLatin1Char('0'));

    QTest::keyClick(&table, Qt::Key_T, Qt::ControlModifier);
    auto& tabs = Control<QTabWidget>(*form, "TabsResults");
    ASSERT_EQ(tabs.tabText(tabs.currentIndex()), "Timeline");
    auto& canvas = Control<TTimelineCanvas>(*form, "TimelineCanvas");
    const TCallTracks* tracks = canvas.Tracks();
    ASSERT_TRUE(tracks);
    ASSERT_NE(canvas.SelectedCall(), NoRecord);
    EXPECT_EQ(tracks->Call(canvas.SelectedCall()).Enter, worstEnter);

    // The function's calls in the call list (completed or given up), by the TSC they began.
    std::vector<uint64_t> enters;
    QFile calls(PathOf("calls.csv"));
    ASSERT_TRUE(calls.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!calls.atEnd()) {
        const QString line = QString::fromUtf8(calls.readLine()).trimmed();
        if (line.startsWith(address + ",") && !line.endsWith("(exit without enter)"))
            enters.push_back(line.section(',', 1, 1).trimmed().toULongLong());
    }
    std::sort(enters.begin(), enters.end());
    auto at = std::find(enters.begin(), enters.end(), worstEnter);
    ASSERT_NE(at, enters.end());
    const auto selectedEnter = [&] { return tracks->Call(canvas.SelectedCall()).Enter; };
    for (auto next = at + 1; next != enters.end() && next - at <= 5; ++next) {
        QTest::keyClick(&canvas, Qt::Key_N);
        ASSERT_EQ(selectedEnter(), *next);
    }
    for (auto previous = at + std::min<ptrdiff_t>(5, enters.end() - at - 1); previous != at;) {
        --previous;
        QTest::keyClick(&canvas, Qt::Key_P);
        ASSERT_EQ(selectedEnter(), *previous);
    }
}
