// The application state: one instance for the whole run.
#include "app/appstate.h"

namespace app {

AppState& state() {
  static AppState s;
  return s;
}

void resetState() {
  db::closeDatabase(state().localDb);
  state() = AppState{};
}

}  // namespace app
