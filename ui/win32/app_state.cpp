#include "ui/win32/app_state.h"

AppState& App() {
  static AppState state;
  return state;
}
