#ifndef VANTREL_TESTS_SEAM_RECORDINGCDDBQUERY_H
#define VANTREL_TESTS_SEAM_RECORDINGCDDBQUERY_H

#include <string>
#include <vector>

// Every call made to any CDDBQuery of this test binary, in order, one line
// each, such as "setProtocolCDDBP host 888" or "setCache 2".
std::vector<std::string>& recordedQueryCalls();

#endif
