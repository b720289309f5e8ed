// Running jobs from the window: the status lines of a job arrive in order, "Process" is switched
// off and on by the job, presses never run two jobs at once, and closing waits for a running job.
#include "GuiTestSupport.h"
#include "ui/settings/SettingsFile.h"
#include "ui/window/FormProfile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <thread>

using namespace hookmeter;
using namespace hookmeter::test;

namespace {

const QString StartLine = QStringLiteral("Start profile data processing...");
const QString CompleteLine = QStringLiteral("Profile data processing complete.");
constexpr int OpeningLines = 2;

// Records the order in which "Process" is switched off and on.
class TEnableWatcher : public QObject {
public:
    explicit TEnableWatcher(QWidget& button) : Button(button) { button.installEventFilter(this); }
    QList<bool> States;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            States.append(Button.isEnabled());
        return false;
    }

private:
    QWidget& Button;
};

class WindowJobTest : public testing::Test {
protected:
    QTemporaryDir Dir;

    QString PathOf(const char* name) const { return QDir(Dir.path()).filePath(name); }

    std::unique_ptr<TFormProfile> OpenWindow() const {
        auto form = std::make_unique<TFormProfile>(Dir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }

    static void SetBoxes(QObject& form, const QString& raw, const QString& callList,
                         const QString& profile) {
        Control<QLineEdit>(form, "EditRawFile").setText(raw);
        Control<QLineEdit>(form, "EditCallListFile").setText(callList);
        Control<QLineEdit>(form, "EditProfileFile").setText(profile);
    }

    static void PressProcess(QObject& form) { Control<QPushButton>(form, "ButtonProcess").click(); }

    // A binary trace of one call: function 0x100 entered at TSC 10 and left at TSC 20.
    QString OneCallTrace() const {
        const QString path = PathOf("trace.bin");
        WriteBinaryTrace(path, {{0x100 | FunctionEnter, 0, 10}, {0x100 | FunctionExit, 0, 20}});
        return path;
    }

    // A binary trace of many nested calls, so a job takes a noticeable time.
    QString LongTrace(const char* name, uint32_t calls) const {
        std::vector<RawRecord> records;
        uint64_t tsc = 1;
        for (uint32_t i = 0; i < calls; ++i) {
            const uint32_t outer = 0x1000 + 4 * (i % 64), inner = 0x2000 + 4 * (i % 16);
            records.push_back({outer | FunctionEnter, 0, tsc++});
            records.push_back({inner | FunctionEnter, 0, tsc++});
            records.push_back({inner | FunctionExit, 0, tsc++});
            records.push_back({outer | FunctionExit, 0, tsc++});
        }
        const QString path = PathOf(name);
        WriteBinaryTrace(path, records);
        return path;
    }
};

QStringList JobLines(const QObject& form) {
    return StatusLines(form).mid(OpeningLines);
}

} // namespace

TEST_F(WindowJobTest, ProcessWithEmptyBoxesReportsTheMissingRawFileAndEnablesProcessAgain) {
    auto form = OpenWindow();
    TEnableWatcher watcher(Control<QPushButton>(*form, "ButtonProcess"));
    PressProcess(*form);
    ASSERT_TRUE(WaitForJobEnd(*form));
    EXPECT_EQ(JobLines(*form),
              (QStringList{StartLine, "!!!Can not open raw data file!!!", CompleteLine}));
    EXPECT_EQ(watcher.States, (QList<bool>{false, true}));
    EXPECT_TRUE(Control<QPushButton>(*form, "ButtonProcess").isEnabled());
}

