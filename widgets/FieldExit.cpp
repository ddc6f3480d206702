#include "widgets/FieldExit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

namespace {

class FieldExitFilter : public QObject {
public:
    FieldExitFilter(QWidget* field, std::function<void()> handler, std::weak_ptr<bool> running)
        : QObject(field), handler_(std::move(handler)), running_(std::move(running))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const auto running = running_.lock();
            if (running && *running && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                handler_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> handler_;
    std::weak_ptr<bool> running_;
};

} // namespace

FieldExits::FieldExits() : running_(std::make_shared<bool>(true)) {}

FieldExits::~FieldExits()
{
    stop();
}

void FieldExits::add(QWidget* field, std::function<void()> handler)
{
    field->installEventFilter(new FieldExitFilter(field, std::move(handler), running_));
}

void FieldExits::stop()
{
    *running_ = false;
}
