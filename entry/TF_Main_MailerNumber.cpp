// The Mailer Number dialog from the main window.
#include "entry/TF_Main.h"

void TF_Main::firstShowingCheckCustomerId() {}
