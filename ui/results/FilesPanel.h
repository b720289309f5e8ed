// TFilesPanel: the Files tab: the outputs a finished job wrote, with their sizes, and buttons that
// open the chosen one or show its folder with the desktop's own programs; a line beside them says
// when that fails.
#pragma once

#include "analysis/JobResults.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;

namespace hookmeter {

class TFilesPanel final : public QWidget {
    Q_OBJECT
public:
    explicit TFilesPanel(QWidget* parent = nullptr);

    void SetResults(const std::shared_ptr<const TJobResults>& results);
    // The path of the chosen row, or empty text.
    QString ChosenPath() const;

private:
    void OpenChosen();
    void ShowChosenFolder();
    void EnableButtons();
    // Hands a file or folder to the desktop; says so when it is missing or nothing opened it.
    void OpenWithDesktop(const QString& path);

    QTableWidget* Table = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* FolderButton = nullptr;
    QLabel* Problem = nullptr;
};

} // namespace hookmeter
