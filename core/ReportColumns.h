// The log columns a report can print, with the inches each takes, and the width budget of a
// report definition.
#pragma once

#include <QList>
#include <QString>

struct ReportColumnEntry {
    const char* entryText; // as the definition dialog lists it: heading, then the width in brackets
    const char* logColumn; // the Log37 field
    double width;          // inches: the budget it takes and the printed column width
};

// The 29 log columns in their fixed order.
const QList<ReportColumnEntry>& reportColumnTable();
// The entry of a Log37 field name (any letter case); nullptr when there is none.
const ReportColumnEntry* reportColumnOfField(const QString& logColumn);
// The entry of an entry text; nullptr when there is none.
const ReportColumnEntry* reportColumnOfEntry(const QString& entryText);

// The number between "(" and ")" of an entry text; 0 when there is none.
double FieldWidth(const QString& entryText);
// The heading printed above a column: the entry text up to "(".
QString reportHeading(const QString& entryText);

// Widths of a report as the definition dialog keeps them: 7 inches across a portrait page,
// 10 across a landscape one.
class ReportWidthBudget {
public:
    static constexpr double kPortrait = 7;
    static constexpr double kLandscape = 10;

    double used() const { return used_; }
    double available() const { return available_; }
    bool landscape() const { return landscape_; }

    // False, leaving the budget as it was, when the width does not fit.
    bool add(double width);
    void remove(double width);
    // Landscape always fits; Portrait is refused (false) while more than 7 inches are used.
    bool setLandscape(bool landscape);

    // A width as the dialog's labels show it: two significant digits and the inch mark.
    static QString label(double inches);

private:
    double used_ = 0;
    double available_ = kPortrait;
    bool landscape_ = false;
};
