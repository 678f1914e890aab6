#pragma once
// Loading the input document, from a file or from standard input.
#include <tqxml/tqxml.h>

#include <string>

namespace tqxmltool {

enum class LoadStatus { Parsed, Missing, Locked, Unreadable, NotXml };

struct LoadResult {
    LoadStatus status = LoadStatus::Unreadable;
    std::string report;       // the parse-error report, for NotXml
    std::uint64_t bytes = 0;  // size of the input
    double milliseconds = 0;  // parse time
};

// `path` "-" reads standard input. The width comes from the byte-order
// mark: UTF-16, UTF-8, or ANSI without one.
LoadResult Load(const std::string& path, tqcore::CXMLDoc& doc);

}  // namespace tqxmltool
