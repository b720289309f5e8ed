#include "ui/common/FileDialogs.h"

#include <QAbstractItemView>
#include <QCompleter>

namespace hookmeter {

QStringList TranslateFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& label = parts[i];
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        const QString patternList =
            QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        if (label.endsWith(patternList))
            nameFilters.append(label);
        else
            nameFilters.append(label + QLatin1Char(' ') + patternList);
    }
    return nameFilters;
}

TFileChooser::TFileChooser(const TFileDialogSetup& setup, QWidget* parent)
    : Setup(setup), Parent(parent) {}

QFileDialog& TFileChooser::Dialog() {
    if (DialogBox)
        return *DialogBox;
    DialogBox = new QFileDialog(Parent, QString::fromLatin1(Setup.Title));
    DialogBox->setObjectName(QString::fromLatin1(Setup.ObjectName));
    DialogBox->setAcceptMode(Setup.Mode);
    DialogBox->setFileMode(QFileDialog::AnyFile);
    DialogBox->setNameFilters(TranslateFileFilter(QString::fromLatin1(Setup.Filter)));
    DialogBox->setDefaultSuffix(QString::fromLatin1(Setup.DefaultExtension));
    DialogBox->setOption(QFileDialog::DontConfirmOverwrite, true);
    return *DialogBox;
}

std::optional<QString> TFileChooser::Choose() {
    QFileDialog& dialog = Dialog();
    if (!LastChoice.isEmpty())
        dialog.selectFile(LastChoice);
    const int result = dialog.exec();
    // A name typed and confirmed with Return can leave the name completer's list on the screen.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        completer->popup()->hide();
    if (result != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    LastChoice = chosen.first();
    return LastChoice;
}

} // namespace hookmeter
