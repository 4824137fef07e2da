#include "framework/RunLog.h"

// Nothing is kept yet: the log's file comes with its own change.
void CRunLog::Write(const std::string&) {}
