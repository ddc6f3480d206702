// Leaving a field: the user moved the focus to another control of the same window. Opening
// a popup menu or switching windows is no exit; the focus comes back to the field.
#pragma once

#include <functional>
#include <memory>

class QWidget;

// The field-exit handlers of one window. A window holds one as a member and registers its
// handlers through it. When the window is torn down the member goes before the window's
// base classes destroy its fields, and its handlers stop with it: a field that loses the
// focus while it is being destroyed never calls into a window that is half gone. A window
// with a destructor of its own calls stop() first thing in it.
class FieldExits {
public:
    FieldExits();
    ~FieldExits();
    FieldExits(const FieldExits&) = delete;
    FieldExits& operator=(const FieldExits&) = delete;

    // Runs handler each time field is left, until stop().
    void add(QWidget* field, std::function<void()> handler);
    void stop();

private:
    std::shared_ptr<bool> running_;
};
