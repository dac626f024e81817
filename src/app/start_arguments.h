#pragma once

#include <QString>
#include <QStringList>

namespace zento {

// The command line: "dvd-zento [source]", where the source is what the
// desktop hands over for an inserted disc (its mount folder) or for an image
// opened with the program: a disc's folder, a folder holding VIDEO_TS,
// VIDEO_TS itself, or a disc image.

// Whether the command line asks for the usage ("-h" or "--help" before any
// "--"). Read from the raw arguments, before the application object exists,
// so that it works without a display.
bool AsksForUsage(int argc, const char *const *argv);

// The usage, in Japanese and in English.
QString StartUsage();

// The source named on the command line: the first argument after the
// program (the one after "--" when that comes first), absolute and cleaned,
// a relative one taken from `currentFolder`; empty when there is none. The
// arguments are those the application object leaves (its own options taken
// out); any after the source are ignored.
QString StartSource(const QStringList &arguments, const QString &currentFolder);

// Why a source from the command line cannot be taken before anything is
// read: it is not there, or it is a folder without a title folder. Empty when
// it can be tried; a file is read as an image, and the listing says what it
// finds wrong.
QString StartSourceProblem(const QString &source);

} // namespace zento
