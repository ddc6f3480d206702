#pragma once

#include <functional>

class TF_Main;

// Starts the program: splash, data module, main window, event loop. started, when given, is
// called once the main window is shown (the crash tests drive the real program through it).
int runDovra(int argc, char** argv, const std::function<void(TF_Main&)>& started = {});
