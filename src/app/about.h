// The program information of "Hilfe": the about text of the program, and the maker's notice with
// the licence notices of the open-source components the program links or ships.
#pragma once

#include <QString>

namespace app {

// The seven lines joined by CR LF; the "~" lines have a tab after the tilde.
QString aboutText();

// The maker's notice, then one notice per component with its licence; lines joined by CR LF.
QString licenceNotices();

// What "Hilfe" shows: aboutText + CR LF CR LF + licenceNotices.
QString programInformation(const QString& aboutText);

}  // namespace app
