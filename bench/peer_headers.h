#pragma once
// The headers of the peer libraries found on the machine (each found peer
// defines TQXML_HAVE_<PEER>, see CMakeLists.txt).
#ifdef TQXML_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif
#ifdef TQXML_HAVE_PUGIXML
#include <pugixml.hpp>
#endif
#ifdef TQXML_HAVE_TINYXML2
#include <tinyxml2.h>
#endif
#ifdef TQXML_HAVE_XERCESC
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#endif
