#pragma once
// The node model: nodes, lists, insertion results, pooled node pointers,
// narrow text submitters, flag maps, the XML character classes, binary images
// and packed objects.
#include "tqxml/xmlcharclass.h"
#include "tqxml/xmlflagmap.h"
#include "tqxml/xmlimage.h"
#include "tqxml/xmllists.h"
#include "tqxml/xmlnode.h"
#include "tqxml/xmlpobject.h"
#include "tqxml/xmlret.h"
#include "tqxml/xmlsubmit.h"
