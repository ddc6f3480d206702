#include "widgets/ButtonDialog.h"

#include "widgets/ButtonDialogLayout.h"
#include "widgets/Services.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {
bool g_scripted = false;
QList<int> g_answers;
QList<ButtonDialogService::Shown> g_shown;

const int closedWithoutButton = 2;
} // namespace

void ButtonDialogService::setScripted(bool scripted)
{
    g_scripted = scripted;
    g_answers.clear();
    g_shown.clear();
}
bool ButtonDialogService::scripted()
{
    return g_scripted || MessageService::scripted();
}
void ButtonDialogService::queueAnswer(int answer)
{
    g_answers.append(answer);
}
QList<ButtonDialogService::Shown> ButtonDialogService::shown()
{
    return g_shown;
}

int ButtonDialog(const QString& title, const QString& message, const QStringList& captions, QWidget* parent)
{
    if (ButtonDialogService::scripted()) {
        g_shown.append({title, message, captions});
        return g_answers.isEmpty() ? closedWithoutButton : g_answers.takeFirst();
    }
    TButtonDialog dialog(title, message, captions, parent);
    return dialog.run();
}

TButtonDialog::TButtonDialog(const QString& title, const QString& message, const QStringList& captions, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("ButtonDialog");
    // A title but no close box; Escape still closes it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(title);

    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString& caption : captions)
        widest = qMax(widest, metrics.horizontalAdvance(caption));
    const ButtonDialogLayout layout =
        layoutButtonDialog(widest, captions.size(), metrics.horizontalAdvance(message), metrics.height());

    setFixedSize(layout.window);
    lblMessage = new QLabel(message, this);
    lblMessage->setObjectName("lblMessage");
    lblMessage->setWordWrap(true);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage->setGeometry(layout.message);
    for (int i = 0; i < captions.size(); ++i) {
        auto button = new QPushButton(captions[i], this);
        button->setObjectName(QString("btnButton%1").arg(i + 1));
        button->setGeometry(layout.buttons[i]);
        connect(button, &QPushButton::clicked, this, [this, i] { done(i + 1); });
        buttons << button;
    }
    if (!buttons.isEmpty())
        buttons.last()->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

int TButtonDialog::run()
{
    const int result = exec();
    return result == QDialog::Rejected ? closedWithoutButton : result;
}
