#include "widgets/Services.h"

#include <QApplication>
#include <QFileDialog>

namespace {
bool g_messagesScripted = false;
QList<QMessageBox::StandardButton> g_answers;
QList<MessageService::Shown> g_shown;

bool g_filesScripted = false;
QStringList g_files;
QList<FileDialogService::Request> g_requests;

QMessageBox::Icon iconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Confirmation: return QMessageBox::Question;
    case MessageKind::Warning: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

QString scriptedFile(QWidget*, const QString& caption, const QString& dir, const QString& filter, const QString& preset,
                     bool asksToReplace = false)
{
    g_requests.append({caption, dir, filter, preset, asksToReplace});
    return g_files.isEmpty() ? QString() : g_files.takeFirst();
}

// Filters are written "Description|pattern"; Qt writes them "Description (pattern)".
QString qtFilter(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.isEmpty() ? filter : out.join(";;");
}

QString withPreset(const QString& dir, const QString& preset)
{
    return preset.isEmpty() ? dir : dir + "/" + preset;
}
} // namespace

QMessageBox::StandardButton MessageService::show(MessageKind kind, const QString& text,
                                                 QMessageBox::StandardButtons buttons, QWidget* parent,
                                                 QMessageBox::StandardButton defaultButton)
{
    if (g_messagesScripted) {
        g_shown.append({kind, text, buttons, defaultButton});
        if (!g_answers.isEmpty())
            return g_answers.takeFirst();
        for (auto b : {QMessageBox::Ok, QMessageBox::No, QMessageBox::Cancel})
            if (buttons.testFlag(b))
                return b;
        return QMessageBox::NoButton;
    }
    // Messages carry their line breaks as CR LF, LF CR or a lone CR; a box shows each as one break.
    QString shownText = text;
    shownText.replace("\r\n", "\n").replace("\n\r", "\n").replace('\r', '\n');
    QMessageBox box(iconOf(kind), QApplication::applicationDisplayName(), shownText, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageService::error(const QString& text, QWidget* parent) { show(MessageKind::Error, text, QMessageBox::Ok, parent); }

void MessageService::information(const QString& text, QWidget* parent)
{
    show(MessageKind::Information, text, QMessageBox::Ok, parent);
}

bool MessageService::confirmYesNo(const QString& text, QWidget* parent)
{
    return show(MessageKind::Confirmation, text, QMessageBox::Yes | QMessageBox::No, parent) == QMessageBox::Yes;
}

QMessageBox::StandardButton MessageService::confirmYesNoCancel(const QString& text, QWidget* parent,
                                                               QMessageBox::StandardButton defaultButton)
{
    return show(MessageKind::Confirmation, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent,
                defaultButton);
}

void MessageService::setScripted(bool scripted)
{
    g_messagesScripted = scripted;
    g_answers.clear();
    g_shown.clear();
}
bool MessageService::scripted() { return g_messagesScripted; }
void MessageService::queueAnswer(QMessageBox::StandardButton answer) { g_answers.append(answer); }
QList<MessageService::Shown> MessageService::shown() { return g_shown; }
void MessageService::clearShown() { g_shown.clear(); }

QString FileDialogService::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter, const QString& presetName)
{
    if (g_filesScripted)
        return scriptedFile(parent, caption, dir, filter, presetName);
    return QFileDialog::getOpenFileName(parent, caption, withPreset(dir, presetName), qtFilter(filter));
}

QString FileDialogService::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter, const QString& presetName)
{
    if (g_filesScripted)
        return scriptedFile(parent, caption, dir, filter, presetName, true);
    return QFileDialog::getSaveFileName(parent, caption, withPreset(dir, presetName), qtFilter(filter));
}

QString FileDialogService::newFileName(QWidget* parent, const QString& caption, const QString& dir,
                                       const QString& filter, const QString& presetName)
{
    if (g_filesScripted)
        return scriptedFile(parent, caption, dir, filter, presetName);
    return QFileDialog::getSaveFileName(parent, caption, withPreset(dir, presetName), qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString FileDialogService::existingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    if (g_filesScripted)
        return scriptedFile(parent, caption, dir, QString(), QString());
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

void FileDialogService::setScripted(bool scripted)
{
    g_filesScripted = scripted;
    g_files.clear();
    g_requests.clear();
}
void FileDialogService::queueAnswer(const QString& path) { g_files.append(path); }
QList<FileDialogService::Request> FileDialogService::requests() { return g_requests; }
void FileDialogService::clearRequests() { g_requests.clear(); }
