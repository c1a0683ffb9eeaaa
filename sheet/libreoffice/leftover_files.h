#pragma once

#include <QString>

// The temporary folders our offices keep their files in, and their removal
// once the program that made them is gone.

// A QTemporaryDir template in the temporary folder for the offices' files of
// the program `processId`: "quillmere-<kind>-<process id>-XXXXXX".
QString officeTemporaryTemplate(const QString &kind, qint64 processId);

// Removes the private profiles and table copies that offices of earlier
// runs of the program left in the temporary folder when the program was
// killed, and the pipes those offices listened on, those whose program no
// longer runs. Only real folders and pipes of the user running us go, never
// anything a link leads to. What cannot be removed stays; nothing is
// reported.
void removeLeftoverOfficeFiles();
