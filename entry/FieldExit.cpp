#include "entry/FieldExit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

namespace {

class FieldExitFilter : public QObject {
public:
    FieldExitFilter(QWidget* field, std::function<void()> handler) : QObject(field), handler_(std::move(handler)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                handler_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> handler_;
};

} // namespace

void onFieldExit(QWidget* field, std::function<void()> handler)
{
    field->installEventFilter(new FieldExitFilter(field, std::move(handler)));
}
