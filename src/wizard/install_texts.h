#pragma once
// The texts the web roads show while they fetch the manifest and while they install: the
// manifest's percent, a failed server's countdown, the current file's line and the install's
// estimate with one line per server.
#include <string>

// Percent of the manifest archive received on stream 1: -1 while its length is unknown, 0 before
// the stream has a connection. fraction receives the share 0..1 for the bar.
int manifest_percent(float& fraction);

// "host: error.  Will retry in N seconds." for a server whose last attempt failed.
std::string install_retry_line(const std::string& host, std::string error, float retry_time);

// What happens to crnt_file_name, by stg's file status.
std::string install_status_line();

// The time left and rate for the whole install, then a line per server: its countdown after a
// failure, its rate, or, with finished_lines, that it has no files left. Empty before the first
// percent (done_fraction 0.01 or less) unless a server waits to retry.
std::string install_body_text(float done_fraction, bool finished_lines);
