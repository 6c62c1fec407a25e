// The scanner's desktop side: the window whose title says it runs, and the hand-off event it
// waits on before it reads the selection from the clipboard.
#pragma once

// Arguments after the mode word: --log PATH (optional), --count N (end after N hand-offs;
// default: run until the window is closed). Each hand-off is reported on stdout and in the log.
int RunWindowMode(int argc, wchar_t** argv);
