// Tool tips that depend on where the mouse rests, for widgets that paint their own items.
#pragma once

#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace hookmeter {

// For a tool tip event on `widget`: shows the text `textAt(point)` gives for the point, or hides
// the tool tip when the text is empty, and returns true. False for every other event.
template <typename TTextAt> bool ShowToolTipAt(QWidget* widget, QEvent* event, TTextAt textAt) {
    if (event->type() != QEvent::ToolTip)
        return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = textAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, widget);
    return true;
}

} // namespace hookmeter
