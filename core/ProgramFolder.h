// Where the program keeps its data: the folder of the program file, or DOVRA_HOME.
#pragma once

#include <QString>

namespace programfolder {

// Without a trailing separator.
QString path();
// A read-only side file (ZIPCODES.adt, the help file, Scr_logo.bmp, ...): looked up in the
// program folder first, then beside the program file. Returns the first that exists, else
// the program-folder path.
QString sideFile(const QString& name);
// The folder that holds a side file, for tables opened by folder and name.
QString sideFolder(const QString& name);

} // namespace programfolder
