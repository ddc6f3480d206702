// The checks a mailer passes before it takes a Mailer Number: a recipient with a first line,
// a city, a state and a ZIP of 5 or 9 digits, a sender chosen, and a ZIP that the ZIP code
// table knows for that city and state. What is missing is refused; what only looks wrong is
// asked about, with the table's city and state to put in instead.
#pragma once

#include "core/AddressLines.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// A city and state as the ZIP code table holds them.
struct ZipPlace {
    QString city, state;
    bool operator==(const ZipPlace&) const = default;
};

// The ZIP code table: the place of a five-digit ZIP, nothing when the table has no such ZIP.
// An empty function stands for no table: the address is then not compared with one.
using ZipTable = std::function<std::optional<ZipPlace>(const QString& zip5)>;

struct AddressProblem {
    enum class Kind {
        Refusal, // the mailer cannot go out like this
        Question // it may be right: the user decides
    };
    Kind kind;
    QString text; // one sentence, for a clerk
    bool operator==(const AddressProblem&) const = default;
};

struct AddressCheck {
    QList<AddressProblem> problems;
    // The table's city and state for the recipient's ZIP, when the address has others.
    std::optional<ZipPlace> tablePlace;

    bool passed() const { return problems.isEmpty(); }
    bool refused() const;
    // Questions only: the mailer may print once the user says so.
    bool asks() const { return !passed() && !refused(); }
};

AddressCheck checkAddressBeforeNumber(const TAddressLines& recipient, bool senderSelected, const ZipTable& zipTable);

// The error message of a refused mailer.
QString addressRefusalMessage(const AddressCheck& check);
// The question of a mailer that may be wrong; withOffer: the question offers the table's
// city and state (offerCaption) as its third answer, which puts them into the address and
// prints nothing; else a mismatch is to be corrected in the address book.
QString printAnywayQuestion(const AddressCheck& check, bool withOffer);
// The caption of the answer that puts the table's city and state into the address.
QString offerCaption(const ZipPlace& place);

// A mass print asks nothing per mailer: a mailer with any problem, questions too, is left
// out. Returns why, in one line; empty when the mailer may print.
QString massPrintRefusal(const AddressCheck& check);

// A city name as it is compared: letter case, accents and punctuation ignored, and "St",
// "Ste", "Mt" and "Ft" read as "Saint", "Sainte", "Mount" and "Fort".
QString cityComparisonKey(const QString& city);
