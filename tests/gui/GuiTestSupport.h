// Helpers for driving the main window in tests: finding its controls, reading its status box,
// answering the dialogs it opens, and writing raw hook record files.
#pragma once

#include "core/RawRecord.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hookmeter::test {

// The control with this object name; throws when there is none, so a test fails loudly.
template <typename Widget> Widget& Control(const QObject& root, const char* name) {
    if (auto* widget = root.findChild<Widget*>(QString::fromLatin1(name)))
        return *widget;
    throw std::logic_error(std::string("no control named ") + name);
}

QStringList StatusLines(const QObject& form);

// Processes events until the condition holds; false when the time ran out first.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Waits until the status box holds this many lines ending in the job's closing line and
// "Process" is enabled again.
bool WaitForJobEnd(const QObject& form, int expectedCompleteLines = 1);

// Answers every error box and file dialog that opens while it lives, including those opened from
// nested event loops: error boxes are recorded and confirmed, file dialogs go to OnFileDialog
// (cancelled when it is not set).
class TDialogAnswerer : public QObject {
public:
    struct TErrorBox {
        QString Title;
        QString Text;
        QMessageBox::Icon Icon;
        int ButtonCount;
    };

    TDialogAnswerer();

    std::vector<TErrorBox> Boxes;
    std::function<void(QFileDialog&)> OnFileDialog;

private:
    void AnswerOpenDialogs();
    QTimer Poll;
};

// Writes 16-byte little-endian records: Address, Reserved, TSC.
void WriteBinaryTrace(const QString& path, const std::vector<RawRecord>& records);

} // namespace hookmeter::test
