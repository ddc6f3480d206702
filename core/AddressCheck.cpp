#include "core/AddressCheck.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

AddressProblem refusal(const QString& text)
{
    return {AddressProblem::Kind::Refusal, text};
}

AddressProblem question(const QString& text)
{
    return {AddressProblem::Kind::Question, text};
}

QString placeText(const QString& city, const QString& state)
{
    return city.trimmed() + ", " + state.trimmed();
}

QStringList problemTexts(const AddressCheck& check, AddressProblem::Kind kind)
{
    QStringList texts;
    for (const AddressProblem& p : check.problems)
        if (p.kind == kind)
            texts << p.text;
    return texts;
}

} // namespace

bool AddressCheck::refused() const
{
    for (const AddressProblem& p : problems)
        if (p.kind == AddressProblem::Kind::Refusal)
            return true;
    return false;
}

QString cityComparisonKey(const QString& city)
{
    QString letters;
    for (const QChar c : city.normalized(QString::NormalizationForm_D)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        letters += c.isLetterOrNumber() ? c.toUpper() : QChar(u' ');
    }
    QStringList words = letters.split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words) {
        if (word == u"ST")
            word = QStringLiteral("SAINT");
        else if (word == u"STE")
            word = QStringLiteral("SAINTE");
        else if (word == u"MT")
            word = QStringLiteral("MOUNT");
        else if (word == u"FT")
            word = QStringLiteral("FORT");
    }
    return words.join(u' ');
}

AddressCheck checkAddressBeforeNumber(const TAddressLines& recipient, bool senderSelected, const ZipTable& zipTable)
{
    AddressCheck check;
    QList<AddressProblem>& problems = check.problems;
    if (blank(recipient.address[0]))
        problems << refusal(QStringLiteral("The first line of the recipient's address (the name) is blank."));
    if (blank(recipient.city))
        problems << refusal(QStringLiteral("The recipient's city is blank."));
    if (blank(recipient.state))
        problems << refusal(QStringLiteral("The recipient's state is blank."));

    // The ZIP field shows "     -    " when empty and "19901-    " without the ZIP+4.
    const QString zip = TidyZip(recipient.zip);
    static const QRegularExpression zipForm(QStringLiteral("^[0-9]{5}(-?[0-9]{4})?$"));
    const bool zipWellFormed = zipForm.match(zip).hasMatch();
    if (zip.trimmed().isEmpty())
        problems << refusal(QStringLiteral("The recipient's ZIP code is blank."));
    else if (!zipWellFormed)
        problems << refusal(QStringLiteral("The recipient's ZIP code \"") + zip.trimmed() +
                            QStringLiteral("\" is not 5 digits, or 9 digits with the ZIP+4 (as in 19901 or "
                                           "19901-0001)."));
    if (!senderSelected)
        problems << refusal(QStringLiteral("No sender is chosen: choose Your Name and Address with Select."));

    if (!zipWellFormed || !zipTable)
        return check;
    const QString zip5 = zip.left(5);
    const std::optional<ZipPlace> place = zipTable(zip5);
    if (!place) {
        problems << question(QStringLiteral("The ZIP code ") + zip5 +
                             QStringLiteral(" is not in the program's list of ZIP codes."));
        return check;
    }
    // A blank city or state is refused above; only what is there is compared.
    const bool stateDiffers =
        !blank(recipient.state) && recipient.state.trimmed().compare(place->state.trimmed(), Qt::CaseInsensitive) != 0;
    const bool cityDiffers =
        !blank(recipient.city) && cityComparisonKey(recipient.city) != cityComparisonKey(place->city);
    if (stateDiffers || cityDiffers) {
        problems << question(QStringLiteral("The list of ZIP codes has ") + zip5 + QStringLiteral(" in ") +
                             placeText(place->city, place->state) + QStringLiteral(", but the address says ") +
                             placeText(recipient.city, recipient.state) + QStringLiteral("."));
        check.tablePlace = place;
    }
    return check;
}

QString addressRefusalMessage(const AddressCheck& check)
{
    return QStringLiteral("This mailer cannot be printed yet:\n\n") +
           problemTexts(check, AddressProblem::Kind::Refusal).join(u'\n') +
           QStringLiteral("\n\nNo Mailer Number has been used.");
}

QString offerCaption(const ZipPlace& place)
{
    // A "&" in a name would otherwise underline the letter after it.
    return QStringLiteral("&Use ") + placeText(place.city, place.state).replace(u'&', QStringLiteral("&&"));
}

QString printAnywayQuestion(const AddressCheck& check, bool withOffer)
{
    // Short enough for the question window, which gives a message few lines beyond its width.
    QString text = problemTexts(check, AddressProblem::Kind::Question).join(u' ');
    if (!withOffer && check.tablePlace)
        text += QStringLiteral(" Change it in the address book.");
    return text + QStringLiteral("\n\nPrint anyway?");
}

QString massPrintRefusal(const AddressCheck& check)
{
    QStringList texts;
    for (const AddressProblem& p : check.problems)
        texts << p.text;
    return texts.join(u' ');
}
