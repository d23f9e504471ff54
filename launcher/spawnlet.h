// The launcher's main routine: runs one program under a time limit and ends
// with a status that tells how the run went.
#ifndef PROBATOR_LAUNCHER_SPAWNLET_H_
#define PROBATOR_LAUNCHER_SPAWNLET_H_

#include <string>
#include <vector>

// Runs the program that `arguments` (the command line after the launcher's
// own name) describe and returns the launcher's exit status:
//   0    the program ended by itself with exit code 0;
//   204  it could not be started (its working folder cannot be entered);
//   206  "-?src" names no executable file that begins with the ELF magic
//        or "#!" (a missing option included);
//   230  it was still running at the time limit, and was killed (3000);
//   240  it ended with another exit code, or by a signal (4000);
//   241  the memory limit ended it (4000, known with a memory group).
// In a box ("-?box" 1, as the agent asks), 204 also stands for a box that
// could not be built; "-?rep" names a file that says why.
// With "-?xit" set to 1, a program that ends by itself with an exit code
// below 200 gives that code instead of 0 or 240.
int spawnlet_main(const std::vector<std::string>& arguments);

#endif  // PROBATOR_LAUNCHER_SPAWNLET_H_
