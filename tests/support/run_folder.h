#pragma once
// Every test program runs in a folder of its own: a fresh "ventaro-test-run-*" folder under the
// temporary folder becomes the current folder and TMPDIR, so whatever a test, its death-test
// children or the programs it starts write there goes with it. The folder is removed when the
// program ends, whichever way it ends: at exit by the program itself, and after a crash or a kill
// by a small sweeper process that waits for the program (and the children it forked) to be gone.
//
//   VENTARO_TEST_RUN_FOLDER   set by enter_run_folder for the processes the test program starts:
//                             a test program started with it set (a death-test child run again)
//                             works in that folder and makes none of its own.
#include <string>

namespace testsupport {

// Makes and enters the run folder; call first thing in main, before any thread starts.
void enter_run_folder();
// The run folder of this test program ("" before enter_run_folder).
const std::string& run_folder();
// Removes a folder and everything in it, read-only folders included; errors are ignored.
void remove_tree(const std::string& path);

}  // namespace testsupport
