#pragma once

#include <functional>

// Runs the function on the UI thread: at once when called there (or when there is
// no application), otherwise queued to the UI thread's event loop. Everything that
// touches a window goes through here when it may be called from a worker.
void runOnUiThread(std::function<void()> function);
