#pragma once
// The one place where a failure that a handler did not handle itself becomes a
// message box. Every entry point from Qt into the window runs through it, so an
// exception never unwinds into the event loop and the program keeps running
// with the state reached so far.

#include <QString>

#include <exception>
#include <functional>

class Dialogs;

// The text a failure is shown with, ending in a full stop.
QString failureMessage(const std::exception& error);

// Runs work; a failure ends it and is shown through dialogs.
void runGuarded(Dialogs& dialogs, const std::function<void()>& work);
