#include "ui/results/FlameGraph.h"

#include "ui/common/ToolTips.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace hookmeter {

namespace {

constexpr int TextPadding = 3;
const QColor MergedColour(200, 200, 200);
const QColor MatchColour(200, 60, 220);
const QColor FoldedColour(150, 170, 200);
const char* const FoldedName = "calls beyond the path limit";

} // namespace

TFlameGraph::TFlameGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FlameGraph"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    FrameHeight = fontMetrics().height() + 4;
}

void TFlameGraph::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = std::move(results);
    NameColours.clear();
    Zoom = 0;
    NameMatches.clear();
    Relayout();
    emit ZoomChanged(Zoom);
}

void TFlameGraph::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
}

void TFlameGraph::SetSearch(const QString& text) {
    NameMatches.clear();
    if (const TCallTree* tree = Tree(); tree && !text.isEmpty()) {
        NameMatches.reserve(tree->Names.size());
        for (const std::string& name : tree->Names)
            NameMatches.push_back(QString::fromStdString(name).contains(text, Qt::CaseInsensitive));
    }
    update();
}

void TFlameGraph::ZoomTo(uint32_t node) {
    const TCallTree* tree = Tree();
    if (!tree || node >= tree->Nodes.size() || node == Zoom)
        return;
    Zoom = node;
    Relayout();
    emit ZoomChanged(Zoom);
}

void TFlameGraph::ZoomOut() {
    if (const TCallTree* tree = Tree(); tree && Zoom != 0)
        ZoomTo(tree->Nodes[Zoom].Parent);
}

uint32_t TFlameGraph::NodeAt(QPoint point) const {
    const TFlameFrame* frame = Layout().FrameAt(point.x(), point.y() / FrameHeight);
    return frame && !frame->Folded ? frame->Node : TFlameFrame::Merged;
}

QString TFlameGraph::ToolTipAt(QPoint point) const {
    const TCallTree* tree = Tree();
    const TFlameFrame* frame = Layout().FrameAt(point.x(), point.y() / FrameHeight);
    if (!tree || !frame)
        return {};
    if (frame->Node == TFlameFrame::Merged && !frame->Folded)
        return tr("Frames too narrow to draw one by one; zoom in to see them.");
    const TCallTreeNode& node = tree->Nodes[frame->Node];
    const QString name =
        frame->Node == 0 ? tr("the tasks") : QString::fromStdString(tree->Names[node.Name]);
    const double all = double(tree->Nodes[0].TotalCycles);
    const auto share = [all](uint64_t cycles) {
        return QString::number(all > 0 ? 100.0 * double(cycles) / all : 0, 'f', 2);
    };
    if (frame->Folded)
        return tr("%1: calls below %2 that the call tree could not hold (a path deeper than its "
                  "limit, or the tree full); their own time, counted in %2\n%3\n%4 % of all")
            .arg(tr(FoldedName), name, Format.Amount(node.FoldedCycles), share(node.FoldedCycles));
    if (node.Parent == 0) // a task
        return tr("%1 (task)\n%2\n%3 % of all")
            .arg(name, Format.Amount(node.TotalCycles), share(node.TotalCycles));
    return tr("%1\n%2, %3 in the function itself\n%4 % of all")
        .arg(name, Format.Amount(node.TotalCycles), Format.Text(node.SelfCycles),
             share(node.TotalCycles));
}

int TFlameGraph::MatchingFrames() const {
    int count = 0;
    for (const TFlameFrame& frame : Layout().Frames())
        count += frame.Node != TFlameFrame::Merged && !frame.Folded && Matches(frame.Node);
    return count;
}

QSize TFlameGraph::sizeHint() const {
    return {400, std::max(1, Frames.Rows()) * FrameHeight};
}

bool TFlameGraph::Matches(uint32_t node) const {
    if (NameMatches.empty())
        return false;
    const uint32_t name = Tree()->Nodes[node].Name;
    return name < NameMatches.size() && NameMatches[name];
}

