// The OLE umbrella header: the COM base library, streams and the picture interfaces.
#pragma once

#include "objbase.h"
#include "objidl.h"
#include "ocidl.h"
#include "olectl.h"
