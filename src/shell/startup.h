#pragma once
// Start-up and shutdown of the framework.

// Brings the framework up: signals, application path, log and its header, command line.
void MACIBM_init(int argc, char** argv);

// Takes it down again; with save 1 the preferences are written first. Does not end the process.
void MACIBM_finishup(int save);

// Path of the log file: the folder holding the application, then "Ventaro Installer Log.txt".
const char* const log_file_name = "Ventaro Installer Log.txt";
