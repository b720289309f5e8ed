#include "ui/results/TimelineCanvas.h"

#include "ui/common/ToolTips.h"

#include "ui/results/TimeAxis.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace hookmeter {

namespace {

constexpr int RulerHeight = 24;
constexpr int LabelWidth = 150;
constexpr int NotesHeight = 14;
constexpr int CoreHeight = 18;
constexpr int LoadHeight = 44;
constexpr int TaskHeight = 18;
constexpr int TickSpacing = 110; // pixels between ruler ticks, at least
constexpr int LoadPixels = 4;    // an interval of the load covers at least this many pixels
constexpr int MarkerPixels = 7;  // markers closer than this merge
constexpr double MinCpp = 1.0 / 64;

const QColor MergedColour(178, 178, 178);
const QColor MergedHatch(120, 120, 120);
const QColor MatchColour(255, 120, 0);
const QColor CutColour(210, 0, 0);
const QColor NoteColour(220, 30, 30);
const QColor ExitColour(140, 40, 200);
const QColor LabelBackground(240, 240, 240);
const QColor GridColour(232, 232, 232);

const QRgb TaskPalette[] = {0x4e79a7, 0xf28e2b, 0x59a14f, 0xe15759, 0x76b7b2,
                            0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac};

QString Count(uint64_t value) {
    return QString::number(qulonglong(value));
}

} // namespace

TTimelineCanvas::TTimelineCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TimelineCanvas"));
    setMouseTracking(true); // for the tooltips
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Scrollbar = new QScrollBar(Qt::Vertical, this);
    Scrollbar->setObjectName(QStringLiteral("ScrollTimeline"));
    connect(Scrollbar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != ScrollY) {
            ScrollY = value;
            Relayout();
            update();
        }
    });
}

QSize TTimelineCanvas::sizeHint() const {
    return {900, 420};
}

const TCallTracks* TTimelineCanvas::Tracks() const {
    return Data;
}

void TTimelineCanvas::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = std::move(results);
    Data = Results ? Results->Tracks.get() : nullptr;
    Highlight.reset();
    Folded.clear();
    Selected = NoRecord;
    Path.clear();
    RangeFromTSC = RangeToTSC = 0;
    ScrollY = 0;
    FunctionColours.clear();
    if (Data) {
        for (const TCallTracks::TFunction& function : Data->Functions()) {
            // The same name keeps its colour from one run to the next.
            uint32_t hash = 2166136261u;
            for (char c : function.Name)
                hash = (hash ^ uint8_t(c)) * 16777619u;
            FunctionColours.push_back(QColor::fromHsv(int(hash % 360), 90 + int(hash >> 9) % 70,
                                                      225 + int(hash >> 17) % 25)
                                          .rgb());
        }
    }
    FitAll();
    emit CallSelected(NoRecord);
    emit RangeSelected();
}

void TTimelineCanvas::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
    update();
}

void TTimelineCanvas::SetSearch(const QString& text) {
    Highlight.reset();
    if (Data && !text.isEmpty()) {
        std::vector<bool> functions;
        functions.reserve(Data->Functions().size());
        for (const TCallTracks::TFunction& function : Data->Functions())
            functions.push_back(
                QString::fromStdString(function.Name).contains(text, Qt::CaseInsensitive));
        Highlight = Data->Highlight(functions);
    }
    update();
}

// ---- the view ----

int TTimelineCanvas::TimeLeft() const {
    return LabelWidth;
}

int TTimelineCanvas::TimeWidth() const {
    return std::max(1, width() - LabelWidth - Scrollbar->sizeHint().width());
}

int TTimelineCanvas::FixedHeight() const {
    return RulerHeight + NotesHeight + CoreHeight + LoadHeight + 4;
}

double TTimelineCanvas::XOf(uint64_t tsc) const {
    return TimeLeft() + (double(tsc - Data->FirstTSC()) - Offset) / Cpp;
}

uint64_t TTimelineCanvas::TscAt(double x) const {
    double offset = std::max(0.0, Offset + (x - TimeLeft()) * Cpp);
    double span = double(Data->LastTSC() - Data->FirstTSC());
    return Data->FirstTSC() + uint64_t(std::min(offset, span));
}

uint64_t TTimelineCanvas::ViewFrom() const {
    return Data->FirstTSC() + uint64_t(std::max(0.0, std::floor(Offset)));
}

uint64_t TTimelineCanvas::ViewTo() const {
    return Data->FirstTSC() + uint64_t(std::max(0.0, std::ceil(Offset + TimeWidth() * Cpp))) + 1;
}

uint64_t TTimelineCanvas::MergeCycles(double pixels) const {
    return uint64_t(std::max(1.0, std::ceil(pixels * Cpp)));
}

