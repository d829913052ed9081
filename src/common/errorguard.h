#pragma once

#include <exception>
#include <functional>

class Dialogs;

// Runs a handler's body and shows any failure that escapes it in the error box, so no exception
// ever crosses Qt's event loop. Returns false when the body failed.
bool guarded(Dialogs& dialogs, const std::function<void()>& body) noexcept;

// Shows a caught failure in the error box with its text.
void showException(Dialogs& dialogs, const std::exception_ptr& failure) noexcept;
