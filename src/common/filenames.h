// Object names as file names: the folder of an object and the names of its export files.
// A plain name is used as it stands; any other name gets a harmless form of its own.
#pragma once

#include <QString>

namespace common {

// The object name as one file-name component. A plain name (no path separator, no control
// character, none of < > : " | ? * % \, no leading or trailing blank, no trailing dot, not "."
// or "..", not a reserved device name, at most 240 bytes of UTF-8) comes back unchanged, so
// folders made before stay found. Any other name is written with %XX for the UTF-8 bytes of
// each offending character; an over-long result is cut and closed by "%~" and a digest of
// the whole name. The form is the same at every start, and two different names never share
// one: a plain name holds no "%", and the escaped form can be read back to its name.
QString safeFileName(const QString& objectName);

}  // namespace common