QColor TFlameGraph::FrameColour(uint32_t node) const {
    if (node == TFlameFrame::Merged)
        return MergedColour;
    if (Matches(node))
        return MatchColour;
    // Warm colours that stay the same for a name from run to run.
    const uint32_t nameIndex = Tree()->Nodes[node].Name;
    if (NameColours.size() != Tree()->Names.size())
        NameColours.assign(Tree()->Names.size(), 0);
    QRgb& cached = NameColours[nameIndex];
    if (cached == 0) {
        uint32_t hash = 2166136261u;
        for (const char c : Tree()->Names[nameIndex])
            hash = (hash ^ uint8_t(c)) * 16777619u;
        cached = QColor::fromHsv(int(hash % 50), 120 + int((hash >> 8) % 100),
                                 225 + int((hash >> 16) % 30))
                     .rgb();
    }
    const QColor colour(cached);
    return NameMatches.empty() ? colour : colour.lighter(125);
}

void TFlameGraph::EnsureLayout() const {
    if (LaidOutWidth == width())
        return;
    LaidOutWidth = width();
    if (const TCallTree* tree = Tree())
        Frames.Build(*tree, Zoom, width());
    else
        Frames = {};
}

const TFlameLayout& TFlameGraph::Layout() const {
    EnsureLayout();
    return Frames;
}

void TFlameGraph::Relayout() {
    LaidOutWidth = -1;
    EnsureLayout();
    setMinimumHeight(std::max(1, Frames.Rows()) * FrameHeight);
    update();
}

void TFlameGraph::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void TFlameGraph::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().base());
    const TCallTree* tree = Tree();
    if (!tree) {
        painter.setPen(palette().text().color());
        painter.drawText(rect(), Qt::AlignCenter, tr("No call paths: process a trace first."));
        return;
    }
    EnsureLayout();
    const int firstRow = event->rect().top() / FrameHeight;
    const int lastRow = event->rect().bottom() / FrameHeight;
    const QFontMetrics metrics = fontMetrics();
    const int minTextWidth = metrics.horizontalAdvance(QStringLiteral("W..")) + 2 * TextPadding;
    for (const TFlameFrame& frame : Frames.Frames()) {
        if (frame.Depth < firstRow)
            continue;
        if (frame.Depth > lastRow)
            break;
        // A frame of three pixels or more leaves a pixel of space to its right neighbour.
        const QRectF box(frame.X, frame.Depth * FrameHeight,
                         frame.Width >= 3 ? frame.Width - 1 : frame.Width, FrameHeight - 1);
        painter.fillRect(box, frame.Folded ? FoldedColour : FrameColour(frame.Node));
        if ((frame.Node == TFlameFrame::Merged && !frame.Folded) || box.width() < minTextWidth)
            continue;
        const QString name =
            frame.Folded ? tr(FoldedName)
                         : QString::fromStdString(tree->Names[tree->Nodes[frame.Node].Name]);
        painter.setPen(Qt::black);
        painter.drawText(
            box.adjusted(TextPadding, 0, -TextPadding, 0), Qt::AlignVCenter | Qt::AlignLeft,
            metrics.elidedText(name, Qt::ElideRight, int(box.width()) - 2 * TextPadding));
    }
}

bool TFlameGraph::event(QEvent* event) {
    if (ShowToolTipAt(this, event, [this](QPoint point) { return ToolTipAt(point); }))
        return true;
    return QWidget::event(event);
}

void TFlameGraph::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::LeftButton) {
        if (const uint32_t node = NodeAt(event->position().toPoint()))
            ZoomTo(node);
    } else if (event->button() == Qt::RightButton) {
        const uint32_t node = NodeAt(event->position().toPoint());
        if (node != TFlameFrame::Merged &&
            isSignalConnected(QMetaMethod::fromSignal(&TFlameGraph::FrameMenuRequested)))
            emit FrameMenuRequested(node, event->globalPosition().toPoint());
        else
            ZoomOut();
    }
}

void TFlameGraph::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && Zoom != 0) {
        ZoomOut();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace hookmeter
