// The fixed texts of the program information. The component list names what the build links
// (CMakeLists.txt) and what it ships (resources/icons); a new dependency belongs here too.
#include "app/about.h"

#include <QStringList>

#include "app/appstate.h"

namespace app {

namespace {

const QString crlf = QStringLiteral("\r\n");

}  // namespace

QString aboutText() {
  return QStringList{
      QStringLiteral("VarnothM"),
      QStringLiteral("--------------------"),
      QStringLiteral("Die Zuordnung der Auslässe zu den Angaben einer Maßnahmenplanung ist nicht immer einfach. "
                     "Dieses Programm unterstützt Sie dabei unter anderem mit"),
      QStringLiteral("~\tObjektbasierter Arbeitsweise"),
      QStringLiteral("~\tEinfachen Datenabgleich mit dem Zentralgerät über eine Datenbank-/Internet-Verbindung"),
      QStringLiteral("~\tUnterstützung von 1D und 2D - Codereadern"),
      QStringLiteral("~\tEiner Funktion zum direkten uneingeschränkten (Nach)bearbeiten der erfassten Daten"),
  }.join(crlf);
}

QString licenceNotices() {
  return QStringList{
      QStringLiteral("VarnothM ") + programVersion + QStringLiteral(" – Hersteller: das VarnothM-Projekt."),
      QStringLiteral("Fragen, Wünsche und Fehlermeldungen richten Sie bitte an Ihren Ansprechpartner beim Hersteller."),
      QString(),
      QStringLiteral("Verwendete Open-Source-Komponenten"),
      QStringLiteral("----------------------------------"),
      QStringLiteral("Qt 6 (Qt Core, Qt Gui, Qt Widgets) – Copyright (C) The Qt Company Ltd. und weitere Autoren."),
      QStringLiteral("  Lizenz: GNU Lesser General Public License, Version 3 (LGPL-3.0). Die Bibliotheken werden "
                     "dynamisch gebunden und können durch eigene, kompatible Fassungen ersetzt werden. "
                     "Quelltext: https://download.qt.io/"),
      QStringLiteral("SQLite 3 – D. Richard Hipp und weitere Autoren."),
      QStringLiteral("  Lizenz: von den Autoren in die Gemeinfreiheit entlassen (Public Domain). "
                     "https://www.sqlite.org/copyright.html"),
      QStringLiteral("MariaDB Connector/C – Copyright (C) MariaDB Corporation Ab, Monty Program AB und weitere Autoren."),
      QStringLiteral("  Lizenz: GNU Lesser General Public License, Version 2.1 (LGPL-2.1). "
                     "Quelltext: https://github.com/mariadb-corporation/mariadb-connector-c"),
      QStringLiteral("unixODBC (ODBC-Treibermanager) – Copyright (C) Peter Harvey, Nick Gorham und weitere Autoren."),
      QStringLiteral("  Lizenz: GNU Lesser General Public License, Version 2.1 (LGPL-2.1). "
                     "Quelltext: https://www.unixodbc.org/"),
      QStringLiteral("pugixml – Copyright (C) 2006-2022 Arseny Kapoulkine."),
      QStringLiteral("  Lizenz: MIT. Permission is hereby granted, free of charge, to any person obtaining a copy "
                     "of this software and associated documentation files (the \"Software\"), to deal in the "
                     "Software without restriction, including without limitation the rights to use, copy, modify, "
                     "merge, publish, distribute, sublicense, and/or sell copies of the Software, and to permit "
                     "persons to whom the Software is furnished to do so, subject to the following conditions: "
                     "The above copyright notice and this permission notice shall be included in all copies or "
                     "substantial portions of the Software. THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY "
                     "OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF "
                     "MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE "
                     "AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN "
                     "AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE "
                     "SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE."),
      QStringLiteral("Symbole (Icons) – eigene Zeichnungen des VarnothM-Projekts."),
      QStringLiteral("  Lizenz: Creative Commons CC0 1.0 (gemeinfrei)."),
  }.join(crlf);
}

QString programInformation(const QString& about) { return about + crlf + crlf + licenceNotices(); }

}  // namespace app
