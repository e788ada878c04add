#pragma once

#include <QString>

namespace qm::app {

// "Temp" + number + "_" + slot + extension in the program folder: entries of two dictionaries
// with the same number get files of their own; the "Temp" prefix lets the clean-up at exit
// find every one of them.
QString temporaryFilePath(const QString &programFolder, qint16 slot, qint32 number, const QString &extension);

// The file an entry window keeps the object of an entry it is registering in.
QString newEntryObjectFileName();

// True for the names of the temporary files the program writes into its folder: the pages and
// objects of viewers ("Temp12_0.htm", "Temp12_0.ole") and the new entry's object. Letter case
// counts, so files of the user that merely look alike ("Template.htm") are never taken.
bool isTemporaryFileName(const QString &fileName);

} // namespace qm::app
