#include "widgets/AddressFields.h"
#include "core/ZipLookup.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>

namespace {

const QString kDigitsOnly = QStringLiteral("A ZIP code takes digits only: 5 digits, or 5 digits, a dash and 4.");

void showZipHint(QLineEdit* zip, const QString& text)
{
    QApplication::beep();
    QToolTip::showText(zip->mapToGlobal(QPoint(0, zip->height())), text, zip);
}

// Refuses, with the hint, what the mask would drop or cut without a word.
class ZipGuard : public QObject {
public:
    explicit ZipGuard(QLineEdit* zip) : QObject(zip), zip_(zip) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != zip_ || event->type() != QEvent::KeyPress)
            return false;
        auto key = static_cast<QKeyEvent*>(event);
        if (key == QKeySequence::Paste) {
            const QString text = QGuiApplication::clipboard()->text();
            AddressFields::setZip(zip_, text);
            return true;
        }
        const QString typed = key->text();
        if (typed.size() == 1 && typed[0].isPrint() && !typed[0].isDigit() && typed[0] != u'-' && typed[0] != u' ' &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            showZipHint(zip_, kDigitsOnly);
            return true;
        }
        return false;
    }

private:
    QLineEdit* zip_;
};

} // namespace

void AddressFields::setUpZipField(QLineEdit* zip)
{
    zip->setInputMask("00000-0000;_");
    zip->installEventFilter(new ZipGuard(zip));
    zip->setContextMenuPolicy(Qt::NoContextMenu); // its Paste would go past the check
}

std::optional<QString> AddressFields::zipFieldText(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{0,5})[- ]?(\\d{0,4})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch() || (m.captured(1).size() < 5 && !m.captured(2).isEmpty()))
        return std::nullopt;
    return m.captured(1) + "-" + m.captured(2);
}

QString AddressFields::notAZipMessage(const QString& text)
{
    return "\"" + text.trimmed() + "\" is not a ZIP code. " + kDigitsOnly;
}

bool AddressFields::setZip(QLineEdit* zip, const QString& text)
{
    const auto fieldText = zipFieldText(text);
    if (!fieldText) {
        showZipHint(zip, notAZipMessage(text));
        return false;
    }
    zip->setText(*fieldText);
    return true;
}

bool AddressFields::keepAddressLines(QPlainTextEdit* memo)
{
    QTextDocument* doc = memo->document();
    bool removed = false;
    if (doc->blockCount() > 4) {
        QTextCursor cursor(doc->findBlockByNumber(3));
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        removed = true;
    }
    for (QTextBlock line = doc->firstBlock(); line.isValid(); line = line.next()) {
        const int length = line.length() - 1; // without the line's end
        if (length <= kLineWidth)
            continue;
        QTextCursor cursor(line);
        cursor.setPosition(line.position() + kLineWidth);
        cursor.setPosition(line.position() + length, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        removed = true;
    }
    return removed;
}

QString AddressFields::zipText() const
{
    return zip->displayText().replace('_', ' ');
}

TAddressLines AddressFields::address() const
{
    TAddressLines a;
    const QStringList lines = memo->toPlainText().split('\n');
    for (int i = 0; i < 4 && i < lines.size(); ++i)
        a.address[i] = lines[i];
    a.city = city->text();
    a.state = state->text();
    a.zip = zipText();
    return a;
}

void AddressFields::showAddress(const TAddressLines& address)
{
    QStringList lines;
    for (const QString& line : address.address)
        if (!line.isEmpty())
            lines << line;
    memo->setPlainText(lines.join('\n'));
    city->setText(address.city);
    state->setText(address.state);
    zip->setText(address.zip);
}

void AddressFields::clear()
{
    memo->clear();
    city->clear();
    state->clear();
    zip->clear();
}

void AddressFields::copy() const
{
    if (const auto text = addressCopyText(address()))
        QGuiApplication::clipboard()->setText(*text);
}

void AddressFields::paste()
{
    clear();
    const TAddressLines a = ParseClipboardAddress();
    QStringList lines = {a.address[0], a.address[1], a.address[2]};
    if (!a.address[3].trimmed().isEmpty())
        lines << a.address[3];
    memo->setPlainText(lines.join('\n'));
    city->setText(a.city);
    state->setText(a.state);
    setZip(zip, a.zip);
}

void AddressFields::lookupZip()
{
    QString c = city->text();
    QString s = state->text();
    LookupZip(zipText(), c, s);
    if (c != city->text())
        city->setText(c);
    if (s != state->text())
        state->setText(s);
}
