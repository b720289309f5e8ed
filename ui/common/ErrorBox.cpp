#include "ui/common/ErrorBox.h"

#include <QMessageBox>
#include <exception>

namespace hookmeter {

void ShowErrorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return {};
    }
}

void RunGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowErrorBox(parent, CurrentExceptionText());
    }
}

} // namespace hookmeter
