// The remembered search text: one text shared by the Find commands of the sender list and
// of the address book, repeated by F3, emptied at every start of the main window.
#pragma once

#include <QString>

inline QString rememberedSearchText;
