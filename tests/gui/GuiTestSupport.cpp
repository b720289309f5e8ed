#include "GuiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QThread>
#include <QtEndian>

namespace hookmeter::test {

QStringList StatusLines(const QObject& form) {
    return Control<QPlainTextEdit>(form, "MemoStatus").toPlainText().split(QLatin1Char('\n'));
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool WaitForJobEnd(const QObject& form, int expectedCompleteLines) {
    return WaitUntil([&] {
        const auto& button = Control<QPushButton>(form, "ButtonProcess");
        return button.isEnabled() &&
               StatusLines(form).count(QStringLiteral("Profile data processing complete.")) ==
                   expectedCompleteLines;
    });
}

TDialogAnswerer::TDialogAnswerer() {
    Poll.setInterval(5);
    connect(&Poll, &QTimer::timeout, this, &TDialogAnswerer::AnswerOpenDialogs);
    Poll.start();
}

void TDialogAnswerer::AnswerOpenDialogs() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (auto* box = qobject_cast<QMessageBox*>(window)) {
            Boxes.push_back(
                {box->windowTitle(), box->text(), box->icon(), int(box->buttons().size())});
            box->accept();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(window)) {
            if (OnFileDialog)
                OnFileDialog(*dialog);
            else
                dialog->reject();
        }
    }
}

void WriteBinaryTrace(const QString& path, const std::vector<RawRecord>& records) {
    QByteArray bytes;
    for (const RawRecord& record : records) {
        char raw[16];
        qToLittleEndian(record.Address, raw);
        qToLittleEndian(record.Reserved, raw + 4);
        qToLittleEndian(record.TSC, raw + 8);
        bytes.append(raw, sizeof raw);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace hookmeter::test
