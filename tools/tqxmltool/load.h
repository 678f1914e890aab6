#pragma once
// Loading the input document: read whole, decoded, then parsed.
#include <tqxml/tqxml.h>

#include <string>

namespace tqxmltool {

enum class LoadStatus { Parsed, Missing, Locked, Unreadable, Undecodable, NotXml };

struct LoadResult {
    LoadStatus status = LoadStatus::Unreadable;
    std::string problem;      // why it failed: the read, the decoding or the parse report
    std::string encoding;     // the encoding read, e.g. "Shift_JIS"
    std::string evidence;     // what decided the encoding
    std::uint64_t bytes = 0;  // size of the input
    double milliseconds = 0;  // parse time
};

// `path` "-" reads standard input.
LoadResult Load(const std::string& path, tqcore::CXMLDoc& doc);

}  // namespace tqxmltool
