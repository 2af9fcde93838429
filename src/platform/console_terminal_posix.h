#pragma once

namespace scalecheck::platform::console_terminal {

// The terminal behind standard input, and the signals that act on it. The
// program switches it between the terminal's own settings (echoed, edited
// lines) and single unechoed keys; the signal handlers give it back its own
// settings when the program is stopped or ends, and take single keys again
// when a stopped program is continued in the foreground.

// Saves the terminal's settings (when standard input is one) and catches
// the signals: Ctrl+C, Ctrl+\, a closed terminal and kill note a stop
// request and write a byte into `wakeFd` (-1: none) to wake a wait; Ctrl+Z
// stops the program with the terminal given back; a continue takes single
// keys again. Called once.
void prepare(bool isTerminal, int wakeFd);

// Single keys from now on, as far as the process may set the terminal: a
// background job leaves it alone (changing it would stop the job), and
// takes them once it is continued in the foreground.
void enterKeyMode();
// The terminal's own settings from now on.
void enterLineMode();

// The terminal is set for single keys at this moment.
bool inKeyMode();
// This process's group owns the terminal, or standard input is no
// controlling terminal of this process (then no job control applies).
bool inForeground();
// A signal asked the program to stop.
bool stopRequested();

}  // namespace scalecheck::platform::console_terminal
