// The program's error box: caption "Hookmeter", stop icon, one OK button. Handlers run through
// RunGuarded so that an exception ends only the handler, never the program.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace hookmeter {

inline constexpr const char* ApplicationTitle = "Hookmeter";

void ShowErrorBox(QWidget* parent, const QString& text);

// Runs the handler; an exception it throws is shown in the error box with its message (an empty
// text for a thrown object without one), and the remaining work of the handler is skipped.
void RunGuarded(QWidget* parent, const std::function<void()>& handler);

// The message of the exception being handled; call only inside a catch block.
QString CurrentExceptionText();

} // namespace hookmeter
