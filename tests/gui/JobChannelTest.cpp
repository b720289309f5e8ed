// The channel from a job's thread to the window: commands arrive on the GUI thread in the order the
// job made them, and the job never waits for the window, not even while the GUI thread waits for
// the job.
#include "ui/window/JobChannel.h"
#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <memory>
#include <string>
#include <thread>

using namespace hookmeter;
using namespace hookmeter::test;

namespace {

struct TWindowParts {
    QWidget Window;
    QPlainTextEdit* Status = new QPlainTextEdit(&Window);
    QPushButton* Button = new QPushButton(&Window);
};

// Notes how many status lines were shown each time the button was switched.
class TSwitchRecorder : public QObject {
public:
    explicit TSwitchRecorder(TWindowParts& parts) : Parts(parts) {
        parts.Button->installEventFilter(this);
    }
    QStringList Switches;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            Switches.append(QStringLiteral("%1 after %2 lines")
                                .arg(Parts.Button->isEnabled() ? "on" : "off")
                                .arg(Parts.Status->document()->blockCount()));
        return false;
    }

private:
    TWindowParts& Parts;
};

QString Numbered(int i) {
    return QStringLiteral("line %1").arg(i);
}

} // namespace

TEST(JobChannel, CommandsFromTheJobThreadArriveInTheirOrder) {
    TWindowParts parts;
    parts.Status->setPlainText("opening");
    TSwitchRecorder recorder(parts);
    TJobChannel channel(parts.Status, parts.Button);

    int ended = 0;
    QObject::connect(&channel, &TJobChannel::Ended, [&](const TJobEnd& end) {
        EXPECT_EQ(end.FirstFailure, "!!!failure " + std::to_string(ended) + "!!!");
        ++ended;
    });
    std::thread job([&] {
        channel.JobStarted();
        for (int i = 1; i <= 2000; ++i) {
            const std::string line = Numbered(i).toStdString();
            channel.Append(line);
            if (i == 1000) {
                channel.JobEnded({JobOutcome::Failed, "!!!failure 0!!!", {}, {}});
                channel.JobStarted();
            }
        }
        channel.JobEnded({JobOutcome::Failed, "!!!failure 1!!!", {}, {}});
    });
    job.join();
    ASSERT_TRUE(WaitUntil([&] { return recorder.Switches.size() == 4; }));

    QStringList expected{"opening"};
    for (int i = 1; i <= 2000; ++i)
        expected.append(Numbered(i));
    EXPECT_EQ(parts.Status->toPlainText().split('\n'), expected);
    EXPECT_EQ(recorder.Switches, (QStringList{"off after 1 lines", "on after 1001 lines",
                                              "off after 1001 lines", "on after 2001 lines"}));
    EXPECT_EQ(ended, 2);
}

TEST(JobChannel, JobNeverWaitsForTheWindowEvenWhileTheWindowWaitsForTheJob) {
    TWindowParts parts;
    parts.Status->setPlainText("opening");
    TJobChannel channel(parts.Status, parts.Button);
    constexpr int Lines = 50000;
    std::thread job([&] {
        for (int i = 0; i < Lines; ++i)
            channel.Append("status line");
        channel.JobStarted();
    });
    job.join(); // the GUI thread blocks here without handling events; the job must still end
    EXPECT_TRUE(parts.Button->isEnabled()); // nothing has been carried out yet
    ASSERT_TRUE(WaitUntil([&] { return !parts.Button->isEnabled(); }));
    EXPECT_EQ(parts.Status->document()->blockCount(), Lines + 1);
}

TEST(JobChannel, LinesKeepTheirTextAndComeIntoView) {
    TWindowParts parts;
    parts.Status->setPlainText("opening");
    parts.Window.resize(300, 120);
    parts.Status->resize(300, 120);
    parts.Window.show();
    TJobChannel channel(parts.Status, parts.Button);
    std::thread job([&] {
        std::string buffer;
        for (int i = 0; i < 100; ++i) {
            buffer = "Task main (0x00000000) maximum call stack depth= " + std::to_string(i) + ".";
            channel.Append(buffer);
            buffer.assign(buffer.size(), '#'); // the job reuses its buffer right away
        }
        channel.Append(std::string_view("\xc3\xa9t\xc3\xa9", 5));
    });
    job.join();
    ASSERT_TRUE(WaitUntil([&] { return parts.Status->document()->blockCount() == 102; }));
    const QStringList lines = parts.Status->toPlainText().split('\n');
    EXPECT_EQ(lines[1], "Task main (0x00000000) maximum call stack depth= 0.");
    EXPECT_EQ(lines[100], "Task main (0x00000000) maximum call stack depth= 99.");
    EXPECT_EQ(lines[101], QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
    const QScrollBar* scrollBar = parts.Status->verticalScrollBar();
    EXPECT_GT(scrollBar->maximum(), 0);
    EXPECT_EQ(scrollBar->value(), scrollBar->maximum());
}

TEST(JobChannel, CommandsStillQueuedWhenTheWindowGoesAreDropped) {
    // The channel goes with the window: what it still held is never carried out, on widgets
    // that may be gone by then.
    TWindowParts parts;
    parts.Status->setPlainText("opening");
    auto channel = std::make_unique<TJobChannel>(parts.Status, parts.Button);
    std::thread job([&] {
        channel->JobStarted();
        channel->Append("never shown");
    });
    job.join();
    channel.reset();
    QApplication::processEvents();
    EXPECT_EQ(parts.Status->toPlainText(), "opening");
    EXPECT_TRUE(parts.Button->isEnabled());

    // Widgets that go before the channel are left alone.
    TJobChannel survivor(parts.Status, parts.Button);
    survivor.Append("late line");
    survivor.JobEnded({});
    delete parts.Status;
    delete parts.Button;
    QApplication::processEvents();
}
