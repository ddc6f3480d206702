// One place where engine, conversion and input/output errors raised in an event handler
// are shown in the standard error box; the event loop then goes on.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// Shows the error in the standard error box.
void showException(const std::exception& e);

// Runs a handler; an exception it raises is shown and the rest of the handler skipped.
// Returns false when the handler failed.
bool guarded(const std::function<void()>& handler);

class DovraApplication : public QApplication {
public:
    DovraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
