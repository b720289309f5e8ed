#include "ui/results/FilesPanel.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace hookmeter {

namespace {

enum TColumn { RoleColumn, PathColumn, SizeColumn, ColumnCount };

} // namespace

TFilesPanel::TFilesPanel(QWidget* parent) : QWidget(parent) {
    Table = new QTableWidget(0, ColumnCount, this);
    Table->setObjectName(QStringLiteral("TableFiles"));
    Table->setHorizontalHeaderLabels({tr("Output"), tr("File"), tr("Size")});
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    OpenButton = new QPushButton(tr("Open"), this);
    OpenButton->setObjectName(QStringLiteral("ButtonOpenFile"));
    FolderButton = new QPushButton(tr("Show folder"), this);
    FolderButton->setObjectName(QStringLiteral("ButtonShowFolder"));
    for (QPushButton* button : {OpenButton, FolderButton})
        button->setAutoDefault(true);
    Problem = new QLabel(this);
    Problem->setObjectName(QStringLiteral("LabelFilesProblem"));
    Problem->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OpenButton);
    buttons->addWidget(FolderButton);
    buttons->addWidget(Problem, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(Table, 1);
    column->addLayout(buttons);

    connect(OpenButton, &QPushButton::clicked, this, &TFilesPanel::OpenChosen);
    connect(FolderButton, &QPushButton::clicked, this, &TFilesPanel::ShowChosenFolder);
    connect(Table, &QTableWidget::cellActivated, this, &TFilesPanel::OpenChosen);
    connect(Table, &QTableWidget::itemSelectionChanged, this, &TFilesPanel::EnableButtons);
    EnableButtons();
}

void TFilesPanel::SetResults(const std::shared_ptr<const TJobResults>& results) {
    Table->setRowCount(0);
    Problem->clear();
    if (results) {
        for (const TWrittenFile& file : results->Files) {
            const int row = Table->rowCount();
            Table->insertRow(row);
            const QString path = QFile::decodeName(QByteArray::fromStdString(file.Path));
            const QFileInfo info(path);
            Table->setItem(row, RoleColumn,
                           new QTableWidgetItem(QString::fromStdString(file.Role)));
            Table->setItem(row, PathColumn, new QTableWidgetItem(path));
            auto* size = new QTableWidgetItem(
                info.exists() ? QLocale().formattedDataSize(info.size()) : tr("missing"));
            size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(row, SizeColumn, size);
        }
    }
    Table->resizeColumnToContents(RoleColumn);
    Table->resizeColumnToContents(SizeColumn);
    if (Table->rowCount() > 0)
        Table->selectRow(0);
    EnableButtons();
}

QString TFilesPanel::ChosenPath() const {
    const QList<QTableWidgetItem*> chosen = Table->selectedItems();
    if (chosen.isEmpty())
        return {};
    const QTableWidgetItem* path = Table->item(chosen.first()->row(), PathColumn);
    return path ? path->text() : QString();
}

void TFilesPanel::OpenChosen() {
    if (const QString path = ChosenPath(); !path.isEmpty())
        OpenWithDesktop(QFileInfo(path).absoluteFilePath());
}

void TFilesPanel::ShowChosenFolder() {
    if (const QString path = ChosenPath(); !path.isEmpty())
        OpenWithDesktop(QFileInfo(path).absolutePath());
}

void TFilesPanel::OpenWithDesktop(const QString& path) {
    Problem->clear();
    if (!QFileInfo::exists(path))
        Problem->setText(tr("%1 no longer exists.").arg(path));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        Problem->setText(tr("The desktop could not open %1.").arg(path));
}

void TFilesPanel::EnableButtons() {
    const bool chosen = !ChosenPath().isEmpty();
    OpenButton->setEnabled(chosen);
    FolderButton->setEnabled(chosen);
}

} // namespace hookmeter
