// Gives the window-side support library a translation unit of its own, so
// moc runs over the recording stand-ins.
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingTray.h"
