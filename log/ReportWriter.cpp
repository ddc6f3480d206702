#include "log/ReportWriter.h"

#include <QtMath>

ReportWriter::ReportWriter(PageCanvas& canvas) : canvas_(canvas)
{
    dpi_ = canvas_.DotsPerInch();
    offset_ = canvas_.PrintableOffset();
    // The printable area lies on the sheet with the same offset on either side.
    const QSize area = canvas_.PageSize();
    sheetWidth_ = double(area.width() + 2 * offset_.x()) / dpi_.x;
    sheetHeight_ = double(area.height() + 2 * offset_.y()) / dpi_.y;
}

void ReportWriter::begin()
{
    canvas_.BeginDocument();
    page_ = 1;
    home();
}

void ReportWriter::end()
{
    if (onFooter)
        onFooter();
    canvas_.EndDocument();
}

void ReportWriter::abort()
{
    canvas_.AbortDocument();
}

double ReportWriter::pageWidth() const
{
    return sheetWidth_;
}

double ReportWriter::pageHeight() const
{
    return sheetHeight_;
}

int ReportWriter::xDots(double inches) const
{
    return qRound(inches * dpi_.x) - offset_.x();
}

int ReportWriter::yDots(double inches) const
{
    return qRound(inches * dpi_.y) - offset_.y();
}

double ReportWriter::lineHeight() const
{
    return lineHeight_;
}

void ReportWriter::setFont(const QString& face, int points)
{
    face_ = face;
    points_ = points;
    canvas_.SetFont(face, points, 0);
}

void ReportWriter::realignLine()
{
    lineHeight_ = double(canvas_.TextHeight(QStringLiteral("Ag"))) / dpi_.y;
}

void ReportWriter::home()
{
    lineTop_ = kMargin;
    nextTab_ = 0;
    realignLine();
}

void ReportWriter::newLine()
{
    lineTop_ += lineHeight();
    nextTab_ = 0;
}

int ReportWriter::linesLeft() const
{
    const double below = sheetHeight_ - kMargin - (lineTop_ + lineHeight());
    // A hair's allowance, so that lines that fit exactly are not lost to rounding.
    return lineHeight() > 0 ? qMax(0, int(qFloor(below / lineHeight() + 1e-9))) : 0;
}

void ReportWriter::newPage()
{
    if (onFooter)
        onFooter();
    canvas_.NewPage();
    ++page_;
    home();
}

void ReportWriter::printAt(const QString& text, double x, TextAlignment alignment)
{
    canvas_.DrawTextAligned(xDots(x), yDots(lineTop_), text, alignment);
}

void ReportWriter::print(const QString& text)
{
    printAt(text, kMargin, TextAlignment::Left);
}

void ReportWriter::printCenter(const QString& text, double x)
{
    printAt(text, x, TextAlignment::Center);
}

void ReportWriter::printRight(const QString& text, double x)
{
    printAt(text, x, TextAlignment::Right);
}

void ReportWriter::clearTabs()
{
    tabs_.clear();
    nextTab_ = 0;
}

void ReportWriter::addTab(std::optional<double> left, double width, TextAlignment justify, double margin, bool boxes)
{
    const double at = left ? *left : tabs_.isEmpty() ? kMargin : tabs_.last().left + tabs_.last().width;
    tabs_.append({at, width, justify, margin, boxes});
}

QString ReportWriter::fitted(const QString& text, int widthDots)
{
    if (canvas_.TextWidth(text) <= widthDots)
        return text;
    // A smaller size first: a Mailer Number or a long name keeps every character.
    for (int points = points_ - 1; points >= kSmallestPoints; --points) {
        canvas_.SetFont(face_, points, 0);
        shrunk_ = true;
        if (canvas_.TextWidth(text) <= widthDots)
            return text;
    }
    // Then the longest start of the text that fits at the smallest size.
    qsizetype low = 0, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (canvas_.TextWidth(text.left(mid)) <= widthDots)
            low = mid;
        else
            high = mid - 1;
    }
    return text.left(low);
}

void ReportWriter::printTab(const QString& text)
{
    if (nextTab_ >= tabs_.size())
        return;
    const TabStop& tab = tabs_.at(nextTab_++);
    const int left = xDots(tab.left), right = xDots(tab.left + tab.width);
    const int inner = qRound(tab.margin * dpi_.x);
    const TextAlignment justify = tabJustify_.value_or(tab.justify);
    const QString shown = fitted(text, right - left - 2 * inner);
    if (!shown.isEmpty()) {
        const int x = justify == TextAlignment::Left    ? left + inner
                      : justify == TextAlignment::Right ? right - inner
                                                        : (left + right) / 2;
        canvas_.DrawTextAligned(x, yDots(lineTop_), shown, justify);
    }
    if (shrunk_) {
        canvas_.SetFont(face_, points_, 0);
        shrunk_ = false;
    }
    if (tab.boxes) {
        const int top = yDots(lineTop_), bottom = yDots(lineTop_ + lineHeight());
        canvas_.DrawLine(left, top, right, top);
        canvas_.DrawLine(left, bottom, right, bottom);
        canvas_.DrawLine(left, top, left, bottom);
        canvas_.DrawLine(right, top, right, bottom);
    }
}
