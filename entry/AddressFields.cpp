#include "entry/AddressFields.h"
#include "entry/ZipLookup.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

void AddressFields::setUpZipField(QLineEdit* zip)
{
    zip->setInputMask("00000-0000;_");
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
    zip->setText(a.zip);
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
