// The run: the phases of one mivo process in their fixed order, the choice of
// the phases to skip, and the resource report written between phases.
#ifndef MIVO_DRIVER_DRIVER_H
#define MIVO_DRIVER_DRIVER_H

#include <fstream>
#include <string>

// Receives the marker lines "****TRAIN" and "****TEST" of a training run.
extern std::ofstream score_ofs;

// Runs every phase of a run; returns the program's exit status.
int run_mivo(int argc, const char **argv);

// The resource file to read: the -r name with ".rc" added unless it ends in it,
// else "mivo.rc"; empty when none was named and mivo.rc does not exist.
std::string resource_file_name();
// Lets the command line override the resource file's choices.
void apply_options();

#endif  // MIVO_DRIVER_DRIVER_H
