#pragma once
// What the preview pane is given for a synopsis. Qt's rich-text layout grows
// with the square of the markup's nesting and with the text's length, so a
// synopsis past either limit is not laid out as given: a deep one is shown as
// plain text, a long one is cut; either way a note in the pane says so.

#include <QString>

// Deeper markup than this is shown as plain text. Real synopses nest a few
// levels; 1,000 unclosed list levels already take about 50 ms to lay out.
inline constexpr int PreviewMaxNesting = 100;
// Longer synopses are cut to this many characters: ten times a long real
// synopsis, and laid out in well under 100 ms even as one unbroken word
// (190 KB of paragraphs take about 200 ms).
inline constexpr qsizetype PreviewMaxLength = 20'000;

// How deep the elements of an HTML fragment nest, counted up to stopAt: void
// elements do not nest, an end tag closes up to its element, and a p, li, dt,
// dd, tr, td, th or option opened right inside one of its own kind closes it.
int markupNestingDepth(const QString& html, int stopAt);

// The HTML the pane shows for a synopsis: the synopsis itself when it is
// within the limits, else a note followed by the (cut) text.
QString previewHtmlOf(const QString& synopsis);