void TTimelineCanvas::ClampView() {
    if (!Data)
        return;
    double span = std::max(1.0, double(Data->LastTSC() - Data->FirstTSC()));
    double widest = span * 1.05 / TimeWidth();
    Cpp = std::clamp(Cpp, std::min(MinCpp, widest), std::max(MinCpp, widest));
    double shown = Cpp * TimeWidth();
    Offset = std::clamp(Offset, -0.025 * span - 0.5 * shown, span + 0.025 * span - 0.5 * shown);
}

void TTimelineCanvas::SetView(double offset, double cyclesPerPixel) {
    Offset = offset;
    Cpp = cyclesPerPixel;
    ClampView();
    update();
}

void TTimelineCanvas::FitAll() {
    if (Data) {
        double span = std::max(1.0, double(Data->LastTSC() - Data->FirstTSC()));
        Cpp = span * 1.04 / TimeWidth();
        Offset = -0.02 * span;
    }
    Relayout();
    update();
}

void TTimelineCanvas::ShowSpan(uint64_t from, uint64_t to) {
    if (!Data)
        return;
    double span = std::max(1.0, double(to - from));
    Cpp = span / (0.6 * TimeWidth());
    Offset = double(from - Data->FirstTSC()) - 0.2 * TimeWidth() * Cpp;
    ClampView();
    update();
}

void TTimelineCanvas::ZoomAround(double factor, double x) {
    if (!Data)
        return;
    x = std::clamp(x, double(TimeLeft()), double(TimeLeft() + TimeWidth()));
    double at = Offset + (x - TimeLeft()) * Cpp;
    Cpp *= factor;
    ClampView();
    Offset = at - (x - TimeLeft()) * Cpp;
    ClampView();
    update();
}

void TTimelineCanvas::Pan(double pixels) {
    Offset += pixels * Cpp;
    ClampView();
    update();
}

void TTimelineCanvas::Scroll(int pixels) {
    Scrollbar->setValue(Scrollbar->value() + pixels); // relays out and repaints
}

// ---- rows ----

void TTimelineCanvas::Relayout() {
    Rows.clear();
    int top = RulerHeight;
    Rows.push_back({TRowKind::Notes, top, NotesHeight});
    top += NotesHeight;
    Rows.push_back({TRowKind::Core, top, CoreHeight});
    top += CoreHeight;
    Rows.push_back({TRowKind::Load, top, LoadHeight});
    int depthHeight = fontMetrics().height() + 3;
    int y = 0;
    if (Data)
        for (uint32_t task = 0; task < Data->Tasks().size(); ++task) {
            Rows.push_back({TRowKind::Task, FixedHeight() + y - ScrollY, TaskHeight, task});
            y += TaskHeight;
            if (Folded.count(task) != 0)
                continue;
            for (uint32_t track : Data->Tasks()[task].CallTracks) {
                Rows.push_back(
                    {TRowKind::Calls, FixedHeight() + y - ScrollY, depthHeight, task, track});
                y += depthHeight;
            }
        }
    ContentHeight = y;
    int visible = std::max(0, height() - FixedHeight());
    Scrollbar->blockSignals(true);
    Scrollbar->setRange(0, std::max(0, ContentHeight - visible));
    Scrollbar->setPageStep(std::max(1, visible));
    Scrollbar->setSingleStep(depthHeight);
    if (ScrollY > Scrollbar->maximum()) {
        ScrollY = Scrollbar->maximum();
        Scrollbar->setValue(ScrollY);
        Scrollbar->blockSignals(false);
        return Relayout();
    }
    Scrollbar->setValue(ScrollY);
    Scrollbar->blockSignals(false);
    Drawn.assign(Rows.size(), {});
}

void TTimelineCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    int scrollWidth = Scrollbar->sizeHint().width();
    Scrollbar->setGeometry(width() - scrollWidth, FixedHeight(), scrollWidth,
                           std::max(0, height() - FixedHeight()));
    ClampView();
    Relayout();
}

const TTimelineCanvas::TRow* TTimelineCanvas::RowAt(int y) const {
    for (const TRow& row : Rows) {
        bool scrolled = row.Kind == TRowKind::Task || row.Kind == TRowKind::Calls;
        if (scrolled && y < FixedHeight())
            continue;
        if (y >= row.Top && y < row.Top + row.Height)
            return &row;
    }
    return nullptr;
}

const TTimelineCanvas::TDrawn* TTimelineCanvas::DrawnAt(const TRow& row, int x) const {
    const std::vector<TDrawn>& drawn = Drawn[size_t(&row - Rows.data())];
    const TDrawn* best = nullptr;
    for (const TDrawn& box : drawn) {
        if (x >= box.Left - 1 && x < box.Right + 1) {
            best = &box;
            if (x >= box.Left && x < box.Right)
                return best;
        }
    }
    return best;
}

// ---- painting ----

