#include "tests/support/AccessKeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>

namespace {

using Captions = QMap<QString, QStringList>; // access key -> captions

void addCaption(Captions& keys, const QString& caption)
{
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (!key.isEmpty())
        keys[key.toString(QKeySequence::PortableText)] << caption;
}

void listCollisions(const QString& scope, const Captions& keys, QStringList& out)
{
    for (auto it = keys.begin(); it != keys.end(); ++it)
        if (it->size() > 1)
            out << scope + ": " + it.key() + ": " + it->join(", ");
}

// The captions that answer Alt in the window itself.
Captions windowCaptions(QWidget* window)
{
    Captions keys;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisibleTo(window))
            continue;
        if (auto bar = qobject_cast<QMenuBar*>(w)) {
            for (QAction* a : bar->actions())
                if (a->isVisible())
                    addCaption(keys, a->text());
        } else if (auto button = qobject_cast<QAbstractButton*>(w)) {
            addCaption(keys, button->text());
        } else if (auto box = qobject_cast<QGroupBox*>(w)) {
            addCaption(keys, box->title());
        } else if (auto label = qobject_cast<QLabel*>(w); label && label->buddy()) {
            addCaption(keys, label->text());
        }
    }
    return keys;
}

} // namespace

QStringList accessKeyCollisions(QWidget* window)
{
    QStringList out;
    listCollisions(window->objectName(), windowCaptions(window), out);
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        Captions keys;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                addCaption(keys, a->text());
        const QString scope = menu->title().isEmpty() ? menu->objectName() : menu->title();
        listCollisions(window->objectName() + "/" + scope, keys, out);
    }
    out.sort();
    return out;
}