TEST_F(WindowJobTest, FullJobOnARealTraceShowsItsLinesInOrderAndWritesBothReports) {
    auto form = OpenWindow();
    Control<QRadioButton>(*form, "RadioButtonBinary").setChecked(true);
    SetBoxes(*form, OneCallTrace(), PathOf("calls.csv"), PathOf("profile.csv"));
    PressProcess(*form);
    ASSERT_TRUE(WaitForJobEnd(*form));
    EXPECT_EQ(JobLines(*form),
              (QStringList{
                  StartLine, "Read 2 valid records, 0 invalid records. Find 1 functions, 1 tasks.",
                  "Get 0 function names, 0 task names from .out file.", "Process 2 of 2 records.",
                  "Task main (0x00000000) maximum call stack depth= 1.", CompleteLine}));
    QFile callList(PathOf("calls.csv"));
    ASSERT_TRUE(callList.open(QIODevice::ReadOnly));
    const QByteArray calls = callList.readAll();
    EXPECT_TRUE(calls.contains("00000100,")) << calls.toStdString();
    EXPECT_TRUE(QFileInfo(PathOf("profile.csv")).size() > 0);

    // A second run appends below the first one's lines; the box is never cleared.
    PressProcess(*form);
    ASSERT_TRUE(WaitForJobEnd(*form, 2));
    EXPECT_EQ(JobLines(*form).size(), 12);
    EXPECT_EQ(JobLines(*form).mid(6), JobLines(*form).mid(0, 6));
}

TEST_F(WindowJobTest, APressWhileAJobRunsNeverWaitsForItAndNeverStartsASecondJob) {
    // The raw file is a pipe that is fed only after a while, so the first job is still running
    // when the second press arrives, as a press queued before "Process" was switched off does.
    const QString pipe = PathOf("trace.pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    constexpr auto feedDelay = std::chrono::seconds(3);
    std::thread feeder([&] {
        std::this_thread::sleep_for(feedDelay);
        QFile writer(pipe);
        if (writer.open(QIODevice::WriteOnly))
            writer.write("raw records\n");
    });
    auto form = OpenWindow();
    SetBoxes(*form, pipe, PathOf("calls.csv"), PathOf("profile.csv"));
    auto& process = Control<QPushButton>(*form, "ButtonProcess");
    PressProcess(*form);
    EXPECT_FALSE(process.isEnabled()); // switched off at once, before the job does it

    QElapsedTimer clock;
    clock.start();
    emit process.clicked(); // what a press that was already queued does
    EXPECT_LT(clock.elapsed(), 1000) << "the GUI thread waited for the running job";

    ASSERT_TRUE(WaitForJobEnd(*form));
    feeder.join();
    EXPECT_EQ(JobLines(*form).count(StartLine), 1);

    // Once the job has ended, a press starts the next one; the earlier job is collected aside.
    Control<QLineEdit>(*form, "EditRawFile").setText(OneCallTrace());
    PressProcess(*form);
    ASSERT_TRUE(WaitForJobEnd(*form, 2));
    EXPECT_EQ(JobLines(*form).count(StartLine), 2);
}

TEST_F(WindowJobTest, ClosingWhileAJobRunsWritesTheSettingsAndEndsOnlyAfterTheJob) {
    // The raw file is a pipe: the job waits in its first read until the pipe is fed, which happens
    // only once the window has written its settings.
    const QString pipe = PathOf("trace.pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString settings = SettingsFilePath(Dir.path());
    std::atomic<bool> settingsBeforeJobEnd{false};
    std::thread feeder([&] {
        for (int i = 0; i < 3000 && !QFileInfo::exists(settings); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        settingsBeforeJobEnd = QFileInfo::exists(settings);
        QFile writer(pipe);
        if (writer.open(QIODevice::WriteOnly))
            writer.write("raw records\n"); // the text form's header line, and no record
    });

    auto form = OpenWindow();
    SetBoxes(*form, pipe, PathOf("calls.csv"), PathOf("profile.csv"));
    PressProcess(*form);
    TDialogAnswerer answerer; // closes the question without a choice: the job may finish
    form->close();
    form.reset();

    ASSERT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_EQ(answerer.Boxes[0].Title, "Hookmeter");
    EXPECT_TRUE(settingsBeforeJobEnd);
    EXPECT_TRUE(QFileInfo::exists(PathOf("profile.csv"))) << "the window went before its job ended";
    feeder.join();
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\r\nRawDataFileName=" + QFile::encodeName(pipe) + "\r\n"));
}
