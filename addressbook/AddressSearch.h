// Narrowing the address list as the user types: an address is kept when every word of the
// typed text appears in its lines, in any order, without regard to letter case or accents
// ("jose garcia" finds "García, José"). The lines of every listed address are folded once
// into one block of text, so a keystroke is one pass over that block.
#pragma once

#include "core/TAddressRec.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

// The text as the search compares it: letters case-folded, accents and other combining marks
// dropped, compatibility forms spelt out ("ﬁ" as "fi"), and the letters that carry their
// mark inside them written plainly ("ø" as "o", "ß" as "ss").
QString foldForSearch(QStringView text);

// The folded words of a typed text (split at blanks); a word that lies inside another is
// dropped, since the longer one already asks for it. No words: the text keeps every address.
QStringList searchWords(QStringView text);

// Whether every address kept by narrower is kept by wider too: each of wider's words lies
// inside one of narrower's. A keystroke that adds to the text narrows what the last one kept.
bool searchNarrows(const QStringList& narrower, const QStringList& wider);

class AddressSearchIndex {
public:
    // Folds the seven lines of every address, in order.
    void build(const std::vector<TAddressRec>& rows);
    void clear();
    bool built() const { return !starts_.empty(); }
    int count() const { return built() ? static_cast<int>(starts_.size()) - 1 : 0; }

    // The rows (ascending) whose lines hold every word; words as searchWords gives them.
    std::vector<int> matching(const QStringList& words) const;
    // The same, looking only at the rows given (ascending).
    std::vector<int> matchingWithin(const QStringList& words, const std::vector<int>& rows) const;

private:
    bool rowHolds(int row, const QStringList& words, qsizetype skip) const;
    QString text_;                  // each row's folded lines, each line ended by '\n'
    std::vector<qsizetype> starts_; // where each row starts in text_, then its end
};
