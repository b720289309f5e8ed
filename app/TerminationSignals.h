// SIGTERM and SIGINT, as sent when a desktop session ends, by a service manager or from a terminal,
// close the program's windows the way the user would: the window keeps its choices in
// "profile.ini", a running job is waited for, and the program ends normally. A second such signal
// ends the program at once.
#pragma once

namespace hookmeter {

// Call once, before the event loop runs. When the signals cannot be caught they keep their default
// effect.
void CloseWindowsOnTerminationSignals();

} // namespace hookmeter
