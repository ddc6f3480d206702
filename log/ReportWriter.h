// The operations a report prints with, on top of the page canvas: positions in inches from
// the sheet's edges, margins of half an inch, a text cursor that moves by lines of the
// current font, tab stops with boxed cells, and a footer run at the end of every page.
#pragma once

#include "canvas/PageCanvas.h"

#include <QList>
#include <functional>
#include <optional>

class ReportWriter {
public:
    static constexpr double kMargin = 0.5;
    static constexpr int kSmallestPoints = 6;

    // The canvas's page is taken as the sheet in the chosen orientation.
    explicit ReportWriter(PageCanvas& canvas);

    // Starts the job on its first page, cursor home; ends it after the last page's footer.
    void begin();
    void end();
    void abort();

    // The whole sheet, in inches.
    double pageWidth() const;
    double pageHeight() const;

    void setFont(const QString& face, int points);
    void home();
    void newLine();
    // Keeps the top of the current line after the font changed; the line is as high as the
    // new font from here on.
    void realignLine();
    // How many more lines of the current font fit below the current one, above the bottom
    // margin.
    int linesLeft() const;
    // Runs the footer, ends the page and starts the next with the cursor on its first line.
    void newPage();
    int pageNumber() const { return page_; }

    void print(const QString& text);
    void printCenter(const QString& text, double x);
    void printRight(const QString& text, double x);

    struct TabStop {
        double left = 0; // inches from the sheet's left edge
        double width = 0;
        TextAlignment justify = TextAlignment::Center;
        double margin = 0; // between the box and the text, on either side
        bool boxes = true; // lines on all four sides
    };
    void clearTabs();
    // At left, or right after the previous stop when left is not given.
    void addTab(std::optional<double> left, double width, TextAlignment justify, double margin, bool boxes);
    const QList<TabStop>& tabs() const { return tabs_; }
    // Prints into the next tab stop of the line: the text justified in the cell, then the
    // cell's box. A text wider than the cell is printed a few points smaller, down to
    // kSmallestPoints, and only then cut to what fits, so that it never runs into the
    // neighbouring cells.
    void printTab(const QString& text);
    // Every cell of the following rows justified so (all centred, say), or, when not given,
    // each by its own stop.
    void setTabJustify(std::optional<TextAlignment> justify) { tabJustify_ = justify; }

    // Called at the end of every page, before the page is closed.
    std::function<void()> onFooter;

private:
    int xDots(double inches) const;
    int yDots(double inches) const;
    double lineHeight() const; // inches, of the current font
    void printAt(const QString& text, double x, TextAlignment alignment);
    QString fitted(const QString& text, int widthDots);

    PageCanvas& canvas_;
    QString face_;
    int points_ = 0;
    bool shrunk_ = false; // a cell's text printed smaller than the font set
    Resolution dpi_;
    QPoint offset_;
    double sheetWidth_ = 0, sheetHeight_ = 0;
    double lineTop_ = kMargin;
    double lineHeight_ = 0;
    QList<TabStop> tabs_;
    int nextTab_ = 0;
    std::optional<TextAlignment> tabJustify_;
    int page_ = 0;
};