QColor TTimelineCanvas::FunctionColour(uint32_t function) const {
    return function < FunctionColours.size() ? QColor(FunctionColours[function]) : MergedColour;
}

QColor TTimelineCanvas::TaskColour(uint32_t task) const {
    return QColor(TaskPalette[task % std::size(TaskPalette)]);
}

void TTimelineCanvas::TPixels::Resize(int width, int height) {
    if (Image.width() == width && Image.height() == height)
        return;
    Image = QImage();
    Memory = TLargeBuffer(size_t(width) * size_t(height) * sizeof(QRgb));
    Image = QImage(reinterpret_cast<uchar*>(Memory.Data()), width, height,
                   qsizetype(width) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32);
}

void TTimelineCanvas::TPixels::Fill(int left, int right, int top, int bottom, QRgb colour) {
    left = std::max(left, 0);
    right = std::min(right, Image.width());
    top = std::max(top, ClipTop);
    bottom = std::min(bottom, ClipBottom);
    auto* pixels = reinterpret_cast<QRgb*>(Memory.Data());
    for (int y = top; y < bottom && left < right; ++y)
        std::fill(pixels + size_t(y) * size_t(Image.width()) + left,
                  pixels + size_t(y) * size_t(Image.width()) + right, colour);
}

void TTimelineCanvas::TPixels::Hatch(int left, int right, int top, int bottom, QRgb colour,
                                     QRgb stripe) {
    left = std::max(left, 0);
    right = std::min(right, Image.width());
    top = std::max(top, ClipTop);
    bottom = std::min(bottom, ClipBottom);
    if (left >= right)
        return;
    // Four lines of the pattern, each as wide as the image and four pixels more.
    if (HatchColour != colour || HatchStripe != stripe ||
        HatchLines.size() != size_t(4 * (Image.width() + 4))) {
        HatchColour = colour;
        HatchStripe = stripe;
        HatchLines.resize(size_t(4 * (Image.width() + 4)));
        for (int phase = 0; phase < 4; ++phase)
            for (int x = 0; x < Image.width() + 4; ++x)
                HatchLines[size_t(phase * (Image.width() + 4) + x)] =
                    (x + phase) % 4 == 0 ? stripe : colour;
    }
    auto* pixels = reinterpret_cast<QRgb*>(Memory.Data());
    for (int y = top; y < bottom; ++y) {
        const QRgb* pattern = HatchLines.data() + size_t((y % 4) * (Image.width() + 4));
        std::copy(pattern + left, pattern + right,
                  pixels + size_t(y) * size_t(Image.width()) + left);
    }
}

void TTimelineCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!Data) {
        painter.fillRect(rect(), Qt::white);
        painter.drawText(rect(), Qt::AlignCenter,
                         Results ? tr("No calls to show: a new job has started, or the job could "
                                      "not keep them (see its status lines).")
                                 : tr("No results yet."));
        return;
    }
    if (Drawn.size() != Rows.size())
        Drawn.assign(Rows.size(), {});
    // The time area's boxes go straight into pixels; labels and markers are painted over them.
    Pixels.Resize(TimeWidth(), height());
    Pixels.ClipTop = RulerHeight;
    Pixels.ClipBottom = height();
    Pixels.Fill(0, TimeWidth(), RulerHeight, height(), qRgb(255, 255, 255));
    for (const TAxisTick& tick : AxisTicks(Offset, Cpp, TimeWidth(), TickSpacing, Format)) {
        int x = int(std::lround((tick.Offset - Offset) / Cpp));
        Pixels.Fill(x, x + 1, RulerHeight, height(), GridColour.rgb());
    }
    const auto visible = [&](const TRow& row) {
        bool scrolled = row.Kind == TRowKind::Task || row.Kind == TRowKind::Calls;
        int top = scrolled ? FixedHeight() : RulerHeight;
        Pixels.ClipTop = top;
        return row.Top + row.Height > top && row.Top < height();
    };
    for (const TRow& row : Rows) {
        Drawn[size_t(&row - Rows.data())].clear();
        if (!visible(row))
            continue;
        switch (row.Kind) {
        case TRowKind::Notes:
            GatherMarkers(row, Data->NoteTrack());
            break;
        case TRowKind::Core:
            FillCore(row);
            break;
        case TRowKind::Load:
            FillLoad(row);
            break;
        case TRowKind::Task:
            Pixels.Fill(0, TimeWidth(), row.Top, row.Top + row.Height, LabelBackground.rgb());
            GatherMarkers(row, Data->Tasks()[row.Task].ExitTrack);
            break;
        case TRowKind::Calls:
            FillCalls(row);
            break;
        }
    }
    painter.drawImage(QPoint(TimeLeft(), RulerHeight), Pixels.Image,
                      QRect(0, RulerHeight, TimeWidth(), height() - RulerHeight));
    painter.fillRect(TimeLeft() + TimeWidth(), RulerHeight, width() - TimeLeft() - TimeWidth(),
                     FixedHeight() - RulerHeight, LabelBackground);
    for (const TRow& row : Rows) {
        if (!visible(row))
            continue;
        painter.setClipRect(TimeLeft(), Pixels.ClipTop, TimeWidth(), height() - Pixels.ClipTop);
        if (row.Kind == TRowKind::Notes)
            PaintMarkers(painter, row, NoteColour);
        else if (row.Kind == TRowKind::Task)
            PaintMarkers(painter, row, ExitColour);
        else if (row.Kind == TRowKind::Calls)
            PaintCallLabels(painter, row);
    }
    painter.setClipping(false);
    PaintRange(painter);
    PaintRuler(painter);
    PaintLabels(painter);
    QString note;
    if (Data->ReadFailed())
        note = tr("!!!The timeline's temporary file could not be read, calls are missing!!!");
    else if (Data->HiddenCalls() != 0)
        note = tr("%1 calls are not shown: their records' time ran backwards.")
                   .arg(qulonglong(Data->HiddenCalls()));
    if (!note.isEmpty()) {
        QRect text = fontMetrics().boundingRect(note).adjusted(-4, -2, 4, 2);
        text.moveBottomLeft(QPoint(TimeLeft() + 4, height() - 4));
        painter.fillRect(text, QColor(255, 240, 200));
        painter.drawText(text, Qt::AlignCenter, note);
    }
}

