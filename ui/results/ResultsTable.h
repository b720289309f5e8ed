// TResultsTable: a results model shown as a sortable table with a filter box above it and a line
// below it for the details of the row the user double-clicks.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace hookmeter {

class TResultsTableModel;

class TResultsTable final : public QWidget {
    Q_OBJECT
public:
    // `name` prefixes the object names of the parts, e.g. "Functions": "EditFunctionsFilter",
    // "TableFunctions", "LabelFunctionsDetails".
    TResultsTable(TResultsTableModel* model, const QString& name, QWidget* parent = nullptr);

    QTableView* View() const { return Table; }
    // The order rows take whenever new results arrive, until the user clicks a header.
    void SetDefaultOrder(int column, Qt::SortOrder order);
    void ShowDetails(const QString& text);

signals:
    // A row was double-clicked or chosen with Return; the row is the model's, not the view's.
    void RowActivated(int modelRow);

private:
    QLineEdit* Filter = nullptr;
    QSortFilterProxyModel* Proxy = nullptr;
    QTableView* Table = nullptr;
    QLabel* Details = nullptr;
    int DefaultColumn = -1;
    Qt::SortOrder DefaultOrder = Qt::AscendingOrder;
};

} // namespace hookmeter
