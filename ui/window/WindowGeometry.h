// TWindowGeometry: the main window's outer size as "profile.ini" stores it (frame included), its
// place centred on the screen, and maximising. A window manager tells the frame's size only once
// the window is on the screen, so a stored size set before that is fitted to the frame when it
// becomes known; while the window keeps the inner size it was given for a stored size, its outer
// size is the stored one, whatever the window manager says about its frame at the moment. So the
// stored size never grows by a frame.
#pragma once

#include <QObject>
#include <QSize>

class QWidget;

namespace hookmeter {

class TWindowGeometry final : public QObject {
    Q_OBJECT
public:
    // Watches the window's state changes; the window must outlive this object.
    explicit TWindowGeometry(QWidget& window);

    // A size larger than the screen's available area is fitted into it.
    void SetOuterWidth(int width);
    void SetOuterHeight(int height);
    int OuterWidth() const;
    int OuterHeight() const;
    // Maximises the window once it is shown (Shown).
    void RequestMaximise() { MaximiseRequested = true; }
    bool IsMaximised() const;

    // The largest outer size that fits the screen's available area (no task bars or docks).
    QSize AvailableOuterSize() const;
    // Once the window is first shown and its settings applied: centres it at the size set, then
    // maximises it when that was asked for, and fits a stored size to the frame once known.
    void Shown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CenterOnScreen();
    void FitOuterSizeToFrame();
    void StateChanged();

    QWidget& Window;
    bool MaximiseRequested = false;
    QSize OuterSizeToFit{-1, -1}; // a stored outer size set before the frame was known
    QSize StoredOuterSize{-1, -1};
    QSize InnerSizeForStored{-1, -1};
};

} // namespace hookmeter
