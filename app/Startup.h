#pragma once
// Starts the program: splash, data module, main window, event loop.
int runDovra(int argc, char** argv);
