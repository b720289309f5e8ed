#include "ui/results/FlameGraphView.h"

#include "ui/results/FlameGraph.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStringList>
#include <QVBoxLayout>
#include <vector>

namespace hookmeter {

TFlameGraphView::TFlameGraphView(QWidget* parent) : QWidget(parent) {
    Search = new QLineEdit(this);
    Search->setObjectName(QStringLiteral("EditFlameSearch"));
    Search->setPlaceholderText(tr("Search functions"));
    Search->setClearButtonEnabled(true);
    ZoomOutButton = new QPushButton(tr("Zoom out"), this);
    ZoomOutButton->setObjectName(QStringLiteral("ButtonZoomOut"));
    ZoomOutButton->setAutoDefault(true);
    ZoomPath = new QLabel(this);
    ZoomPath->setObjectName(QStringLiteral("LabelFlameZoom"));
    ZoomPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    FlameGraph = new TFlameGraph;
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(FlameGraph);

    auto* bar = new QHBoxLayout;
    bar->addWidget(Search, 1);
    bar->addWidget(ZoomOutButton);
    bar->addWidget(ZoomPath, 3);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(bar);
    column->addWidget(scroll, 1);

    connect(Search, &QLineEdit::textChanged, FlameGraph, &TFlameGraph::SetSearch);
    connect(ZoomOutButton, &QPushButton::clicked, FlameGraph, &TFlameGraph::ZoomOut);
    connect(FlameGraph, &TFlameGraph::ZoomChanged, this, &TFlameGraphView::ShowZoom);
    connect(FlameGraph, &TFlameGraph::FrameMenuRequested, this, [this](uint32_t node, QPoint at) {
        QMenu menu(this);
        QAction* show = menu.addAction(tr("Show calls on the timeline"));
        QAction* zoomOut = menu.addAction(tr("Zoom out"));
        QAction* chosen = menu.exec(at);
        if (chosen == show)
            emit ShowCallsRequested(node);
        else if (chosen == zoomOut)
            FlameGraph->ZoomOut();
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, FlameGraph, &TFlameGraph::ZoomOut);
    ShowZoom(0);
}

void TFlameGraphView::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = results;
    FlameGraph->SetResults(std::move(results));
    FlameGraph->SetSearch(Search->text());
}

void TFlameGraphView::SetCycleFormat(const TCycleFormat& format) {
    FlameGraph->SetCycleFormat(format);
}

void TFlameGraphView::ShowZoom(uint32_t node) {
    ZoomOutButton->setEnabled(node != 0);
    QStringList path;
    if (Results) {
        const TCallTree& tree = Results->CallTree;
        std::vector<uint32_t> nodes;
        tree.PathTo(node, nodes);
        for (uint32_t at : nodes)
            path.append(QString::fromStdString(tree.Names[tree.Nodes[at].Name]));
    }
    QString text = path.isEmpty() ? tr("All tasks") : path.join(QStringLiteral(" \u25b8 "));
    if (FlameGraph->Layout().Truncated())
        text += tr("  (deeper calls are shown when you zoom in)");
    ZoomPath->setText(text);
}

} // namespace hookmeter