void TTimelineCanvas::PaintRuler(QPainter& painter) {
    painter.fillRect(0, 0, width(), RulerHeight, LabelBackground);
    painter.setPen(Qt::black);
    painter.setClipRect(TimeLeft(), 0, TimeWidth(), RulerHeight);
    QFontMetrics metrics = fontMetrics();
    for (const TAxisTick& tick : AxisTicks(Offset, Cpp, TimeWidth(), TickSpacing, Format)) {
        int x = int(std::lround(TimeLeft() + (tick.Offset - Offset) / Cpp));
        painter.drawLine(x, RulerHeight - 7, x, RulerHeight - 1);
        painter.drawText(x + 3, RulerHeight - 8, tick.Label);
    }
    if (HasRange()) {
        int x0 = int(std::floor(XOf(RangeFromTSC))), x1 = int(std::ceil(XOf(RangeToTSC)));
        QString length = AxisLength(double(RangeToTSC - RangeFromTSC), Format);
        int textWidth = metrics.horizontalAdvance(length) + 8;
        int middle = std::clamp((x0 + x1) / 2, TimeLeft() + textWidth / 2,
                                TimeLeft() + TimeWidth() - textWidth / 2);
        QRect box(middle - textWidth / 2, 2, textWidth, RulerHeight - 4);
        painter.fillRect(box, QColor(60, 110, 200));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, length);
        painter.setPen(Qt::black);
    }
    painter.setClipping(false);
    painter.drawText(QRect(4, 0, LabelWidth - 8, RulerHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     Format.ShowsTime() ? tr("time") : tr("cycles"));
}

void TTimelineCanvas::PaintLabels(QPainter& painter) {
    painter.setClipRect(0, RulerHeight, LabelWidth, height() - RulerHeight);
    painter.fillRect(0, RulerHeight, LabelWidth, height() - RulerHeight, LabelBackground);
    painter.setPen(Qt::black);
    for (const TRow& row : Rows) {
        bool scrolled = row.Kind == TRowKind::Task || row.Kind == TRowKind::Calls;
        if (scrolled)
            painter.setClipRect(0, FixedHeight(), LabelWidth, height() - FixedHeight());
        QRect text(6, row.Top, LabelWidth - 10, row.Height);
        switch (row.Kind) {
        case TRowKind::Notes:
            painter.drawText(text, Qt::AlignVCenter, tr("Inconsistencies"));
            break;
        case TRowKind::Core:
            painter.drawText(text, Qt::AlignVCenter, tr("DSP core"));
            break;
        case TRowKind::Load: {
            double interval = std::exp2(std::ceil(std::log2(std::max(1.0, LoadPixels * Cpp))));
            painter.drawText(text, Qt::AlignVCenter | Qt::TextWordWrap,
                             tr("Task load per %1").arg(AxisLength(interval, Format)));
            break;
        }
        case TRowKind::Task: {
            QString name = QString::fromStdString(Data->Tasks()[row.Task].Name);
            bool folded = Folded.count(row.Task) != 0;
            painter.fillRect(0, row.Top, LabelWidth, row.Height, QColor(225, 225, 225));
            painter.fillRect(0, row.Top, 4, row.Height, TaskColour(row.Task));
            painter.drawText(
                text, Qt::AlignVCenter,
                fontMetrics().elidedText(
                    (folded ? QStringLiteral("\u25b8 ") : QStringLiteral("\u25be ")) + name,
                    Qt::ElideRight, text.width()));
            break;
        }
        case TRowKind::Calls:
            painter.setPen(Qt::gray);
            painter.drawText(text, Qt::AlignVCenter | Qt::AlignRight,
                             QString::number(Data->Track(row.Track).Depth));
            painter.setPen(Qt::black);
            break;
        }
    }
    painter.setClipping(false);
    painter.setPen(QColor(200, 200, 200));
    painter.drawLine(LabelWidth - 1, RulerHeight, LabelWidth - 1, height());
    painter.drawLine(0, FixedHeight() - 2, width(), FixedHeight() - 2);
}

