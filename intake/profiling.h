// Document profiling: turns a document, given by its name, into a stored
// document profile, running it through the analyser at most once per name.
#ifndef MIVO_INTAKE_PROFILING_H
#define MIVO_INTAKE_PROFILING_H

#include <string>

// Analyses and parses the document, maps its (head, modifier) pairs to terms
// and stores the profile under the name; nothing when one is stored already.
void profile_document(const std::string &document);

#endif  // MIVO_INTAKE_PROFILING_H
