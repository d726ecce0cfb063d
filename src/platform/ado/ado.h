#pragma once
// The data-access layer in one include: connection, text-command data sets, table objects.
#include "platform/ado/connection.h"
#include "platform/ado/dataset.h"
#include "platform/ado/error.h"
#include "platform/ado/filter.h"
#include "platform/ado/query.h"
#include "platform/ado/table.h"
#include "platform/ado/variant.h"
