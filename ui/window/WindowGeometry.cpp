#include "ui/window/WindowGeometry.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace hookmeter {

namespace {

// Without a window manager the frame never becomes known; the size set stays as it is then.
constexpr int FrameWaitMilliseconds = 2000;
const QSize NoSize(-1, -1);

} // namespace

TWindowGeometry::TWindowGeometry(QWidget& window) : QObject(&window), Window(window) {
    Window.installEventFilter(this);
}

// Until the frame is known the stored size is set as the inner size and kept to be fitted.
void TWindowGeometry::SetOuterWidth(int width) {
    width = std::min(width, AvailableOuterSize().width()); // title bar and buttons stay on screen
    const int frameWidth = Window.frameGeometry().width() - Window.width();
    Window.resize(width - frameWidth, Window.height());
    if (frameWidth == 0)
        OuterSizeToFit.setWidth(width);
    StoredOuterSize.setWidth(width);
    InnerSizeForStored = Window.size();
}

void TWindowGeometry::SetOuterHeight(int height) {
    height = std::min(height, AvailableOuterSize().height());
    const int frameHeight = Window.frameGeometry().height() - Window.height();
    Window.resize(Window.width(), height - frameHeight);
    if (frameHeight == 0)
        OuterSizeToFit.setHeight(height);
    StoredOuterSize.setHeight(height);
    InnerSizeForStored = Window.size();
}

int TWindowGeometry::OuterWidth() const {
    const bool asStored = Window.size() == InnerSizeForStored && StoredOuterSize.width() >= 0;
    return asStored ? StoredOuterSize.width() : Window.frameGeometry().width();
}

int TWindowGeometry::OuterHeight() const {
    const bool asStored = Window.size() == InnerSizeForStored && StoredOuterSize.height() >= 0;
    return asStored ? StoredOuterSize.height() : Window.frameGeometry().height();
}

bool TWindowGeometry::IsMaximised() const {
    return Window.isMaximized();
}

QSize TWindowGeometry::AvailableOuterSize() const {
    const QScreen* target = Window.screen();
    return target ? target->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void TWindowGeometry::CenterOnScreen() {
    const QScreen* target = Window.screen();
    if (!target)
        return;
    QRect frame = Window.frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    Window.move(frame.topLeft());
}

void TWindowGeometry::Shown() {
    CenterOnScreen();
    if (MaximiseRequested)
        Window.setWindowState(Window.windowState() | Qt::WindowMaximized);
    if (QWindow* handle = Window.windowHandle())
        handle->installEventFilter(this);
    // A maximised window keeps the size to fit until it is restored.
    QTimer::singleShot(FrameWaitMilliseconds, this, [this] {
        if (!Window.isMaximized())
            OuterSizeToFit = NoSize;
    });
}

void TWindowGeometry::FitOuterSizeToFrame() {
    if (OuterSizeToFit == NoSize || !Window.windowHandle() || Window.isMaximized())
        return;
    const QMargins frame = Window.windowHandle()->frameMargins();
    if (frame.isNull())
        return;
    const QSize outer = OuterSizeToFit;
    OuterSizeToFit = NoSize;
    Window.resize(
        outer.width() >= 0 ? outer.width() - frame.left() - frame.right() : Window.width(),
        outer.height() >= 0 ? outer.height() - frame.top() - frame.bottom() : Window.height());
    InnerSizeForStored = Window.size();
    CenterOnScreen();
}

// A window that started maximised gets its stored size when it is first restored.
void TWindowGeometry::StateChanged() {
    if (Window.isMaximized() || OuterSizeToFit == NoSize)
        return;
    QTimer::singleShot(0, this, [this] {
        // Without a window manager there is no frame: the size set is the outer size already.
        if (Window.windowHandle() && Window.windowHandle()->frameMargins().isNull())
            OuterSizeToFit = NoSize;
        FitOuterSizeToFrame();
    });
}

bool TWindowGeometry::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &Window && event->type() == QEvent::WindowStateChange)
        StateChanged();
    // The window manager has framed the window by the time it first shows it.
    else if (watched == Window.windowHandle() && event->type() == QEvent::Expose &&
             OuterSizeToFit != NoSize)
        QTimer::singleShot(0, this, [this] { FitOuterSizeToFrame(); });
    return QObject::eventFilter(watched, event);
}

} // namespace hookmeter
