// The program's entry: the toolkit, a scripted user when the environment names a script,
// and the run.
#include "app/application.h"
#include "platform/scripteduser.h"
#include "platform/system.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication toolkit(argc, argv);
  platform::startScriptFromEnvironment();
  return app::runApplication(platform::programFolder());
}
