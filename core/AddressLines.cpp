#include "core/AddressLines.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringList>

QString TidyZip(const QString& zip)
{
    QString z = zip.trimmed();
    if (z == "-")
        return QString();
    const qsizetype dash = z.indexOf('-');
    if (dash < 0)
        return z;
    if (dash == z.size() - 1)
        z.chop(1);
    else if (dash == 0)
        z = z.mid(1).trimmed();
    return z;
}

void PlaceCityLine(std::array<QString, 5>& lines, const QString& city, const QString& state, const QString& zip)
{
    const QString z = TidyZip(zip);
    const QString cityLine = (state.trimmed().isEmpty() ? city + " " + z : city + " " + state + " " + z).trimmed();
    for (int i = 0; i < 4; ++i)
        if (lines[i].trimmed().isEmpty()) {
            lines[i] = cityLine;
            return;
        }
    lines[4] = cityLine;
}

std::array<QString, 5> displayLines(const TAddressLines& address)
{
    std::array<QString, 5> lines = {address.address[0], address.address[1], address.address[2], address.address[3],
                                    QString()};
    PlaceCityLine(lines, address.city, address.state, address.zip);
    return lines;
}

namespace {

bool isLineBreak(QChar c)
{
    return c == '\n' || c == '\r';
}

// Lines end with CR LF or LF CR, the program's own Copy writes LF CR; a lone LF is the line
// end of this platform's clipboard text. Text after the last line end is dropped.
QStringList completeLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == '\n' || c == '\r') {
            const bool pair = i + 1 < text.size() && isLineBreak(text[i + 1]) && text[i + 1] != c;
            if (pair || c == '\n') {
                lines << text.mid(start, i - start);
                i += pair ? 2 : 1;
                start = i;
                continue;
            }
        }
        ++i;
    }
    return lines;
}

// City, State and ZIP from the city line "Springfield, IL 62704-1234".
void parseCityLine(QString line, TAddressLines& out)
{
    while (!line.isEmpty() && line.back() == ' ')
        line.chop(1);
    // The ZIP is the line's last word: a dash in the city name ("Wilkes-Barre") is not the
    // ZIP's dash.
    const qsizetype lastWordStart = line.lastIndexOf(' ') + 1;
    const qsizetype dash = line.indexOf('-', lastWordStart);
    const qsizetype zipStart = dash >= 0 ? qMax<qsizetype>(0, dash - 5) : qMax<qsizetype>(0, line.size() - 5);
    out.zip = line.mid(zipStart, 10);

    qsizetype i = zipStart - 1;
    while (i >= 0 && line[i] == ' ')
        --i;
    if (i < 0)
        return;
    const qsizetype stateStart = qMax<qsizetype>(0, i - 1);
    out.state = line.mid(stateStart, i - stateStart + 1);

    qsizetype j = stateStart - 1;
    while (j >= 0 && (line[j] == ' ' || line[j] == ','))
        --j;
    out.city = line.left(j + 1);
}

} // namespace

TAddressLines ParseClipboardText(const QString& clipboardText)
{
    TAddressLines out;
    if (clipboardText.isEmpty())
        return out;
    QString text = clipboardText;
    if (!isLineBreak(text.back()))
        text += "\r\n";
    const QStringList lines = completeLines(text);
    if (lines.isEmpty())
        return out;
    parseCityLine(lines.back(), out);
    for (int i = 0; i < 4 && i < lines.size() - 1; ++i)
        out.address[i] = lines[i];
    return out;
}

TAddressLines ParseClipboardAddress()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return ParseClipboardText(clipboard ? clipboard->text() : QString());
}

std::optional<QString> addressCopyText(const TAddressLines& address)
{
    const std::array<QString, 5> lines = displayLines(address);
    QString text = lines[0];
    for (int i = 1; i < 5; ++i)
        if (!lines[i].trimmed().isEmpty())
            text += QStringLiteral("\n\r") + lines[i];
    if (text.size() >= 256)
        return std::nullopt;
    return text;
}

QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = u' ';
    return line;
}
