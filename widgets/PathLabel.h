// Long table paths in labels are cut from the left, whole folders at a time, so that the
// file name and its nearest folders stay readable.
#pragma once

#include <QString>

class QFontMetrics;

// The path as it stands when it is at most limit pixels wide; otherwise leading folders
// (up to and including the first "/") are dropped while the text is wider than target
// pixels and a "/" remains, and ".../" is put in front of what is left.
QString ShortenPathFromLeft(const QString& path, const QFontMetrics& metrics, int limit, int target);
