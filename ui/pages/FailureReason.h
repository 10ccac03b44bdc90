#pragma once
// The sentence a page's failure message ends with, for the pages whose
// worker can fail (the snapshots, the comparison, the project writer, the
// build).
#include <string>

// Where the reason is written (the error log the log really writes), or,
// when this log level keeps no error log, which setting of which file to
// raise to keep one: that of the log, else `configFile` (the run's).
std::wstring FailureReasonText(const std::wstring& configFile);
