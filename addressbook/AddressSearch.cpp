#include "addressbook/AddressSearch.h"

#include <algorithm>

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Letters whose mark is part of the letter itself, so that decomposing leaves them whole.
const char16_t* plainSpelling(char16_t c)
{
    switch (c) {
    case u'ß':
        return u"ss";
    case u'æ':
        return u"ae";
    case u'œ':
        return u"oe";
    case u'ø':
        return u"o";
    case u'ł':
        return u"l";
    case u'đ':
    case u'ð':
        return u"d";
    case u'þ':
        return u"th";
    case u'ı':
        return u"i";
    case u'ħ':
        return u"h";
    default:
        return nullptr;
    }
}

// The index of the longest word: the rarest, as a rule, and the quickest to skip through.
qsizetype longestWord(const QStringList& words)
{
    qsizetype best = 0;
    for (qsizetype i = 1; i < words.size(); ++i)
        if (words[i].size() > words[best].size())
            best = i;
    return best;
}

} // namespace

QString foldForSearch(QStringView text)
{
    if (isAscii(text)) {
        QString out(text.size(), Qt::Uninitialized);
        std::transform(text.begin(), text.end(), out.begin(), [](QChar c) { return QChar(asciiLower(c.unicode())); });
        return out;
    }
    const QString folded = text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString out;
    out.reserve(folded.size());
    for (QChar c : folded) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (const char16_t* plain = plainSpelling(c.unicode()))
            out += QStringView(plain);
        else
            out += c;
    }
    return out;
}

QStringList searchWords(QStringView text)
{
    QStringList words = foldForSearch(text).simplified().split(u' ', Qt::SkipEmptyParts);
    // Longest first, so that a word inside a longer one is seen after it and dropped.
    std::stable_sort(words.begin(), words.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    QStringList kept;
    for (const QString& word : words)
        if (std::none_of(kept.begin(), kept.end(), [&](const QString& k) { return k.contains(word); }))
            kept << word;
    return kept;
}

bool searchNarrows(const QStringList& narrower, const QStringList& wider)
{
    return std::all_of(wider.begin(), wider.end(), [&](const QString& w) {
        return std::any_of(narrower.begin(), narrower.end(), [&](const QString& n) { return n.contains(w); });
    });
}

void AddressSearchIndex::build(const std::vector<TAddressRec>& rows)
{
    clear();
    starts_.reserve(rows.size() + 1);
    qsizetype size = 0;
    for (const TAddressRec& rec : rows)
        for (int i = 0; i < 7; ++i)
            size += addressField(rec.address, i).size() + 1;
    // Written in place: ASCII lines (nearly all) a character at a time; a line beyond ASCII
    // folded whole, which may make it longer.
    text_.resize(size);
    char16_t* out = reinterpret_cast<char16_t*>(text_.data());
    qsizetype at = 0;
    for (const TAddressRec& rec : rows) {
        starts_.push_back(at);
        for (int i = 0; i < 7; ++i) {
            const QString& line = addressField(rec.address, i);
            const char16_t* in = reinterpret_cast<const char16_t*>(line.constData());
            const qsizetype n = line.size();
            qsizetype j = 0;
            for (; j < n && in[j] < 0x80; ++j)
                out[at + j] = asciiLower(in[j]);
            if (j < n) {
                const QString folded = foldForSearch(line);
                if (folded.size() > n) { // room for the rest stays as it was reckoned
                    text_.resize(text_.size() + folded.size() - n);
                    out = reinterpret_cast<char16_t*>(text_.data());
                }
                std::copy(folded.utf16(), folded.utf16() + folded.size(), out + at);
                at += folded.size();
            } else {
                at += n;
            }
            out[at++] = u'\n';
        }
    }
    text_.resize(at);
    starts_.push_back(at);
}

void AddressSearchIndex::clear()
{
    text_.clear();
    text_.squeeze();
    starts_.clear();
    starts_.shrink_to_fit();
}

bool AddressSearchIndex::rowHolds(int row, const QStringList& words, qsizetype skip) const
{
    const QStringView lines = QStringView(text_).sliced(starts_[row], starts_[row + 1] - starts_[row]);
    for (qsizetype i = 0; i < words.size(); ++i)
        if (i != skip && !lines.contains(words[i]))
            return false;
    return true;
}

std::vector<int> AddressSearchIndex::matching(const QStringList& words) const
{
    std::vector<int> rows;
    if (words.isEmpty()) {
        rows.resize(count());
        for (int i = 0; i < count(); ++i)
            rows[i] = i;
        return rows;
    }
    // The longest word is looked for through the whole block; each row where it lies is
    // then asked for the other words, and the look goes on from the next row.
    const qsizetype scan = longestWord(words);
    const QStringView all(text_);
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = all.indexOf(words[scan], from);
        if (at < 0)
            break;
        const int row = static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin()) - 1;
        if (rowHolds(row, words, scan))
            rows.push_back(row);
        from = starts_[row + 1];
    }
    return rows;
}

std::vector<int> AddressSearchIndex::matchingWithin(const QStringList& words, const std::vector<int>& rows) const
{
    std::vector<int> kept;
    for (int row : rows)
        if (rowHolds(row, words, -1))
            kept.push_back(row);
    return kept;
}
