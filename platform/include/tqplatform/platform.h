#pragma once
// Everything the platform layer offers.
#include "tqplatform/codepage.h"
#include "tqplatform/filenames.h"
#include "tqplatform/files.h"
#include "tqplatform/memory.h"
#include "tqplatform/system.h"
#include "tqplatform/wformat.h"
