#pragma once
// The whole public interface of tqxml, with the core types it uses.
#include "tqcore/core.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlobj.h"
#include "tqxml/xmlout.h"
#include "tqxml/xmlprop.h"
