// The fixed browser settings of the measures and the results: table, order, columns, titles
// and the form of each cell.
#include "tableeditor/tablesettings.h"

namespace tableeditor {

BrowserConfig measureBrowserConfig() {
  return {.table = u"massnahme"_qs,
          .orderClause = u"ORDER BY ID DESC"_qs,
          .fields = u"ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs,
          .columnTitles = u"ID,Auslass,Tätigkeit,Planzeit,Durchf.Zeit,Mitarbeiter,Anmerkung"_qs,
          .columnSpecs = u"10L,10L,20X,%yyyy-%mm-%dd %hh:%ii,%yyyy-%mm-%dd %hh:%ii,10L,20X"_qs};
}

BrowserConfig resultBrowserConfig() {
  return {.table = u"resultat"_qs,
          .orderClause = u"ORDER BY AUID"_qs,
          .fields = u"ID,AUID,abda,syst,keim,temp,resu,prot,anme"_qs,
          .columnTitles = u"ID,Auslass-ID,Abn.Dat.,Syst.,Param.,Temp.,Resultat,Protokoll,Anmerkung"_qs,
          .columnSpecs = u"10L,10L,%yyyy-%mm-%dd,5L,5L,1.5L,30L,10L,20L"_qs};
}

}  // namespace tableeditor