void TTimelineCanvas::GatherMarkers(const TRow& row, uint32_t track) {
    std::vector<TDrawn>& drawn = Drawn[size_t(&row - Rows.data())];
    Boxes.clear();
    Data->Boxes(track, ViewFrom(), ViewTo(), MergeCycles(MarkerPixels), Boxes);
    for (const TTrackBox& box : Boxes) {
        int x = int(std::floor(XOf(box.Start)));
        int right = std::max(x + 1, int(std::ceil(XOf(box.End))));
        drawn.push_back({x, right, box});
    }
}

void TTimelineCanvas::PaintMarkers(QPainter& painter, const TRow& row, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const int half = MarkerPixels / 2;
    for (const TDrawn& marker : Drawn[size_t(&row - Rows.data())]) {
        int x = marker.Left;
        QPolygon triangle;
        triangle << QPoint(x - half, row.Top + 2) << QPoint(x + half + 1, row.Top + 2)
                 << QPoint(x, row.Top + row.Height - 3);
        painter.drawPolygon(triangle);
        if (marker.Right - x > 2)
            painter.fillRect(x, row.Top + 1, marker.Right - x, 2, colour);
        if (marker.Box.Count > 1) {
            painter.setPen(colour);
            painter.drawText(marker.Right + half + 1, row.Top + row.Height - 3,
                             Count(marker.Box.Count));
            painter.setPen(Qt::NoPen);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
}

void TTimelineCanvas::FillCore(const TRow& row) {
    std::vector<TDrawn>& drawn = Drawn[size_t(&row - Rows.data())];
    for (uint32_t task = 0; task < Data->Tasks().size(); ++task) {
        Boxes.clear();
        Data->Boxes(Data->Tasks()[task].RunTrack, ViewFrom(), ViewTo(), MergeCycles(1), Boxes);
        QRgb colour = TaskColour(task).rgb();
        QRgb stripe = TaskColour(task).darker(150).rgb();
        for (const TTrackBox& box : Boxes) {
            int left = std::max(TimeLeft(), int(std::floor(XOf(box.Start))));
            int right = std::max(left + 1, int(std::ceil(XOf(box.End))));
            if (box.Count > 1)
                Pixels.Hatch(left - TimeLeft(), right - TimeLeft(), row.Top + 2,
                             row.Top + row.Height - 2, colour, stripe);
            else
                Pixels.Fill(left - TimeLeft(), right - TimeLeft(), row.Top + 2,
                            row.Top + row.Height - 2, colour);
            drawn.push_back({left, right, box, task});
        }
    }
}

void TTimelineCanvas::FillLoad(const TRow& row) {
    std::vector<TDrawn>& drawn = Drawn[size_t(&row - Rows.data())];
    double interval = std::exp2(std::ceil(std::log2(std::max(1.0, LoadPixels * Cpp))));
    auto first = int64_t(std::floor(std::max(0.0, Offset) / interval));
    auto last = int64_t(std::ceil((Offset + TimeWidth() * Cpp) / interval));
    uint64_t span = Data->LastTSC() - Data->FirstTSC();
    int bottom = row.Top + row.Height - 1;
    int room = row.Height - 3;
    Pixels.Fill(0, TimeWidth(), bottom, bottom + 1, qRgb(200, 200, 200));
    for (int64_t k = first; k < last; ++k) {
        uint64_t start = uint64_t(double(k) * interval);
        if (start > span)
            break;
        uint64_t from = Data->FirstTSC() + start;
        uint64_t to = from + uint64_t(interval);
        int left = int(std::floor(XOf(from)));
        int right = std::max(left + 1, int(std::floor(XOf(to))));
        double height = 0;
        for (uint32_t task = 0; task < Data->Tasks().size(); ++task) {
            uint64_t cycles = Data->RunCycles(task, from, to);
            if (cycles == 0)
                continue;
            double next = height + room * double(cycles) / interval;
            int y0 = bottom - int(std::lround(next)), y1 = bottom - int(std::lround(height));
            Pixels.Fill(left - TimeLeft(), right - TimeLeft(), y0, y1, TaskColour(task).rgb());
            height = next;
        }
        TTrackBox box;
        box.Start = from;
        box.End = to;
        drawn.push_back({left, right, box});
    }
}

void TTimelineCanvas::FillCalls(const TRow& row) {
    std::vector<TDrawn>& drawn = Drawn[size_t(&row - Rows.data())];
    Boxes.clear();
    Data->Boxes(row.Track, ViewFrom(), ViewTo(), MergeCycles(1), Boxes, Highlight.get());
    const int edge = TimeLeft() + TimeWidth();
    const int top = row.Top + 1, bottom = row.Top + row.Height - 1;
    int lastRight = TimeLeft();
    for (const TTrackBox& box : Boxes) {
        int left = std::max(lastRight, int(std::floor(std::max(XOf(box.Start), -1.0))));
        int right = std::max(left + 1, int(std::ceil(std::min(XOf(box.End), edge + 1.0))));
        lastRight = right;
        bool merged = box.Count > 1;
        QRgb colour = merged ? MergedColour.rgb() : FunctionColours[box.Call.Function];
        if (Highlight && !box.Highlighted)
            colour = qRgb((qRed(colour) + 3 * 250) / 4, (qGreen(colour) + 3 * 250) / 4,
                          (qBlue(colour) + 3 * 250) / 4);
        int x0 = left - TimeLeft(), x1 = right - TimeLeft();
        if (merged)
            Pixels.Hatch(x0, x1, top, bottom, colour, MergedHatch.rgb());
        else
            Pixels.Fill(x0, x1, top, bottom, colour);
        if (Highlight && box.Highlighted) {
            Pixels.Fill(x0, x1, top, top + 2, MatchColour.rgb());
            Pixels.Fill(x0, x1, bottom - 2, bottom, MatchColour.rgb());
        }
        if (!merged && box.Call.Cut && right - left >= 3)
            Pixels.Fill(x1 - 2, x1, top, bottom, CutColour.rgb());
        drawn.push_back({left, right, box});
    }
}

void TTimelineCanvas::PaintCallLabels(QPainter& painter, const TRow& row) {
    const QFontMetrics metrics = fontMetrics();
    const int edge = TimeLeft() + TimeWidth();
    painter.setPen(Qt::black);
    for (const TDrawn& drawn : Drawn[size_t(&row - Rows.data())]) {
        int left = std::max(drawn.Left, TimeLeft()), right = std::min(drawn.Right, edge);
        if (right - left < 30)
            continue;
        const TTrackBox& box = drawn.Box;
        QString text = box.Count > 1
                           ? tr("%1 calls").arg(box.Count)
                           : QString::fromStdString(Data->Functions()[box.Call.Function].Name);
        painter.drawText(QRect(left + 3, row.Top + 1, right - left - 5, row.Height - 2),
                         Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(text, Qt::ElideRight, right - left - 5));
    }
    if (Selected != NoRecord && Data->TrackOf(Selected) == row.Track) {
        TTrackCall call = Data->Call(Selected);
        int left = int(std::floor(std::max(XOf(call.Enter), TimeLeft() - 2.0)));
        int right = std::max(left + 2, int(std::ceil(std::min(XOf(call.End), edge + 2.0))));
        painter.setPen(QPen(Qt::black, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(left, row.Top + 1, right - left, row.Height - 2));
        painter.setPen(Qt::black);
    }
}

void TTimelineCanvas::PaintRange(QPainter& painter) {
    if (!HasRange())
        return;
    double x0 = std::max(XOf(RangeFromTSC), double(TimeLeft()));
    double x1 = std::min(XOf(RangeToTSC), double(TimeLeft() + TimeWidth()));
    if (x1 < x0)
        return;
    painter.fillRect(QRectF(x0, RulerHeight, std::max(1.0, x1 - x0), height() - RulerHeight),
                     QColor(60, 110, 200, 45));
    painter.fillRect(QRectF(x0, RulerHeight, 1, height() - RulerHeight), QColor(60, 110, 200));
    painter.fillRect(QRectF(x1, RulerHeight, 1, height() - RulerHeight), QColor(60, 110, 200));
}

// ---- what the user does ----

void TTimelineCanvas::Select(TRecordId id) {
    Selected = id;
    update();
    emit CallSelected(id);
}

void TTimelineCanvas::ShowRowOf(TRecordId id) {
    const TCallTracks::TTrackData& track = Data->Track(Data->TrackOf(id));
    if (Folded.erase(track.Task) != 0)
        Relayout();
    for (const TRow& row : Rows)
        if (row.Kind == TRowKind::Calls && row.Track == Data->TrackOf(id)) {
            int top = row.Top + ScrollY - FixedHeight();
            int visible = height() - FixedHeight();
            if (top < ScrollY || top + row.Height > ScrollY + visible)
                Scrollbar->setValue(std::max(0, top - visible / 2));
            return;
        }
}

void TTimelineCanvas::ShowCall(TRecordId id, bool zoom) {
    if (!Data || id == NoRecord)
        return;
    Select(id);
    ShowRowOf(id);
    TTrackCall call = Data->Call(id);
    double left = XOf(call.Enter), right = XOf(call.End);
    if (zoom || right - left < 2 || left > TimeLeft() + TimeWidth() || right < TimeLeft())
        ShowSpan(call.Enter, call.End);
}

void TTimelineCanvas::WalkPath(uint32_t task, std::vector<uint32_t> path) {
    PathTask = task;
    Path = std::move(path);
}

bool TTimelineCanvas::Step(bool forward) {
    if (!Data || Selected == NoRecord)
        return false;
    TRecordId next = Data->NextCall(Selected, forward, PathTask, Path);
    if (next == NoRecord)
        return false;
    ShowCall(next, false);
    return true;
}

void TTimelineCanvas::SelectRange(uint64_t from, uint64_t to) {
    RangeFromTSC = std::min(from, to);
    RangeToTSC = std::max(from, to);
    update();
    emit RangeSelected();
}

bool TTimelineCanvas::event(QEvent* event) {
    if (ShowToolTipAt(this, event, [this](QPoint point) { return ToolTipAt(point); }))
        return true;
    return QWidget::event(event);
}

QString TTimelineCanvas::ToolTipAt(QPoint point) const {
    if (!Data || point.x() < TimeLeft() || point.y() < RulerHeight)
        return {};
    const TRow* row = RowAt(point.y());
    if (row == nullptr)
        return {};
    const TDrawn* drawn = DrawnAt(*row, point.x());
    const auto tsc = [](uint64_t value) { return QString::number(qulonglong(value)); };
    switch (row->Kind) {
    case TRowKind::Notes:
        if (!drawn)
            return {};
        if (drawn->Box.Count > 1)
            return tr("%1 inconsistencies the job reported; zoom in to see each.")
                .arg(drawn->Box.Count);
        return QString::fromStdString(Data->NoteText(drawn->Box.Call));
    case TRowKind::Task: {
        const std::string& name = Data->Tasks()[row->Task].Name;
        if (!drawn)
            return tr("Task %1: click to fold or unfold its calls.")
                .arg(QString::fromStdString(name));
        if (drawn->Box.Count > 1)
            return tr("%1 function exits without enter; zoom in to see each.")
                .arg(drawn->Box.Count);
        return tr("Exit without enter of %1 at TSC %2")
            .arg(QString::fromStdString(Data->Functions()[drawn->Box.Call.Function].Name),
                 tsc(drawn->Box.Call.Enter));
    }
    case TRowKind::Core: {
        if (!drawn)
            return {};
        const TTrackBox& box = drawn->Box;
        QString task = QString::fromStdString(Data->Tasks()[drawn->Task].Name);
        if (box.Count > 1)
            return tr("%1 run slices of %2 from TSC %3 to %4; zoom in to see each.")
                .arg(box.Count)
                .arg(task, tsc(box.Start), tsc(box.End));
        return tr("%1 ran %2, from TSC %3 to %4")
            .arg(task, Format.Text(box.End - box.Start), tsc(box.Start), tsc(box.End));
    }
    case TRowKind::Load: {
        if (!drawn)
            return {};
        uint64_t length = drawn->Box.End - drawn->Box.Start;
        QString text =
            tr("From TSC %1, %2:").arg(tsc(drawn->Box.Start), AxisLength(double(length), Format));
        for (uint32_t task = 0; task < Data->Tasks().size(); ++task) {
            uint64_t cycles = Data->RunCycles(task, drawn->Box.Start, drawn->Box.End);
            if (cycles != 0)
                text += tr("\n%1: %2 %")
                            .arg(QString::fromStdString(Data->Tasks()[task].Name),
                                 QString::number(100.0 * double(cycles) / double(length), 'f', 1));
        }
        return text;
    }
    case TRowKind::Calls: {
        if (!drawn)
            return {};
        const TTrackBox& box = drawn->Box;
        QString task = QString::fromStdString(Data->Tasks()[row->Task].Name);
        uint32_t depth = Data->Track(row->Track).Depth;
        if (box.Count > 1)
            return tr("%1 calls of %2 at depth %3, from TSC %4 to %5; zoom in to see each.")
                .arg(box.Count)
                .arg(task)
                .arg(depth)
                .arg(tsc(box.Start), tsc(box.End));
        const TTrackCall& call = box.Call;
        QString text = tr("%1\nTask %2, depth %3\nEnter TSC %4\n")
                           .arg(QString::fromStdString(Data->Functions()[call.Function].Name), task)
                           .arg(depth)
                           .arg(tsc(call.Enter));
        if (call.Cut)
            return text + tr("No exit: given up at TSC %1\nInclusive %2 until then")
                              .arg(tsc(call.End), Format.Text(call.End - call.Enter));
        return text + tr("Exit TSC %1\nInclusive %2, exclusive %3")
                          .arg(tsc(call.End), Format.Text(call.End - call.Enter),
                               Format.Text(call.Exclusive));
    }
    }
    return {};
}

void TTimelineCanvas::wheelEvent(QWheelEvent* event) {
    if (!Data)
        return;
    QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ShiftModifier) {
        Scroll(-(delta.y() != 0 ? delta.y() : delta.x()) / 2);
    } else if (delta.y() != 0) {
        ZoomAround(std::pow(0.9985, delta.y()), event->position().x());
    } else {
        Pan(-delta.x() / 2.0);
    }
    event->accept();
}

void TTimelineCanvas::mousePressEvent(QMouseEvent* event) {
    if (!Data || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    Pressed = true;
    Moved = false;
    Selecting = (event->modifiers() & Qt::ShiftModifier) != 0;
    PressAt = event->position().toPoint();
    PressOffset = Offset;
    PressScroll = ScrollY;
}

void TTimelineCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!Pressed)
        return;
    QPoint at = event->position().toPoint();
    if ((at - PressAt).manhattanLength() > 3)
        Moved = true;
    if (!Moved)
        return;
    if (Selecting) {
        RangeFromTSC = std::min(TscAt(PressAt.x()), TscAt(at.x()));
        RangeToTSC = std::max(TscAt(PressAt.x()), TscAt(at.x()));
        update();
        return;
    }
    Offset = PressOffset - (at.x() - PressAt.x()) * Cpp;
    ClampView();
    Scrollbar->setValue(PressScroll - (at.y() - PressAt.y()));
    update();
}

void TTimelineCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (!Pressed || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    Pressed = false;
    if (Selecting) {
        if (!Moved)
            RangeFromTSC = RangeToTSC = 0; // a click with Shift clears the range
        update();
        emit RangeSelected();
        return;
    }
    if (Moved)
        return;
    const TRow* row = RowAt(PressAt.y());
    if (row == nullptr || PressAt.x() < TimeLeft()) {
        if (row != nullptr && row->Kind == TRowKind::Task) {
            if (!Folded.erase(row->Task))
                Folded.insert(row->Task);
            Relayout();
            update();
        }
        return;
    }
    if (row->Kind == TRowKind::Task) {
        if (!Folded.erase(row->Task))
            Folded.insert(row->Task);
        Relayout();
        update();
        return;
    }
    const TDrawn* drawn = row->Kind == TRowKind::Calls ? DrawnAt(*row, PressAt.x()) : nullptr;
    Path.clear(); // a call chosen by hand: Step goes by its function
    Select(drawn && drawn->Box.Count == 1 ? drawn->Box.Call.Id : NoRecord);
}

void TTimelineCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!Data || event->button() != Qt::LeftButton)
        return;
    const TRow* row = RowAt(event->position().toPoint().y());
    if (!row || row->Kind != TRowKind::Calls)
        return;
    const TDrawn* drawn = DrawnAt(*row, event->position().toPoint().x());
    if (!drawn)
        return;
    if (drawn->Box.Count == 1)
        Select(drawn->Box.Call.Id);
    ShowSpan(drawn->Box.Start, drawn->Box.End);
}

