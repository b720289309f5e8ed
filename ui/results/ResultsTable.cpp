#include "ui/results/ResultsTable.h"

#include "ui/results/ResultsTableModel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace hookmeter {

TResultsTable::TResultsTable(TResultsTableModel* model, const QString& name, QWidget* parent)
    : QWidget(parent) {
    model->setParent(this);
    Filter = new QLineEdit(this);
    Filter->setObjectName(QStringLiteral("Edit%1Filter").arg(name));
    Filter->setPlaceholderText(tr("Filter by name"));
    Filter->setClearButtonEnabled(true);

    Proxy = new QSortFilterProxyModel(this);
    Proxy->setSourceModel(model);
    Proxy->setSortRole(TResultsTableModel::SortRole);
    Proxy->setFilterKeyColumn(0);
    Proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    connect(Filter, &QLineEdit::textChanged, Proxy, &QSortFilterProxyModel::setFilterFixedString);

    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("Table%1").arg(name));
    Table->setModel(Proxy);
    Table->setSortingEnabled(true);
    Table->sortByColumn(-1, Qt::AscendingOrder); // the job's own order until a header is clicked
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setWordWrap(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->horizontalHeader()->setHighlightSections(false);
    // A double-click may also count as an activation; showing the details twice does no harm.
    const auto activate = [this](const QModelIndex& index) {
        emit RowActivated(Proxy->mapToSource(index).row());
    };
    connect(Table, &QTableView::activated, this, activate);
    connect(Table, &QTableView::doubleClicked, this, activate);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        Table->sortByColumn(DefaultColumn, DefaultOrder);
        Table->resizeColumnsToContents();
        Details->clear();
    });

    Details = new QLabel(this);
    Details->setObjectName(QStringLiteral("Label%1Details").arg(name));
    // Selectable with the mouse and the keyboard, and copied with the usual keys.
    Details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Details->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(Filter);
    column->addWidget(Table, 1);
    column->addWidget(Details);
}

void TResultsTable::SetDefaultOrder(int column, Qt::SortOrder order) {
    DefaultColumn = column;
    DefaultOrder = order;
    Table->sortByColumn(column, order);
}

void TResultsTable::ShowDetails(const QString& text) {
    Details->setText(text);
}

} // namespace hookmeter
