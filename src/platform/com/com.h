#pragma once
// Everything of the COM stand-in in one include.
#include "platform/com/classfactory.h"
#include "platform/com/connection.h"
#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/ole.h"
#include "platform/com/types.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"
