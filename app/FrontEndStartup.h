// What both front ends do before the node starts, on the GUI thread: read the
// command line into the document's options, and let SIGTERM / SIGINT end the
// event loop so that the node shuts down in order.
#pragma once

#include "app/CommandLine.h"
#include "app/PelmarDoc.h"

#include <optional>

// --help or --version among the arguments: prints the usage or the version
// on standard output and gives the exit status 0; otherwise nothing. Needs no
// application object, so it runs before one is made (pelmar --help works
// without a display).
std::optional<int> AnswerInformationOptions(int argc, char** argv);

// The command line's options, or nothing after the usage went to standard
// error. Needs no application object: it runs before one is made, so that an
// option error is told without a display.
std::optional<CCommandLine> ReadCommandLine(int argc, char** argv);

// The settings file defaults to the executable's path with the extension "ini";
// "current.html" goes beside the executable.
CPelmarDoc::Options MakeDocumentOptions(const CCommandLine& line);

// Raises the open-file limit to the hard limit, as servers do: every
// connection takes a descriptor, and the usual soft limit of 1,024 would stop
// the node accepting long before its memory or the network would. False when
// the limit could not be read or set.
bool RaiseDescriptorLimit();

// Makes SIGTERM and SIGINT end every running event loop, a modal dialog's
// too (and ignores SIGPIPE). False when the signal pipe could not be made.
bool QuitOnTerminationSignals();
// A termination signal has been handled: a front end that has not entered its
// main loop yet must not enter it (the loop would forget the request).
bool TerminationRequested();