void TTimelineCanvas::keyPressEvent(QKeyEvent* event) {
    if (!Data)
        return QWidget::keyPressEvent(event);
    double middle = TimeLeft() + TimeWidth() / 2.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAround(1 / 1.5, middle);
        break;
    case Qt::Key_Minus:
        ZoomAround(1.5, middle);
        break;
    case Qt::Key_Left:
        Pan(-TimeWidth() / 8.0);
        break;
    case Qt::Key_Right:
        Pan(TimeWidth() / 8.0);
        break;
    case Qt::Key_Up:
        Scroll(-3 * (fontMetrics().height() + 3));
        break;
    case Qt::Key_Down:
        Scroll(3 * (fontMetrics().height() + 3));
        break;
    case Qt::Key_PageUp:
        Scroll(-(height() - FixedHeight()));
        break;
    case Qt::Key_PageDown:
        Scroll(height() - FixedHeight());
        break;
    case Qt::Key_Home:
        FitAll();
        break;
    case Qt::Key_N:
        Step(true);
        break;
    case Qt::Key_P:
        Step(false);
        break;
    case Qt::Key_Escape:
        if (HasRange())
            SelectRange(0, 0);
        else if (Selected != NoRecord)
            Select(NoRecord);
        else
            return QWidget::keyPressEvent(event);
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}

} // namespace hookmeter
