// The window's file dialogs: one for each of its seven files (the raw file, the executable, the two
// reports and the three optional outputs). Each is one object for the window's life and opens on
// the choice it returned last time.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <optional>

namespace hookmeter {

// Turns "label|patterns|label|patterns..." (patterns separated by ";") into the dialog's name
// filters "label (patterns)". A label that already ends in its patterns is kept as it is; "*.*"
// means every file, "*" here.
QStringList TranslateFileFilter(const QString& filter);

struct TFileDialogSetup {
    const char* ObjectName;
    const char* Title;
    const char* Filter;
    const char* DefaultExtension; // "" for none
    QFileDialog::AcceptMode Mode;
};

// One file dialog and its last choice. Open dialogs accept names of files that do not exist; save
// dialogs choose an existing file without asking for confirmation. The dialog is made, as a child
// of the parent widget, when it is first needed: a file dialog watches the file system from a
// thread of its own.
class TFileChooser {
public:
    TFileChooser(const TFileDialogSetup& setup, QWidget* parent);

    // Opens the dialog on its previous choice; the chosen full path, or nothing when cancelled.
    std::optional<QString> Choose();

private:
    QFileDialog& Dialog();

    const TFileDialogSetup Setup;
    QWidget* const Parent;
    QFileDialog* DialogBox = nullptr;
    QString LastChoice;
};

} // namespace hookmeter
